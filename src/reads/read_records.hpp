// The records of a FASTQ or FASTA text, parsed in place as the text arrives
// in chunks: each record's sequence is appended, upper-cased, to a batch of
// reads; names and qualities are checked and skipped.
//
// A FASTQ record is "@name", the sequence up to the line starting with "+"
// (it may span lines), that line, then as many quality letters as the
// sequence has (line ends are not counted), and the next record or the end
// after blanks. A FASTA record is ">name" and every line up to the next ">".
// Line ends are "\n", "\r\n" or "\r".
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// Reads one after another: read i is letters[ends[i - 1], ends[i]) (from 0
// for the first). `letters` is room, longer than the reads it holds.
struct read_batch
{
    std::vector<char> letters;
    std::vector<std::size_t> ends;

    std::size_t size() const { return ends.size(); }
    std::size_t letter_count() const { return ends.empty() ? 0 : ends.back(); }
    std::string_view read(std::size_t i) const
    {
        std::size_t const begin = i == 0 ? 0 : ends[i - 1];
        return std::string_view(letters.data() + begin, ends[i] - begin);
    }
    void clear() { ends.clear(); }
};

// Appends `read` (as it is) to `batch`.
void add_read(read_batch & batch, std::string_view read);

// The unparsed text: [at, end), and whether more text follows `end`.
struct record_cursor
{
    char const * at = nullptr;
    char const * end = nullptr;
    bool last_chunk = false;  // nothing follows `end`
};

enum class parse_step
{
    record,     // one record taken; `at` is past it
    need_more,  // the record runs past `end` (never in the last chunk); nothing taken
    error,      // `error` says why; nothing taken
};

// Takes the FASTQ record at `cursor.at` (its "@") into `batch`.
parse_step parse_fastq_record(record_cursor & cursor, read_batch & batch, std::string & error);

// Takes the FASTA record at `cursor.at` (its ">") into `batch`.
parse_step parse_fasta_record(record_cursor & cursor, read_batch & batch, std::string & error);

// Upper-cases the letters from[0, count) into to[0, count), blanks and
// control bytes turned into N (as upper_case_sequence does).
void copy_upper_case(char const * from, std::size_t count, char * to);
