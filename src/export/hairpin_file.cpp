#include "export/hairpin_file.hpp"

#include <algorithm>
#include <fstream>

#include "core/messages.hpp"
#include "core/sequence_text.hpp"
#include "core/text_input.hpp"
#include "core/fasta_records.hpp"

namespace
{
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
void keep_hairpin(std::string const & header, std::string const & text, uint64_t header_line,
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
    std::vector<fasta_record> records;
    if (read_fasta_records(in, path, "hairpin file", records) != 0)
        return -1;
    for (fasta_record const & record : records)
        keep_hairpin(record.header, record.sequence, record.header_line, path, hairpins);
    return 0;
}
