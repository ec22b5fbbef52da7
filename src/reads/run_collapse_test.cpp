#include "reads/run_collapse.hpp"

#include <dirent.h>

#include <gtest/gtest.h>

#include "core/test_support.hpp"

namespace
{
struct whole_run
{
    int status = 0;
    std::string errors;
};

whole_run run_with(collapse_options const & options)
{
    whole_run run;
    testing::internal::CaptureStderr();
    run.status = run_collapse(options);
    run.errors = testing::internal::GetCapturedStderr();
    return run;
}

}  // namespace

TEST(run_collapse, files_are_collapsed_together_and_counts_reported)
{
    scratch_dir dir;
    write_file(dir.file("a.fa"), ">1\nGGGGGGGG\n>2\nACGTACGTA\n>3\nAC\n>4\nacgtacgta\n");
    write_file(dir.file("b.fq"), "@1\nCCCCCCCC\n+\nIIIIIIII\n@2\nGGGGGGGG\n+\nIIIIIIII\n@3\nACGTACGTACGTACGT\n+\nIIIIIIIIIIIIIIII\n");
    collapse_options options;
    options.read_files = {dir.file("a.fa"), dir.file("b.fq")};
    options.output_file = dir.file("tags.txt");
    options.trimming.mode = adapter_mode::none;
    options.trimming.untrimmed_min_length = 3;
    options.trimming.untrimmed_max_length = 12;
    whole_run const run = run_with(options);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(read_file(dir.file("tags.txt")), "ACGTACGTA\t2\nGGGGGGGG\t2\nCCCCCCCC\t1\n");
    EXPECT_EQ(run.errors,
              "layout = " + dir.file("a.fa") + ": none: reads are inserts (--adapter none)\n"
              "layout = " + dir.file("b.fq") + ": none: reads are inserts (--adapter none)\n"
              "reads_read = 7\nreads_without_adapter = 0\nreads_too_short_for_umi = 0\nadapter_dimers = 0\n"
              "reads_too_short = 1\nreads_too_long = 1\nreads_kept = 5\ndistinct_sequences = 3\n");
    EXPECT_EQ(names_in(dir.path()), (std::vector<std::string>{"a.fa", "b.fq", "tags.txt"}));
}

TEST(run_collapse, a_failed_run_leaves_the_earlier_output_untouched)
{
    scratch_dir dir;
    write_file(dir.file("good.fq"), "@1\nACGTACGT\n+\nIIIIIIII\n");
    write_file(dir.file("bad.fq"), "@1\nACGTACGT\n+\nIII\n");
    write_file(dir.file("tags.txt"), "EARLIER\t1\n");
    collapse_options options;
    options.read_files = {dir.file("good.fq"), dir.file("bad.fq")};
    options.output_file = dir.file("tags.txt");
    options.trimming.mode = adapter_mode::none;
    whole_run const run = run_with(options);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.errors.find(dir.file("bad.fq")), std::string::npos) << run.errors;
    EXPECT_EQ(run.errors.find("reads_read"), std::string::npos) << run.errors;
    EXPECT_EQ(read_file(dir.file("tags.txt")), "EARLIER\t1\n");
    EXPECT_EQ(names_in(dir.path()), (std::vector<std::string>{"bad.fq", "good.fq", "tags.txt"}));
}

TEST(run_collapse, an_output_that_cannot_be_written_is_an_error_naming_it)
{
    scratch_dir dir;
    write_file(dir.file("r.fq"), "@1\nACGTACGT\n+\nIIIIIIII\n");
    collapse_options options;
    options.read_files = {dir.file("r.fq")};
    options.trimming.mode = adapter_mode::none;
    for (std::string const & output : {dir.file("missing/tags.txt"), dir.path()})
    {
        SCOPED_TRACE(output);
        options.output_file = output;
        whole_run const run = run_with(options);
        EXPECT_EQ(run.status, 1);
        EXPECT_NE(run.errors.find("'" + output + "'"), std::string::npos) << run.errors;
        EXPECT_EQ(names_in(dir.path()), (std::vector<std::string>{"r.fq"}));
    }
}
