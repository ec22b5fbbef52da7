#include "core/parallel_chunks.hpp"

#include <algorithm>
#include <atomic>
#include <exception>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

namespace
{
// The one piece of process-wide state here, and it mirrors the C library's:
// glibc's heap padding (mallopt) belongs to the process, so whether it was
// settled does too.
std::mutex heap_padding_guard;
bool heap_padding_settled = false;  // set by either function below: not set again
}  // namespace

void prepare_heap_growth()
{
    std::lock_guard<std::mutex> lock(heap_padding_guard);
    if (heap_padding_settled)
        return;  // mallopt also tidies the main heap each time: set it once
    mallopt(M_TOP_PAD, 64 << 20);
    heap_padding_settled = true;
}

void drop_heap_padding()
{
    std::lock_guard<std::mutex> lock(heap_padding_guard);
    mallopt(M_TOP_PAD, 0);
    heap_padding_settled = true;
}

uint32_t chunk_count(uint64_t item_count, uint32_t thread_count)
{
    return static_cast<uint32_t>(std::max<uint64_t>(1, std::min<uint64_t>(thread_count, item_count)));
}

uint64_t chunk_begin(uint64_t item_count, uint32_t chunks, uint32_t chunk)
{
    // item_count * chunk stays below 2^64 for any table that fits in memory.
    return item_count * chunk / chunks;
}

void run_in_chunks(uint64_t item_count, uint32_t thread_count,
                   std::function<void(uint32_t chunk, uint64_t first, uint64_t last)> const & work)
{
    if (item_count == 0)
        return;
    uint32_t const chunks = chunk_count(item_count, thread_count);
    auto run_chunk = [&](uint32_t c) {
        work(c, chunk_begin(item_count, chunks, c), chunk_begin(item_count, chunks, c + 1));
    };

    if (chunks > 1)
        prepare_heap_growth();
    std::vector<std::thread> workers;
    std::vector<uint32_t> left_over;
    for (uint32_t c = 1; c < chunks; ++c)
    {
        try
        {
            workers.emplace_back(run_chunk, c);
        }
        catch (std::system_error const &)
        {
            left_over.push_back(c);
        }
    }
    run_chunk(0);
    for (uint32_t c : left_over)
        run_chunk(c);
    for (std::thread & worker : workers)
        worker.join();
}

namespace
{
// The pieces not yet taken: thread t's own run of consecutive pieces is
// [front[t], back[t]). A thread takes from the front of its own run and,
// once that is used up, from the back of the longest run left, so that the
// pieces one thread does stay next to one another.
struct piece_runs
{
    std::mutex guard;
    std::vector<uint64_t> front;
    std::vector<uint64_t> back;

    piece_runs(uint64_t piece_count, uint32_t threads) : front(threads), back(threads)
    {
        for (uint32_t t = 0; t < threads; ++t)
        {
            front[t] = chunk_begin(piece_count, threads, t);
            back[t] = chunk_begin(piece_count, threads, t + 1);
        }
    }

    // The next piece for thread t, or false when none is left.
    bool take(uint32_t t, uint64_t & piece)
    {
        std::lock_guard<std::mutex> lock(guard);
        if (front[t] < back[t])
        {
            piece = front[t]++;
            return true;
        }
        uint32_t longest = t;
        for (uint32_t r = 0; r < front.size(); ++r)
            if (back[r] - front[r] > back[longest] - front[longest])
                longest = r;
        if (front[longest] == back[longest])
            return false;
        piece = --back[longest];
        return true;
    }
};
}  // namespace

uint32_t piece_count(uint64_t item_count, uint32_t thread_count, uint32_t pieces_per_thread)
{
    if (thread_count <= 1)
        return 1;
    uint64_t const wanted = static_cast<uint64_t>(pieces_per_thread) * thread_count;
    return chunk_count(item_count, static_cast<uint32_t>(std::min<uint64_t>(wanted, UINT32_MAX)));
}

void run_in_pieces(uint64_t piece_count, uint32_t thread_count, std::function<void(uint64_t piece)> const & work)
{
    if (piece_count == 0)
        return;
    uint32_t const threads = chunk_count(piece_count, thread_count);
    piece_runs runs(piece_count, threads);
    // An exception of a piece (out of memory, say) stops every thread from
    // taking more and is thrown again once they are all done.
    std::exception_ptr failure;
    std::mutex failure_lock;
    std::atomic<bool> failed{false};
    auto take_pieces = [&](uint32_t t) {
        uint64_t piece = 0;
        while (!failed.load() && runs.take(t, piece))
        {
            try
            {
                work(piece);
            }
            catch (...)
            {
                std::lock_guard<std::mutex> hold(failure_lock);
                if (!failure)
                    failure = std::current_exception();
                failed.store(true);
            }
        }
    };
    if (threads > 1)
        prepare_heap_growth();
    std::vector<std::thread> helpers;
    for (uint32_t t = 1; t < threads; ++t)
    {
        try
        {
            helpers.emplace_back(take_pieces, t);
        }
        catch (std::system_error const &)
        {
            break;  // the runs of threads not started are taken by the others
        }
    }
    take_pieces(0);
    for (std::thread & helper : helpers)
        helper.join();
    if (failure)
        std::rethrow_exception(failure);
}

void prefault_in_chunks(void const * begin, std::size_t bytes, uint32_t thread_count)
{
    advise_huge_pages(begin, bytes);
#ifdef MADV_POPULATE_WRITE
    if (thread_count <= 1)
        return;
    std::uintptr_t const page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
    std::uintptr_t const start = reinterpret_cast<std::uintptr_t>(begin);
    std::uintptr_t const first_page = (start + page - 1) / page;  // whole pages inside the range
    std::uintptr_t const end_page = (start + bytes) / page;
    if (end_page <= first_page)
        return;
    run_in_chunks(end_page - first_page, thread_count, [&](uint32_t, uint64_t first, uint64_t last) {
        // Fails harmlessly (the pages then fault in as they are written) on
        // kernels before 5.14.
        madvise(reinterpret_cast<void *>((first_page + first) * page), (last - first) * page, MADV_POPULATE_WRITE);
    });
#else
    (void)begin;
    (void)bytes;
    (void)thread_count;
#endif
}

void advise_huge_pages(void const * begin, std::size_t bytes)
{
#ifdef MADV_HUGEPAGE
    constexpr std::uintptr_t huge_page = std::uintptr_t{2} << 20;
    std::uintptr_t const first = (reinterpret_cast<std::uintptr_t>(begin) + huge_page - 1) & ~(huge_page - 1);
    std::uintptr_t const end = (reinterpret_cast<std::uintptr_t>(begin) + bytes) & ~(huge_page - 1);
    if (end > first)
        madvise(reinterpret_cast<void *>(first), end - first, MADV_HUGEPAGE);  // a hint: may fail harmlessly
#else
    (void)begin;
    (void)bytes;
#endif
}

uint32_t ordered_block_slots(uint32_t thread_count)
{
    // Room for every thread to run a few blocks ahead of the consumer.
    return thread_count <= 1 ? 1 : 4 * std::min<uint32_t>(thread_count, 1024);
}

namespace
{
// Blocks handed out to the producing threads and taken back in order.
struct block_queue
{
    uint64_t blocks = 0;
    uint64_t block_size = 1;
    uint64_t item_count = 0;
    uint32_t slots = 1;

    std::mutex guard;
    std::condition_variable changed;
    uint64_t next_block = 0;  // the next block to hand out
    uint64_t consumed = 0;    // blocks consumed so far
    bool stopped = false;     // consume failed: hand out no more blocks
    std::vector<char> ready;  // by slot: its block is produced and not consumed

    uint64_t first_item(uint64_t block) const { return block * block_size; }
    uint64_t last_item(uint64_t block) const { return std::min(item_count, (block + 1) * block_size); }
    // A block is left to hand out, and a slot is free for it.
    bool can_hand_out() const { return next_block < blocks && next_block < consumed + slots; }
};

// Hands out the next block and produces it, with `lock` (held on the
// queue's guard) released meanwhile, then marks its slot ready.
void produce_next_block(block_queue & queue, std::unique_lock<std::mutex> & lock,
                        std::function<void(uint32_t slot, uint64_t first, uint64_t last)> const & produce)
{
    uint64_t const block = queue.next_block++;
    auto const slot = static_cast<uint32_t>(block % queue.slots);
    lock.unlock();
    produce(slot, queue.first_item(block), queue.last_item(block));
    lock.lock();
    queue.ready[slot] = 1;
    queue.changed.notify_all();
}

// One producing thread: takes the next block while there is a free slot,
// produces it and marks its slot ready, until every block is handed out.
void produce_blocks(block_queue & queue,
                    std::function<void(uint32_t slot, uint64_t first, uint64_t last)> const & produce)
{
    std::unique_lock<std::mutex> lock(queue.guard);
    while (true)
    {
        queue.changed.wait(lock, [&] {
            return queue.stopped || queue.next_block >= queue.blocks || queue.can_hand_out();
        });
        if (queue.stopped || queue.next_block >= queue.blocks)
            return;
        produce_next_block(queue, lock, produce);
    }
}
}  // namespace

bool run_in_ordered_blocks(uint64_t item_count, uint64_t block_size, uint32_t thread_count,
                           std::function<void(uint32_t slot, uint64_t first, uint64_t last)> const & produce,
                           std::function<bool(uint32_t slot)> const & consume)
{
    block_queue queue;
    queue.item_count = item_count;
    queue.block_size = std::max<uint64_t>(block_size, 1);
    queue.blocks = (item_count + queue.block_size - 1) / queue.block_size;
    queue.slots = ordered_block_slots(thread_count);
    queue.ready.assign(queue.slots, 0);

    std::vector<std::thread> producers;
    if (thread_count > 1 && queue.blocks > 1)
    {
        prepare_heap_growth();
        for (uint32_t t = 1; t < thread_count; ++t)
        {
            try
            {
                producers.emplace_back(produce_blocks, std::ref(queue), std::cref(produce));
            }
            catch (std::system_error const &)
            {
                break;
            }
        }
    }

    // The calling thread consumes the blocks in order and, while the block
    // it needs is not ready, produces the next one handed out.
    bool all_consumed = true;
    std::unique_lock<std::mutex> lock(queue.guard);
    for (uint64_t block = 0; block < queue.blocks && all_consumed; ++block)
    {
        auto const slot = static_cast<uint32_t>(block % queue.slots);
        while (queue.ready[slot] == 0)
        {
            if (queue.can_hand_out())
                produce_next_block(queue, lock, produce);
            else
                queue.changed.wait(lock);
        }
        lock.unlock();
        all_consumed = consume(slot);
        lock.lock();
        queue.ready[slot] = 0;
        ++queue.consumed;
        queue.stopped = !all_consumed;
        queue.changed.notify_all();
    }
    lock.unlock();
    for (std::thread & producer : producers)
        producer.join();
    return all_consumed;
}
