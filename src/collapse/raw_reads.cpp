#include "collapse/raw_reads.hpp"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>
#include <utility>

#include <sys/stat.h>

#include "collapse/umi_clustering.hpp"
#include "core/messages.hpp"

namespace
{
// The state of one pass over the reads of a sample.
struct raw_read_pass
{
    raw_read_pass(trim_request const & asked, sequence_counts & into, raw_read_result & found)
        : request(asked), counts(into), result(found)
    {
    }
    trim_request request;
    sequence_counts & counts;
    raw_read_result & result;
    bool decided = false;
    bool failed = false;
    read_trimmer trimmer;
    std::vector<std::string> sample;           // the first reads, until the adapter is chosen
    std::vector<std::string> inserts = std::vector<std::string>(read_batch_size);
    std::size_t insert_count = 0;
    sequence_counts pairs;                      // with a UMI: UMI followed by insert, per read
    collapse_summary unused;
};

bool uses_umi(raw_read_pass const & pass)
{
    return pass.trimmer.settings.umi_length > 0;
}

void flush_inserts(raw_read_pass & pass)
{
    length_limits const any_length{0, std::numeric_limits<uint64_t>::max()};
    count_reads(pass.inserts, pass.insert_count, any_length, uses_umi(pass) ? pass.pairs : pass.counts, pass.unused);
    pass.insert_count = 0;
}

void trim_and_count(raw_read_pass & pass, std::string const * reads, std::size_t read_count)
{
    for (std::size_t i = 0; i < read_count; ++i)
    {
        trimmed_read const trimmed = trim_read(pass.trimmer, reads[i]);
        add_to_funnel(pass.result.funnel, trimmed.fate);
        if (trimmed.fate != read_fate::kept)
            continue;
        std::string & key = pass.inserts[pass.insert_count++];
        key.assign(trimmed.umi);
        key.append(trimmed.insert);
        if (pass.insert_count == read_batch_size)
            flush_inserts(pass);
    }
}

// The settings the reads are trimmed with, once the sample is there; false
// when no adapter can be chosen.
bool choose_settings(raw_read_pass & pass)
{
    trim_request const & request = pass.request;
    trim_settings settings = request.settings;
    bool untrimmed = request.mode == adapter_mode::none;
    if (request.mode == adapter_mode::none)
        pass.result.warning = untrimmed_warning(pass.sample);
    if (request.mode == adapter_mode::given)
    {
        pass.result.chosen.adapter = settings.adapter;
        pass.result.chosen.given = true;
        pass.result.chosen.umi_length = settings.umi_length;
        pass.result.chosen.sampled_reads = pass.sample.size();
        pass.result.chosen.share = adapter_share(pass.sample, settings.adapter);
    }
    if (request.mode == adapter_mode::detect)
    {
        pass.result.chosen = detect_adapter(pass.sample);
        if (!pass.result.chosen.error.empty())
            return false;
        untrimmed = pass.result.chosen.already_trimmed;
        settings.adapter = pass.result.chosen.adapter;
        settings.umi_length = pass.result.chosen.umi_length;
    }
    if (untrimmed)
    {
        settings.adapter.clear();
        settings.umi_length = 0;
        settings.min_insert = request.untrimmed_min_length;
        settings.max_insert = request.untrimmed_max_length;
    }
    pass.result.applied = settings;
    pass.trimmer = make_read_trimmer(settings);
    return true;
}

void decide(raw_read_pass & pass)
{
    if (!choose_settings(pass))
    {
        pass.failed = true;
        return;
    }
    pass.decided = true;
    trim_and_count(pass, pass.sample.data(), pass.sample.size());
    std::vector<std::string>().swap(pass.sample);
}

// Takes reads[first, first + read_count).
void take_batch(raw_read_pass & pass, std::vector<std::string> & reads, std::size_t first, std::size_t read_count)
{
    std::string * const batch = reads.data() + first;
    for (std::size_t i = 0; i < read_count; ++i)
        upper_case_sequence(batch[i]);
    if (pass.decided)
    {
        trim_and_count(pass, batch, read_count);
        return;
    }
    if (pass.failed)
        return;
    for (std::size_t i = 0; i < read_count; ++i)
        pass.sample.push_back(std::move(batch[i]));
    if (pass.sample.size() >= adapter_sample_size)
        decide(pass);
}

// The inserts' counts from the (UMI, insert) pairs: molecules or reads.
void count_molecules(raw_read_pass & pass)
{
    struct pair_count
    {
        std::string_view insert;
        std::string_view umi;
        uint64_t reads;
    };
    std::size_t const umi_length = pass.trimmer.settings.umi_length;
    std::string_view const letters = pass.pairs.letters;
    std::vector<pair_count> pairs;
    pairs.reserve(pass.pairs.distinct);
    for (counted_sequence const & slot : pass.pairs.slots)
        if (slot.count != 0)
        {
            std::string_view const key = letters.substr(slot.offset, slot.length);
            pairs.push_back({key.substr(umi_length), key.substr(0, umi_length), slot.count});
        }
    std::sort(pairs.begin(), pairs.end(),
              [](pair_count const & a, pair_count const & b) { return a.insert < b.insert; });
    std::vector<umi_count> umis;
    std::string insert;
    for (std::size_t begin = 0; begin < pairs.size();)
    {
        std::size_t end = begin;
        uint64_t reads = 0;
        umis.clear();
        for (; end < pairs.size() && pairs[end].insert == pairs[begin].insert; ++end)
        {
            umis.push_back({pairs[end].umi, pairs[end].reads});
            reads += pairs[end].reads;
        }
        uint64_t const molecules = directional_molecules(umis);
        pass.result.molecules += molecules;
        insert.assign(pairs[begin].insert);
        add_sequence(pass.counts, insert, pass.trimmer.settings.count_molecules ? molecules : reads);
        begin = end;
    }
}

// Blocks of reads passed from the reading thread to the trimming thread,
// at most a few in flight; emptied blocks come back to be filled again.
struct read_block
{
    std::vector<std::string> reads = std::vector<std::string>(16384);
    std::size_t count = 0;
};

struct block_handoff
{
    std::mutex lock;
    std::condition_variable changed;
    std::deque<read_block> full;
    std::deque<read_block> empty;
    bool finished = false;  // no more blocks will come
};

constexpr std::size_t blocks_in_flight = 4;

// The trimming thread: takes full blocks until the reading is finished.
void trim_blocks(raw_read_pass & pass, block_handoff & handoff, std::exception_ptr & failure)
{
    try
    {
        for (;;)
        {
            read_block block;
            {
                std::unique_lock<std::mutex> guard(handoff.lock);
                handoff.changed.wait(guard, [&] { return !handoff.full.empty() || handoff.finished; });
                if (handoff.full.empty())
                    return;
                block = std::move(handoff.full.front());
                handoff.full.pop_front();
            }
            for (std::size_t begin = 0; begin < block.count; begin += read_batch_size)
            {
                std::size_t const count = std::min(read_batch_size, block.count - begin);
                take_batch(pass, block.reads, begin, count);
            }
            block.count = 0;
            std::lock_guard<std::mutex> guard(handoff.lock);
            handoff.empty.push_back(std::move(block));
            handoff.changed.notify_all();
        }
    }
    catch (...)
    {
        failure = std::current_exception();
        std::lock_guard<std::mutex> guard(handoff.lock);
        handoff.full.clear();
        handoff.changed.notify_all();
    }
}

// Reads every file, handing the reads to `take(reads, count)`; with
// threads, the trimming runs on a thread of its own. Returns as
// collapse_raw_reads does.
int32_t read_all_files(std::vector<std::string> const & paths, std::string * other, raw_read_pass & pass,
                       uint32_t threads)
{
    auto const distinct_so_far = [&] { return pass.counts.distinct + pass.pairs.distinct; };
    if (threads <= 1)
    {
        for (std::string const & path : paths)
        {
            int32_t const status = read_sequence_batches(
                path, paths.size() == 1 ? other : nullptr,
                [&](std::vector<std::string> & reads, std::size_t count) { take_batch(pass, reads, 0, count); },
                distinct_so_far);
            if (status != 0)
                return status;
        }
        return 0;
    }

    block_handoff handoff;
    for (std::size_t i = 0; i < blocks_in_flight; ++i)
        handoff.empty.emplace_back();
    std::exception_ptr failure;
    std::thread trimmer([&] { trim_blocks(pass, handoff, failure); });
    read_block filling;
    bool started = false;
    // Hands the filled block over, waiting for an empty one.
    auto const hand_over = [&] {
        std::unique_lock<std::mutex> guard(handoff.lock);
        if (started)
            handoff.full.push_back(std::move(filling));
        handoff.changed.notify_all();
        handoff.changed.wait(guard, [&] { return !handoff.empty.empty() || failure; });
        if (failure)
            throw std::bad_alloc();
        filling = std::move(handoff.empty.front());
        handoff.empty.pop_front();
        started = true;
    };
    int32_t status = 0;
    try
    {
        hand_over();
        for (std::string const & path : paths)
        {
            status = read_sequence_batches(
                path, paths.size() == 1 ? other : nullptr,
                [&](std::vector<std::string> & reads, std::size_t count) {
                    for (std::size_t i = 0; i < count; ++i)
                    {
                        if (filling.count == filling.reads.size())
                            hand_over();
                        filling.reads[filling.count++].swap(reads[i]);
                    }
                },
                distinct_so_far);
            if (status != 0)
                break;
        }
        if (status == 0 && filling.count > 0)
            hand_over();
    }
    catch (...)
    {
        if (!failure)
            failure = std::current_exception();
    }
    {
        std::lock_guard<std::mutex> guard(handoff.lock);
        handoff.finished = true;
        handoff.changed.notify_all();
    }
    trimmer.join();
    if (failure && status != 0)
        return status;  // already reported
    if (failure)
    {
        print_error("out of memory while collapsing reads file '" + paths.back() + "' (" +
                    std::to_string(distinct_so_far()) + " distinct sequences so far)");
        return -1;
    }
    return status;
}

// The same file named twice (by the same or another name).
bool repeats_a_file(std::vector<std::string> const & paths)
{
    for (std::size_t i = 0; i < paths.size(); ++i)
        for (std::size_t j = 0; j < i; ++j)
        {
            struct stat a;
            struct stat b;
            bool const same = paths[i] == paths[j] ||
                              (stat(paths[i].c_str(), &a) == 0 && stat(paths[j].c_str(), &b) == 0 &&
                               a.st_dev == b.st_dev && a.st_ino == b.st_ino && S_ISREG(a.st_mode));
            if (same)
            {
                print_error("reads file '" + paths[i] + "' is named twice" +
                            (paths[i] == paths[j] ? std::string() : " (as '" + paths[j] + "')"));
                return true;
            }
        }
    return false;
}
}  // namespace

int32_t collapse_raw_reads(std::vector<std::string> const & paths, trim_request const & request, uint32_t threads,
                           sequence_counts & counts, raw_read_result & result, std::string * other)
{
    if (repeats_a_file(paths))
        return -1;
    raw_read_pass pass(request, counts, result);
    int32_t const status = read_all_files(paths, other, pass, threads);
    if (status != 0)
        return status;
    if (!pass.decided && !pass.failed)
        decide(pass);
    if (pass.failed)
    {
        print_error("reads file '" + paths.front() + "': " + result.chosen.error);
        return -1;
    }
    flush_inserts(pass);
    if (uses_umi(pass))
        count_molecules(pass);
    result.funnel.kept_molecules = result.molecules;
    return 0;
}
