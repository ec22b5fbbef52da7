// Read collapsing: counts the distinct sequences of FASTQ or FASTA reads
// (plain or gzip-compressed) and writes them as a tag-count file, one
// sequence, a tab and its count per line.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "reads/read_records.hpp"

// Reads are kept when min_length <= length <= max_length.
struct length_limits
{
    uint64_t min_length = 1;
    uint64_t max_length = std::numeric_limits<uint64_t>::max();
};

// What the reading saw, over every input file.
struct collapse_summary
{
    uint64_t reads_read = 0;
    uint64_t reads_kept = 0;
    uint64_t reads_too_short = 0;
    uint64_t reads_too_long = 0;
};

// One distinct sequence in the counting table: its letters are
// sequence_counts::letters[offset, offset + length).
struct counted_sequence
{
    uint64_t hash = 0;
    uint64_t count = 0;  // 0: the slot is free
    uint64_t offset = 0;
    uint64_t length = 0;
};

// Distinct sequences with their read counts: an open-addressing hash table
// (linear probing, at most half full) over one buffer holding every
// distinct sequence once, so that a lookup touches one slot and one
// sequence.
struct sequence_counts
{
    std::string letters;
    std::vector<counted_sequence> slots;  // empty, or a power of two long
    std::size_t distinct = 0;
};

// Adds `reads` (at least 1) reads of `sequence` to `counts`.
void add_sequence(sequence_counts & counts, std::string_view sequence, uint64_t reads);

// One line of the tag-count file.
struct tag_count
{
    std::string_view sequence;
    uint64_t count = 0;
};

// The name of a compression the reader does not decompress ("zstd",
// "bzip2", "xz"), from the first bytes of a file, or "".
std::string other_compression(std::string const & bytes);

// Upper-cases the letters of `sequence` in place and turns blanks and
// control bytes (which would break the line format) into N; every other
// byte, N and IUPAC codes included, stays as it is.
void upper_case_sequence(std::string & sequence);

// How many reads are counted together: their table slots and sequences
// are fetched from memory for all of them before any is looked up.
constexpr std::size_t read_batch_size = 64;

// Counts reads[0, read_count): each read is upper-cased, then kept and
// counted in `counts` when its length is within `limits`. Updates
// `summary`. The reads are changed in place.
void count_reads(std::vector<std::string> & reads, std::size_t read_count, length_limits const & limits,
                 sequence_counts & counts, collapse_summary & summary);

// count_reads on sequences that are upper-cased already (left as they are).
void count_sequences(std::string_view const * sequences, std::size_t count, length_limits const & limits,
                     sequence_counts & counts, collapse_summary & summary);

// Streams every read of the FASTQ or FASTA file `path` ("-": standard input; gzip-compressed or
// not, told by its content, not its name) through count_reads. Returns 0;
// -2 after an error when the file cannot be opened; -1 after an error
// naming the file (and the record) when it is neither FASTA nor FASTQ, a
// record cannot be read, or the compressed data are damaged or cut short.
// Reads counted before an error stay in `counts`.
int32_t collapse_read_file(std::string const & path, length_limits const & limits, sequence_counts & counts,
                           collapse_summary & summary);

// collapse_read_file, except that a file whose first visible byte is neither
// "@" nor ">" is not an error when `other` is given: its content from that
// byte on (decompressed) is put into `other`, and 1 is returned. The file
// is opened once (a pipe can be read once).
int32_t collapse_read_file_or_take(std::string const & path, length_limits const & limits, sequence_counts & counts,
                                   collapse_summary & summary, std::string * other);

// Receives a batch of reads; may change it (the reader clears it after).
using read_batch_consumer = std::function<void(read_batch & reads)>;

// How many reads the reader gathers before it hands them on.
constexpr std::size_t reads_per_batch = 4096;

// The reading under collapse_read_file_or_take: the sequences of the file's
// records, upper-cased as upper_case_sequence does, go to `consume` in
// batches of at most reads_per_batch. Returns as collapse_read_file_or_take does;
// `distinct_so_far` gives the number of distinct sequences counted, for the
// out-of-memory error.
int32_t read_sequence_batches(std::string const & path, std::string * other, read_batch_consumer const & consume,
                              std::function<std::size_t()> const & distinct_so_far);

// The tags of `counts` by decreasing count, then by sequence (byte order).
// The sequences point into `counts`, which must outlive them.
std::vector<tag_count> ordered_tags(sequence_counts const & counts);

// Writes `tags` as "sequence<TAB>count" lines to `path` (created or
// replaced). Returns 0, or -1 after an error naming `name` (the file the
// user asked for, when `path` is a temporary name for it).
int32_t write_tag_counts(std::string const & path, std::string const & name, std::vector<tag_count> const & tags);

// The same lines, to an already open stream; `name` is used in the error.
int32_t write_tag_counts(std::FILE * out, std::string const & name, std::vector<tag_count> const & tags);
