// Reads per precursor: SAMPLE.precursors.tsv, one line per precursor with
// reads: those counted on its matures (each counted tag on the precursor
// its mirGFF3 record lies on) and those elsewhere on it (unmapped tags that
// lie letter for letter in it: loop, flanks, the arms' far ends). merge
// turns the tables into precursor_counts.tsv.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/run_state.hpp"
#include "export/precursor_location.hpp"

// The table's name after the sample's prefix, and its header line (with
// its line feed).
inline constexpr char const * precursor_table_ending = ".precursors.tsv";
std::string precursor_table_header();

struct precursor_reads
{
    std::string precursor;  // its name (the FASTA header's first word)
    uint64_t on_matures = 0;
    uint64_t elsewhere = 0;
};

// The reads of each precursor of the species searched (`species`) in a run
// whose counted alignments are decided: the counted tags of `results` on
// their miRNA's preferred precursor (locate_mature_preferred), the unmapped
// tags of `tags` on the first precursor (file order) holding them. Only
// precursors with reads, by name (byte order). Ambiguous tags left
// unassigned are on no precursor.
std::vector<precursor_reads> count_precursor_reads(std::vector<seed_vet_t> const & seed_vet,
                                                   result_tables const & results, tag_table const & tags,
                                                   precursor_catalogue const & catalogue,
                                                   std::vector<std::string> const & species);

// The table: "precursor reads_mature reads_other reads", tab-separated.
std::string precursor_table_text(std::vector<precursor_reads> const & rows);
