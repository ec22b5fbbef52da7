// Where a mature miRNA lies in the precursors of its species.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "export/hairpin_file.hpp"

// One precursor holding a mature sequence.
struct precursor_site
{
    std::size_t hairpin = 0;  // index into precursor_catalogue::hairpins
    uint64_t position = 0;    // 0-based start of the leftmost occurrence of the mature
};

// The precursors, with the indices of each species' records in file order,
// and every place of each stretch of prefix_length letters (in file order,
// then by position), so that a mature is found without scanning them all.
struct precursor_catalogue
{
    static constexpr std::size_t prefix_length = 12;
    struct place
    {
        uint32_t key = 0;  // the stretch's letters A, C, G, U as two bits each
        uint32_t hairpin = 0;
        uint32_t position = 0;
    };
    std::vector<hairpin_record> hairpins;
    std::unordered_map<std::string, std::vector<std::size_t>> by_species;
    std::vector<place> by_prefix;  // by key, then hairpin, then position; stretches holding N left out
};

// Indexes `hairpins` by species code.
precursor_catalogue make_precursor_catalogue(std::vector<hairpin_record> hairpins);

// The precursors of species `specie_code` whose sequence holds `mature`
// (letters A, C, G, U, N; N matches only N), in file order, each with the
// leftmost position of the mature in it. Empty when none holds it.
std::vector<precursor_site> locate_mature(precursor_catalogue const & catalogue, std::string const & mature,
                                          std::string const & specie_code);

// Whether a precursor of one of the species `specie_codes` holds `letters`.
bool lies_in_a_precursor(precursor_catalogue const & catalogue, std::string const & letters,
                         std::vector<std::string> const & specie_codes);

// The same, the preferred precursor first: the first (file order) that the
// mature's name `name` points to (hsa-miR-548ap-5p: hsa-mir-548ap,
// hsa-mir-548ap-1, ...), else the first that holds it. A mature's records
// and reads are counted on that precursor.
std::vector<precursor_site> locate_mature_preferred(precursor_catalogue const & catalogue, std::string const & mature,
                                                    std::string const & specie_code, std::string const & name);
