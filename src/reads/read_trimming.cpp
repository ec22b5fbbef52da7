#include "reads/read_trimming.hpp"

std::size_t poly_a_start(std::string_view insert)
{
    std::size_t const n = insert.size();
    std::size_t best = n;
    int64_t score = 0;
    int64_t best_score = 0;
    std::size_t others = 0;
    for (std::size_t i = n; i-- > 0;)
    {
        if (insert[i] == 'A')
            ++score;
        else
        {
            score -= 4;
            ++others;
        }
        if (score > best_score && 5 * others <= n - i)
        {
            best = i;
            best_score = score;
        }
    }
    return best;
}

std::string funnel_text(read_funnel const & funnel)
{
    return "reads_read = " + std::to_string(funnel.raw_reads) + "\n" +
           "reads_without_adapter = " + std::to_string(funnel.no_adapter) + "\n" +
           "reads_too_short_for_umi = " + std::to_string(funnel.umi_too_short) + "\n" +
           "adapter_dimers = " + std::to_string(funnel.adapter_dimers) + "\n" +
           "reads_too_short = " + std::to_string(funnel.too_short) + "\n" +
           "reads_too_long = " + std::to_string(funnel.too_long) + "\n" +
           "reads_kept = " + std::to_string(funnel.kept) + "\n";
}

read_trimmer make_read_trimmer(trim_settings const & settings)
{
    read_trimmer trimmer;
    trimmer.settings = settings;
    if (!settings.layout.adapter.empty())
        trimmer.adapter = make_adapter_pattern(settings.layout.adapter);
    return trimmer;
}

namespace
{
constexpr std::size_t shortest_open_tail = 5;
}

trimmed_read trim_read(read_trimmer const & trimmer, std::string_view read)
{
    trim_settings const & settings = trimmer.settings;
    read_layout const & layout = settings.layout;
    trimmed_read result;
    std::string_view insert = read;
    if (!layout.adapter.empty())
    {
        adapter_match const match = find_adapter(trimmer.adapter, read);
        if (match.found)
            insert = read.substr(0, static_cast<std::size_t>(match.read_start));
        else if (!layout.poly_a || read.size() - poly_a_start(read) < shortest_open_tail)
        {
            result.fate = read_fate::no_adapter;
            return result;
        }
        if (match.found && layout.umi_length > 0)
        {
            std::size_t const umi_start = static_cast<std::size_t>(match.read_stop);
            if (read.size() - umi_start < layout.umi_length)
            {
                result.fate = read_fate::umi_too_short;
                return result;
            }
            result.umi = read.substr(umi_start, layout.umi_length);
        }
    }
    if (layout.poly_a)
        insert = insert.substr(0, poly_a_start(insert));
    uint64_t const cuts = uint64_t{layout.cut_5p} + layout.cut_3p;
    if (insert.size() <= cuts && (!layout.adapter.empty() || cuts > 0))
    {
        result.fate = layout.adapter.empty() ? read_fate::too_short : read_fate::adapter_dimer;
        return result;
    }
    insert = insert.substr(layout.cut_5p, insert.size() - cuts);
    result.length = insert.size();
    if (insert.size() < settings.min_insert)
        result.fate = read_fate::too_short;
    else if (insert.size() > settings.max_insert)
        result.fate = read_fate::too_long;
    else
        result.insert = insert;
    return result;
}

namespace
{
void add_at_length(std::vector<uint64_t> & by_length, std::size_t length, uint64_t reads)
{
    if (by_length.size() <= length)
        by_length.resize(length + 1, 0);
    by_length[length] += reads;
}
}  // namespace

void add_to_funnel(read_funnel & funnel, trimmed_read const & read)
{
    ++funnel.raw_reads;
    switch (read.fate)
    {
    case read_fate::kept: ++funnel.kept; break;
    case read_fate::no_adapter: ++funnel.no_adapter; break;
    case read_fate::umi_too_short: ++funnel.umi_too_short; break;
    case read_fate::adapter_dimer: ++funnel.adapter_dimers; break;
    case read_fate::too_short:
        ++funnel.too_short;
        add_at_length(funnel.too_short_by_length, read.length, 1);
        break;
    case read_fate::too_long:
        ++funnel.too_long;
        add_at_length(funnel.too_long_by_length, read.length, 1);
        break;
    }
}

void add_funnel(read_funnel const & from, read_funnel & into)
{
    into.raw_reads += from.raw_reads;
    into.no_adapter += from.no_adapter;
    into.umi_too_short += from.umi_too_short;
    into.adapter_dimers += from.adapter_dimers;
    into.too_short += from.too_short;
    into.too_long += from.too_long;
    into.kept += from.kept;
    for (std::size_t length = 0; length < from.too_short_by_length.size(); ++length)
        add_at_length(into.too_short_by_length, length, from.too_short_by_length[length]);
    for (std::size_t length = 0; length < from.too_long_by_length.size(); ++length)
        add_at_length(into.too_long_by_length, length, from.too_long_by_length[length]);
}
