#pragma once
#include <cstdint>

#include "driver/globals.hpp"

// Splits tags into unique and ambiguous copies, sums the reads, and builds
// one result row per miRNA met. Returns 0.
int32_t output_structures_generation();

// output_structures_generation with the copies and row sums of contiguous
// chunks of tag_vet made by thread_count threads (0 counts as 1). Tables,
// rows (in first-met order) and sums are the same for any count. Returns 0.
int32_t output_structures_generation_threads(uint32_t thread_count);

// Adds the alignments of tag p of tag_vet to the per-miRNA rows, in the
// ambiguous group when `ambiguous` is true, else in the unique group. Returns 0.
int32_t fill_mirna_result_vector(uint32_t p, bool ambiguous);

// Fills the four percentages of every row. Returns 0.
int32_t output_structures_updating();

// Best (lowest) align_score first.
bool sortBy_align_score(mirna_matched_vet_t const & a, mirna_matched_vet_t const & b);
