#include "tags/parallel_chunks.hpp"

#include <algorithm>
#include <system_error>
#include <thread>
#include <vector>

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
