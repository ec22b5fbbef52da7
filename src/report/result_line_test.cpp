#include "report/result_line.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "core/sequence_text.hpp"

namespace
{
std::string percentage_text(float value)
{
    std::string line;
    add_percentage(line, value);
    return line.substr(1);  // drop the tab before the value
}

TEST(result_line, percentages_have_ten_digits_in_ten_columns)
{
    EXPECT_EQ(percentage_text(0.0f), "         0");
    EXPECT_EQ(percentage_text(12.5f), "      12.5");
    EXPECT_EQ(percentage_text(100.0f), "       100");
    EXPECT_EQ(percentage_text(1.0f / 3.0f * 100.0f), "33.33333588");
    EXPECT_EQ(percentage_text(1e-05f), "9.999999747e-06");
    EXPECT_EQ(percentage_text(3.0f / 10.0f * 100.0f), "30.00000191");
}

TEST(result_line, fields_follow_a_tab_in_result_form)
{
    std::string line;
    append_unsigned(line, 18446744073709551615u);
    add_field(line, int32_t{-3});
    add_field(line, uint32_t{4294967295u});
    add_field(line, uint64_t{5000000000u});
    add_field(line, true);
    add_field(line, false);
    add_field(line, text_to_rna5("ACGUTN"));
    char_string info = ">abc-miR-1 \xc3\xa8 x";
    add_field(line, info);
    EXPECT_EQ(line, "18446744073709551615\t-3\t4294967295\t5000000000\t1\t0\tACGUNN\t>abc-miR-1 \xc3\xa8 x");
}
}  // namespace
