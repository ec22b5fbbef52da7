#pragma once
#include <cstdint>

#include "driver/globals.hpp"

// Splits tags into unique and ambiguous copies, sums the reads, and builds
// one result row per miRNA met. Returns 0.
int32_t output_structures_generation();

// Adds the alignments of tag p of tag_vet to the per-miRNA rows, in the
// ambiguous group when `ambiguous` is true, else in the unique group. Returns 0.
int32_t fill_mirna_result_vector(uint32_t p, bool ambiguous);

// Fills the four percentages of every row. Returns 0.
int32_t output_structures_updating();

// Best (lowest) align_score first.
bool sortBy_align_score(mirna_matched_vet_t const & a, mirna_matched_vet_t const & b);
