#include "tags/load_reads_db_buffer.hpp"

#include <algorithm>
#include <fstream>
#include <limits>
#include <vector>

#include <sys/stat.h>

#include "driver/globals.hpp"

namespace
{
enum class count_reading
{
    read,       // digits found and read
    missing,    // no tab, or no digit after it
    saturated,  // more than 64 bits: held at the largest value
};

bool is_white_space(char c)
{
    return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r' || c == '\n';
}

// Reads the read count that follows the tab at `tab` in `line`: optional
// white space, then decimal digits up to the first other character. A count
// that does not fit in 64 bits is held at the largest 64-bit value.
count_reading read_tag_count(std::string const & line, std::size_t tab, uint64_t & count)
{
    count = 0;
    if (tab == std::string::npos)
        return count_reading::missing;
    std::size_t pos = tab + 1;
    while (pos < line.size() && is_white_space(line[pos]))
        ++pos;
    if (pos == line.size() || line[pos] < '0' || line[pos] > '9')
        return count_reading::missing;
    constexpr uint64_t largest = std::numeric_limits<uint64_t>::max();
    count_reading result = count_reading::read;
    for (; pos < line.size() && line[pos] >= '0' && line[pos] <= '9'; ++pos)
    {
        uint64_t const digit = static_cast<uint64_t>(line[pos] - '0');
        if (count > (largest - digit) / 10)
        {
            count = largest;
            result = count_reading::saturated;
        }
        else if (result == count_reading::read)
        {
            count = count * 10 + digit;
        }
    }
    return result;
}

// Number of lines of a regular file (the last one may lack its newline), read
// ahead so that the tag table is allocated once; 0 for anything else. The
// stream is rewound.
std::size_t count_lines_ahead(std::ifstream & in, std::string const & path)
{
    struct stat info;
    if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return 0;
    std::vector<char> buffer(1 << 20);
    std::size_t lines = 0;
    char last = '\n';
    while (in)
    {
        in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        auto const got = in.gcount();
        if (got <= 0)
            break;
        lines += static_cast<std::size_t>(std::count(buffer.data(), buffer.data() + got, '\n'));
        last = buffer[static_cast<std::size_t>(got) - 1];
    }
    if (last != '\n')
        ++lines;
    in.clear();
    in.seekg(0);
    return lines;
}
}  // namespace

int32_t load_reads_db_buffer(std::string const & tag_file, bool rna_conversion, uint32_t seed_size)
{
    std::ifstream in;
    std::string reason;
    if (!open_for_reading(in, tag_file, reason))
    {
        print_error("cannot open tag-count file '" + tag_file + "': " + reason);
        return -2;
    }
    tag_vet.reserve(tag_vet.size() + count_lines_ahead(in, tag_file));

    char_string const quality = "\xC3\xA8";  // the letter è in UTF-8
    uint32_t line_number = 0;
    std::string line;
    while (read_text_line(in, line))
    {
        ++line_number;
        std::size_t const tab = line.find('\t');
        std::size_t const tag_length = tab == std::string::npos ? line.size() : tab;
        // Only tags longer than the seed are kept.
        if (tag_length <= seed_size)
        {
            ++discarded_tag;
            continue;
        }

        uint64_t count = 0;
        count_reading const reading = read_tag_count(line, tab, count);
        if (reading == count_reading::missing)
            print_warning(tag_file + ":" + std::to_string(line_number) +
                          ": read count missing or not a number; count set to 0");
        else if (reading == count_reading::saturated)
            print_warning(tag_file + ":" + std::to_string(line_number) +
                          ": read count does not fit in 64 bits; count set to " +
                          std::to_string(count));

        line.resize(tag_length);
        if (rna_conversion)
            std::replace(line.begin(), line.end(), 'T', 'U');
        rna_string sequence = text_to_rna5(line);

        tag_vet.emplace_back();
        tag_vet_t & tag = tag_vet.back();
        seqan::swap(tag.tag_sequence, sequence);  // hands the letters over, no copy
        tag.tag_quality = quality;
        tag.tag_count = count;
        tag.tag_index = line_number;
    }
    if (in.bad())
    {
        print_error("cannot read tag-count file '" + tag_file + "'");
        return -1;
    }
    tot_total_tag_count = line_number;
    return 0;
}
