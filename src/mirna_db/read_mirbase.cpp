#include "mirna_db/read_mirbase.hpp"

#include <fstream>
#include <vector>

#include "core/messages.hpp"
#include "core/sequence_text.hpp"
#include "core/text_input.hpp"

namespace
{
// The tab-separated fields of a line; "a\t" gives "a" and an empty field.
std::vector<std::string> split_at_tabs(std::string const & line)
{
    std::vector<std::string> fields;
    std::size_t begin = 0;
    while (true)
    {
        std::size_t const tab = line.find('\t', begin);
        if (tab == std::string::npos)
        {
            fields.emplace_back(line, begin);
            return fields;
        }
        fields.emplace_back(line, begin, tab - begin);
        begin = tab + 1;
    }
}

// The species entry of one group line: its code (field 2) and one miRNA per
// sequence/header pair, numbered on from `mirna_counter`. A sequence field
// without its header field gets an empty header.
specie_vet_t species_of_group_line(std::vector<std::string> const & fields, uint32_t & mirna_counter)
{
    specie_vet_t species;
    if (fields.size() > 1)
        species.specie_code = fields[1];
    for (std::size_t f = 2; f < fields.size(); f += 2)
    {
        mirna_vet_t mirna;
        mirna.mirna_seq = text_to_rna5(fields[f]);
        if (f + 1 < fields.size())
            mirna.mirna_info = fields[f + 1];
        mirna.mirna_index = ++mirna_counter;
        species.mirna_vet.push_back(std::move(mirna));
    }
    return species;
}
}  // namespace

int32_t read_mirbase(std::string const & sorted_grouped_file, output_staging const & outputs,
                     mirna_db_tables & mirna_db)
{
    std::ifstream in;
    std::string reason;
    if (!open_for_reading(in, outputs.readable_path(sorted_grouped_file), reason))
    {
        print_error("cannot open sorted grouped file '" + sorted_grouped_file + "': " + reason);
        return -2;
    }

    // Species line: a first field ("$"), then one species code per field.
    std::string line;
    if (std::getline(in, line))
    {
        std::vector<std::string> const codes = split_at_tabs(line);
        mirna_db.specie_code_vet.insert(mirna_db.specie_code_vet.end(), codes.begin() + 1, codes.end());
    }

    // Group lines come sorted by seed: consecutive lines with one seed text
    // become the species of one seed entry.
    seed_vet_t working_seed;
    std::string previous_seed;
    bool first_group_line = true;
    uint32_t mirna_counter = 0;
    while (std::getline(in, line))
    {
        if (line.empty())
            continue;
        std::vector<std::string> const fields = split_at_tabs(line);
        if (first_group_line || fields[0] != previous_seed)
        {
            if (!first_group_line)
            {
                mirna_db.seed_vet.push_back(std::move(working_seed));
                working_seed = seed_vet_t();
            }
            working_seed.seed_seq = text_to_rna5(fields[0]);
            previous_seed = fields[0];
            first_group_line = false;
        }
        working_seed.specie_vet.push_back(species_of_group_line(fields, mirna_counter));
    }
    // The working seed is appended even when no group line was read.
    mirna_db.seed_vet.push_back(std::move(working_seed));
    return 0;
}
