#include "export/precursor_location.hpp"

#include <utility>

precursor_catalogue make_precursor_catalogue(std::vector<hairpin_record> hairpins)
{
    precursor_catalogue catalogue;
    catalogue.hairpins = std::move(hairpins);
    for (std::size_t i = 0; i < catalogue.hairpins.size(); ++i)
        catalogue.by_species[catalogue.hairpins[i].specie_code].push_back(i);
    return catalogue;
}

std::vector<precursor_site> locate_mature(precursor_catalogue const & catalogue, std::string const & mature,
                                          std::string const & specie_code)
{
    std::vector<precursor_site> sites;
    auto const species = catalogue.by_species.find(specie_code);
    if (species == catalogue.by_species.end() || mature.empty())
        return sites;
    for (std::size_t index : species->second)
    {
        std::size_t const position = catalogue.hairpins[index].sequence.find(mature);
        if (position != std::string::npos)
            sites.push_back({index, position});
    }
    return sites;
}
