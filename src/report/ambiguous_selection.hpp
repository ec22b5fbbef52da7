// Selection of ambiguous tags: a tag whose best alignment scores below the
// threshold is assigned to that alignment's miRNA ("_tag_ambigue_selected.txt"
// and the per-miRNA tables after selection).
#pragma once
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/records.hpp"

// Position of each row in a per-miRNA table, by its mirna_index.
using mirna_row_index = std::unordered_map<uint32_t, std::size_t>;

// The positions of the rows of `rows` by mirna_index (the first row wins
// should two share one).
mirna_row_index index_rows_by_mirna(std::vector<result_mirna_uniq_ambig_vet_t> const & rows);

// The header line of "_tag_ambigue_selected.txt".
std::string tag_ambigue_selected_header();

// For an ambiguous tag whose alignments are in the order of `rule`: true
// when `rule` assigns it (the tag is selected), and then its line of "_tag_ambigue_selected.txt" is appended to
// `selected_lines`. Changes nothing else.
bool append_selected_tag(std::string & selected_lines, std::vector<seed_vet_t> const & seed_vet, tag_vet_t const & tag,
                         assignment_rule const & rule);

// For a selected tag: moves its reads from the ambiguous to the unique
// counters of the best miRNA's row in `result_mirna_selected_vet`, whose four
// percentages become 0.
void move_selected_tag(std::vector<seed_vet_t> const & seed_vet, tag_vet_t const & tag,
                       std::vector<result_mirna_uniq_ambig_vet_t> & result_mirna_selected_vet,
                       mirna_row_index const & row_of_mirna);
