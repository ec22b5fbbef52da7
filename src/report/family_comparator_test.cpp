#include "report/family_comparator.hpp"

#include <gtest/gtest.h>

#include <string>

namespace
{
struct family_case
{
    std::string a;
    std::string b;
    int32_t expected;
};

TEST(family_comparator, judges_families_by_name_in_either_order)
{
    std::string const long_number(40, '1');
    std::string const long_species(35, 'x');
    family_case const cases[] = {
        {">abc-miR-21-5p ", ">abc-miR-21-3p ", 0},
        {">abc-let-7a-5p ", ">abc-let-7b-5p ", 0},
        {">abc-miR-21-5p ", ">abc-miR-2-5p ", 1},
        {">abc-miR-21-5p ", ">xyz-miR-21-5p ", 1},
        {">abc-miR-10-5p ", ">abc-let-10 ", 1},
        {"text without a mark ", "another text ", 0},
        {">abc-lin-4 MIMAT1 x", ">abc-lin-4-5p MIMAT2", 0},
        {">abc-miR-21 ", ">abc-miR-2 ", 1},
        {">abc-miR-7 ", ">abc-miR-7a ", 0},
        {">abc-miR-17 ", ">abc-miR-7 ", 1},
        {">abc-miR-103a-3p", ">abc-miR-103b-5p", 0},
        {">abc-miR-21 ", ">abc-mir-21 ", 1},
        {">abc-miR-21", "abc-miR-21", 1},
        {"", "", 0},
        // Only a blank ends the family number: after a tab the digits count.
        {">abc-miR-21\t5", ">abc-miR-21 5", 1},
        // Parts longer than 30 characters are compared whole.
        {">abc-miR-" + long_number + "-5p", ">abc-miR-" + long_number + "-3p", 0},
        {">abc-miR-" + long_number, ">abc-miR-" + long_number.substr(0, 39) + "2", 1},
        {">abc-miR-" + long_number, ">abc-miR-" + long_number.substr(0, 30), 1},
        {">" + long_species + "a-miR-1", ">" + long_species + "b-miR-1", 1},
        // The end of the text ends the part it falls in.
        {">abc", ">abc-", 0},
        {">abc", ">abd", 1},
        {">abc-miR", ">abc-miR-", 0},
        {">abc-mi", ">abc-miR", 1},
        {">abc-miR-21", ">abc-miR-21-5p", 0},
        {">abc-miR-21", ">abc-miR-2", 1},
    };
    for (family_case const & c : cases)
    {
        EXPECT_EQ(family_comparator(c.a.c_str(), c.b.c_str()), c.expected) << c.a << " | " << c.b;
        EXPECT_EQ(family_comparator(c.b.c_str(), c.a.c_str()), c.expected) << c.b << " | " << c.a;
    }
}
}  // namespace
