#include "core/parallel_chunks.hpp"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
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

// Every piece runs exactly once; one thread runs them all, in order, on the
// calling thread.
TEST(RunInPieces, EveryPieceOnce)
{
    struct piece_case
    {
        uint64_t pieces;
        uint32_t threads;
    };
    for (piece_case const c : std::vector<piece_case>{{0, 2}, {1, 4}, {5, 0}, {16, 2}, {37, 3}, {200, 8}})
    {
        SCOPED_TRACE(std::to_string(c.pieces) + " pieces, " + std::to_string(c.threads) + " threads");
        std::vector<std::atomic<int>> seen(c.pieces);
        run_in_pieces(c.pieces, c.threads, [&](uint64_t piece) { ++seen.at(piece); });
        for (uint64_t i = 0; i < c.pieces; ++i)
            EXPECT_EQ(1, seen[i].load()) << "piece " << i;
    }

    EXPECT_EQ(1u, piece_count(1000, 1, 8));   // one thread: one piece
    EXPECT_EQ(16u, piece_count(1000, 2, 8));
    EXPECT_EQ(5u, piece_count(5, 2, 8));      // never more pieces than items
    EXPECT_EQ(1u, piece_count(0, 2, 8));

    std::thread::id const caller = std::this_thread::get_id();
    std::vector<uint64_t> order;
    run_in_pieces(6, 1, [&](uint64_t piece) {
        EXPECT_EQ(caller, std::this_thread::get_id());
        order.push_back(piece);
    });
    EXPECT_EQ((std::vector<uint64_t>{0, 1, 2, 3, 4, 5}), order);
}

// A thread held up on its pieces leaves the rest of its run to the other
// thread, which takes them from the back of that run. The caller is held on
// its first piece until the helper has done every other one; the helper
// waits for the caller to start, so that neither can run ahead of the other
// however the threads are scheduled.
TEST(RunInPieces, AFreeThreadTakesOverTheRunOfASlowOne)
{
    std::thread::id const caller = std::this_thread::get_id();
    std::mutex guard;
    std::condition_variable changed;
    bool caller_started = false;
    std::vector<uint64_t> by_caller;
    std::vector<uint64_t> by_helper;
    auto const patience = std::chrono::seconds(10);  // only a broken run_in_pieces waits that long
    run_in_pieces(16, 2, [&](uint64_t piece) {
        std::unique_lock<std::mutex> lock(guard);
        if (std::this_thread::get_id() == caller)
        {
            by_caller.push_back(piece);
            caller_started = true;
            changed.notify_all();
            changed.wait_for(lock, patience, [&] { return by_helper.size() == 15; });
        }
        else
        {
            changed.wait_for(lock, patience, [&] { return caller_started; });
            by_helper.push_back(piece);
            changed.notify_all();
        }
    });
    EXPECT_EQ(std::vector<uint64_t>{0}, by_caller);  // the caller's run is [0, 8), taken from its front
    // The helper's own run [8, 16) in order, then the caller's from its back.
    std::vector<uint64_t> const expected_helper = {8, 9, 10, 11, 12, 13, 14, 15, 7, 6, 5, 4, 3, 2, 1};
    EXPECT_EQ(expected_helper, by_helper);
}

// Every block is produced once into a slot nobody else holds, and consumed
// in block order on the calling thread, for any number of threads.
TEST(RunInOrderedBlocks, ProducesEveryBlockAndConsumesInOrder)
{
    struct block_case
    {
        uint64_t items;
        uint64_t block_size;
        uint32_t threads;
    };
    std::vector<block_case> const cases = {
        {0, 4, 2}, {1, 4, 1}, {10, 3, 1}, {10, 3, 2}, {1000, 7, 3}, {1000, 1000, 4}, {500, 0, 2}, {64, 1, 8},
    };
    for (block_case const & c : cases)
    {
        SCOPED_TRACE(std::to_string(c.items) + " items, blocks of " + std::to_string(c.block_size) + ", "
                     + std::to_string(c.threads) + " threads");
        uint32_t const slots = ordered_block_slots(c.threads);
        std::vector<std::pair<uint64_t, uint64_t>> held(slots, {1, 0});  // the range in each slot
        std::vector<std::atomic<int>> busy(slots);
        std::atomic<bool> overlap{false};
        std::vector<std::pair<uint64_t, uint64_t>> consumed;
        std::thread::id const caller = std::this_thread::get_id();
        bool const done = run_in_ordered_blocks(
            c.items, c.block_size, c.threads,
            [&](uint32_t slot, uint64_t first, uint64_t last) {
                if (++busy.at(slot) != 1)
                    overlap = true;
                held[slot] = {first, last};
            },
            [&](uint32_t slot) {
                EXPECT_EQ(caller, std::this_thread::get_id());
                if (consumed.empty())  // let the producers run ahead into every free slot
                    std::this_thread::sleep_for(std::chrono::milliseconds(20));
                consumed.push_back(held.at(slot));
                --busy[slot];
                return true;
            });
        EXPECT_TRUE(done);
        EXPECT_FALSE(overlap.load()) << "a slot was handed out before its block was consumed";
        uint64_t const size = std::max<uint64_t>(c.block_size, 1);
        ASSERT_EQ((c.items + size - 1) / size, consumed.size());
        uint64_t next = 0;
        for (auto const & [first, last] : consumed)
        {
            EXPECT_EQ(next, first);
            EXPECT_EQ(std::min(c.items, first + size), last);
            next = last;
        }
    }
}

// A failed consume stops the run: no later block is consumed, and only the
// blocks already in flight may still be produced.
TEST(RunInOrderedBlocks, StopsAtTheFirstFailedConsume)
{
    for (uint32_t threads : {1u, 2u, 3u})
    {
        std::atomic<uint64_t> produced{0};
        uint64_t consumed = 0;
        bool const done = run_in_ordered_blocks(
            1000, 10, threads, [&](uint32_t, uint64_t, uint64_t) { ++produced; },
            [&](uint32_t) { return ++consumed < 5; });
        EXPECT_FALSE(done);
        EXPECT_EQ(5u, consumed) << threads << " threads";
        EXPECT_LE(produced.load(), 5u + ordered_block_slots(threads)) << threads << " threads";
    }
}

// Prefaulting leaves every byte as it was, whatever the range: unaligned
// ends, less than a page, nothing at all.
TEST(PrefaultInChunks, ChangesNoContent)
{
    std::vector<unsigned char> table(3 * 4096 * 7 + 123);
    for (std::size_t i = 0; i < table.size(); ++i)
        table[i] = static_cast<unsigned char>(i * 31 + 7);
    std::vector<unsigned char> const before = table;
    struct range_case
    {
        std::size_t offset;
        std::size_t bytes;
        uint32_t threads;
    };
    std::vector<range_case> const cases = {
        {0, table.size(), 2}, {5, table.size() - 5, 3}, {1, 100, 2}, {17, 0, 2}, {0, table.size(), 1},
    };
    for (range_case const & c : cases)
    {
        prefault_in_chunks(table.data() + c.offset, c.bytes, c.threads);
        EXPECT_TRUE(table == before) << "offset " << c.offset << ", " << c.bytes << " bytes, " << c.threads
                                     << " threads";
    }
}
