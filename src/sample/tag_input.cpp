#include "sample/tag_input.hpp"

#include <cctype>
#include <regex>

#include "reads/collapse_reads.hpp"
#include "core/messages.hpp"

namespace
{
// The first non-empty line of `text`, without its line end.
std::string first_line(std::string const & text)
{
    std::size_t begin = 0;
    while (begin < text.size())
    {
        std::size_t end = text.find('\n', begin);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(begin, end - begin);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty())
            return line;
        begin = end + 1;
    }
    return "";
}

// A short, printable quotation of a line.
std::string quoted(std::string const & line)
{
    std::string shown;
    for (char c : line.substr(0, 60))
        shown += std::isprint(static_cast<unsigned char>(c)) || c == '\t' ? (c == '\t' ? std::string("\\t") : std::string(1, c))
                                                                          : std::string("?");
    return "'" + shown + (line.size() > 60 ? "...'" : "'");
}

// 0 when `text` starts like a tag-count file, else 1 after the error. The
// tag may be empty (adapter dimers, trimmed to nothing, often top a file
// sorted by count): "<TAB>7" is a tag-count line.
int check_tag_counts(std::string const & path, std::string const & text)
{
    std::string const line = first_line(text);
    if (line.empty())
        return 0;  // empty: the loader warns that no tag can map
    static std::regex const tag_count("[A-Za-z.]*\t.*");
    static std::regex const count_first("\\s*[0-9]+[ \t]+[A-Za-z.]+\\s*");
    if (std::regex_match(line, tag_count))
        return 0;
    std::string const compression = other_compression(text);
    if (!compression.empty())
        print_error("tag file '" + path + "' is " + compression +
                    "-compressed, which mirsight does not read; decompress it, or compress it with gzip");
    else if (std::regex_match(line, count_first))
        print_error("tag file '" + path + "' holds 'count sequence' lines (its first line is " + quoted(line) +
                    "); mirsight reads 'sequence<TAB>count': swap the columns, for example with "
                    "awk -v OFS='\\t' '{ print $2, $1 }'");
    else
        print_error("tag file '" + path + "' is neither reads (FASTQ starting with '@', FASTA with '>') nor a "
                    "tag-count file (a sequence, a tab, its read count per line); its first line is " + quoted(line));
    return 1;
}

std::string tag_count_text(std::vector<tag_count> const & tags)
{
    std::string text;
    for (tag_count const & tag : tags)
    {
        text += tag.sequence;
        text += '\t';
        text += std::to_string(tag.count);
        text += '\n';
    }
    return text;
}
}  // namespace

int read_tag_input(std::vector<std::string> const & paths, trim_request const & trim, uint32_t threads,
                   tag_input & input)
{
    sequence_counts counts;
    int32_t const status = collapse_raw_reads(paths, trim, threads, counts, input.reads, &input.text);
    if (status < 0)
        return 1;
    if (status == 1)
        return check_tag_counts(paths.front(), input.text);
    input.from_reads = true;
    for (lane_layout const & lane : input.reads.lanes)
        if (!lane.warning.empty())
            print_warning("reads file '" + lane.path + "': " + lane.warning);
    std::vector<tag_count> const tags = ordered_tags(counts);
    input.text = tag_count_text(tags);
    if (input.reads.umi_pairs.distinct > 0)
    {
        input.inserts.reserve(tags.size());
        for (tag_count const & tag : tags)
            input.inserts.emplace_back(tag.sequence);
    }
    return 0;
}
