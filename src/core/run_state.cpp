#include "core/run_state.hpp"

#include <new>
#include <system_error>
#include <thread>

#include <malloc.h>

#include "core/parallel_chunks.hpp"

namespace
{
// glibc's default largest size of the blocks its fast lists keep.
constexpr int default_fast_block_limit = 64 * static_cast<int>(sizeof(std::size_t)) / 4;

template <typename T>
void release(std::vector<T> & table)
{
    std::vector<T>().swap(table);
}

// Releases a tag table, the blocks every tag holds spread over the threads:
// each thread frees the tags of the same range it filled, so mostly into the
// heap that gave the blocks out. With more than one thread, the emptied
// records and the table's own memory are given back on a thread of their own
// (`giving_back`, joined by the caller), while the calling thread goes on with
// the next table; the table itself is empty on return either way.
void release_tags(std::vector<tag_vet_t> & tags, uint32_t thread_count, std::vector<std::thread> & giving_back)
{
    if (thread_count <= 1)
    {
        release(tags);
        return;
    }
    run_in_chunks(tags.size(), thread_count, [&](uint32_t, uint64_t first, uint64_t last) {
        for (uint64_t i = first; i < last; ++i)
        {
            tags[i].~tag_vet_t();  // the sequence types cannot be moved from
            new (&tags[i]) tag_vet_t();
        }
    });
    std::vector<tag_vet_t> emptied;
    emptied.swap(tags);
    try
    {
        giving_back.emplace_back([records = std::move(emptied)]() mutable { release(records); });
    }
    catch (std::system_error const &)
    {
        release(emptied);  // no thread: given back here
    }
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

void free_all_structures(run_state & state, uint32_t thread_count)
{
    // The tables hold millions of small blocks. glibc parks freed small
    // blocks in its fast lists and merges them with their neighbours later,
    // in one pass that costs about twice as much as merging each block as it
    // is freed; so the fast lists are off while the tables are released.
    mallopt(M_MXFAST, 0);
    drop_heap_padding();
    release(state.mirna_db.seed_vet);
    release(state.mirna_db.specie_code_vet);
    release(state.mirna_db.species_to_check_vet);
    std::vector<std::thread> giving_back;
    release_tags(state.tags.tag_vet, thread_count, giving_back);
    release(state.results.result_mirna_uniq_ambig_vet);
    release_tags(state.results.result_tag_uniq_vet, thread_count, giving_back);
    release_tags(state.results.result_tag_ambig_vet, thread_count, giving_back);
    release(state.results.assigned);
    for (std::thread & thread : giving_back)
        thread.join();
    release(state.tags.letter_blocks);  // once no tag views them
    release(state.tags.alignment_blocks);
    mallopt(M_MXFAST, default_fast_block_limit);
}
