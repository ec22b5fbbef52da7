// From a raw read to its insert: the 3' adapter is removed (with whatever
// follows it), a UMI right after the adapter is taken, a poly-A tail is
// removed, fixed numbers of bases are cut from the insert's ends, and the
// insert's length is checked.
// Every read lands in exactly one box of the read funnel.
#pragma once

#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "reads/adapter_match.hpp"
#include "reads/read_layout.hpp"

// How reads are turned into inserts: the layout, and the inserts kept.
struct trim_settings
{
    read_layout layout;        // no adapter: the reads are inserts already
    uint64_t min_insert = 15;  // inserts are kept when min_insert <= length <= max_insert
    uint64_t max_insert = 40;
    bool count_molecules = true;  // with a UMI: a tag's count is its molecules, not its reads
};

// Where a poly-A tail starts in `insert` (its length when there is none):
// scanning from the 3' end, an A scores 1 and another letter -4, and the
// tail is the stretch of best score in which at most a fifth of the
// letters are not A.
std::size_t poly_a_start(std::string_view insert);

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
    // The inserts too short and too long, by their length (after the cuts);
    // an adapter dimer's insert has none.
    std::vector<uint64_t> too_short_by_length;
    std::vector<uint64_t> too_long_by_length;

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
    std::size_t length = 0;   // the insert's letters after the cuts (kept, too short or too long)
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
// dimer. With a poly-A tail, a read that runs out before the adapter ends
// the insert where its tail of at least 5 letters starts.
trimmed_read trim_read(read_trimmer const & trimmer, std::string_view read);

// Puts one read in its box (raw_reads included), an insert too short or
// too long at its length.
void add_to_funnel(read_funnel & funnel, trimmed_read const & read);

// Adds the boxes of `from` to those of `into`.
void add_funnel(read_funnel const & from, read_funnel & into);
