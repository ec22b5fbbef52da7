// From a raw read to its insert: the 3' adapter is removed (with whatever
// follows it), a UMI right after the adapter is taken, fixed numbers of
// bases are cut from the insert's ends, and the insert's length is checked.
// Every read lands in exactly one box of the read funnel.
#pragma once

#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "reads/adapter_match.hpp"

// How reads are turned into inserts.
struct trim_settings
{
    std::string adapter;       // 3' adapter (A, C, G, T, N); empty: reads are inserts already
    uint32_t umi_length = 0;   // bases of UMI right after the adapter (0: none)
    uint32_t cut_5p = 0;       // bases cut from the insert's 5' end, after the adapter is removed
    uint32_t cut_3p = 0;       // bases cut from the insert's 3' end
    uint64_t min_insert = 15;  // inserts are kept when min_insert <= length <= max_insert
    uint64_t max_insert = 40;
    bool count_molecules = true;  // with a UMI: a tag's count is its molecules, not its reads
};

// A library kit: its adapter and read layout.
struct kit_preset
{
    std::string name;
    std::string adapter;
    uint32_t umi_length = 0;
    uint32_t cut_5p = 0;
    uint32_t cut_3p = 0;
    std::string layout;  // one line for the usage text
};

// The known kits, in a fixed order.
std::vector<kit_preset> const & kit_presets();

// The kit called `name`, if there is one.
std::optional<kit_preset> find_kit_preset(std::string const & name);

// The names of the kits, comma-separated, for messages.
std::string kit_preset_names();

// True when `letters` is a usable adapter: not empty, only A, C, G, T, N.
bool is_valid_adapter(std::string const & letters);

// Where the raw reads went; every read is in exactly one box.
struct read_funnel
{
    uint64_t raw_reads = 0;
    uint64_t no_adapter = 0;      // an adapter was expected and not found
    uint64_t umi_too_short = 0;   // the adapter was found, but fewer bases than the UMI after it
    uint64_t adapter_dimers = 0;  // nothing left of the insert
    uint64_t too_short = 0;
    uint64_t too_long = 0;
    uint64_t kept = 0;
    uint64_t kept_molecules = 0;  // with a UMI: distinct molecules among the kept reads

    uint64_t boxes_total() const
    {
        return no_adapter + umi_too_short + adapter_dimers + too_short + too_long + kept;
    }
};

// The funnel's boxes as "name = value" lines.
std::string funnel_text(read_funnel const & funnel);

// What became of one read.
enum class read_fate
{
    kept,
    no_adapter,
    umi_too_short,
    adapter_dimer,
    too_short,
    too_long,
};

struct trimmed_read
{
    read_fate fate = read_fate::kept;
    std::string_view insert;  // into the read; set when kept
    std::string_view umi;     // set when kept and the settings have a UMI
};

// `settings` with its adapter ready for searching.
struct read_trimmer
{
    trim_settings settings;
    adapter_pattern adapter;
};

read_trimmer make_read_trimmer(trim_settings const & settings);

// The insert (and UMI) of `read` (upper-case letters). Without an adapter
// the read is the insert, and an empty read is too short rather than a
// dimer.
trimmed_read trim_read(read_trimmer const & trimmer, std::string_view read);

// Puts one read of fate `fate` in its box (raw_reads included).
void add_to_funnel(read_funnel & funnel, read_fate fate);
