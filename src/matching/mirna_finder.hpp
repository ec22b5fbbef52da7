#pragma once
#include <cstdint>

// Searches every selected seed in every tag, extends the leftmost occurrence
// with ungapped_extension, then prints the ten search lines. Returns 0.
int32_t mirna_finder(uint32_t min_tag_length, uint32_t tag_begin,
                     uint32_t begin_seed, uint32_t end_seed, uint32_t seed_size);
