#include "core/text_input.hpp"

#include <sstream>

#include <gtest/gtest.h>

#include "core/sequence_text.hpp"
#include "core/test_support.hpp"

TEST(TextToRna5, OnlyACGUInEitherCaseKeepTheirLetter)
{
    std::string all;
    for (int byte = 0; byte < 256; ++byte)
        all.push_back(static_cast<char>(byte));
    std::string const letters = rna5_to_text(text_to_rna5(all));
    ASSERT_EQ(letters.size(), 256u);
    for (int byte = 0; byte < 256; ++byte)
    {
        char expected = 'N';
        switch (byte)
        {
            case 'A': case 'a': expected = 'A'; break;
            case 'C': case 'c': expected = 'C'; break;
            case 'G': case 'g': expected = 'G'; break;
            case 'U': case 'u': expected = 'U'; break;
            default: break;
        }
        EXPECT_EQ(letters[static_cast<std::size_t>(byte)], expected) << "byte " << byte;
    }
}

TEST(ReadTextLine, DropsOneCarriageReturn)
{
    std::istringstream in("a\r\nb\r\r\nc");
    std::string line;
    ASSERT_TRUE(read_text_line(in, line));
    EXPECT_EQ(line, "a");
    ASSERT_TRUE(read_text_line(in, line));
    EXPECT_EQ(line, "b\r");
    ASSERT_TRUE(read_text_line(in, line));
    EXPECT_EQ(line, "c");
    EXPECT_FALSE(read_text_line(in, line));
}

TEST(OpenForReading, RefusesDirectoriesAndMissingFiles)
{
    scratch_dir dir;
    std::string reason;
    std::ifstream a;
    EXPECT_FALSE(open_for_reading(a, dir.path(), reason));
    EXPECT_EQ(reason, "Is a directory");
    std::ifstream b;
    EXPECT_FALSE(open_for_reading(b, dir.file("missing.txt"), reason));
    EXPECT_EQ(reason, "No such file or directory");
    write_file(dir.file("x.txt"), "x\n");
    std::ifstream c;
    EXPECT_TRUE(open_for_reading(c, dir.file("x.txt"), reason));
}
