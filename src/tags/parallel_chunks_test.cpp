#include "tags/parallel_chunks.hpp"

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

// Every item falls into exactly one chunk; chunks are contiguous, ascend
// with their number, and number at most the threads and the items.
TEST(RunInChunks, EveryItemOnceInContiguousChunks)
{
    struct chunk_case
    {
        uint64_t items;
        uint32_t threads;
        uint32_t chunks;
    };
    std::vector<chunk_case> const cases = {
        {10, 1, 1}, {10, 3, 3}, {2, 5, 2}, {1, 4, 1}, {7, 0, 1}, {1000, 7, 7}, {0, 3, 1},
    };
    for (chunk_case const & c : cases)
    {
        SCOPED_TRACE(std::to_string(c.items) + " items, " + std::to_string(c.threads) + " threads");
        EXPECT_EQ(c.chunks, chunk_count(c.items, c.threads));
        std::vector<std::atomic<int>> seen(c.items);
        std::mutex guard;
        std::vector<std::pair<uint64_t, uint64_t>> ranges(c.chunks, {0, 0});
        std::vector<std::thread::id> runners(c.chunks);
        run_in_chunks(c.items, c.threads, [&](uint32_t chunk, uint64_t first, uint64_t last) {
            for (uint64_t i = first; i < last; ++i)
                ++seen[i];
            std::lock_guard<std::mutex> lock(guard);
            ranges.at(chunk) = {first, last};
            runners.at(chunk) = std::this_thread::get_id();
        });
        for (uint64_t i = 0; i < c.items; ++i)
            EXPECT_EQ(1, seen[i].load()) << "item " << i;
        if (c.items == 0)
            continue;
        EXPECT_EQ(0u, ranges.front().first);
        EXPECT_EQ(c.items, ranges.back().second);
        for (uint32_t k = 0; k < c.chunks; ++k)
        {
            EXPECT_LT(ranges[k].first, ranges[k].second) << "chunk " << k << " is empty";
            EXPECT_EQ(chunk_begin(c.items, c.chunks, k), ranges[k].first);
            if (k > 0)
            {
                EXPECT_EQ(ranges[k - 1].second, ranges[k].first);
            }
        }
        EXPECT_EQ(std::this_thread::get_id(), runners[0]);  // chunk 0 runs on the caller
        if (c.chunks > 1)
        {
            EXPECT_NE(runners[0], runners[1]);
        }
    }
}
