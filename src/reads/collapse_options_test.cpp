#include "reads/collapse_options.hpp"

#include <gtest/gtest.h>

TEST(parse_collapse_options, accepted_command_lines)
{
    struct accepted_case
    {
        char const * name;
        std::vector<std::string> arguments;
        std::vector<std::string> read_files;
        std::string output_file;
        uint64_t min_length;
        uint64_t max_length;
    };
    uint64_t const no_limit = trim_request{}.untrimmed_max_length;
    std::vector<accepted_case> const cases = {
        {"defaults", {"r.fq"}, {"r.fq"}, "", 1, no_limit},
        {"short options", {"-m", "15", "-M", "40", "-o", "t.txt", "r.fq"}, {"r.fq"}, "t.txt", 15, 40},
        {"long options after files", {"a.fq", "b.fa.gz", "--min-length", "0", "--max-length", "0", "--output", "o"},
         {"a.fq", "b.fa.gz"}, "o", 0, 0},
        {"standard input", {"-"}, {"-"}, "", 1, no_limit},
        {"last value wins", {"-m", "3", "-m", "5", "r"}, {"r"}, "", 5, no_limit},
        {"largest 64-bit-safe length", {"-M", "9999999999999999999", "r"}, {"r"}, "", 1, 9999999999999999999ull},
    };
    for (accepted_case const & c : cases)
    {
        SCOPED_TRACE(c.name);
        collapse_options options;
        std::vector<std::string> arguments = c.arguments;
        arguments.insert(arguments.end(), {"--mature", "mature.fa"});
        ASSERT_EQ(parse_collapse_options(arguments, options), 0);
        EXPECT_EQ(options.mature_file, "mature.fa");
        EXPECT_EQ(options.read_files, c.read_files);
        EXPECT_EQ(options.output_file, c.output_file);
        EXPECT_EQ(options.trimming.untrimmed_min_length, c.min_length);
        EXPECT_EQ(options.trimming.untrimmed_max_length, c.max_length);
        EXPECT_FALSE(options.show_help);
    }
}

TEST(parse_collapse_options, command_line_errors)
{
    struct error_case
    {
        std::vector<std::string> arguments;
        std::string message;
    };
    std::vector<error_case> const cases = {
        {{}, "no reads file"},
        {{"-o", "out.txt"}, "no reads file"},
        {{"r.fq", "-o"}, "option -o needs a value"},
        {{"r.fq", "-o", ""}, "needs a file name"},
        {{"r.fq", "-m"}, "option -m needs a value"},
        {{"-m", "x", "r.fq"}, "needs a whole number, not 'x'"},
        {{"-m", "-1", "r.fq"}, "needs a whole number, not '-1'"},
        {{"-M", "12abc", "r.fq"}, "not '12abc'"},
        {{"-M", "99999999999999999999", "r.fq"}, "whole number"},
        {{"-m", "20", "-M", "19", "r.fq"}, "the minimum length (20) exceeds the maximum length (19)"},
        {{"--threads", "0", "r.fq"}, "from 1 to 256"},
        {{"--adapter", "ACGU", "r.fq"}, "not 'ACGU'"},
        {{"--protocol", "truseq", "r.fq"}, "the kits are illumina, neb, nextflex, qiaseq, polya"},
        {{"r.fq"}, "--adapter auto (the default) tells the reads' layout by what maps: give the mature miRNAs"},
    };
    for (error_case const & c : cases)
    {
        std::string joined;
        for (std::string const & argument : c.arguments)
            joined += argument + " ";
        SCOPED_TRACE(joined);
        collapse_options options;
        testing::internal::CaptureStderr();
        int const status = parse_collapse_options(c.arguments, options);
        std::string const errors = testing::internal::GetCapturedStderr();
        EXPECT_EQ(status, 2);
        EXPECT_NE(errors.find(c.message), std::string::npos) << errors;
    }
}

TEST(parse_collapse_options, help_needs_no_reads_file_and_names_every_option)
{
    collapse_options options;
    ASSERT_EQ(parse_collapse_options({"--help"}, options), 0);
    EXPECT_TRUE(options.show_help);
    std::string const usage = collapse_usage();
    for (char const * option : {"--output", "--min-length", "--max-length", "--help", "-o,", "-m,", "-M,", "--adapter",
                                "--protocol", "--trim-5p", "--trim-3p", "--min-insert", "--max-insert", "--count",
                                "--threads", "nextflex", "AACTGTAGGCACCATCAAT"})
        EXPECT_NE(usage.find(option), std::string::npos) << option;
}

TEST(parse_collapse_options, kit_adapter_and_insert_limits)
{
    collapse_options kit;
    ASSERT_EQ(parse_collapse_options({"--protocol", "nextflex", "--trim-3p", "2", "-m", "18", "--count", "reads", "r"},
                                     kit),
              0);
    EXPECT_EQ(static_cast<int>(kit.trimming.mode), static_cast<int>(adapter_mode::given));
    EXPECT_EQ(kit.trimming.settings.layout.adapter, "TGGAATTCTCGGGTGCCAAGG");
    EXPECT_EQ(kit.trimming.settings.layout.cut_5p, 4u);
    EXPECT_EQ(kit.trimming.settings.layout.cut_3p, 2u);
    EXPECT_EQ(kit.trimming.settings.min_insert, 18u);
    EXPECT_EQ(kit.trimming.settings.max_insert, 40u);
    EXPECT_EQ(kit.trimming.untrimmed_min_length, 18u);
    EXPECT_FALSE(kit.trimming.settings.count_molecules);

    collapse_options given;
    ASSERT_EQ(parse_collapse_options({"--adapter", "tggaaNtc", "--max-insert", "30", "--threads", "2", "r"}, given), 0);
    EXPECT_EQ(given.trimming.settings.layout.adapter, "TGGAANTC");
    EXPECT_EQ(given.trimming.settings.max_insert, 30u);
    EXPECT_EQ(given.trimming.untrimmed_max_length, 30u);
    EXPECT_EQ(given.threads, 2u);

    collapse_options defaults;
    ASSERT_EQ(parse_collapse_options({"--mature", "m.fa", "r"}, defaults), 0);
    EXPECT_EQ(static_cast<int>(defaults.trimming.mode), static_cast<int>(adapter_mode::detect));
    EXPECT_EQ(defaults.trimming.settings.min_insert, 15u);
    EXPECT_EQ(defaults.trimming.settings.max_insert, 40u);

    collapse_options conflict;
    testing::internal::CaptureStderr();
    EXPECT_EQ(parse_collapse_options({"--protocol", "qiaseq", "--adapter", "none", "r"}, conflict), 2);
    testing::internal::GetCapturedStderr();
}
