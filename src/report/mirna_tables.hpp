// The per-miRNA tables: one line per miRNA with its unique-tag counters
// ("_unique.txt", "_unique_ambigue_selected.txt") or its ambiguous-tag
// counters ("_ambigue.txt", "_ambigue_ambigue_selected.txt").
#pragma once
#include <string>
#include <vector>

#include "core/records.hpp"

// The whole text of one table: the header ("norm_expressed_..." when
// `normalised`, for the tables before the selection, else
// "NO-norm_expressed_..."), then, in row order, the ambiguous line of every
// row with ambiguous tags when `ambiguous`, else the unique line of every row
// with unique tags.
std::string mirna_table_text(std::vector<result_mirna_uniq_ambig_vet_t> const & rows, bool normalised,
                             bool ambiguous);
