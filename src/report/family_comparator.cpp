#include "report/family_comparator.hpp"

#include <algorithm>
#include <string_view>

namespace
{
// Every name part is compared over at least this many positions; positions
// past the end of a part hold the filler '$'.
constexpr std::size_t name_part_width = 30;
constexpr char name_part_filler = '$';

// The characters from `pos` up to, not including, the first of `stops` or
// the end of the text; `pos` moves past that stop character.
std::string_view read_part(std::string_view text, std::size_t & pos, char const * stops)
{
    std::size_t end = text.find_first_of(stops, pos);
    if (end == std::string_view::npos)
        end = text.size();
    std::string_view const part = text.substr(pos, end - pos);
    pos = end < text.size() ? end + 1 : end;
    return part;
}

char char_at(std::string_view part, std::size_t i)
{
    return i < part.size() ? part[i] : name_part_filler;
}

std::size_t compared_width(std::string_view a, std::string_view b)
{
    return std::max({name_part_width, a.size(), b.size()});
}

bool is_digit(char c)
{
    return c >= '0' && c <= '9';
}

// Equal at every position of the filled parts.
bool same_part(std::string_view a, std::string_view b)
{
    std::size_t const width = compared_width(a, b);
    for (std::size_t i = 0; i < width; ++i)
        if (char_at(a, i) != char_at(b, i))
            return false;
    return true;
}

// Equal at every position where either part holds a digit: letter suffixes
// are ignored, digits are compared by position.
bool same_family_number(std::string_view a, std::string_view b)
{
    std::size_t const width = compared_width(a, b);
    for (std::size_t i = 0; i < width; ++i)
    {
        char const ca = char_at(a, i);
        char const cb = char_at(b, i);
        if ((is_digit(ca) || is_digit(cb)) && ca != cb)
            return false;
    }
    return true;
}
}  // namespace

// The species code and the kind end at "-", the family number at "-" or a
// blank (no other white space); the end of the text ends whichever part it
// falls in.
mirna_family_name family_name_of(char_string const & info)
{
    std::string_view const text(seqan::begin(info, seqan::Standard()), seqan::length(info));
    mirna_family_name parts;
    if (text.empty() || text[0] != '>')
        return parts;
    std::size_t pos = 1;
    parts.species = read_part(text, pos, "-");
    parts.kind = read_part(text, pos, "-");
    parts.family = read_part(text, pos, "- ");
    return parts;
}

bool same_family(mirna_family_name const & first, mirna_family_name const & second)
{
    return same_part(first.species, second.species) && same_part(first.kind, second.kind)
           && same_family_number(first.family, second.family);
}

int32_t family_comparator(char_string const & a, char_string const & b)
{
    return same_family(family_name_of(a), family_name_of(b)) ? 0 : 1;
}
