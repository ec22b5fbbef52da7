// What one sample comes to, for people and for the tools they load tables
// with: the summary of its reads and the tidy per-miRNA table.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/run_state.hpp"
#include "report/multiqc_content.hpp"
#include "report/tie_sharing.hpp"

// One miRNA's reads in a sample.
struct mirna_reads
{
    std::string mirna;      // its name (the FASTA header's first word, without ">")
    std::string accession;  // the header's second word, or ""
    uint64_t unique = 0;    // reads of the tags that align to it alone
    uint64_t assigned = 0;  // reads of the ambiguous tags assigned to it
    uint64_t ambiguous = 0; // reads of the ambiguous tags that align to it and stay unassigned
    uint64_t shared = 0;    // with tied reads shared (tie_sharing.hpp): the reads of tied tags given to it
};

// The per-miRNA reads of a run whose counted alignments are decided, by
// name (byte order), then accession; only miRNAs with reads. With
// `shares`, each miRNA's shared reads too.
std::vector<mirna_reads> count_mirna_reads(std::vector<seed_vet_t> const & seed_vet, result_tables const & results,
                                           tie_shares const * shares = nullptr);

// The sample's summary (every field of sample_summary; `top` most abundant
// miRNAs by unique + assigned reads).
sample_summary summarize_sample(std::string const & sample, tag_table const & tags, result_tables const & results,
                                std::vector<mirna_reads> const & mirnas, std::size_t top = 10);

// The tidy table: header "mirna accession reads_unique reads_assigned
// reads_ambiguous rpm" (with `shared`: "reads_shared" before "rpm"),
// tab-separated, one line per miRNA. rpm: the reads counted on it (unique
// + assigned, + shared) per million of the sample's reads counted on miRNAs.
std::string mirna_table_text(std::vector<mirna_reads> const & mirnas, bool shared = false);
std::string mirna_table_header(bool shared = false);  // its first line, with the line feed

// One line of that table read back (its fields; 7 when the table has
// reads_shared): false when a column is missing or a count is not a
// number. `rpm` is its last column's text.
bool parse_mirna_table_line(std::vector<std::string> const & fields, mirna_reads & row, std::string & rpm);

// The summary table: a header line and one line per sample (see
// summary_columns(): shared_reads only when a sample shared tied reads).
std::string summary_table_text(std::vector<sample_summary> const & samples);
std::vector<std::string> summary_columns(std::vector<sample_summary> const & samples);

// Reads one line of a summary table back (with its header's column names).
// False when a column is missing or a number cannot be read.
bool parse_summary_line(std::vector<std::string> const & header, std::vector<std::string> const & fields,
                        sample_summary & summary);
