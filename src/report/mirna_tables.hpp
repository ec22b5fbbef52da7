// The per-miRNA tables: one line per miRNA with its unique-tag counters
// ("_unique.txt", "_unique_ambigue_selected.txt") or its ambiguous-tag
// counters ("_ambigue.txt", "_ambigue_ambigue_selected.txt").
#pragma once
#include <ostream>
#include <string>
#include <vector>

#include "driver/globals.hpp"

// Writes both headers ("norm_expressed_..." when `normalised`, for the
// tables before the selection, else "NO-norm_expressed_..."), then for each
// row its unique line (when it has unique tags) to `unique_file` and its
// ambiguous line (when it has ambiguous tags) to `ambigue_file`. Stops and
// returns false as soon as a stream fails.
bool write_mirna_tables(std::ostream & unique_file, std::ostream & ambigue_file,
                        std::vector<result_mirna_uniq_ambig_vet_t> const & rows, bool normalised);
