#include "mirna_db/check_specie_code.hpp"

#include <iostream>



int32_t check_specie_code(std::string const & specie_codes, mirna_db_tables & mirna_db)
{
    std::cout << "specie_codes = " << specie_codes << "\n" << std::flush;

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
        std::cout << "warning inserted codes are not present in the miRNA DB\n" << std::flush;
    return 0;
}
