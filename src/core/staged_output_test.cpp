#include <gtest/gtest.h>

#include "core/checked_file.hpp"
#include "core/staged_output.hpp"
#include "core/test_support.hpp"

#include <sys/stat.h>

namespace
{
bool exists(std::string const & path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}
}  // namespace

TEST(StagedOutput, WithoutStagingFilesAreWrittenUnderTheirNames)
{
    scratch_dir dir;
    output_staging outputs(false);
    EXPECT_EQ(outputs.staged_path(dir.file("a.txt")), dir.file("a.txt"));
    EXPECT_EQ(outputs.readable_path(dir.file("a.txt")), dir.file("a.txt"));
}

TEST(StagedOutput, FilesAppearOnlyWhenCommitted)
{
    scratch_dir dir;
    write_file(dir.file("a.txt"), "earlier run\n");
    output_staging outputs;
    ASSERT_EQ(write_text_file(dir.file("a.txt"), "new\n", "test file", outputs), 0);
    ASSERT_EQ(write_text_file(dir.file("b.txt"), "new b\n", "test file", outputs), 0);
    // Until the commit the earlier content stays and b does not exist, but
    // both can be read back under their temporary names.
    EXPECT_EQ(read_file(dir.file("a.txt")), "earlier run\n");
    EXPECT_FALSE(exists(dir.file("b.txt")));
    EXPECT_EQ(read_file(outputs.readable_path(dir.file("b.txt"))), "new b\n");

    EXPECT_EQ(outputs.commit(), 0);
    EXPECT_EQ(read_file(dir.file("a.txt")), "new\n");
    EXPECT_EQ(read_file(dir.file("b.txt")), "new b\n");
    EXPECT_EQ(outputs.readable_path(dir.file("b.txt")), dir.file("b.txt"));
}

TEST(StagedOutput, DiscardRemovesTemporariesAndKeepsEarlierFiles)
{
    scratch_dir dir;
    write_file(dir.file("a.txt"), "earlier run\n");
    std::string temporary;
    {
        output_staging outputs;  // never committed: its end discards
        ASSERT_EQ(write_text_file(dir.file("a.txt"), "partial\n", "test file", outputs), 0);
        temporary = outputs.readable_path(dir.file("a.txt"));
        EXPECT_TRUE(exists(temporary));
    }
    EXPECT_FALSE(exists(temporary));
    EXPECT_EQ(read_file(dir.file("a.txt")), "earlier run\n");
}
