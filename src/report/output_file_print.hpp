// The seven result tables of a run.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "core/run_state.hpp"
#include "core/staged_output.hpp"

// The seven result files, in the order they are created.
enum result_table : std::size_t
{
    unique_mirna_file,            // per-miRNA counts of unique tags
    ambigue_mirna_file,           // per-miRNA counts of ambiguous tags
    tag_unique_file,              // one line per unique tag
    tag_ambigue_file,             // one line per ambiguous tag
    tag_ambigue_selected_file,    // ambiguous tags assigned to their best miRNA
    unique_selected_mirna_file,   // per-miRNA unique counts after that assignment
    ambigue_selected_mirna_file,  // per-miRNA ambiguous counts after it
    result_table_count
};

using result_paths = std::array<std::string, result_table_count>;

// The names the short-option interface gives them: output_prefix followed by
// "_unique.txt", "_ambigue.txt", "_tag_unique.txt", "_tag_ambigue.txt",
// "_tag_ambigue_selected.txt", "_unique_ambigue_selected.txt" and
// "_ambigue_ambigue_selected.txt".
result_paths result_paths_with_prefix(std::string const & output_prefix);

// Writes the seven result files `paths` (outputs of `outputs`) from
// `results`, whose counted alignments are decided (decide_counted_alignments),
// and sums the three mapped-read totals into `totals`. The lines are
// formatted by thread_count threads (0 counts as 1); the files, totals and
// messages are the same for any count. Returns 0; -1 when a result file
// cannot be created, written or closed (reported on standard error, naming
// the path).
int32_t output_file_print(result_paths const & paths, uint32_t thread_count, std::vector<seed_vet_t> const & seed_vet,
                          result_tables const & results, mapped_totals & totals, output_staging & outputs);
