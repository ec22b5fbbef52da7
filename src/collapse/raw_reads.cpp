#include "collapse/raw_reads.hpp"

#include <algorithm>
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

void take_batch(raw_read_pass & pass, std::vector<std::string> & reads, std::size_t read_count)
{
    for (std::size_t i = 0; i < read_count; ++i)
        upper_case_sequence(reads[i]);
    if (pass.decided)
    {
        trim_and_count(pass, reads.data(), read_count);
        return;
    }
    if (pass.failed)
        return;
    for (std::size_t i = 0; i < read_count; ++i)
        pass.sample.push_back(std::move(reads[i]));
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
    (void)threads;
    if (repeats_a_file(paths))
        return -1;
    raw_read_pass pass(request, counts, result);
    for (std::string const & path : paths)
    {
        int32_t const status = read_sequence_batches(
            path, paths.size() == 1 ? other : nullptr,
            [&](std::vector<std::string> & reads, std::size_t read_count) { take_batch(pass, reads, read_count); },
            [&] { return counts.distinct + pass.pairs.distinct; });
        if (status != 0)
            return status;
    }
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
