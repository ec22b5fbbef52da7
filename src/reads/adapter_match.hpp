// Finding a 3' adapter in a read: a semi-global alignment in which the
// adapter may start anywhere in the read and may run past the read's end,
// with mismatches, insertions and deletions each one error, at most
// floor(error rate x aligned adapter length) of them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// An adapter ready to be searched for: its letters (upper case; N in the
// adapter matches any letter and read N, other read letters match only
// themselves) and the search limits.
struct adapter_pattern
{
    std::string letters;
    std::string codes;         // per letter: a bit per base, N also the "other" bit; empty when all are A, C, G, T
    double max_error_rate = 0.1;
    int32_t min_overlap = 3;   // at most the adapter's length
};

// The adapter `letters` with the default limits (error rate 0.1, at least 3
// letters of overlap).
adapter_pattern make_adapter_pattern(std::string const & letters, double max_error_rate = 0.1,
                                     int32_t min_overlap = 3);

// Where the adapter lies in a read: read[read_start, read_stop) aligns to
// adapter[adapter_start, adapter_stop).
struct adapter_match
{
    bool found = false;
    int32_t read_start = 0;
    int32_t read_stop = 0;
    int32_t adapter_start = 0;
    int32_t adapter_stop = 0;
    int32_t errors = 0;
    int32_t score = 0;
};

// The best occurrence of the adapter in `read` (upper-case letters): among
// the alignments within the error rate, the highest score (match +1,
// mismatch -1, insertion or deletion -2), fewer errors, then leftmost,
// scanning the read from its 5' end. The read's insert is
// read[0, read_start).
adapter_match find_adapter(adapter_pattern const & adapter, std::string_view read);

// The first position below `limit` at which `pattern` (not empty) starts in
// `text`, or npos.
std::size_t find_before(std::string_view text, std::string_view pattern,
                        std::size_t limit = std::string_view::npos);
