#include <gtest/gtest.h>

#include "core/checked_file.hpp"
#include "core/staged_output.hpp"
#include "core/test_support.hpp"

#include <algorithm>
#include <vector>

#include <dirent.h>
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

// A file written again from its start holds only the new text, whether it
// was longer, empty or missing before, staged or not.
TEST(StagedOutput, AFileWrittenAgainHoldsOnlyTheNewText)
{
    scratch_dir dir;
    output_staging direct(false);
    write_file(dir.file("long.txt"), "a much longer earlier text\n");
    write_file(dir.file("empty.txt"), "");
    for (char const * name : {"long.txt", "empty.txt", "missing.txt"})
    {
        ASSERT_EQ(write_text_file(dir.file(name), "new\n", "test file", direct), 0);
        EXPECT_EQ(read_file(dir.file(name)), "new\n") << name;
    }
    output_staging staged;
    ASSERT_EQ(write_text_file(dir.file("twice.txt"), "first, longer text\n", "test file", staged), 0);
    ASSERT_EQ(write_text_file(dir.file("twice.txt"), "second\n", "test file", staged), 0);
    ASSERT_EQ(staged.commit(), 0);
    EXPECT_EQ(read_file(dir.file("twice.txt")), "second\n");
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

// A commit that fails part way (here a directory has appeared under the last
// name since the run checked it) puts back every file it had replaced, removes
// the ones it had added, and leaves no temporary file.
TEST(StagedOutput, FailedCommitPutsEveryEarlierFileBack)
{
    scratch_dir dir;
    write_file(dir.file("a.txt"), "earlier a\n");
    output_staging outputs;
    ASSERT_EQ(write_text_file(dir.file("a.txt"), "new a\n", "test file", outputs), 0);
    ASSERT_EQ(write_text_file(dir.file("b.txt"), "new b\n", "test file", outputs), 0);
    ASSERT_EQ(write_text_file(dir.file("c.txt"), "new c\n", "test file", outputs), 0);
    ASSERT_EQ(mkdir(dir.file("c.txt").c_str(), 0777), 0);
    EXPECT_EQ(outputs.commit(), -1);
    EXPECT_EQ(read_file(dir.file("a.txt")), "earlier a\n");
    EXPECT_FALSE(exists(dir.file("b.txt")));
    EXPECT_EQ(names_in(dir.path()), (std::vector<std::string>{"a.txt", "c.txt"}));
}

// Temporary names stay within the 255-byte limit of a file name, and two
// stagings of one name get different temporary files.
TEST(StagedOutput, TemporaryNamesAreShortAndUnique)
{
    scratch_dir dir;
    std::string const long_name = dir.file(std::string(250, 'x') + ".txt");
    output_staging first;
    output_staging second;
    std::string const a = first.staged_path(long_name);
    std::string const b = second.staged_path(long_name);
    EXPECT_NE(a, b);
    EXPECT_TRUE(exists(a));
    EXPECT_TRUE(exists(b));
    EXPECT_LE(a.size() - a.find_last_of('/') - 1, 255u);
}
