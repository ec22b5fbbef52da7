// Per-tag work spread over threads: a range of items is cut into contiguous
// chunks, one per thread.
#pragma once

#include <cstdint>
#include <functional>

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
