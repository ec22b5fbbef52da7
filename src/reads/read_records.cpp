#include "reads/read_records.hpp"

#include <algorithm>
#include <cstring>

namespace
{
char const * const unexpected_end = "Unexpected end of input.";

bool is_line_end(char c)
{
    return c == '\n' || c == '\r';
}

bool is_blank(char c)
{
    return c == ' ' || c == '\t' || is_line_end(c);
}

char const * find_byte(char const * from, char const * to, char byte)
{
    if (from >= to)
        return nullptr;
    return static_cast<char const *>(std::memchr(from, byte, static_cast<std::size_t>(to - from)));
}

// Room for `count` more letters at the end of the batch's reads.
char * letter_room(read_batch & batch, std::size_t count)
{
    std::size_t const used = batch.letter_count();
    if (batch.letters.size() < used + count)
        batch.letters.resize(std::max(used + count, 2 * batch.letters.size()));
    return batch.letters.data() + used;
}

// Appends text[from, to) to the batch's last, open read, upper-cased, line
// ends left out. Returns the letters appended.
std::size_t append_without_line_ends(read_batch & batch, std::size_t open_length, char const * from,
                                     char const * to)
{
    std::size_t appended = 0;
    while (from < to)
    {
        char const * const newline = find_byte(from, to, '\n');
        char const * const stop = newline != nullptr ? newline : to;
        char const * line_end = stop;
        if (line_end > from && line_end[-1] == '\r')
            --line_end;
        std::size_t const count = static_cast<std::size_t>(line_end - from);
        char * const out = letter_room(batch, open_length + appended + count) + open_length + appended;
        if (find_byte(from, line_end, '\r') == nullptr)
        {
            copy_upper_case(from, count, out);
            appended += count;
        }
        else
        {
            std::size_t written = 0;
            for (char const * p = from; p < line_end; ++p)
                if (*p != '\r')
                    copy_upper_case(p, 1, out + written++);
            appended += written;
        }
        from = stop + (newline != nullptr ? 1 : 0);
    }
    return appended;
}

// Where the line starting at `from` ends, and where the next one starts
// (after "\n", "\r\n" or "\r"); false when that lies past the chunk.
bool skip_line(record_cursor const & cursor, char const * from, char const * & line_end, char const * & next)
{
    char const * const newline = find_byte(from, cursor.end, '\n');
    char const * const scan_end = newline != nullptr ? newline : cursor.end;
    char const * const carriage = find_byte(from, scan_end, '\r');
    line_end = carriage != nullptr ? carriage : scan_end;
    if (line_end == cursor.end)
    {
        next = cursor.end;
        return cursor.last_chunk;
    }
    next = line_end + 1;
    if (*line_end == '\r')
    {
        if (next == cursor.end)
            return cursor.last_chunk;
        if (*next == '\n')
            ++next;
    }
    return true;
}

parse_step fail(std::string & error, char const * why)
{
    error = why;
    return parse_step::error;
}
}  // namespace

void copy_upper_case(char const * from, std::size_t count, char * to)
{
    for (std::size_t i = 0; i < count; ++i)
    {
        unsigned char const c = static_cast<unsigned char>(from[i]);
        unsigned char const upper = static_cast<unsigned char>(c - 'a') < 26 ? static_cast<unsigned char>(c - 32) : c;
        to[i] = static_cast<char>(c <= ' ' || c == 0x7F ? 'N' : upper);
    }
}

void add_read(read_batch & batch, std::string_view read)
{
    std::memcpy(letter_room(batch, read.size()), read.data(), read.size());
    batch.ends.push_back(batch.letter_count() + read.size());
}

parse_step parse_fastq_record(record_cursor & cursor, read_batch & batch, std::string & error)
{
    // The name line, after the "@".
    char const * name_end = nullptr;
    char const * sequence_start = nullptr;
    if (!skip_line(cursor, cursor.at + 1, name_end, sequence_start))
        return parse_step::need_more;
    // The sequence: up to the "+" (line ends left out).
    char const * const plus = find_byte(sequence_start, cursor.end, '+');
    if (plus == nullptr)
        return cursor.last_chunk ? fail(error, unexpected_end) : parse_step::need_more;
    char const * plus_line_end = nullptr;
    char const * quality = nullptr;
    if (!skip_line(cursor, plus + 1, plus_line_end, quality))
        return parse_step::need_more;
    std::size_t const length = append_without_line_ends(batch, 0, sequence_start, plus);
    // As many quality letters, line ends not counted.
    bool const one_line = static_cast<std::size_t>(cursor.end - quality) >= length &&
                          find_byte(quality, quality + length, '\n') == nullptr &&
                          find_byte(quality, quality + length, '\r') == nullptr;
    char const * after = quality + (one_line ? length : 0);
    if (!one_line)
    {
        std::size_t missing = length;
        for (after = quality; missing > 0 && after < cursor.end; ++after)
            if (!is_line_end(*after))
                --missing;
        if (missing > 0)
            return cursor.last_chunk ? fail(error, "the quality line is shorter than the sequence")
                                     : parse_step::need_more;
    }
    // Blanks, then the next record or the end.
    while (after < cursor.end && is_blank(*after))
        ++after;
    if (after == cursor.end && !cursor.last_chunk)
        return parse_step::need_more;
    if (after < cursor.end && *after != '@')
        return fail(error, "Fastq quality string is expected to be of the same length as the sequence! But was not.");
    batch.ends.push_back(batch.letter_count() + length);
    cursor.at = after;
    return parse_step::record;
}

parse_step parse_fasta_record(record_cursor & cursor, read_batch & batch, std::string & /*error*/)
{
    char const * name_end = nullptr;
    char const * sequence_start = nullptr;
    if (!skip_line(cursor, cursor.at + 1, name_end, sequence_start))
        return parse_step::need_more;
    char const * next = find_byte(sequence_start, cursor.end, '>');
    if (next == nullptr)
    {
        if (!cursor.last_chunk)
            return parse_step::need_more;
        next = cursor.end;
    }
    std::size_t const length = append_without_line_ends(batch, 0, sequence_start, next);
    batch.ends.push_back(batch.letter_count() + length);
    cursor.at = next;
    return parse_step::record;
}
