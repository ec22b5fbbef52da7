// Choosing the 3' adapter from the first reads of a run: a kit's adapter
// that many reads hold, reads that are inserts already, or the sequence that
// most often follows a miRNA-long insert.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// How many reads the choice looks at, at most.
constexpr std::size_t adapter_sample_size = 200000;

// What was chosen, and why.
struct adapter_choice
{
    std::string adapter;       // empty: nothing to trim (or no choice, see error)
    std::string kit;           // the kit whose adapter it is, or ""
    uint32_t umi_length = 0;   // the kit's UMI
    bool already_trimmed = false;
    bool given = false;        // named on the command line, not chosen
    double share = 0;          // of the sampled reads: showing the adapter, or (already trimmed) of at most 40 letters
    uint64_t sampled_reads = 0;
    std::string error;         // set when no adapter could be chosen
};

// One line for the log: what was chosen and the share of reads showing it.
std::string choice_text(adapter_choice const & choice);

// The share of `reads` holding the first letters of `adapter` (all of them
// when it is shorter than 10).
double adapter_share(std::vector<std::string> const & reads, std::string const & adapter);

// The choice made from `reads` (upper-case letters): the kit adapter held by
// at least a fifth of the reads (the most held); else, when the reads vary
// in length or mostly have at most 40 letters, nothing to trim; else the
// sequence starting most often 18 to 30 letters into the reads when it
// clearly dominates; else an error naming the best candidates.
adapter_choice detect_adapter(std::vector<std::string> const & reads);

// The warning for an adapter named on the command line that most of the
// first reads lack: its share, and what to try.
std::string given_adapter_warning(adapter_choice const & choice);

// The warning for reads counted untrimmed (no adapter asked for) that look
// untrimmed: a kit's adapter in many of them, or most longer than 40
// letters. Empty when they look like inserts.
std::string untrimmed_warning(std::vector<std::string> const & reads);
