// MultiQC custom content: the text of the `*_mqc.json` files that MultiQC
// (1.14 and later) shows with no configuration when it is run over a results
// folder. Six files, each holding one or more samples:
//   <prefix>.general_stats_mqc.json  General Statistics columns: reads (with
//                                    UMIs: raw reads, molecules, duplication),
//                                    % counted, % unassigned, miRNAs detected,
//                                    % kept, the adapter and the layout
//   <prefix>.read_funnel_mqc.json    stacked bar: every raw read in one box
//   <prefix>.read_layouts_mqc.json   table: each sample's read layout, how it
//                                    was told, the candidates tried
//   <prefix>.read_classes_mqc.json   stacked bar: reads of each sample by class
//   <prefix>.insert_lengths_mqc.json line graph: reads by insert length, one
//                                    line per sample and outcome ("<sample> miRNA", ...)
//   <prefix>.top_mirnas_mqc.json     table: the most abundant miRNAs per sample
// MultiQC (1.14) shows the sections in the order it first meets their files:
// a list of files given in that order (`multiqc --file-list`) sets it.
// MultiQC merges files of the same section id by sample name, so per-sample
// files and a study file over the same samples may lie in one results folder:
// each sample is shown once (when two files disagree on a sample, the one
// MultiQC reads last wins).
// Only the C++ standard library is used: the caller fills the records and
// writes the returned text to the returned file names.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "report/length_profile.hpp"

// One sample's numbers for MultiQC. Every read of the sample is in exactly one
// of: exact, 5' variant, 3' variant, one substitution, two substitutions
// (these five together are the unique and the assigned ambiguous reads),
// ambiguous-unassigned, unmapped, too short. A tag in several variant classes
// counts once, with the precedence two substitutions > one substitution >
// 5' variant > 3' variant > exact.
struct sample_summary
{
    std::string sample;
    uint64_t total_reads = 0;
    uint64_t total_tags = 0;
    uint64_t too_short_reads = 0;

    uint64_t exact_reads = 0;
    uint64_t iso_5p_reads = 0;
    uint64_t iso_3p_reads = 0;
    uint64_t snp_reads = 0;
    uint64_t multi_snp_reads = 0;

    uint64_t unique_reads = 0;
    uint64_t assigned_reads = 0;              // ambiguous reads assigned to their best miRNA
    uint64_t ambiguous_unassigned_reads = 0;  // ambiguous reads left unassigned
    uint64_t shared_reads = 0;                // of those, with tied reads shared: the reads shared among their miRNAs
    bool ties_shared = false;                 // tied reads were shared (the summary then shows shared_reads)
    // With sequencing errors folded: the reads of the tags folded into tags
    // on miRNAs (shown on standard output only, not a column).
    bool errors_folded = false;
    uint64_t folded_error_reads = 0;
    // The library's verdict (qc_verdict.hpp): pass, warn or fail, and the
    // checks that did not pass ("none" when all did).
    // With other RNA classes searched: their reads (in total_reads too), the
    // reads taken from miRNAs, each class's reads ("rRNA:120, tRNA:45") and
    // the same as pairs.
    bool classes_searched = false;
    uint64_t other_rna_reads = 0;
    uint64_t moved_from_mirna_reads = 0;
    std::string class_reads = "none";
    std::vector<std::pair<std::string, uint64_t>> class_counts;
    std::string qc_verdict = "none";
    std::string qc_reasons = "none";
    uint64_t unmapped_reads = 0;
    uint64_t mirnas_detected = 0;

    // Tags (distinct sequences) of the same groups.
    uint64_t too_short_tags = 0;
    uint64_t unique_tags = 0;
    uint64_t assigned_tags = 0;
    uint64_t ambiguous_unassigned_tags = 0;
    uint64_t unmapped_tags = 0;

    // Reads by insert length and outcome (length_profile.hpp), as the sample
    // pipeline measured them; empty in summaries read back.
    length_profile lengths;
    // (miRNA name, reads), most abundant first.
    std::vector<std::pair<std::string, uint64_t>> top_mirnas;

    // The read funnel, from the raw reads to the reads (or molecules) of the
    // tags above: raw_reads = no_adapter + umi_too_short + adapter_dimer +
    // too_short_insert + too_long_insert + kept, and kept = umi_duplicate +
    // total_reads. A tag-count file's reads are all raw and kept.
    uint64_t raw_reads = 0;
    uint64_t no_adapter_reads = 0;       // an adapter was expected and not found
    uint64_t umi_too_short_reads = 0;    // too few letters after the adapter for the UMI
    uint64_t adapter_dimer_reads = 0;    // nothing before the adapter
    uint64_t too_short_insert_reads = 0;
    uint64_t too_long_insert_reads = 0;
    uint64_t kept_reads = 0;
    uint64_t umi_duplicate_reads = 0;    // kept reads of a molecule counted already (tags count molecules)
    std::string adapter = "none";        // what was trimmed: a kit's name and adapter, a sequence, or none
    std::string adapter_share = "0.00";  // % of the first reads showing it (0 when none was trimmed)
    std::string adapter_warning = "none";  // reads that look untrimmed, an adapter most reads lack, UMIs cut short
    // The read layout of each reads file ("; " between files): its name and
    // words, how it was told (auto: by what maps; kit, adapter, none: as
    // given), the % of the first reads it turned into known miRNAs, and
    // (auto) every candidate with its %.
    std::string layout = "none";
    std::string layout_told_by = "none";
    std::string explained_share = "0.00";
    std::string layout_candidates = "none";
};

// Whether the sample's tags count molecules: some kept reads were PCR
// duplicates of a UMI counted already.
bool counts_molecules(sample_summary const & summary);

// Whether the sample's tags come from raw reads given a layout (not a
// tag-count file, nor a summary written before layouts were told).
bool has_read_layout(sample_summary const & summary);

// The funnel of a sample whose reads are all in its tags (a tag-count file).
void set_funnel_of_tags(sample_summary & summary);

// What the percentages of a sample are of: every read of the funnel, a PCR
// duplicate's molecule counted once (raw_reads - umi_duplicate_reads; a
// tag-count file's total_reads). Reads trimmed away count, so that the same
// reads as raw reads or as a tag-count file give the same percentages.
uint64_t funnel_reads(sample_summary const & summary);

// 100 * (unique + assigned) / funnel_reads, 0 when there are no reads.
double percent_assigned(sample_summary const & summary);
// 100 * ambiguous-unassigned / total, 0 when there are no reads: with
// percent_assigned, the unmapped and the too short reads, 100%.
double percent_unassigned(sample_summary const & summary);

// The four file names for an output prefix such as "out/liver" (map) or
// "merged/study" (merge), and the funnel's.
std::string multiqc_general_stats_file(std::string const & prefix);
std::string multiqc_read_classes_file(std::string const & prefix);
std::string multiqc_insert_lengths_file(std::string const & prefix);
std::string multiqc_top_mirnas_file(std::string const & prefix);
std::string multiqc_read_funnel_file(std::string const & prefix);
std::string multiqc_read_layouts_file(std::string const & prefix);

// The text of each file for the given samples, in their order.
std::string multiqc_general_stats(std::vector<sample_summary> const & samples);
std::string multiqc_read_classes(std::vector<sample_summary> const & samples);
// Every raw read in one box of the funnel: the trimming's boxes, then the
// tags' (unique, assigned, ambiguous-unassigned, unmapped, too short).
std::string multiqc_read_funnel(std::vector<sample_summary> const & samples);
// Table: each sample's read layout in words, how it was told, the share of
// the first reads it explained, the candidates tried and any warning.
std::string multiqc_read_layouts(std::vector<sample_summary> const & samples);
// Lengths from the shortest to the longest with reads in the sample (mapped
// or unmapped), lengths between them without reads as 0.
std::string multiqc_insert_lengths(std::vector<sample_summary> const & samples);
// At most `most` miRNAs of each sample, columns "#1", "#2", ... with the
// value "name (reads)".
std::string multiqc_top_mirnas(std::vector<sample_summary> const & samples, std::size_t most = 3);

// All six (file name, text) pairs for `prefix`.
std::vector<std::pair<std::string, std::string>> multiqc_files(std::string const & prefix,
                                                               std::vector<sample_summary> const & samples);
