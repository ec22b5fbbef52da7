#include "mirna_db/check_specie_code.hpp"

#include <sstream>

#include <gtest/gtest.h>

TEST(check_specie_code, selects_every_code_found_in_database_order)
{
    struct selection_case
    {
        char const * name;
        std::vector<std::string> database;
        std::string species;
        std::string selected;  // joined by ","
        bool warning;
    };
    std::vector<selection_case> const cases = {
        {"default string selects hsa only", {"hsa", "mmu"}, "chsa", "hsa,", false},
        {"both in database order", {"hsa", "mmu"}, "hsa mmu", "hsa,mmu,", false},
        {"string order does not matter", {"mmu", "hsa"}, "hsa mmu", "mmu,hsa,", false},
        {"first code absent, later one found", {"rno", "hsa"}, "hsa", "hsa,", false},
        {"code named twice selected once", {"hsa"}, "hsa,hsa", "hsa,", false},
        {"matching is case-sensitive", {"hsa"}, "HSA", "", true},
        {"empty species string", {"hsa"}, "", "", true},
        {"empty database", {}, "hsa", "", true},
        {"empty code never selected", {"", "hsa"}, "xyz", "", true},
    };
    for (selection_case const & c : cases)
    {
        mirna_db_tables mirna_db;
        mirna_db.specie_code_vet = c.database;
        std::ostringstream log;
        EXPECT_EQ(check_specie_code(c.species, mirna_db, log), 0);
        std::string const out = log.str();
        std::string selected;
        for (char_string const & code : mirna_db.species_to_check_vet)
            selected += std::string(seqan::begin(code), seqan::end(code)) + ",";
        EXPECT_EQ(selected, c.selected) << c.name;
        std::string expected_out = "specie_codes = " + c.species + "\n";
        if (c.warning)
            expected_out += "warning inserted codes are not present in the miRNA DB\n";
        EXPECT_EQ(out, expected_out) << c.name;
    }
}
