// Selection of ambiguous tags: a tag whose best alignment scores below the
// threshold is assigned to that alignment's miRNA ("_tag_ambigue_selected.txt"
// and the per-miRNA tables after selection).
#pragma once
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/run_state.hpp"

// Position of each row in a per-miRNA table, by its mirna_index.
using mirna_row_index = std::unordered_map<uint32_t, std::size_t>;

// The positions of the rows of `rows` by mirna_index (the first row wins
// should two share one).
mirna_row_index index_rows_by_mirna(std::vector<result_mirna_uniq_ambig_vet_t> const & rows);

// The one decision of which alignment each ambiguous tag of `results` is
// counted on: puts its alignments in the order of `rule` and records in
// results.assigned whether `rule` assigns it to the first (`seed_vet` holds
// the aligned miRNAs). On thread_count threads (0 counts as 1), the same for
// any count.
void decide_counted_alignments(assignment_rule const & rule, std::vector<seed_vet_t> const & seed_vet,
                               uint32_t thread_count, result_tables & results);

// The header line of "_tag_ambigue_selected.txt".
std::string tag_ambigue_selected_header();

// Appends the line of "_tag_ambigue_selected.txt" of an ambiguous tag that
// was assigned to its first alignment.
void append_selected_tag(std::string & selected_lines, std::vector<seed_vet_t> const & seed_vet, tag_vet_t const & tag);

// A selected tag's move: the row of its best miRNA, its best alignment and its reads.
struct selected_move
{
    std::size_t row = 0;
    mirna_matched_vet_t const * best = nullptr;
    uint64_t reads = 0;
};

// The move of a selected tag to the row of its best miRNA in the table
// `row_of_mirna` indexes; false when no row holds that miRNA. Reads the
// tables only, so that it may run where the tag's line is formatted.
bool find_selected_move(std::vector<seed_vet_t> const & seed_vet, tag_vet_t const & tag,
                        mirna_row_index const & row_of_mirna, selected_move & move);

// Moves the reads of a selected tag from the ambiguous to the unique
// counters of its row in `result_mirna_selected_vet`, whose four percentages
// become 0.
void apply_selected_move(selected_move const & move, std::vector<result_mirna_uniq_ambig_vet_t> & result_mirna_selected_vet);

