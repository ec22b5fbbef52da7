#include "export/isomir_description.hpp"

#include <algorithm>

#include "core/number_text.hpp"

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
void append_signed_count(std::string & out, int64_t difference)
{
    out += difference > 0 ? '+' : '-';
    append_unsigned(out, static_cast<uint64_t>(difference > 0 ? difference : -difference));
}

void append_matches(std::string & cigar, uint64_t run)
{
    if (run > 1)
        append_unsigned(cigar, run);
    if (run > 0)
        cigar += 'M';
}

// Starts the next change of a variant.
std::string & next_change(std::string & variant)
{
    if (!variant.empty())
        variant += ',';
    return variant;
}
}  // namespace

std::string dna_letters(std::string const & letters)
{
    std::string dna = letters;
    std::replace(dna.begin(), dna.end(), 'U', 'T');
    return dna;
}

isomir_description describe_isomir(std::string_view tag, std::string_view precursor, int64_t tag_start,
                                   uint64_t mature_start, uint64_t mature_length)
{
    isomir_description description;
    describe_isomir(tag, precursor, tag_start, mature_start, mature_length, description);
    return description;
}

void describe_isomir(std::string_view tag, std::string_view precursor, int64_t tag_start, uint64_t mature_start,
                     uint64_t mature_length, isomir_description & description)
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

    std::string & variant = description.variant;
    variant.clear();
    int64_t const shift_5p = tag_start + static_cast<int64_t>(added_5p) - static_cast<int64_t>(mature_start);
    if (shift_5p != 0)
        append_signed_count(next_change(variant) += "iso_5p:", shift_5p);
    int64_t const shift_3p = tag_start + static_cast<int64_t>(templated) -
                             static_cast<int64_t>(mature_start + mature_length);
    if (shift_3p != 0)
        append_signed_count(next_change(variant) += "iso_3p:", shift_3p);
    if (added > 0)
        append_unsigned(next_change(variant) += "iso_add3p:", added);
    if (added_5p > 0)
        append_unsigned(next_change(variant) += "iso_add5p:", added_5p);

    // The substitutions' names, each once, in the order first met.
    char const * substitutions[5];
    std::size_t substitution_count = 0;
    std::string & cigar = description.cigar;
    cigar.clear();
    uint64_t run = 0;
    for (std::size_t i = 0; i < length; ++i)
    {
        if (matches_at(i))
        {
            ++run;
            continue;
        }
        append_matches(cigar, run);
        run = 0;
        if (outside(i))
        {
            cigar += 'I';
            continue;
        }
        uint64_t const position = static_cast<uint64_t>(tag_start + static_cast<int64_t>(i));
        cigar += precursor[position] == 'U' ? 'T' : precursor[position];
        if (i >= added_5p && i < templated)
        {
            char const * const name =
                substitution_name(static_cast<int64_t>(position) - static_cast<int64_t>(mature_start) + 1);
            if (std::find(substitutions, substitutions + substitution_count, name) ==
                substitutions + substitution_count)
                substitutions[substitution_count++] = name;
        }
    }
    append_matches(cigar, run);

    for (std::size_t k = 0; k < substitution_count; ++k)
        next_change(variant) += substitutions[k];
    if (variant.empty())
        variant = "NA";
}

std::string license_plate(std::string_view read)
{
    std::string plate;
    append_license_plate(plate, read);
    return plate;
}

bool append_license_plate(std::string & out, std::string_view read)
{
    std::size_t const before = out.size();
    out += "iso-";
    append_unsigned(out, read.size());
    out += '-';
    for (std::size_t begin = 0; begin < read.size(); begin += 5)
    {
        std::size_t const piece = std::min<std::size_t>(5, read.size() - begin);
        uint32_t value = 0;
        for (std::size_t i = begin; i < begin + piece; ++i)
        {
            int const digit = plate_digit(read[i]);
            if (digit < 0)
            {
                out.resize(before);
                return false;
            }
            value = value * 4 + static_cast<uint32_t>(digit);
        }
        if (piece < 5)
        {
            // Shorter pieces come after every value of the pieces shorter still.
            for (uint32_t power = 4, k = 1; k < piece; ++k, power *= 4)
                value += power;
            if (value < 32)
            {
                out += plate_alphabet[value];
                continue;
            }
        }
        out += plate_alphabet[value / 32];
        out += plate_alphabet[value % 32];
    }
    return true;
}
