#include "mirna_db/sort_singlelinefile.hpp"

#include <algorithm>
#include <fstream>
#include <sstream>
#include <vector>

#include "core/checked_file.hpp"
#include "core/messages.hpp"
#include "core/text_input.hpp"

namespace
{
// The lines of `content`, each without its newline. Empty lines are kept; a
// last line without a newline counts like the others.
std::vector<std::string> split_lines(std::string const & content)
{
    std::vector<std::string> lines;
    std::size_t begin = 0;
    while (begin < content.size())
    {
        std::size_t end = content.find('\n', begin);
        if (end == std::string::npos)
            end = content.size();
        lines.emplace_back(content, begin, end - begin);
        begin = end + 1;
    }
    return lines;
}
}  // namespace

int32_t sort_singlelinefile(std::string const & input_path, std::string const & output_path,
                            output_staging & outputs)
{
    std::ifstream in;
    std::string reason;
    if (!open_for_reading(in, outputs.readable_path(input_path), reason))
    {
        print_error("cannot open file to sort '" + input_path + "': " + reason);
        return -2;
    }
    std::ostringstream whole;
    whole << in.rdbuf();
    if (in.bad())
    {
        print_error("cannot read file to sort '" + input_path + "'");
        return -1;
    }

    // std::string compares its bytes as unsigned values, shorter prefix first.
    std::vector<std::string> lines = split_lines(whole.str());
    std::sort(lines.begin(), lines.end());

    std::string sorted;
    for (std::string const & line : lines)
    {
        sorted += line;
        sorted += '\n';
    }
    return write_text_file(output_path, sorted, "sorted file", outputs);
}
