// The numbers that shape the seed search and the ungapped extension, and
// those of the sensitive mode, which replaces both when it is on.
#pragma once

#include <cstdint>

// The sensitive search (bench/sensitive_mode.md): every `window`-letter
// window of every miRNA is a seed; a tag's 5' end may lie up to `max_shift`
// letters before or after the miRNA's; an alignment holds at most
// `max_mismatches` mismatches, matches at least `min_matched` letters and
// leaves at most `max_unmatched` letters of tag and miRNA together without
// a matching partner (T + L - 2M).
struct sensitive_parameters
{
    bool on = false;
    uint32_t window = 7;
    uint32_t max_shift = 3;
    uint32_t max_mismatches = 2;
    uint32_t min_matched = 14;
    uint32_t max_unmatched = 5;
};

struct search_parameters
{
    uint32_t min_tag_length = 10;  // an alignment must be longer than this after one substitution
    uint32_t tag_begin = 4;        // its exact part must start before this tag position
    uint32_t begin_seed = 1;       // where the seed starts in each miRNA (0-based)
    uint32_t end_seed = 7;         // where it ends, for the site flags
    uint32_t seed_size = 6;
    sensitive_parameters sensitive;  // off: the seed search above
};
