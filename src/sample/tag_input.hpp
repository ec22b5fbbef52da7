// What a sample's tag input holds: a tag-count file, or reads (FASTQ or
// FASTA, one file or several lanes) trimmed and collapsed in memory; plain
// or gzip, told by content.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "reads/raw_reads.hpp"

struct tag_input
{
    std::string text;         // tag-count lines: sequence, a tab, its reads (or molecules)
    bool from_reads = false;  // collapsed from reads (tag numbers: the collapsed order)
    raw_read_result reads;    // with from_reads: the funnel, the adapter and any warning
    // With reads.umi_pairs: each tag's insert, by line (tag_index - 1).
    std::vector<std::string> inserts;
};

// Reads `paths` once each. Reads are trimmed as `trim` asks and collapsed
// as mirsight-collapse does (tags by decreasing count, then sequence), on
// `threads` threads. A single path may instead be a tag-count file. Returns
// 0, or 1 after an error that names the file, says what it looks like and
// what to do (a "count sequence" file, a zstd/bzip2/xz file, a tag-count
// file among lanes, no adapter that can be trusted, anything else).
int read_tag_input(std::vector<std::string> const & paths, trim_request const & trim, uint32_t threads,
                   tag_input & input);
