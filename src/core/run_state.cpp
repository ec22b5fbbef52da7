#include "core/run_state.hpp"

#include <algorithm>
#include <new>

#include "core/parallel_chunks.hpp"

namespace
{
template <typename T>
void release(std::vector<T> & table)
{
    std::vector<T>().swap(table);
}

void release_tag_table(tag_table & tags)
{
    release(tags.tag_vet);
    release(tags.letter_blocks);  // once no tag views them
    release(tags.alignment_blocks);
}

void release_other_tables(run_state & state)
{
    release(state.mirna_db.seed_vet);
    release(state.mirna_db.specie_code_vet);
    release(state.mirna_db.species_to_check_vet);
    release(state.results.result_mirna_uniq_ambig_vet);
    release(state.results.result_tag_uniq_vet);
    release(state.results.result_tag_ambig_vet);
    release(state.results.assigned);
}
}  // namespace

void letter_store_release::operator()(seqan::Rna5 * first) const
{
    ::operator delete(static_cast<void *>(first));
}

letter_store allocate_letter_store(std::size_t count)
{
    return letter_store(static_cast<seqan::Rna5 *>(::operator new(std::max<std::size_t>(count, 1) * sizeof(seqan::Rna5))));
}

mirna_matched_vet_t const * counted_unique_alignment(tag_vet_t const & tag)
{
    return tag.mirna_matched_vet.empty() ? nullptr : &tag.mirna_matched_vet[0];
}

mirna_matched_vet_t const * counted_ambiguous_alignment(result_tables const & results, std::size_t t)
{
    return t < results.assigned.size() && results.assigned[t] ? &results.result_tag_ambig_vet[t].mirna_matched_vet[0]
                                                               : nullptr;
}

void free_all_structures(run_state & state, uint32_t thread_count)
{
    // The tags view their letters and alignments in the few large blocks of
    // the tag table's stores: releasing them is a handful of frees, given
    // back to the system at once. The tag table and the other tables share
    // no memory: with more than one thread they are released side by side.
    drop_heap_padding();
    run_in_chunks(2, thread_count, [&](uint32_t, uint64_t first, uint64_t last) {
        for (uint64_t part = first; part < last; ++part)
        {
            if (part == 0)
                release_tag_table(state.tags);
            else
                release_other_tables(state);
        }
    });
}
