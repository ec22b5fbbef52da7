#include "reads/read_trimming.hpp"

std::vector<kit_preset> const & kit_presets()
{
    static std::vector<kit_preset> const presets = {
        {"illumina", "TGGAATTCTCGGGTGCCAAGG", 0, 0, 0, "insert, then the adapter"},
        {"neb", "AGATCGGAAGAGCACACGTCT", 0, 0, 0, "insert, then the adapter"},
        {"nextflex", "TGGAATTCTCGGGTGCCAAGG", 0, 4, 4, "4 random bases, insert, 4 random bases, the adapter"},
        {"qiaseq", "AACTGTAGGCACCATCAAT", 12, 0, 0, "insert, the adapter, then a 12-base UMI"},
    };
    return presets;
}

std::optional<kit_preset> find_kit_preset(std::string const & name)
{
    for (kit_preset const & preset : kit_presets())
        if (preset.name == name)
            return preset;
    return std::nullopt;
}

std::string kit_preset_names()
{
    std::string names;
    for (kit_preset const & preset : kit_presets())
        names += (names.empty() ? "" : ", ") + preset.name;
    return names;
}

bool is_valid_adapter(std::string const & letters)
{
    return !letters.empty() && letters.find_first_not_of("ACGTN") == std::string::npos &&
           letters.find_first_not_of('N') != std::string::npos;
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
    if (!settings.adapter.empty())
        trimmer.adapter = make_adapter_pattern(settings.adapter);
    return trimmer;
}

trimmed_read trim_read(read_trimmer const & trimmer, std::string_view read)
{
    trim_settings const & settings = trimmer.settings;
    trimmed_read result;
    std::string_view insert = read;
    if (!settings.adapter.empty())
    {
        adapter_match const match = find_adapter(trimmer.adapter, read);
        if (!match.found)
        {
            result.fate = read_fate::no_adapter;
            return result;
        }
        insert = read.substr(0, static_cast<std::size_t>(match.read_start));
        if (settings.umi_length > 0)
        {
            std::size_t const umi_start = static_cast<std::size_t>(match.read_stop);
            if (read.size() - umi_start < settings.umi_length)
            {
                result.fate = read_fate::umi_too_short;
                return result;
            }
            result.umi = read.substr(umi_start, settings.umi_length);
        }
    }
    uint64_t const cuts = uint64_t{settings.cut_5p} + settings.cut_3p;
    if (insert.size() <= cuts && (!settings.adapter.empty() || cuts > 0))
    {
        result.fate = settings.adapter.empty() ? read_fate::too_short : read_fate::adapter_dimer;
        return result;
    }
    insert = insert.substr(settings.cut_5p, insert.size() - cuts);
    if (insert.size() < settings.min_insert)
        result.fate = read_fate::too_short;
    else if (insert.size() > settings.max_insert)
        result.fate = read_fate::too_long;
    else
        result.insert = insert;
    return result;
}

void add_to_funnel(read_funnel & funnel, read_fate fate)
{
    ++funnel.raw_reads;
    switch (fate)
    {
    case read_fate::kept: ++funnel.kept; break;
    case read_fate::no_adapter: ++funnel.no_adapter; break;
    case read_fate::umi_too_short: ++funnel.umi_too_short; break;
    case read_fate::adapter_dimer: ++funnel.adapter_dimers; break;
    case read_fate::too_short: ++funnel.too_short; break;
    case read_fate::too_long: ++funnel.too_long; break;
    }
}
