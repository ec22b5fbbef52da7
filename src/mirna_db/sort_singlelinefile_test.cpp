#include "mirna_db/sort_singlelinefile.hpp"

#include <gtest/gtest.h>

#include "core/test_support.hpp"

TEST(sort_singlelinefile, lines_in_ascending_byte_order)
{
    struct sort_case
    {
        char const * name;
        std::string input;
        std::string output;
    };
    std::vector<sort_case> const cases = {
        {"empty file", "", ""},
        {"last line without newline", "b\na", "a\nb\n"},
        {"empty line sorts first", "b\n\na\n", "\na\nb\n"},
        {"prefix before longer line, tab before letters", "ACGUA\tx\nACGU\ty\nACGUAC\n",
         "ACGU\ty\nACGUA\tx\nACGUAC\n"},
        {"species line first, seeds A C G N U", "U\n$\tabc\nN\nG\nC\nA\n", "$\tabc\nA\nC\nG\nN\nU\n"},
        {"bytes above 127 after ASCII letters", "\xC3\xA8\nz\n", "z\n\xC3\xA8\n"},
        {"carriage return kept and compared", "a\r\na\n", "a\na\r\n"},
        {"duplicates kept", "b\na\nb\n", "a\nb\nb\n"},
    };
    for (sort_case const & c : cases)
    {
        scratch_dir dir;
        write_file(dir.file("in.txt"), c.input);
        output_staging outputs(false);
        EXPECT_EQ(sort_singlelinefile(dir.file("in.txt"), dir.file("out.txt"), outputs), 0) << c.name;
        EXPECT_EQ(read_file(dir.file("out.txt")), c.output) << c.name;
    }
}

TEST(sort_singlelinefile, failures_name_the_path)
{
    scratch_dir dir;
    output_staging outputs(false);
    write_file(dir.file("out.txt"), "old\n");
    testing::internal::CaptureStderr();
    EXPECT_EQ(sort_singlelinefile(dir.file("absent.txt"), dir.file("out.txt"), outputs), -2);
    std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_NE(errors.find("absent.txt': No such file or directory"), std::string::npos) << errors;
    EXPECT_EQ(read_file(dir.file("out.txt")), "old\n");

    write_file(dir.file("in.txt"), "b\na\n");
    testing::internal::CaptureStderr();
    EXPECT_EQ(sort_singlelinefile(dir.file("in.txt"), dir.file("no/out.txt"), outputs), -1);
    errors = testing::internal::GetCapturedStderr();
    EXPECT_NE(errors.find("no/out.txt'"), std::string::npos) << errors;
}
