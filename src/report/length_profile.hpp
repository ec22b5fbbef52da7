// Reads by insert length, split by what became of them (SAMPLE.lengths.tsv
// and MultiQC's insert lengths): on miRNAs (tags with alignments: unique,
// assigned or ambiguous), in each other RNA class, unmapped, too short
// (inserts below the minimum, or tags too short to search), too long, and
// adapter dimers (length 0). Reads, also where tags count molecules: the
// profile is the library's, before PCR duplicates are told apart.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct length_profile
{
    // The outcomes, in the table's order: "mirna", then any classes added,
    // then "unmapped", "too_short", "too_long", "dimer".
    std::vector<std::string> outcomes = {"mirna", "unmapped", "too_short", "too_long", "dimer"};
    std::vector<std::vector<uint64_t>> reads = std::vector<std::vector<uint64_t>>(5);  // per outcome, by length

    // Adds `reads` reads of `length` letters to `outcome`; an outcome not
    // listed yet is a class, placed after the classes before it.
    void add(std::string const & outcome, std::size_t length, uint64_t count);
    void add_by_length(std::string const & outcome, std::vector<uint64_t> const & by_length);
};

// The table: "length" then one column per outcome, one line per length that
// holds reads, from the shortest.
std::string length_table_text(length_profile const & profile);

// The table's name after the sample's prefix.
inline constexpr char const * length_table_ending = ".lengths.tsv";
