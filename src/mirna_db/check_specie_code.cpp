#include "mirna_db/check_specie_code.hpp"

#include <algorithm>
#include <ostream>

#include "core/messages.hpp"

int32_t check_specie_code(std::string const & specie_codes, mirna_db_tables & mirna_db, std::ostream & log)
{
    log << "specie_codes = " << specie_codes << "\n" << std::flush;

    // Each database code is looked for on its own, anywhere in "--" followed
    // by the species string; the selection keeps the database order.
    std::string const search_text = "--" + specie_codes;
    bool found_any = false;
    for (std::string const & code : mirna_db.specie_code_vet)
    {
        if (code.empty() || search_text.find(code) == std::string::npos)
            continue;
        mirna_db.species_to_check_vet.push_back(char_string(code));
        found_any = true;
    }
    if (!found_any)
        log << "warning inserted codes are not present in the miRNA DB\n" << std::flush;
    return 0;
}

int32_t select_specie_codes(std::vector<std::string> const & codes, std::string const & mature_file,
                            mirna_db_tables & mirna_db, std::ostream & log)
{
    std::vector<std::string> const & held = mirna_db.specie_code_vet;
    for (std::string const & code : codes)
    {
        if (std::find(held.begin(), held.end(), code) != held.end())
            continue;
        std::string listed;
        for (std::string const & h : held)
            listed += (listed.empty() ? "" : ",") + h;
        print_error("species '" + code + "' is not in miRNA file '" + mature_file + "', which holds: " +
                    (listed.empty() ? "no species" : listed));
        return -1;
    }
    std::string line;
    for (std::string const & code : held)
    {
        if (std::find(codes.begin(), codes.end(), code) == codes.end())
            continue;
        mirna_db.species_to_check_vet.push_back(char_string(code));
        line += (line.empty() ? "" : " ") + code;
    }
    log << "specie_codes = " << line << "\n" << std::flush;
    return 0;
}
