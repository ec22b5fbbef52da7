#include "mirna_db/mirbase_file_formatter.hpp"

#include <algorithm>
#include <fstream>
#include <iostream>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "core/checked_file.hpp"
#include "core/fasta_records.hpp"
#include "core/messages.hpp"
#include "core/sequence_text.hpp"
#include "core/text_input.hpp"
#include "mirna_db/sort_singlelinefile.hpp"

namespace
{
// One record that goes into the grouped file.
struct kept_record
{
    std::string header;
    std::string letters;  // sequence in the letters A, C, G, U, N
    std::string seed;
    std::string code;     // up to three characters after ">"
};

// The records of one (seed, species) pair, in input order.
struct group_line
{
    std::string seed;
    std::string code;
    std::vector<std::size_t> members;  // indices into the kept records
};

// The records that have a sequence; a header without one is skipped with a
// warning.
std::vector<fasta_record> records_with_sequence(std::vector<fasta_record> records,
                                                std::string const & path)
{
    std::vector<fasta_record> kept;
    kept.reserve(records.size());
    for (fasta_record & record : records)
    {
        if (record.sequence.empty())
            print_warning(path + ":" + std::to_string(record.header_line) + ": header '" +
                          record.header + "' has no sequence; record skipped");
        else
            kept.push_back(std::move(record));
    }
    return kept;
}

// Warns once when sequences hold DNA letters, which are read as N; or, when
// they are read as U, says so once.
void warn_about_dna_letters(std::vector<fasta_record> const & records, std::string const & path,
                            mature_letters letters)
{
    std::size_t const with_t = static_cast<std::size_t>(
        std::count_if(records.begin(), records.end(), [](fasta_record const & r) {
            return r.sequence.find_first_of("Tt") != std::string::npos;
        }));
    if (with_t > 0 && letters == mature_letters::t_is_u)
        std::cerr << "note: " << path << ": " << with_t << " miRNA sequence(s) hold the letter T, read as U\n";
    else if (with_t > 0)
        print_warning(path + ": " + std::to_string(with_t) +
                      " miRNA sequence(s) hold the letter T or t, which is read as N; "
                      "miRNA sequences are expected with U");
}

// The records that can hold their seed, with seed and species code; the
// others are skipped with a warning.
std::vector<kept_record> keep_records_with_seed(std::vector<fasta_record> const & records,
                                                std::string const & path, uint32_t begin_seed,
                                                uint32_t seed_size, mature_letters letters)
{
    uint64_t const needed = uint64_t{begin_seed} + uint64_t{seed_size};
    std::vector<kept_record> kept;
    kept.reserve(records.size());
    for (fasta_record const & record : records)
    {
        if (record.sequence.size() < needed)
        {
            print_warning(path + ":" + std::to_string(record.header_line) + ": miRNA '" +
                          record.header + "' has " + std::to_string(record.sequence.size()) +
                          " letters, fewer than the " + std::to_string(needed) +
                          " its seed needs; record skipped");
            continue;
        }
        kept_record k;
        k.header = record.header;
        std::string sequence = record.sequence;
        if (letters == mature_letters::t_is_u)
            std::replace_if(sequence.begin(), sequence.end(), [](char c) { return c == 'T' || c == 't'; }, 'U');
        k.letters = rna5_to_text(text_to_rna5(sequence));
        k.seed = k.letters.substr(begin_seed, seed_size);
        k.code = record.header.substr(1, 3);
        kept.push_back(std::move(k));
    }
    return kept;
}

// The distinct species codes, in order of first appearance.
std::vector<std::string> species_in_order(std::vector<kept_record> const & kept)
{
    std::vector<std::string> codes;
    std::unordered_set<std::string> seen;
    for (kept_record const & k : kept)
        if (seen.insert(k.code).second)
            codes.push_back(k.code);
    return codes;
}

// One group per distinct (seed, species) pair, in order of first occurrence,
// members in input order.
std::vector<group_line> group_by_seed_and_species(std::vector<kept_record> const & kept)
{
    std::vector<group_line> groups;
    std::unordered_map<std::string, std::size_t> group_of;  // seed + tab + code
    for (std::size_t i = 0; i < kept.size(); ++i)
    {
        std::string key = kept[i].seed + '\t' + kept[i].code;
        auto const found = group_of.emplace(std::move(key), groups.size());
        if (found.second)
            groups.push_back(group_line{kept[i].seed, kept[i].code, {}});
        groups[found.first->second].members.push_back(i);
    }
    return groups;
}

// The text of the grouped file: the species line, then one line per group.
std::string grouped_file_text(std::vector<kept_record> const & kept)
{
    std::string text = "$";
    for (std::string const & code : species_in_order(kept))
        text += '\t' + code;
    text += '\n';
    for (group_line const & group : group_by_seed_and_species(kept))
    {
        text += group.seed;
        text += '\t';
        text += group.code;
        for (std::size_t member : group.members)
        {
            text += '\t';
            text += kept[member].letters;
            text += '\t';
            text += kept[member].header;
        }
        text += '\n';
    }
    return text;
}
}  // namespace

int32_t mirbase_file_formatter(std::string const & mature_file,
                               std::string const & grouped_file,
                               std::string const & sorted_grouped_file,
                               search_parameters const & parameters, output_staging & outputs,
                               mature_letters letters)
{
    uint32_t const begin_seed = parameters.begin_seed;
    uint32_t const seed_size = parameters.seed_size;
    if (seed_size == 0)
    {
        print_error("the seed size must be at least 1");
        return -1;
    }
    std::ifstream in;
    std::string reason;
    if (!open_for_reading(in, mature_file, reason))
    {
        print_error("cannot open miRNA file '" + mature_file + "': " + reason);
        return -2;
    }

    // The whole FASTA file is read and checked before any output is touched.
    std::vector<fasta_record> read;
    if (read_fasta_records(in, mature_file, "miRNA file", read) != 0)
        return -1;
    std::vector<fasta_record> const records = records_with_sequence(std::move(read), mature_file);
    warn_about_dna_letters(records, mature_file, letters);
    std::vector<kept_record> const kept =
        keep_records_with_seed(records, mature_file, begin_seed, seed_size, letters);
    if (kept.empty())
        print_warning(mature_file + ": no miRNA record can be searched; no tag will map");

    if (write_text_file(grouped_file, grouped_file_text(kept), "grouped miRNA file", outputs) != 0)
        return -1;
    // The grouped file was just written, so any failure here is not the input's.
    return sort_singlelinefile(grouped_file, sorted_grouped_file, outputs) == 0 ? 0 : -1;
}
