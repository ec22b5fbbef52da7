// Telling a reads file's layout by what maps: each candidate layout (the
// kits', reads that are inserts already, and one read from the letters that
// follow known miRNAs in the reads) trims the first reads, and the layout
// that turns the most of them into known miRNAs, by a clear margin, is
// chosen. A layout named on the command line is checked against the reads.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "reads/read_layout.hpp"
#include "reads/read_trimming.hpp"

// How many of a reads file's first reads a layout is told from, at most.
constexpr std::size_t layout_sample_size = 50000;

// The mature miRNAs the layouts are judged by (A, C, G, T; U read as T),
// found by their first letters.
struct known_mirnas
{
    std::vector<std::string> sequences;
    std::vector<std::pair<uint32_t, uint32_t>> by_prefix;  // (code of the first letters, sequence), sorted
};

// The first letters of a miRNA that find it.
constexpr std::size_t known_prefix_length = 16;

// `sequences` (upper or lower case, U or T) ready for lookups; sequences
// shorter than known_prefix_length or holding other letters are left out.
known_mirnas make_known_mirnas(std::vector<std::string> const & sequences);

// The miRNAs of the miRNA FASTA file `path` (miRBase style), those of the
// species `codes` (the header's letters before the first '-'; every
// species when empty). Returns 0, or -1 after an error naming the file.
int32_t read_known_mirnas(std::string const & path, std::vector<std::string> const & codes, known_mirnas & known);

// True when `insert` is a known miRNA or nearly one: its first
// known_prefix_length letters are the miRNA's and its length is within 2 of
// the miRNA's.
bool is_known_mirna(known_mirnas const & known, std::string_view insert);

// How the layout of a reads file was settled.
enum class layout_source
{
    inferred,  // --adapter auto: tried on the first reads
    kit,       // --protocol KIT
    adapter,   // --adapter SEQ
    none,      // --adapter none: the reads are counted as they are
};

// The source's name in tables: auto, kit, adapter or none.
std::string layout_source_name(layout_source source);

// One layout tried on the first reads.
struct layout_candidate
{
    read_layout layout;
    uint64_t explained = 0;  // sampled reads it turns into known miRNAs
};

// What was decided for one reads file, and on what evidence.
struct lane_layout
{
    std::string path;
    layout_source source = layout_source::inferred;
    trim_settings applied;                     // the layout and limits the file's reads were trimmed with
    std::vector<layout_candidate> candidates;  // inferred: every layout tried, the most reads explained first
    uint64_t sampled_reads = 0;                // the first reads the layout was told from (or checked on)
    uint64_t explained = 0;                    // of those, turned into known miRNAs by the applied layout
    double adapter_share = 0;                  // of those, holding the applied adapter
    bool umi_set_aside = false;                // the UMI is cut short in most reads: reads are counted
    std::string warning;                       // what the user should know, or ""
    std::string error;                         // inferred: no layout is clearly best (the candidates, the options)
    read_funnel funnel;                        // where the file's reads went
};

// The layout of `reads` (the first reads of a file, upper-case letters),
// told by what maps: candidates trimmed with `limits` (insert lengths, the
// count), the best kept when it explains at least 1% of the reads and 3
// reads, and at least three times as many as any candidate that trims
// otherwise; else `error` lists the candidates and the options that settle
// it. A UMI cut short in more than a tenth of the reads holding the adapter
// is warned about, and in more than half of them set aside (reads are
// counted, with a warning), unless molecules were asked for
// (`molecules_asked`: an error).
lane_layout infer_layout(std::vector<std::string> const & reads, known_mirnas const & known,
                         trim_settings const & limits, bool molecules_asked);

// The layout read from the letters that follow whole known miRNAs in
// `reads`: the random letters before them (the most common offset), then
// letters that vary, a poly-A tail, the adapter (the letters most reads
// share there) and a UMI (letters that vary before shared letters resume).
// Its name is "found"; false when too few reads hold a known miRNA followed
// by shared letters.
bool find_layout_after_mirnas(std::vector<std::string> const & reads, known_mirnas const & known,
                              read_layout & found);

// The check of a layout named on the command line (`source` kit or
// adapter, `applied` its settings) on the first reads: the share holding
// its adapter (a warning below half), how many it explains when `known`
// is given (a warning naming the layout infer_layout tells when that one
// explains at least three times as many), and its UMI as infer_layout
// checks it.
lane_layout check_given_layout(std::vector<std::string> const & reads, known_mirnas const * known,
                               layout_source source, trim_settings const & applied, bool molecules_asked);

// Reads counted as they are (--adapter none): a warning when they look
// untrimmed (a kit's adapter in many, or most longer than 40 letters).
lane_layout check_untrimmed(std::vector<std::string> const & reads, trim_settings const & applied);

// One line for a log: the layout applied, how it was settled, and the share
// of the first reads it explained (or that held its adapter).
std::string lane_layout_text(lane_layout const & lane);

// The candidates with the share each explained: "nextflex 91.2%, illumina
// 0.3%, ...".
std::string candidates_text(lane_layout const & lane);
