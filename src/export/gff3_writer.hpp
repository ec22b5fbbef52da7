// The mirGFF3 (version 1.2) file and the per-sample isomiR table: each
// counted tag (a unique tag, or an ambiguous tag assigned to its best
// miRNA) once, on one precursor of its miRNA.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/run_state.hpp"
#include "core/search_parameters.hpp"
#include "core/staged_output.hpp"
#include "export/hairpin_file.hpp"
#include "export/precursor_location.hpp"

// "miRBase" when every precursor has an accession "MI<digits>" and every
// mature miRNA of `seed_vet` one "MIMAT<digits>" (the header's second word),
// else "Custom".
std::string gff3_source(std::vector<hairpin_record> const & hairpins, std::vector<seed_vet_t> const & seed_vet);

// True when a precursor and a miRNA of `seed_vet` are of one species code;
// else false after an error naming the hairpin file and both files' codes.
bool shares_a_species(std::vector<hairpin_record> const & hairpins, std::vector<seed_vet_t> const & seed_vet,
                      std::string const & hairpin_path);

// The header lines, each ended by a line feed: version, source ontology,
// tools, then `extra` lines (such as "## MODE: ..."), then COLDATA.
std::string gff3_header(std::string const & source, std::string const & sample,
                        std::vector<std::string> const & extra = {});

// The header line that records the sensitive mode:
// "## MODE: sensitive seed=111010011101,max_shift=3,max_mismatches=2,min_matched=14,max_unmatched=5".
std::string sensitive_mode_note(sensitive_parameters const & parameters);

// Which records a mirGFF3 file holds.
enum class gff3_records
{
    // One record per counted tag, Filter=Pass: mirtop's totals equal the
    // counted reads.
    counted,
    // Also every other alignment (Filter=ambiguous) and every other
    // precursor holding the aligned mature (Filter=other_locus).
    every_alignment,
};

// The order of the tags in the outputs.
enum class tag_order
{
    tag_file,  // by tag_index
    sequence,  // by sequence (byte order of the DNA letters), for merging samples
};

// What to write, and from what.
struct gff3_request
{
    std::string path;          // the mirGFF3 file
    std::string hairpin_path;  // the precursor FASTA file
    std::string sample;        // its COLDATA name
    std::string tag_file;      // named in warnings
    gff3_records records = gff3_records::counted;
    tag_order order = tag_order::tag_file;
    std::vector<std::string> header_notes;  // extra header lines, "## " included
    // The precursors read from hairpin_path already (nullptr: read them).
    precursor_catalogue const * catalogue = nullptr;
};

// Reads the hairpin file and writes the mirGFF3 file (an output of
// `outputs`) for the tags of `results`, whose counted alignments are decided. A counted alignment's record lies on the
// first precursor (file order) that the mature's name points to
// (hsa-miR-548ap-5p: hsa-mir-548ap, hsa-mir-548ap-1, ...) and holds its
// sequence, else on the first precursor of its species that holds it. A tag
// holding N gets no record (counted in one warning); a mature found in no
// precursor of its species is warned about once. Returns 0; -2 when the
// hairpin file cannot be opened; -1 on any other failure (reported on
// standard error, naming the file).
int32_t gff3_export(gff3_request const & request, std::vector<seed_vet_t> const & seed_vet,
                    result_tables const & results, output_staging & outputs);

// The columns that describe a counted tag in the isomiR tables, tab-separated:
// "sequence uid mirna class variant"; the per-sample table adds "reads".
std::string isomir_description_columns();

// The value of attribute `name` of a mirGFF3 record ("" when absent); the
// record without its Expression attribute; and such a record with
// Expression `expression` put back before its Filter.
std::string gff3_attribute(std::string const & record, std::string const & name);
std::string gff3_without_expression(std::string const & record);
std::string gff3_with_expression(std::string const & record, std::string const & expression);

// The source ("miRBase" or "Custom") of a "## source-ontology:" header line.
std::string gff3_source_of_line(std::string const & line);

// Writes `path` (an output of `outputs`): a header line, then one line per
// counted tag of `results` sorted by sequence: "sequence" (DNA letters),
// "uid" (mirtop's license plate, "NA" for a tag holding N), "mirna",
// "class" (exact, iso_5p, iso_3p, iso_snp, iso_multi_snp: the first that
// applies of iso_multi_snp, iso_snp, iso_5p, iso_3p), "variant" and
// "reads". With precursors (not nullptr) the variant is the one of the
// tag's mirGFF3 record (on the precursor gff3_export places it on);
// without them, or for a mature found in no precursor, it is taken against
// the mature's sequence: letters past its 3' end count as additions,
// letters before its 5' end as templated. Returns 0, or -1 after an error
// naming the file.
int32_t write_isomir_table(std::string const & path, std::vector<seed_vet_t> const & seed_vet,
                           result_tables const & results, precursor_catalogue const * precursors,
                           output_staging & outputs);
