#include "core/fasta_records.hpp"

#include <algorithm>

#include "core/messages.hpp"
#include "core/text_input.hpp"

namespace
{
bool is_blank(std::string const & line)
{
    return std::all_of(line.begin(), line.end(), [](char c) {
        return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r';
    });
}
}  // namespace

int32_t read_fasta_records(std::ifstream & in, std::string const & path, std::string const & what,
                           std::vector<fasta_record> & records)
{
    uint64_t line_number = 0;
    std::string line;
    while (read_text_line(in, line))
    {
        ++line_number;
        if (is_blank(line))
            continue;
        if (line[0] == '>')
        {
            // A tab would split the header's field in the grouped file.
            std::replace(line.begin(), line.end(), '\t', ' ');
            records.push_back(fasta_record{line, std::string(), line_number});
        }
        else if (records.empty())
        {
            print_error(path + ":" + std::to_string(line_number) +
                        ": text before the first FASTA header (a record starts with '>')");
            return -1;
        }
        else
        {
            records.back().sequence += line;
        }
    }
    if (in.bad())
    {
        print_error("cannot read " + what + " '" + path + "'");
        return -1;
    }
    return 0;
}
