// What `mirsight map --tags` reads: a tag-count file, or reads (FASTQ or
// FASTA) collapsed in memory; plain or gzip, told by content.
#pragma once

#include <cstdint>
#include <string>

struct tag_input
{
    std::string text;         // tag-count lines: sequence, a tab, its reads
    bool from_reads = false;  // collapsed from reads (tag numbers: the collapsed order)
    uint64_t reads = 0;       // reads read, when from reads
};

// Reads `path` once. Reads are collapsed as mirsight-collapse does (every
// length kept; tags by decreasing count, then sequence). Returns 0, or 1
// after an error that names the file, says what it looks like and what to
// do (a "count sequence" file, a zstd/bzip2/xz file, anything else).
int read_tag_input(std::string const & path, tag_input & input);
