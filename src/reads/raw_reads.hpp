// Raw reads to tag counts in one pass: each reads file's layout is told
// from its first reads (or given), each read is trimmed, its insert counted
// (as reads, or as molecules when the reads carry UMIs), and the read
// funnel filled.
#pragma once

#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "reads/collapse_reads.hpp"
#include "reads/layout_inference.hpp"
#include "reads/read_trimming.hpp"
#include "core/long_options.hpp"

enum class adapter_mode
{
    given,   // trim_settings::layout as set (a kit's, or --adapter SEQ)
    detect,  // told from the first reads of each file by what maps (layout_inference.hpp)
    none,    // the reads are the inserts
};

// What a pass is asked to do.
struct trim_request
{
    adapter_mode mode = adapter_mode::detect;
    bool kit_given = false;  // with given: the layout is a kit's (--protocol)
    trim_settings settings;  // with detect: the limits and the count (the layout is each file's own)
    // Cuts given on the command line, over the kit's or the inferred layout's.
    std::optional<uint32_t> cut_5p;
    std::optional<uint32_t> cut_3p;
    bool molecules_asked = false;  // --count molecules given: a UMI cut short is an error, not set aside
    // Length limits for reads that are counted as they are (none, or
    // detect finding them inserts already): as a tag-count file of trimmed
    // reads has always been made.
    uint64_t untrimmed_min_length = 1;
    uint64_t untrimmed_max_length = std::numeric_limits<uint64_t>::max();
    // The miRNAs the layouts are told by (detect) and checked against
    // (given); detect needs them.
    known_mirnas const * known = nullptr;
    // Molecules are counted later, by miRNA (when the inserts' miRNAs are
    // known): a UMI file's inserts are counted as reads, and the reads of
    // each (UMI, insert) pair are handed over in raw_read_result::umi_pairs.
    bool molecules_by_mirna = false;
};

// The trimming options as a command line gives them (unset: not given), for
// "mirsight collapse" and "mirsight map" alike: --adapter SEQ|auto|none,
// --protocol KIT, --min-insert/--max-insert, --trim-5p/--trim-3p, --count.
struct trimming_options
{
    std::optional<std::string> adapter;
    std::optional<std::string> protocol;
    std::optional<uint64_t> min_insert;
    std::optional<uint64_t> max_insert;
    std::optional<uint64_t> cut_5p;
    std::optional<uint64_t> cut_3p;
    std::optional<std::string> count;
};

// Checks `given` and settles it into `request` (the kit's layout first,
// then what was given over it). Returns 0, or 2 after an error naming the
// option: an adapter with letters other than A, C, G, T, N, an unknown kit
// (the kits listed), --protocol with --adapter auto or none, a --count other
// than reads or molecules, a minimum above the maximum.
int settle_trimming(trimming_options const & given, trim_request & request);

// The raw-read options as long options (--adapter, --protocol, --trim-5p,
// --trim-3p, --min-insert, --max-insert, --count), with their help texts.
std::vector<long_option> const & raw_read_options();

// The raw-read options of `parsed` (parsed with raw_read_options among
// its options) settled into `request`: 0, or 2 after an error.
int read_raw_read_options(parsed_options const & parsed, trim_request & request);

// What a pass found besides the counts.
struct raw_read_result
{
    read_funnel funnel;              // every file's reads
    std::vector<lane_layout> lanes;  // one per reads file, in the order given
    uint64_t molecules = 0;          // with a UMI: molecules over all kept inserts (reads are funnel.kept)
    // With trim_request::molecules_by_mirna and molecules counted: the reads
    // of each (UMI, insert) pair of the UMI files, keyed by the UMI's
    // umi_length letters followed by the insert; molecules and
    // funnel.kept_molecules are then left for the caller to count.
    sequence_counts umi_pairs;
    uint32_t umi_length = 0;

    // Whether any file's inserts are counted as molecules.
    bool counts_molecules() const;
};

// What `say` says of each reads file of `reads`, in the order the files were
// given, `separator` between them.
std::string each_file_text(raw_read_result const & reads, std::string (*say)(lane_layout const &),
                           std::string const & separator);

// Collapses the reads of `paths` (lanes of one sample, FASTQ or FASTA, plain
// or gzip, "-" standard input) into `counts` (one count per insert: its
// molecules when the file's layout has a UMI and count_molecules, else its
// reads), each file trimmed with a layout of its own. With `threads` above
// 1, this thread reads while threads - 1 others trim and count; it trims a
// batch itself when they are all behind.
// Returns 0; 1 when `other` is given and the single path is not a reads
// file (its content is put there, as collapse_read_file_or_take does); -1
// after an error naming the file (a path given twice, a file that cannot be
// read, no layout could be told, files whose UMIs differ in length); -2
// when a file cannot be opened.
int32_t collapse_raw_reads(std::vector<std::string> const & paths, trim_request const & request, uint32_t threads,
                           sequence_counts & counts, raw_read_result & result, std::string * other);
