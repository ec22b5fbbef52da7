#include "core/table_reader.hpp"

#include "core/messages.hpp"
#include "core/text_input.hpp"

bool table_reader::open()
{
    std::string reason;
    if (open_for_reading(in, path, reason))
        return true;
    print_error("cannot open '" + path + "' for reading: " + reason);
    return false;
}

bool table_reader::next()
{
    while (read_text_line(in, line))
    {
        ++line_number;
        line_ended = !in.eof();
        if (!line.empty())
            return true;
    }
    return false;
}

void table_reader::error(std::string const & what) const
{
    print_error(path + ":" + std::to_string(line_number) + ": " + what);
}

std::vector<std::string> split_tabs(std::string const & line)
{
    std::vector<std::string> fields;
    std::size_t begin = 0;
    while (true)
    {
        std::size_t const tab = line.find('\t', begin);
        fields.push_back(line.substr(begin, tab == std::string::npos ? std::string::npos : tab - begin));
        if (tab == std::string::npos)
            return fields;
        begin = tab + 1;
    }
}
