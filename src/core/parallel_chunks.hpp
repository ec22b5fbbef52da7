// Per-tag work spread over threads: a range of items is cut into contiguous
// chunks, one per thread, or into blocks produced on several threads and
// consumed in order on the calling thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

// Has the C library grow its heaps in steps of 64 MiB (once per process,
// and not after drop_heap_padding; run_in_chunks, run_in_pieces and
// run_in_ordered_blocks do it before they start threads). By default glibc
// grows the heap of the first thread 128 KiB at a time and makes the heap of
// every further thread writable page by page, each step a system call that
// also stalls the page faults of the other threads; the stages allocate
// millions of small blocks. Only address space is reserved: pages still take
// memory when they are first written. Call it before the first thread is
// started, so that its heap is made writable whole.
void prepare_heap_growth();

// Ends the padding of prepare_heap_growth for the rest of the process: memory
// freed at the top of a heap then goes back to the system as soon as it is
// freed, on the thread that frees it, instead of all of it on one thread when
// the process exits. For the release of the tables at the end of a run.
void drop_heap_padding();

// The number of chunks run_in_chunks cuts item_count items into: thread_count,
// but at least 1 and at most item_count (1 when there are no items).
uint32_t chunk_count(uint64_t item_count, uint32_t thread_count);

// The first item of chunk `chunk` of chunk_count(item_count, thread_count)
// near-equal chunks; chunk `chunks` gives item_count.
uint64_t chunk_begin(uint64_t item_count, uint32_t chunks, uint32_t chunk);

// Calls work(chunk, first, last) for every chunk [first, last) of [0, item_count),
// chunk 0 on the calling thread and every other chunk on a thread of its own,
// and returns when all are done. A chunk whose thread cannot be started is
// done on the calling thread. Nothing is called when item_count is 0.
void run_in_chunks(uint64_t item_count, uint32_t thread_count,
                   std::function<void(uint32_t chunk, uint64_t first, uint64_t last)> const & work);

// The number of pieces to cut item_count items into for run_in_pieces:
// pieces_per_thread for every thread (enough that a thread slowed down by
// other work can leave some of its pieces to the others), at most
// item_count, at least 1; 1 with one thread.
uint32_t piece_count(uint64_t item_count, uint32_t thread_count, uint32_t pieces_per_thread);

// Calls work(piece) once for every piece in [0, piece_count), on the calling
// thread and on thread_count - 1 threads of their own (as many as there are
// pieces, at most), and returns when all are done. Each thread starts on the
// run of consecutive pieces run_in_chunks would give it, in order; a thread
// done with its own run takes the last pieces of the longest run left. So a
// thread slowed down by other work does fewer pieces, and the pieces of one
// thread form few stretches of consecutive pieces (the tags it allocates
// mostly stay together). With one thread, or when no thread can be started,
// the calling thread does every piece.
void run_in_pieces(uint64_t piece_count, uint32_t thread_count, std::function<void(uint64_t piece)> const & work);

// Has the memory pages of the `bytes` bytes at `begin` (memory just
// allocated for a table, say) mapped for writing, spread over thread_count
// threads, so that filling the table does not take its page faults one after
// the other on one thread. Changes no content. Does nothing with one thread,
// or where the system offers no way to do it.
void prefault_in_chunks(void const * begin, std::size_t bytes, uint32_t thread_count);

// Asks the system to back the whole 2 MiB pages of [begin, begin + bytes)
// (memory just allocated for a large table, not yet written) with huge
// pages where it can: a table of millions of records then takes its page
// faults 512 times less often. prefault_in_chunks does it first.
void advise_huge_pages(void const * begin, std::size_t bytes);

// Reserves room for `count` items in `table` and has the pages of that room
// mapped as prefault_in_chunks does.
template <typename T>
void reserve_prefaulted(std::vector<T> & table, std::size_t count, uint32_t thread_count)
{
    table.reserve(count);
    prefault_in_chunks(table.data(), table.capacity() * sizeof(T), thread_count);
}

// The number of slots run_in_ordered_blocks uses for thread_count threads:
// the blocks produced and not yet consumed, at most.
uint32_t ordered_block_slots(uint32_t thread_count);

// Cuts [0, item_count) into blocks of block_size items (0 counts as 1), the
// last one shorter. Calls produce(slot, first, last) for every block and
// consume(slot) for every block, in block order, once the block is produced.
// consume runs on the calling thread; produce runs there too, whenever the
// block to consume next is not ready yet, and on thread_count - 1 threads of
// their own (none with 0 or 1, or when no thread can be started). A block is
// produced into slot (block number modulo ordered_block_slots), which is not
// handed out again before its block is consumed. Stops producing and returns
// false once consume returns false; true when every block is consumed.
bool run_in_ordered_blocks(uint64_t item_count, uint64_t block_size, uint32_t thread_count,
                           std::function<void(uint32_t slot, uint64_t first, uint64_t last)> const & produce,
                           std::function<bool(uint32_t slot)> const & consume);
