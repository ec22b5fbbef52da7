// The tag tables: "_tag_unique.txt" (one line per unique tag with its
// alignment) and "_tag_ambigue.txt" (one line per ambiguous tag with all its
// alignments, best first), with the reads totals of both. The lines of
// blocks of consecutive tags are formatted on several threads and written in
// tag order, so the files are the same for any thread count.
#pragma once
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "core/run_state.hpp"
#include "report/ambiguous_selection.hpp"

// Writes the header and one line per tag of result_tag_uniq_vet (aligned on
// the miRNAs of `seed_vet`), adding the tags' reads to
// totals.uniq_mapped_total_tags_count; the lines are formatted by
// thread_count threads (0 counts as 1). Stops and returns false as soon as
// the stream fails.
bool write_tag_unique_table(std::ostream & tag_unique_file, std::vector<seed_vet_t> const & seed_vet,
                            std::vector<tag_vet_t> const & result_tag_uniq_vet, uint32_t thread_count,
                            mapped_totals & totals);

// Writes the headers of "_tag_ambigue.txt" and "_tag_ambigue_selected.txt",
// then one line per tag of results.result_tag_ambig_vet (its alignments in
// the decided order), its reads added to
// totals.ambigue_mapped_total_tag_count; an assigned tag is written to
// `selected_file`, its reads added to
// totals.ambigue_selected_mapped_total_tag_count and moved in
// `result_mirna_selected_vet`. The lines are formatted by thread_count
// threads (0 counts as 1). Stops and returns false as soon as either stream
// fails.
bool write_tag_ambigue_tables(std::ostream & tag_ambigue_file, std::ostream & selected_file,
                              std::vector<seed_vet_t> const & seed_vet, result_tables const & results,
                              std::vector<result_mirna_uniq_ambig_vet_t> & result_mirna_selected_vet,
                              mirna_row_index const & row_of_mirna, uint32_t thread_count, mapped_totals & totals);
