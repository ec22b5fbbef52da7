#pragma once
#include <cstdint>
#include <vector>

#include "core/records.hpp"
#include "core/search_parameters.hpp"

// Tries every miRNA of species entry specie_index of seed seed_index on
// the tag's letters, from the seed occurrence in the tag (its end is taken
// as seed_begin + seed_size), and appends each accepted, classified
// alignment to `found`. Returns 0.
int32_t ungapped_extension(search_parameters const & parameters, seed_in_tag_vet_t const & occurrence,
                           std::vector<seed_vet_t> const & seed_vet, uint32_t seed_index, uint32_t specie_index,
                           tag_letters const & tag, std::vector<mirna_matched_vet_t> & found);

// The same, the alignments appended to the tag's mirna_matched_vet.
int32_t ungapped_extension(search_parameters const & parameters, seed_in_tag_vet_t const & occurrence,
                           std::vector<seed_vet_t> const & seed_vet, uint32_t seed_index, uint32_t specie_index,
                           tag_vet_t & tag);
