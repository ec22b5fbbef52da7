#include <gtest/gtest.h>

#include "driver/staged_output.hpp"
#include "driver/test_support.hpp"
#include "mirna_db/text_file_output.hpp"

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
    EXPECT_EQ(staged_path(dir.file("a.txt")), dir.file("a.txt"));
    EXPECT_EQ(readable_path(dir.file("a.txt")), dir.file("a.txt"));
}

TEST(StagedOutput, FilesAppearOnlyWhenCommitted)
{
    scratch_dir dir;
    write_file(dir.file("a.txt"), "earlier run\n");
    set_output_staging(true);
    ASSERT_EQ(write_text_file(dir.file("a.txt"), "new\n", "test file"), 0);
    ASSERT_EQ(write_text_file(dir.file("b.txt"), "new b\n", "test file"), 0);
    // Until the commit the earlier content stays and b does not exist, but
    // both can be read back under their temporary names.
    EXPECT_EQ(read_file(dir.file("a.txt")), "earlier run\n");
    EXPECT_FALSE(exists(dir.file("b.txt")));
    EXPECT_EQ(read_file(readable_path(dir.file("b.txt"))), "new b\n");

    EXPECT_EQ(commit_staged_outputs(), 0);
    set_output_staging(false);
    EXPECT_EQ(read_file(dir.file("a.txt")), "new\n");
    EXPECT_EQ(read_file(dir.file("b.txt")), "new b\n");
    EXPECT_EQ(readable_path(dir.file("b.txt")), dir.file("b.txt"));
}

TEST(StagedOutput, DiscardRemovesTemporariesAndKeepsEarlierFiles)
{
    scratch_dir dir;
    write_file(dir.file("a.txt"), "earlier run\n");
    set_output_staging(true);
    ASSERT_EQ(write_text_file(dir.file("a.txt"), "partial\n", "test file"), 0);
    std::string const temporary = readable_path(dir.file("a.txt"));
    EXPECT_TRUE(exists(temporary));
    discard_staged_outputs();
    set_output_staging(false);
    EXPECT_FALSE(exists(temporary));
    EXPECT_EQ(read_file(dir.file("a.txt")), "earlier run\n");
}
