#include "export/isomir_description.hpp"

#include <algorithm>
#include <vector>

namespace
{
char const plate_alphabet[] = "BD0EF1HI2JK3LM4NO5PQ6RS7UV8WX9YZ";

// The base-4 digit of a letter, or -1 for a letter that has none.
int plate_digit(char letter)
{
    switch (letter)
    {
        case 'A': return 0;
        case 'C': return 1;
        case 'G': return 2;
        case 'T':
        case 'U': return 3;
        default: return -1;
    }
}

// The substitution name of a 1-based mature position.
char const * substitution_name(int64_t mature_position)
{
    if (mature_position >= 2 && mature_position <= 7)
        return "iso_snv_seed";
    if (mature_position == 8)
        return "iso_snv_central_offset";
    if (mature_position >= 9 && mature_position <= 12)
        return "iso_snv_central";
    if (mature_position >= 13 && mature_position <= 17)
        return "iso_snv_central_supp";
    return "iso_snv";
}

// "+N" or "-N" for a non-zero difference.
std::string signed_count(int64_t difference)
{
    return (difference > 0 ? "+" : "-") + std::to_string(difference > 0 ? difference : -difference);
}

void append_matches(std::string & cigar, uint64_t run)
{
    if (run > 1)
        cigar += std::to_string(run);
    if (run > 0)
        cigar += 'M';
}
}  // namespace

std::string dna_letters(std::string const & letters)
{
    std::string dna = letters;
    std::replace(dna.begin(), dna.end(), 'U', 'T');
    return dna;
}

isomir_description describe_isomir(std::string const & tag, std::string const & precursor, int64_t tag_start,
                                   uint64_t mature_start, uint64_t mature_length)
{
    std::size_t const length = tag.size();
    auto outside = [&](std::size_t i) {
        int64_t const position = tag_start + static_cast<int64_t>(i);
        return position < 0 || static_cast<uint64_t>(position) >= precursor.size();
    };
    auto matches_at = [&](std::size_t i) {
        return !outside(i) && tag[i] == precursor[static_cast<std::size_t>(tag_start + static_cast<int64_t>(i))];
    };

    // Non-templated 5' additions: the letters before the precursor's first.
    std::size_t const added_5p = tag_start < 0 ? std::min(length, static_cast<std::size_t>(-tag_start)) : 0;
    // Non-templated 3' additions: the trailing letters that do not match.
    std::size_t templated = length;
    while (templated > added_5p && !matches_at(templated - 1))
        --templated;
    std::size_t const added = length - templated;

    std::vector<std::string> changes;
    int64_t const shift_5p = tag_start + static_cast<int64_t>(added_5p) - static_cast<int64_t>(mature_start);
    if (shift_5p != 0)
        changes.push_back("iso_5p:" + signed_count(shift_5p));
    int64_t const shift_3p = tag_start + static_cast<int64_t>(templated) -
                             static_cast<int64_t>(mature_start + mature_length);
    if (shift_3p != 0)
        changes.push_back("iso_3p:" + signed_count(shift_3p));
    if (added > 0)
        changes.push_back("iso_add3p:" + std::to_string(added));
    if (added_5p > 0)
        changes.push_back("iso_add5p:" + std::to_string(added_5p));

    isomir_description description;
    uint64_t run = 0;
    for (std::size_t i = 0; i < length; ++i)
    {
        if (matches_at(i))
        {
            ++run;
            continue;
        }
        append_matches(description.cigar, run);
        run = 0;
        if (outside(i))
        {
            description.cigar += 'I';
            continue;
        }
        uint64_t const position = static_cast<uint64_t>(tag_start + static_cast<int64_t>(i));
        description.cigar += precursor[position] == 'U' ? 'T' : precursor[position];
        if (i >= added_5p && i < templated)
        {
            std::string const name =
                substitution_name(static_cast<int64_t>(position) - static_cast<int64_t>(mature_start) + 1);
            if (std::find(changes.begin(), changes.end(), name) == changes.end())
                changes.push_back(name);
        }
    }
    append_matches(description.cigar, run);

    if (changes.empty())
        description.variant = "NA";
    for (std::size_t i = 0; i < changes.size(); ++i)
        description.variant += (i == 0 ? "" : ",") + changes[i];
    return description;
}

std::string license_plate(std::string const & read)
{
    std::string code;
    for (std::size_t begin = 0; begin < read.size(); begin += 5)
    {
        std::size_t const piece = std::min<std::size_t>(5, read.size() - begin);
        uint32_t value = 0;
        for (std::size_t i = begin; i < begin + piece; ++i)
        {
            int const digit = plate_digit(read[i]);
            if (digit < 0)
                return "";
            value = value * 4 + static_cast<uint32_t>(digit);
        }
        if (piece < 5)
        {
            // Shorter pieces come after every value of the pieces shorter still.
            for (uint32_t power = 4, k = 1; k < piece; ++k, power *= 4)
                value += power;
            if (value < 32)
            {
                code += plate_alphabet[value];
                continue;
            }
        }
        code += plate_alphabet[value / 32];
        code += plate_alphabet[value % 32];
    }
    return "iso-" + std::to_string(read.size()) + "-" + code;
}
