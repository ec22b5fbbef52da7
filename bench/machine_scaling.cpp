// What a second thread can gain on this machine, apart from mirsight: the
// same amount of work done by one thread and then split over two, for four
// kinds of work the tool's stages are made of.
//
//   machine_scaling
//
// - compute: arithmetic on data that stays in the cache (as the seed search);
// - memory copy: streaming through memory far larger than the cache (as the
//   passes over the tag tables);
// - first touch: writing memory never used before, one page after the other
//   (as every new table and string);
// - scattered: reads that each depend on the one before, at random places
//   in 16 MiB (as the lookups of each alignment's miRNA and row).
// Prints, for each, the median seconds of 5 rounds on 1 and 2 threads and the
// speed-up.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <thread>
#include <vector>

#include <sys/mman.h>
#include <unistd.h>

namespace
{
using work_part = std::function<void(std::size_t part, std::size_t parts)>;

double seconds_on(unsigned threads, work_part const & work)
{
    auto const start = std::chrono::steady_clock::now();
    std::vector<std::thread> helpers;
    for (unsigned t = 1; t < threads; ++t)
        helpers.emplace_back(work, t, threads);
    work(0, threads);
    for (std::thread & helper : helpers)
        helper.join();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

constexpr std::size_t touch_bytes = std::size_t{256} << 20;
std::vector<void *> mappings;

void release_mappings()
{
    for (void * mapping : mappings)
        munmap(mapping, touch_bytes);
    mappings.clear();
}

double median_seconds(unsigned threads, std::function<work_part()> const & prepare)
{
    std::vector<double> times;
    for (int round = 0; round < 5; ++round)
    {
        work_part const work = prepare();
        times.push_back(seconds_on(threads, work));
        release_mappings();
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

volatile uint64_t sink = 0;

work_part compute()
{
    return [](std::size_t part, std::size_t parts) {
        uint64_t x = part + 1;
        for (uint64_t i = 0; i < 200000000 / parts; ++i)
            x = x * 6364136223846793005ULL + 1442695040888963407ULL;
        sink = sink + x;
    };
}

constexpr std::size_t copy_bytes = std::size_t{256} << 20;
std::vector<char> copy_from(copy_bytes, 1);
std::vector<char> copy_to(copy_bytes, 2);

work_part memory_copy()
{
    return [](std::size_t part, std::size_t parts) {
        std::size_t const first = copy_bytes / parts * part;
        std::size_t const size = copy_bytes / parts;
        for (int pass = 0; pass < 4; ++pass)
            std::memcpy(copy_to.data() + first, copy_from.data() + first, size);
    };
}

work_part first_touch()
{
    void * fresh = mmap(nullptr, touch_bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (fresh == MAP_FAILED)
    {
        std::perror("mmap");
        std::exit(1);
    }
    mappings.push_back(fresh);
    auto * bytes = static_cast<char *>(fresh);
    auto const page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    return [bytes, page](std::size_t part, std::size_t parts) {
        std::size_t const first = touch_bytes / parts * part;
        std::size_t const last = first + touch_bytes / parts;
        for (std::size_t i = first; i < last; i += page)
            bytes[i] = 1;
    };
}

// One random cycle through `entries` 4-byte slots per thread: each read
// depends on the one before, as a lookup through tables that outgrow the
// cache does (the row of an alignment's miRNA, the miRNA's name).
constexpr std::size_t chase_entries = std::size_t{4} << 20;  // 16 MiB per thread
constexpr uint64_t chase_steps = 8000000;

std::vector<uint32_t> random_cycle(uint32_t seed)
{
    std::vector<uint32_t> order(chase_entries);
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = static_cast<uint32_t>(i);
    uint64_t state = seed;
    for (std::size_t i = order.size() - 1; i > 0; --i)
    {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        std::swap(order[i], order[(state >> 33) % (i + 1)]);
    }
    std::vector<uint32_t> next(chase_entries);
    for (std::size_t i = 0; i < order.size(); ++i)
        next[order[i]] = order[(i + 1) % order.size()];
    return next;
}

std::vector<uint32_t> const cycle = random_cycle(1);

work_part scattered_reads()
{
    // The same number of reads in all, split over the threads, which read
    // one shared table from places of their own, as the stages do.
    return [](std::size_t part, std::size_t parts) {
        auto at = static_cast<uint32_t>(part * (chase_entries / 2 + 7));
        for (uint64_t step = 0; step < 2 * chase_steps / parts; ++step)
            at = cycle[at];
        sink = sink + at;
    };
}

void report(char const * kind, std::function<work_part()> const & prepare)
{
    double const one = median_seconds(1, prepare);
    double const two = median_seconds(2, prepare);
    std::printf("%-12s %10.3f %10.3f %8.2f\n", kind, one, two, one / two);
}
}  // namespace

int main()
{
    std::printf("%-12s %10s %10s %8s\n", "work", "1_thread_s", "2_threads_s", "speed-up");
    report("compute", compute);
    report("memory_copy", memory_copy);
    report("first_touch", first_touch);
    report("scattered", scattered_reads);
    return 0;
}
