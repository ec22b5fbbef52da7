#include "export/hairpin_file.hpp"

#include <algorithm>
#include <fstream>

#include "driver/globals.hpp"

namespace
{
bool is_blank(std::string const & line)
{
    return std::all_of(line.begin(), line.end(), [](char c) {
        return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r';
    });
}

// The header's words after ">": its name and its accession.
void split_header(std::string const & header, hairpin_record & record)
{
    std::size_t const name_end = std::min(header.find(' ', 1), header.size());
    record.name = header.substr(1, name_end - 1);
    std::size_t const accession_begin = header.find_first_not_of(' ', name_end);
    if (accession_begin == std::string::npos)
        return;
    std::size_t const accession_end = std::min(header.find(' ', accession_begin), header.size());
    record.accession = header.substr(accession_begin, accession_end - accession_begin);
}

// Keeps the record being read when it has a name and a sequence, else warns.
void finish_record(std::string const & header, std::string const & text, uint64_t header_line,
                   std::string const & path, std::vector<hairpin_record> & hairpins)
{
    std::string const where = path + ":" + std::to_string(header_line) + ": ";
    hairpin_record record;
    split_header(header, record);
    if (record.name.empty())
    {
        print_warning(where + "precursor header '" + header + "' has no name; record skipped");
        return;
    }
    if (text.empty())
    {
        print_warning(where + "precursor header '" + header + "' has no sequence; record skipped");
        return;
    }
    record.specie_code = header.substr(1, 3);
    record.sequence = hairpin_letters(text);
    hairpins.push_back(std::move(record));
}
}  // namespace

std::string hairpin_letters(std::string const & text)
{
    std::string letters = text;
    std::replace(letters.begin(), letters.end(), 'T', 'U');
    std::replace(letters.begin(), letters.end(), 't', 'u');
    return rna5_to_text(text_to_rna5(letters));
}

int32_t read_hairpin_file(std::string const & path, std::vector<hairpin_record> & hairpins)
{
    std::ifstream in;
    std::string reason;
    if (!open_for_reading(in, path, reason))
    {
        print_error("cannot open hairpin file '" + path + "' for reading: " + reason);
        return -2;
    }
    std::string header;
    std::string text;
    uint64_t header_line = 0;
    bool in_record = false;
    uint64_t line_number = 0;
    std::string line;
    while (read_text_line(in, line))
    {
        ++line_number;
        if (is_blank(line))
            continue;
        if (line[0] == '>')
        {
            if (in_record)
                finish_record(header, text, header_line, path, hairpins);
            in_record = true;
            std::replace(line.begin(), line.end(), '\t', ' ');
            header = line;
            header_line = line_number;
            text.clear();
        }
        else if (!in_record)
        {
            print_error(path + ":" + std::to_string(line_number) +
                        ": text before the first FASTA header (a record starts with '>')");
            return -1;
        }
        else
        {
            text += line;
        }
    }
    if (in.bad())
    {
        print_error("cannot read hairpin file '" + path + "'");
        return -1;
    }
    if (in_record)
        finish_record(header, text, header_line, path, hairpins);
    return 0;
}
