// One sample from its inputs to its files: index the miRNAs, load the tags,
// search them, aggregate the results, decide each tag's counted alignment,
// write. Both the short options and "mirsight map" run a sample this way;
// they differ only in the request they make.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "core/output_checks.hpp"
#include "core/records.hpp"
#include "core/run_state.hpp"
#include "core/search_parameters.hpp"
#include "reads/raw_reads.hpp"
#include "export/gff3_writer.hpp"
#include "sample/other_rna_classes.hpp"
#include "matching/mirna_finder.hpp"
#include "mirna_db/mirbase_file_formatter.hpp"
#include "report/output_file_print.hpp"

// Which species are searched.
struct species_choice
{
    // true: exactly these codes (a code the miRNA file lacks is an error);
    // none given: every species of the file, with a note when it holds
    // several. false: every code of the file that occurs in `text`.
    bool exact = false;
    std::vector<std::string> codes;
    bool every_species = false;  // with `exact` and no codes: asked for every species of the file
    std::string text;
};

// What a sample run reads, how it searches, and what it writes.
struct sample_request
{
    std::string command;  // opens messages ("mirsight map"), or "" for the short options
    std::string sample;   // the sample's name in the summary and the mirGFF3 file

    // Inputs, each with what it is called in messages.
    named_file mature;
    std::vector<named_file> tags;   // one tag-count file, or reads files (lanes of the sample)
    // The precursor FASTA file ("" none): for the mirGFF3 file and, in the
    // sensitive mode, to drop precursor fragments (precursor_guard.hpp).
    named_file hairpin;
    bool tags_may_be_reads = false;  // the tag files may hold reads, trimmed and collapsed in memory
    trim_request trim;               // how reads are trimmed
    // With UMIs and molecules counted: a molecule's reads that carry
    // different inserts are counted once, on the miRNA they are counted to
    // (molecules_by_mirna.hpp), rather than once per insert.
    bool molecules_by_mirna = false;
    // Ambiguous tags left unassigned because their best miRNAs tie are
    // shared among them by evidence (report/tie_sharing.hpp): the miRNA
    // table gains reads_shared, the summary shared_reads.
    bool share_ties = false;
    // Tags counted nowhere that are one sequencing error away from a tag on
    // a miRNA with many more reads join it (error_folding.hpp).
    bool fold_errors = false;
    // Other small-RNA classes, searched in this order (other_rna_classes.hpp),
    // their indexes kept in class_index_dir ("": beside each FASTA).
    std::vector<class_request> rna_classes;
    std::string class_index_dir;
    uint32_t class_substitutions = 1;
    // The raw-read options as typed (name without "--", value), for the
    // provenance's record of what was asked.
    std::map<std::string, std::string> raw_read_options_given;
    mature_letters letters = mature_letters::t_is_n;

    species_choice species;
    search_parameters search;
    assignment_rule rule;
    bool rna_conversion = true;
    uint32_t thread_count = 1;
    seed_search engine = seed_search::lookup;

    // Outputs, in these folders (created, with their parents, when missing).
    // The miRNA index files are outputs only when kept; otherwise
    // they are temporary files, removed when the run ends.
    std::vector<std::string> folders;
    std::string grouped_file;
    std::string sorted_grouped_file;
    bool keep_index_files = true;
    result_paths tables;
    std::string report_prefix;    // "": no summary, tidy tables or MultiQC files; else PREFIX.summary.tsv, ...
    std::string gff3_file;        // "": no mirGFF3 file
    gff3_records gff3_content = gff3_records::counted;
    tag_order gff3_order = tag_order::tag_file;
    std::vector<std::string> gff3_header_notes;  // "## MODE: ..." lines
    std::string provenance_file;  // "": none; else what made the outputs (sample/provenance.hpp)
    // Where the log (the stages' counters, the three totals and each reads
    // file's layout) goes: "" standard output; else this file, written with
    // the other outputs, and standard output gets the run's summary for a
    // person (sample/run_summary.hpp), made from the report's summary (so
    // with `report_prefix` set).
    std::string log_file;

    // A sample's whole set of files: every other file of `sample_files` is
    // removed when the outputs are committed, so that no file of an earlier
    // run of the sample stays beside the new ones. Such an earlier run made
    // from another tag file is refused unless `overwrite`.
    std::vector<std::string> sample_files;
    bool overwrite = false;
    // Refuse inputs that are most likely mistakes: a miRNA file of several
    // species with no species chosen, a miRNA file of precursors.
    bool refuse_doubtful_inputs = false;
    bool quiet = false;  // no progress line
};

// The sample's summary, tidy miRNA table, isomiR table and MultiQC files,
// named PREFIX.summary.tsv and so on.
std::vector<std::string> report_file_names(std::string const & prefix);

// Runs the sample: every input readable and every output name safe first,
// then every stage on `state` (a fresh run_state{}); all outputs appear
// together when the run succeeds, or none does; then the three totals are
// printed (or, with a log file, the run's summary). Returns the exit status: 0; 1 when a stage failed; 2 when two
// outputs name the same file, or no species was chosen where one must be.
int run_sample(sample_request const & request, run_state & state);
