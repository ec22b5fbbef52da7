#include "core/run_state.hpp"

#include "core/parallel_chunks.hpp"

namespace
{
template <typename T>
void release(std::vector<T> & table)
{
    std::vector<T>().swap(table);
}
}  // namespace

mirna_matched_vet_t const * counted_unique_alignment(tag_vet_t const & tag)
{
    return tag.mirna_matched_vet.empty() ? nullptr : &tag.mirna_matched_vet[0];
}

mirna_matched_vet_t const * counted_ambiguous_alignment(result_tables const & results, std::size_t t)
{
    return t < results.assigned.size() && results.assigned[t] ? &results.result_tag_ambig_vet[t].mirna_matched_vet[0]
                                                               : nullptr;
}

void free_all_structures(run_state & state)
{
    // The tags view their letters and alignments in the few large blocks of
    // the tag table's stores: releasing them is a handful of frees, given
    // back to the system at once.
    drop_heap_padding();
    release(state.mirna_db.seed_vet);
    release(state.mirna_db.specie_code_vet);
    release(state.mirna_db.species_to_check_vet);
    release(state.results.result_mirna_uniq_ambig_vet);
    release(state.results.result_tag_uniq_vet);
    release(state.results.result_tag_ambig_vet);
    release(state.results.assigned);
    release(state.tags.tag_vet);
    release(state.tags.letter_blocks);  // once no tag views them
    release(state.tags.alignment_blocks);
}
