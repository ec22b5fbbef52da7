#pragma once
#include <cstdint>

// Searches every selected seed in every tag, extends the leftmost occurrence
// with ungapped_extension, then prints the ten search lines. Returns 0.
// Uses the one-pass seed lookup on one thread.
int32_t mirna_finder(uint32_t min_tag_length, uint32_t tag_begin,
                     uint32_t begin_seed, uint32_t end_seed, uint32_t seed_size);

// mirna_finder with the tags split among thread_count threads (0 counts as
// 1). Every tag receives the same alignments, in the same order, for any
// thread count. Falls back to mirna_finder_reference when a searched seed is
// not seed_size long. Returns 0.
int32_t mirna_finder_threads(uint32_t min_tag_length, uint32_t tag_begin,
                             uint32_t begin_seed, uint32_t end_seed, uint32_t seed_size,
                             uint32_t thread_count);

// The reference search: one Horspool scan of the whole tag table per
// (seed, species entry, selected code) pass. Same results as mirna_finder,
// far slower. Returns 0.
int32_t mirna_finder_reference(uint32_t min_tag_length, uint32_t tag_begin,
                               uint32_t begin_seed, uint32_t end_seed, uint32_t seed_size);
