#pragma once
#include <cstdint>

// Tries every miRNA of one (seed, species) entry on the tag at tag_vet_index,
// from the seed occurrence at seed_begin, and appends each accepted,
// classified alignment to the tag's mirna_matched_vet. Returns 0.
int32_t ungapped_extension(uint32_t min_tag_length, uint32_t tag_begin,
                           uint32_t seed_begin, uint32_t seed_end,
                           uint32_t seed_index, uint32_t specie_index, uint32_t tag_vet_index,
                           uint32_t begin_seed, uint32_t end_seed, uint32_t seed_size);
