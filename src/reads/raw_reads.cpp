#include "reads/raw_reads.hpp"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <exception>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>

#include <sys/stat.h>

#include "reads/umi_clustering.hpp"
#include "core/messages.hpp"

namespace
{
// What one file's reads are trimmed with, decided once its first reads are there.
struct pass_plan
{
    pass_plan(trim_request const & asked, lane_layout & of_file) : request(asked), lane(of_file) {}
    trim_request const & request;
    lane_layout & lane;
    bool decided = false;
    bool failed = false;
    read_trimmer trimmer;
    std::vector<std::string> sample;  // the first reads, until the layout is decided
};

// One trimming thread's counts: the inserts' (or, with a UMI, the UMI and
// insert pairs') reads, and its funnel. Each on cache lines of its own, as
// threads count into them side by side.
struct alignas(64) trim_worker
{
    explicit trim_worker(sequence_counts & into) : counts(into) {}
    sequence_counts & counts;
    sequence_counts pairs;  // UMI followed by insert
    read_funnel funnel;
    std::vector<std::string_view> kept;  // a batch's inserts (into the batch, or into `keys`)
    std::string keys;                    // with a UMI: a batch's UMI and insert pairs
    std::vector<std::size_t> key_ends;
    collapse_summary unused;
    std::size_t distinct_said = 0;  // the distinct sequences last added to block_handoff::distinct
};

bool uses_umi(read_trimmer const & trimmer)
{
    return trimmer.settings.layout.umi_length > 0;
}

// Trims and counts the reads of `reads` (upper-case letters).
void trim_and_count(read_trimmer const & trimmer, trim_worker & worker, read_batch const & reads)
{
    bool const umi = uses_umi(trimmer);
    worker.kept.clear();
    worker.keys.clear();
    worker.key_ends.clear();
    for (std::size_t i = 0; i < reads.size(); ++i)
    {
        trimmed_read const trimmed = trim_read(trimmer, reads.read(i));
        add_to_funnel(worker.funnel, trimmed);
        if (trimmed.fate != read_fate::kept)
            continue;
        if (!umi)
        {
            worker.kept.push_back(trimmed.insert);
            continue;
        }
        worker.keys += trimmed.umi;
        worker.keys += trimmed.insert;
        worker.key_ends.push_back(worker.keys.size());
    }
    std::string_view const keys = worker.keys;
    for (std::size_t i = 0; i < worker.key_ends.size(); ++i)
    {
        std::size_t const begin = i == 0 ? 0 : worker.key_ends[i - 1];
        worker.kept.push_back(keys.substr(begin, worker.key_ends[i] - begin));
    }
    length_limits const any_length{0, std::numeric_limits<uint64_t>::max()};
    count_sequences(worker.kept.data(), worker.kept.size(), any_length, umi ? worker.pairs : worker.counts,
                    worker.unused);
}

// The layout the file's reads are trimmed with, from the sample (the lane's
// decision); false when none can be told.
bool choose_settings(pass_plan & plan)
{
    trim_request const & request = plan.request;
    trim_settings untrimmed = request.settings;
    untrimmed.min_insert = request.untrimmed_min_length;
    untrimmed.max_insert = request.untrimmed_max_length;
    std::string const path = plan.lane.path;
    switch (request.mode)
    {
    case adapter_mode::none:
        plan.lane = check_untrimmed(plan.sample, untrimmed);
        break;
    case adapter_mode::given:
        plan.lane = check_given_layout(plan.sample, request.known,
                                       request.kit_given ? layout_source::kit : layout_source::adapter,
                                       request.settings, request.molecules_asked);
        break;
    case adapter_mode::detect:
        if (request.known == nullptr)
        {
            plan.lane.error = "the layout is told by what maps, and no miRNAs were given";
            return false;
        }
        plan.lane = infer_layout(plan.sample, *request.known, request.settings, request.molecules_asked);
        break;
    }
    plan.lane.path = path;
    if (!plan.lane.error.empty())
        return false;
    read_layout & layout = plan.lane.applied.layout;
    if (request.mode == adapter_mode::detect)
    {
        layout.cut_5p = request.cut_5p.value_or(layout.cut_5p);
        layout.cut_3p = request.cut_3p.value_or(layout.cut_3p);
    }
    if (layout.adapter.empty() && !layout.poly_a && request.mode != adapter_mode::none)
    {
        plan.lane.applied.min_insert = request.untrimmed_min_length;
        plan.lane.applied.max_insert = request.untrimmed_max_length;
    }
    plan.trimmer = make_read_trimmer(plan.lane.applied);
    return true;
}

// Where the reads go once the layout is decided: trimmed on this thread,
// or handed to the trimming threads.
using read_sink = std::function<void(read_batch & reads)>;

// Decides the layout from the sample and sends the sample on.
void decide(pass_plan & plan, read_sink const & sink)
{
    if (!choose_settings(plan))
    {
        plan.failed = true;
        return;
    }
    plan.decided = true;
    read_batch sample;
    for (std::string const & read : plan.sample)
    {
        add_read(sample, read);
        if (sample.size() == reads_per_batch)
        {
            sink(sample);
            sample.clear();
        }
    }
    std::vector<std::string>().swap(plan.sample);
    sink(sample);
}

// Keeps the reads in the sample until it is full, then decides; after
// that, every read goes to `sink`.
void take_reads(pass_plan & plan, read_batch & reads, read_sink const & sink)
{
    if (plan.decided)
    {
        sink(reads);
        return;
    }
    if (plan.failed)
        return;
    std::size_t i = 0;
    for (; i < reads.size() && plan.sample.size() < layout_sample_size; ++i)
        plan.sample.emplace_back(reads.read(i));
    if (plan.sample.size() < layout_sample_size)
        return;
    decide(plan, sink);
    if (plan.failed || i == reads.size())
        return;
    read_batch rest;
    for (; i < reads.size(); ++i)
        add_read(rest, reads.read(i));
    sink(rest);
}

// Batches of reads passed from the reading thread to the trimming threads,
// a few in flight; emptied batches come back to be filled again. One lock
// taken twice per batch of reads_per_batch reads.
struct block_handoff
{
    std::mutex lock;
    std::condition_variable filled;
    std::deque<read_batch> full;
    std::deque<read_batch> empty;
    bool finished = false;  // no more batches will come
    std::exception_ptr failure;
    std::size_t distinct = 0;  // distinct sequences counted by the threads, as they last said
};

// A trimming thread: takes full batches until the reading is finished.
void trim_blocks(read_trimmer const & trimmer, trim_worker & worker, block_handoff & handoff)
{
    try
    {
        read_batch block;
        bool holding = false;
        for (;;)
        {
            {
                std::unique_lock<std::mutex> guard(handoff.lock);
                if (holding)
                {
                    handoff.distinct += worker.counts.distinct + worker.pairs.distinct - worker.distinct_said;
                    worker.distinct_said = worker.counts.distinct + worker.pairs.distinct;
                    handoff.empty.push_back(std::move(block));
                }
                handoff.filled.wait(guard, [&] { return !handoff.full.empty() || handoff.finished; });
                if (handoff.full.empty())
                    return;
                block = std::move(handoff.full.front());
                handoff.full.pop_front();
                holding = true;
            }
            trim_and_count(trimmer, worker, block);
            block.clear();
        }
    }
    catch (...)
    {
        std::lock_guard<std::mutex> guard(handoff.lock);
        if (!handoff.failure)
            handoff.failure = std::current_exception();
    }
}

// The reading thread's side: `reads` go to a trimming thread, in exchange
// for an empty batch; when none is free (the trimming threads are behind),
// this thread trims them itself, with `own`. Throws std::bad_alloc when a
// trimming thread failed.
void feed(block_handoff & handoff, read_trimmer const & trimmer, trim_worker & own, read_batch & reads)
{
    if (reads.size() == 0)
        return;
    {
        std::lock_guard<std::mutex> guard(handoff.lock);
        if (handoff.failure)
            throw std::bad_alloc();
        if (!handoff.empty.empty())
        {
            handoff.full.push_back(std::move(reads));
            reads = std::move(handoff.empty.front());
            handoff.empty.pop_front();
            handoff.filled.notify_one();
            return;
        }
    }
    trim_and_count(trimmer, own, reads);
}

// Reads the plan's file into `sink` (`other` as collapse_raw_reads takes
// it). Returns as collapse_raw_reads does.
int32_t read_file(std::string * other, pass_plan & plan, read_sink const & sink,
                  std::function<std::size_t()> const & distinct_so_far)
{
    int32_t const status = read_sequence_batches(
        plan.lane.path, other, [&](read_batch & reads) { take_reads(plan, reads, sink); }, distinct_so_far);
    if (status != 0)
        return status;
    if (!plan.decided && !plan.failed)
        decide(plan, sink);
    return 0;
}

void add_counts(sequence_counts const & from, sequence_counts & into)
{
    std::string_view const letters = from.letters;
    for (counted_sequence const & slot : from.slots)
        if (slot.count != 0)
            add_sequence(into, letters.substr(slot.offset, slot.length), slot.count);
}


// Reads on this thread, trims on threads of their own, one for each of
// `workers` but the first, which is this thread's when it trims too.
// Returns as collapse_raw_reads does.
int32_t read_and_trim_apart(std::string * other, pass_plan & plan, std::vector<std::unique_ptr<trim_worker>> & workers)
{
    block_handoff handoff;
    for (std::size_t i = 0; i < 4 * (workers.size() - 1); ++i)
        handoff.empty.emplace_back();
    trim_worker & own = *workers.front();
    std::vector<std::thread> threads;
    for (std::size_t i = 1; i < workers.size(); ++i)
        threads.emplace_back([&plan, &handoff, worker = workers[i].get()] { trim_blocks(plan.trimmer, *worker, handoff); });
    auto const distinct_so_far = [&] {
        std::lock_guard<std::mutex> guard(handoff.lock);
        return handoff.distinct + own.counts.distinct + own.pairs.distinct;
    };
    int32_t status = 0;
    bool out_of_memory = false;
    try
    {
        status = read_file(
            other, plan, [&](read_batch & reads) { feed(handoff, plan.trimmer, own, reads); }, distinct_so_far);
    }
    catch (std::bad_alloc const &)
    {
        out_of_memory = true;  // deciding the layout, after the file's last read
    }
    {
        std::lock_guard<std::mutex> guard(handoff.lock);
        handoff.finished = true;
        handoff.filled.notify_all();
    }
    for (std::thread & thread : threads)
        thread.join();
    if (status != 0)
        return status;  // reported
    if (out_of_memory || handoff.failure)
    {
        print_error("out of memory while collapsing reads file '" + plan.lane.path + "' (" +
                    std::to_string(handoff.distinct + own.counts.distinct + own.pairs.distinct) +
                    " distinct sequences so far)");
        return -1;
    }
    return 0;
}

// The inserts' counts from the (UMI, insert) pairs, the UMI `umi_length`
// letters: molecules, or reads.
void count_molecules(std::size_t umi_length, bool molecules_counted, sequence_counts const & umi_pairs,
                     sequence_counts & counts, raw_read_result & result)
{
    struct pair_count
    {
        std::string_view insert;
        std::string_view umi;
        uint64_t reads;
    };
    std::string_view const letters = umi_pairs.letters;
    std::vector<pair_count> pairs;
    pairs.reserve(umi_pairs.distinct);
    for (counted_sequence const & slot : umi_pairs.slots)
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
        result.molecules += molecules;
        insert.assign(pairs[begin].insert);
        add_sequence(counts, insert, molecules_counted ? molecules : reads);
        begin = end;
    }
}

// The inserts' reads from the (UMI, insert) pairs into `counts`, and the
// pairs into `result` for their molecules to be counted by miRNA.
void hand_over_umi_pairs(uint32_t umi_length, sequence_counts & umi_pairs, sequence_counts & counts,
                         raw_read_result & result)
{
    std::string_view const letters = umi_pairs.letters;
    for (counted_sequence const & slot : umi_pairs.slots)
        if (slot.count != 0)
            add_sequence(counts, letters.substr(slot.offset + umi_length, slot.length - umi_length), slot.count);
    result.umi_length = umi_length;
    result.umi_pairs = std::move(umi_pairs);
}

// Whether two files of the same size hold the same bytes (read side by side
// until they differ; false when either cannot be read).
bool same_bytes(std::string const & a, std::string const & b)
{
    std::ifstream first(a, std::ios::binary);
    std::ifstream second(b, std::ios::binary);
    std::vector<char> block_a(1 << 16);
    std::vector<char> block_b(1 << 16);
    while (first && second)
    {
        first.read(block_a.data(), static_cast<std::streamsize>(block_a.size()));
        second.read(block_b.data(), static_cast<std::streamsize>(block_b.size()));
        std::streamsize const got = first.gcount();
        if (got != second.gcount() || !std::equal(block_a.begin(), block_a.begin() + got, block_b.begin()))
            return false;
        if (got == 0)
            break;
    }
    return first.eof() && second.eof();
}

// The same file named twice (by the same or another name), or two files with
// the same bytes (a lane copied under another name): either would count
// every read twice. Sizes are compared first, so distinct lanes are not read.
bool repeats_a_file(std::vector<std::string> const & paths)
{
    for (std::size_t i = 0; i < paths.size(); ++i)
        for (std::size_t j = 0; j < i; ++j)
        {
            struct stat a;
            struct stat b;
            bool const both_files = stat(paths[i].c_str(), &a) == 0 && stat(paths[j].c_str(), &b) == 0 &&
                                    S_ISREG(a.st_mode) && S_ISREG(b.st_mode);
            bool const same = paths[i] == paths[j] || (both_files && a.st_dev == b.st_dev && a.st_ino == b.st_ino);
            if (same)
            {
                print_error("reads file '" + paths[i] + "' is named twice" +
                            (paths[i] == paths[j] ? std::string() : " (as '" + paths[j] + "')"));
                return true;
            }
            if (both_files && a.st_size == b.st_size && a.st_size > 0 && same_bytes(paths[j], paths[i]))
            {
                print_error("reads files '" + paths[j] + "' and '" + paths[i] + "' hold the same " +
                            std::to_string(a.st_size) + " bytes: a lane copied under another name would count "
                            "its reads twice; give each lane once");
                return true;
            }
        }
    return false;
}
}  // namespace

std::string each_file_text(raw_read_result const & reads, std::string (*say)(lane_layout const &),
                           std::string const & separator)
{
    std::string text;
    for (lane_layout const & lane : reads.lanes)
        text += (text.empty() ? "" : separator) + say(lane);
    return text;
}

bool raw_read_result::counts_molecules() const
{
    return std::any_of(lanes.begin(), lanes.end(), [](lane_layout const & lane) {
        return lane.applied.layout.umi_length > 0 && lane.applied.count_molecules;
    });
}

int32_t collapse_raw_reads(std::vector<std::string> const & paths, trim_request const & request, uint32_t threads,
                           sequence_counts & counts, raw_read_result & result, std::string * other)
{
    if (repeats_a_file(paths))
        return -1;
    // The first worker counts into `counts`, the others into tables of their own.
    std::vector<sequence_counts> own_tables(threads > 1 ? threads - 1 : 0);
    std::vector<std::unique_ptr<trim_worker>> workers;
    workers.push_back(std::make_unique<trim_worker>(counts));
    for (sequence_counts & table : own_tables)
        workers.push_back(std::make_unique<trim_worker>(table));
    trim_worker & first = *workers.front();

    result.lanes.assign(paths.size(), lane_layout{});
    lane_layout const * umi_lane = nullptr;  // the first file whose inserts carry a UMI
    for (std::size_t i = 0; i < paths.size(); ++i)
    {
        lane_layout & lane = result.lanes[i];
        lane.path = paths[i];
        pass_plan plan{request, lane};
        std::string * const other_of_file = paths.size() == 1 ? other : nullptr;
        int32_t status = 0;
        if (threads <= 1)
            status = read_file(
                other_of_file, plan, [&](read_batch & reads) { trim_and_count(plan.trimmer, first, reads); },
                [&] { return counts.distinct + first.pairs.distinct; });
        else
            status = read_and_trim_apart(other_of_file, plan, workers);
        if (status != 0)
            return status;
        if (plan.failed)
        {
            print_error("reads file '" + lane.path + "': " + lane.error);
            return -1;
        }
        for (std::unique_ptr<trim_worker> & worker : workers)
        {
            add_funnel(worker->funnel, lane.funnel);
            worker->funnel = read_funnel{};
        }
        add_funnel(lane.funnel, result.funnel);
        uint32_t const umi_length = lane.applied.layout.umi_length;
        if (umi_length == 0)
            continue;
        if (umi_lane != nullptr && umi_lane->applied.layout.umi_length != umi_length)
        {
            print_error("reads files '" + umi_lane->path + "' and '" + lane.path + "' carry UMIs of " +
                        std::to_string(umi_lane->applied.layout.umi_length) + " and " + std::to_string(umi_length) +
                        " letters: map them as samples of their own");
            return -1;
        }
        umi_lane = &lane;
    }
    for (std::unique_ptr<trim_worker> & worker : workers)
    {
        if (worker.get() == &first)
            continue;
        add_counts(worker->counts, first.counts);
        add_counts(worker->pairs, first.pairs);
    }
    if (umi_lane != nullptr && request.molecules_by_mirna && umi_lane->applied.count_molecules)
    {
        hand_over_umi_pairs(umi_lane->applied.layout.umi_length, first.pairs, counts, result);
        return 0;
    }
    if (umi_lane != nullptr)
        count_molecules(umi_lane->applied.layout.umi_length, umi_lane->applied.count_molecules, first.pairs, counts,
                        result);
    // The kept reads as molecules: a UMI file's molecules, the other files' reads.
    result.funnel.kept_molecules = result.molecules;
    for (lane_layout const & lane : result.lanes)
        if (lane.applied.layout.umi_length == 0)
            result.funnel.kept_molecules += lane.funnel.kept;
    return 0;
}

std::vector<long_option> const & raw_read_options()
{
    static std::vector<long_option> const options = {
            {"adapter", long_option::text, 0, 0, "SEQ|auto|none",
             "the 3' adapter of raw reads, trimmed as cutadapt -a trims it (error rate 0.1, overlap 3); auto (the "
             "default) tells each reads file's whole layout by what maps: every kit's layout, reads that are "
             "inserts already, and the layout read from the letters after known miRNAs are tried on the first "
             "50,000 reads, and the one that turns the most into known miRNAs, by a clear margin, is kept (no "
             "clear winner: an error listing them); none counts the reads as they are",
             "Raw reads"},
            {"protocol", long_option::text, 0, 0, "KIT",
             "a kit's layout: illumina (TGGAATTCTCGGGTGCCAAGG), neb (AGATCGGAAGAGCACACGTCT), nextflex "
             "(illumina's adapter, 4 random letters cut from each end of the insert), qiaseq "
             "(AACTGTAGGCACCATCAAT, then a 12-letter UMI), polya (3 random letters, the insert, a poly-A tail, "
             "then neb's adapter)"},
            {"trim-5p", long_option::number, 0, 1000, "N",
             "letters cut from the insert's 5' end (the layout's: 0, nextflex 4, polya 3)"},
            {"trim-3p", long_option::number, 0, 1000, "N", "letters cut from the insert's 3' end (the layout's: 0, nextflex 4)"},
            {"min-insert", long_option::number, 0, 1000000, "N",
             "inserts shorter than N are not counted (15; reads counted untrimmed: no limit unless given)"},
            {"max-insert", long_option::number, 0, 1000000, "N",
             "inserts longer than N are not counted (40; reads counted untrimmed: no limit unless given)"},
            {"count", long_option::text, 0, 0, "reads|molecules",
             "with UMIs, a tag counts its molecules (the default; reads when the reads are too short for most "
             "UMIs, with a warning) or its reads"},
    };
    return options;
}

int read_raw_read_options(parsed_options const & o, trim_request & request)
{
    trimming_options given;
    auto text = [&o](char const * name) {
        return o.has(name) ? std::optional<std::string>(o.text(name)) : std::nullopt;
    };
    auto number = [&o](char const * name) {
        return o.has(name) ? std::optional<uint64_t>(static_cast<uint64_t>(o.number(name, 0))) : std::nullopt;
    };
    given.adapter = text("adapter");
    given.protocol = text("protocol");
    given.count = text("count");
    given.min_insert = number("min-insert");
    given.max_insert = number("max-insert");
    given.cut_5p = number("trim-5p");
    given.cut_3p = number("trim-3p");
    return settle_trimming(given, request);
}
