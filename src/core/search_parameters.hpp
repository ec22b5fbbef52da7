// The numbers that shape the seed search and the ungapped extension, and
// those of the sensitive mode, which replaces both when it is on.
#pragma once

#include <cstdint>
#include <string>

// The sensitive search (bench/sensitive_mode.md): every placement of the
// `seed` pattern in every miRNA is a seed (1: a letter that must match, 0:
// any letter); a tag's 5' end may lie up to `max_shift`
// letters before or after the miRNA's; an alignment holds at most
// `max_mismatches` mismatches, matches at least `min_matched` letters and
// leaves at most `max_unmatched` letters of tag and miRNA together without
// a matching partner (T + L - 2M).
struct sensitive_parameters
{
    bool on = false;
    std::string seed = "111010011101";
    uint32_t max_shift = 3;
    uint32_t max_mismatches = 2;
    uint32_t min_matched = 14;
    uint32_t max_unmatched = 5;
    bool max_unmatched_given = false;  // set on the command line: a precursor file leaves it
    // With a precursor file: costlier alignments, up to this cost, are kept
    // when a precursor vouches for them (matching/precursor_guard.hpp); 0
    // without one.
    uint32_t vouched_max_unmatched = 0;
};

// The cost the search accepts before the precursors' guard.
inline uint32_t search_cost_limit(sensitive_parameters const & p)
{
    return p.vouched_max_unmatched > p.max_unmatched ? p.vouched_max_unmatched : p.max_unmatched;
}

// The default of max_unmatched when a precursor file is given: the
// precursors then tell fragments from isomiRs (matching/precursor_guard.hpp),
// so that isomiRs combining a 5' shift, a 3' change and a substitution
// (cost 6 or 7) are accepted.
constexpr uint32_t max_unmatched_with_precursors = 7;
// The 3' letters a precursor lets a tag have untemplated; alignments
// costing up to that many more are kept when a precursor vouches for them:
// a tail the precursor shows to be one is a change of its own, like the
// 5' shift or the substitution, not letters left unexplained.
constexpr uint32_t untemplated_tail_letters = 3;
// With precursors, alignments whose cost is within this of the best, on
// miRNAs of different sequences, are weighed on their precursors.
constexpr int64_t precursor_near_cost = 2;
constexpr uint32_t vouched_extra_cost = untemplated_tail_letters;

// The sensitive parameters of a run that has a precursor file.
inline void vouch_by_precursors(sensitive_parameters & parameters)
{
    if (!parameters.on)
        return;
    if (!parameters.max_unmatched_given)
        parameters.max_unmatched = max_unmatched_with_precursors;
    parameters.vouched_max_unmatched = parameters.max_unmatched + vouched_extra_cost;
}

struct search_parameters
{
    uint32_t min_tag_length = 10;  // an alignment must be longer than this after one substitution
    uint32_t tag_begin = 4;        // its exact part must start before this tag position
    uint32_t begin_seed = 1;       // where the seed starts in each miRNA (0-based)
    uint32_t end_seed = 7;         // where it ends, for the site flags
    uint32_t seed_size = 6;
    sensitive_parameters sensitive;  // off: the seed search above
};
