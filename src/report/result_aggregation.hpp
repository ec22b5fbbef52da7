// The split of the mapped tags into unique and ambiguous copies, and one
// counter row per miRNA: what the result tables are written from.
#pragma once
#include <cstdint>
#include <vector>

#include "core/run_state.hpp"

// Copies the tags of `tag_vet` with one alignment into result_tag_uniq_vet
// and those with several into result_tag_ambig_vet, sums the reads, and
// builds one result row per miRNA met (in the order tag_vet first meets
// them; `seed_vet` holds the aligned miRNAs). The work is cut into
// contiguous chunks done by thread_count threads (0 counts as 1); tables,
// rows and sums are the same for any count. Returns 0.
int32_t output_structures_generation(std::vector<seed_vet_t> const & seed_vet, std::vector<tag_vet_t> const & tag_vet,
                                     uint32_t thread_count, result_tables & results);

// Fills the four percentages of every row. Returns 0.
int32_t output_structures_updating(result_tables & results);
