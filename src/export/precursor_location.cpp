#include "export/precursor_location.hpp"

#include <algorithm>
#include <cctype>
#include <utility>

namespace
{
// The two-bit code of text[begin, begin + prefix_length), false when it
// holds a letter other than A, C, G, U.
bool prefix_key(std::string const & text, std::size_t begin, uint32_t & key)
{
    key = 0;
    for (std::size_t i = begin; i < begin + precursor_catalogue::prefix_length; ++i)
    {
        char const * const letters = "ACGU";
        char const * const found = std::find(letters, letters + 4, text[i]);
        if (found == letters + 4)
            return false;
        key = key << 2 | static_cast<uint32_t>(found - letters);
    }
    return true;
}
// The precursor names a mature's name points to: "hsa-miR-548ap-5p" gives
// "hsa-mir-548ap"; a precursor is named so, or so followed by "-<digits>".
std::string precursor_stem(std::string name)
{
    for (char const * arm : {"-5p", "-3p"})
        if (name.size() > 3 && name.compare(name.size() - 3, 3, arm) == 0)
            name.erase(name.size() - 3);
    std::size_t const mir = name.find("-miR-");
    if (mir != std::string::npos)
        name.replace(mir, 5, "-mir-");
    return name;
}

bool named_for(std::string const & precursor, std::string const & stem)
{
    if (precursor == stem)
        return true;
    if (precursor.size() <= stem.size() + 1 || precursor.compare(0, stem.size(), stem) != 0 ||
        precursor[stem.size()] != '-')
        return false;
    return std::all_of(precursor.begin() + static_cast<std::ptrdiff_t>(stem.size() + 1), precursor.end(),
                       [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; });
}
}  // namespace

precursor_catalogue make_precursor_catalogue(std::vector<hairpin_record> hairpins)
{
    precursor_catalogue catalogue;
    catalogue.hairpins = std::move(hairpins);
    std::size_t const k = precursor_catalogue::prefix_length;
    for (std::size_t i = 0; i < catalogue.hairpins.size(); ++i)
    {
        catalogue.by_species[catalogue.hairpins[i].specie_code].push_back(i);
        std::string const & sequence = catalogue.hairpins[i].sequence;
        uint32_t key = 0;
        for (std::size_t position = 0; position + k <= sequence.size(); ++position)
            if (prefix_key(sequence, position, key))
                catalogue.by_prefix.push_back({key, static_cast<uint32_t>(i), static_cast<uint32_t>(position)});
    }
    // Placed in file order and by position: a stable sort by key keeps that order.
    std::stable_sort(catalogue.by_prefix.begin(), catalogue.by_prefix.end(),
                     [](precursor_catalogue::place const & x, precursor_catalogue::place const & y) {
                         return x.key < y.key;
                     });
    return catalogue;
}

std::vector<precursor_site> locate_mature(precursor_catalogue const & catalogue, std::string const & mature,
                                          std::string const & specie_code)
{
    std::vector<precursor_site> sites;
    auto const species = catalogue.by_species.find(specie_code);
    if (species == catalogue.by_species.end() || mature.empty())
        return sites;
    // The stretches of the precursors that hold the mature's first stretch of
    // prefix_length letters without an N (the stretch at `offset`).
    uint32_t key = 0;
    std::size_t offset = 0;
    while (offset + precursor_catalogue::prefix_length <= mature.size() && !prefix_key(mature, offset, key))
        ++offset;
    if (offset + precursor_catalogue::prefix_length <= mature.size())
    {
        auto place = std::lower_bound(
            catalogue.by_prefix.begin(), catalogue.by_prefix.end(), key,
            [](precursor_catalogue::place const & p, uint32_t k) { return p.key < k; });
        for (; place != catalogue.by_prefix.end() && place->key == key; ++place)
        {
            hairpin_record const & hairpin = catalogue.hairpins[place->hairpin];
            bool const first_in_hairpin = sites.empty() || sites.back().hairpin != place->hairpin;
            if (first_in_hairpin && place->position >= offset && hairpin.specie_code == specie_code &&
                hairpin.sequence.compare(place->position - offset, mature.size(), mature) == 0)
                sites.push_back({place->hairpin, place->position - offset});
        }
        return sites;
    }
    for (std::size_t index : species->second)
    {
        std::size_t const position = catalogue.hairpins[index].sequence.find(mature);
        if (position != std::string::npos)
            sites.push_back({index, position});
    }
    return sites;
}

bool lies_in_a_precursor(precursor_catalogue const & catalogue, std::string const & letters,
                         std::vector<std::string> const & specie_codes)
{
    return std::any_of(specie_codes.begin(), specie_codes.end(), [&](std::string const & code) {
        return !locate_mature(catalogue, letters, code).empty();
    });
}

std::vector<precursor_site> locate_mature_preferred(precursor_catalogue const & catalogue, std::string const & mature,
                                                    std::string const & specie_code, std::string const & name)
{
    std::vector<precursor_site> sites = locate_mature(catalogue, mature, specie_code);
    std::string const stem = precursor_stem(name);
    auto const preferred = std::find_if(sites.begin(), sites.end(), [&](precursor_site const & site) {
        return named_for(catalogue.hairpins[site.hairpin].name, stem);
    });
    std::rotate(sites.begin(), preferred, preferred == sites.end() ? preferred : preferred + 1);
    return sites;
}
