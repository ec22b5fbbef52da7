// The seed search: every selected (seed, species) pair is searched in every
// tag, and the leftmost occurrence of the seed is extended into alignments.
#pragma once
#include <cstdint>
#include <ostream>

#include "core/run_state.hpp"
#include "core/search_parameters.hpp"

// Which search finds the seed occurrences. Both give every tag the same
// alignments in the same order.
enum class seed_search
{
    lookup,     // one pass over the tags, each tag's windows looked up in a table of the seeds
    reference,  // one Horspool scan of the whole tag table per (seed, species, selected code) pass; slow
};

// Searches every selected seed of `mirna_db` in every tag of `tags`, extends
// the leftmost occurrence with ungapped_extension (alignments are appended to
// the tags), counts the passes in `counters`, then prints the ten search
// lines on `log`. The lookup runs on thread_count threads (0 counts as 1) and falls
// back to the reference search when a searched seed is not seed_size long.
// With parameters.sensitive.on the sensitive search (sensitive_search.hpp)
// replaces both, on thread_count threads; the passes are counted as above,
// and the ten lines are followed by one "sensitive = ..." line. Returns 0.
int32_t mirna_finder(search_parameters const & parameters, mirna_db_tables const & mirna_db, tag_table & tags,
                     search_counters & counters, uint32_t thread_count, std::ostream & log,
                     seed_search search = seed_search::lookup);
