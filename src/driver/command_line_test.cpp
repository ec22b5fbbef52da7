#include <gtest/gtest.h>

#include "driver/command_line.hpp"

namespace
{
run_parameters parse(std::vector<std::string> const & arguments, int expected_status = 0)
{
    run_parameters p;
    testing::internal::CaptureStderr();
    int const status = parse_command_line(arguments, p);
    std::string const errors = testing::internal::GetCapturedStderr();
    EXPECT_EQ(status, expected_status) << errors;
    return p;
}
}  // namespace

TEST(BuildParameterList, DropsProgramNameAndKeepsOrder)
{
    char prog[] = "mirsight", a[] = "-s", b[] = "hsa";
    char * argv[] = {prog, a, b, nullptr};
    int argc = 3;
    EXPECT_EQ(BuildParameterList(argc, argv), (std::vector<std::string>{"-s", "hsa"}));
    argc = 1;
    EXPECT_TRUE(BuildParameterList(argc, argv).empty());
    argc = 0;
    EXPECT_TRUE(BuildParameterList(argc, argv).empty());
}

TEST(CommandLine, DefaultsPointAtTheBundledExample)
{
    run_parameters const p = parse({});
    EXPECT_EQ(p.specie_codes, "chsa");
    EXPECT_EQ(p.min_tag_length, 10);
    EXPECT_EQ(p.seed_size, 6);
    EXPECT_EQ(p.begin_seed, 1);
    EXPECT_EQ(p.end_seed, 7);
    EXPECT_EQ(p.tag_begin, 4);
    EXPECT_EQ(p.align_score_threshold, 14);
    EXPECT_TRUE(p.rna_conversion);
    EXPECT_EQ(p.mature_file, "Tests/mirna_example.txt");
    EXPECT_EQ(p.grouped_file, "Tests/mirna_example_grouped.txt");
    EXPECT_EQ(p.sorted_grouped_file, "Tests/mirna_example_grouped_sorted.txt");
    EXPECT_EQ(p.tag_file, "Tests/tag_count_iso_exampl.txt");
    EXPECT_EQ(p.output_prefix, "Tests/out_mature");
}

TEST(CommandLine, FileNamesAreComposedFromTheDirectoriesAtThatMoment)
{
    run_parameters p = parse({"-p", "out", "-i", "in", "-m", "db", "-t", "reads"});
    EXPECT_EQ(p.output_prefix, "out/out_result_db");
    EXPECT_EQ(p.mature_file, "in/db.txt");
    EXPECT_EQ(p.grouped_file, "out/db_db_group.txt");
    EXPECT_EQ(p.sorted_grouped_file, "out/db_db_group_sorted.txt");
    EXPECT_EQ(p.tag_file, "in/reads.txt");

    // A later -p or -i changes nothing already composed.
    p = parse({"-m", "db", "-p", "out", "-i", "in"});
    EXPECT_EQ(p.output_prefix, "out_result_db");
    EXPECT_EQ(p.mature_file, "db.txt");
    EXPECT_EQ(p.grouped_file, "db_db_group.txt");
    EXPECT_EQ(p.sorted_grouped_file, "db_db_group_sorted.txt");
    EXPECT_EQ(p.tag_file, "Tests/tag_count_iso_exampl.txt");

    p = parse({"-p", "out/", "-m", "db"});
    EXPECT_EQ(p.output_dir, "out//");
    EXPECT_EQ(p.output_prefix, "out//out_result_db");
}

TEST(CommandLine, NumbersAreReadLikeAtoi)
{
    struct
    {
        char const * text;
        int32_t value;
    } const cases[] = {
        {"12", 12}, {"  7x", 7}, {"abc", 0}, {"-1", -1}, {"+5", 5}, {"", 0},
        {"99999999999999999999", -1},  // saturates, then keeps the low 32 bits
        {"4294967297", 1},
    };
    for (auto const & c : cases)
        EXPECT_EQ(parse({"-l", c.text}).min_tag_length, c.value) << c.text;

    // -1 reaches the stages as 4294967295.
    EXPECT_EQ(static_cast<uint32_t>(parse({"-l", "-1"}).min_tag_length), 4294967295u);
    EXPECT_EQ(parse({"-l", "12", "-l", "15"}).min_tag_length, 15);
}

TEST(CommandLine, EveryOptionSetsItsParameter)
{
    run_parameters const p = parse({"-s", "mmu", "-ss", "7", "-sb", "0", "-se", "9", "-b", "2",
                                    "-h", "30", "-r", "stray"});
    EXPECT_EQ(p.specie_codes, "mmu");
    EXPECT_EQ(p.seed_size, 7);
    EXPECT_EQ(p.begin_seed, 0);
    EXPECT_EQ(p.end_seed, 9);
    EXPECT_EQ(p.tag_begin, 2);
    EXPECT_EQ(p.align_score_threshold, 30);
    EXPECT_FALSE(p.rna_conversion);
}

TEST(CommandLine, AValueIsExaminedAgainAsAnArgument)
{
    run_parameters const p = parse({"-s", "-r"});
    EXPECT_EQ(p.specie_codes, "-r");
    EXPECT_FALSE(p.rna_conversion);

    // "-s" takes "-l" as its value, then "-l" takes "3".
    run_parameters const q = parse({"-s", "-l", "3"});
    EXPECT_EQ(q.specie_codes, "-l");
    EXPECT_EQ(q.min_tag_length, 3);
}

TEST(CommandLine, RefusesAMissingValueAndAZeroSeedSize)
{
    for (char const * option : {"-s", "-l", "-ss", "-sb", "-se", "-b", "-p", "-i", "-m", "-t", "-h"})
    {
        run_parameters p;
        testing::internal::CaptureStderr();
        EXPECT_EQ(parse_command_line({"-l", "3", option}, p), 2) << option;
        std::string const errors = testing::internal::GetCapturedStderr();
        EXPECT_NE(errors.find(std::string("option ") + option + " needs a value"), std::string::npos) << errors;
    }
    // "-ss" is judged on its final value.
    parse({"-ss", "0"}, 2);
    parse({"-ss", "abc"}, 2);
    EXPECT_EQ(parse({"-ss", "0", "-ss", "5"}).seed_size, 5);
    parse({"-ss", "5", "-ss", "0"}, 2);
}

TEST(CommandLine, LongOptionsForThreadsAndTheReferenceSearch)
{
    run_parameters const defaults = parse({});
    EXPECT_EQ(defaults.thread_count, 1u);
    EXPECT_FALSE(defaults.reference_search);

    struct
    {
        char const * value;
        uint32_t threads;
    } const accepted[] = {{"1", 1}, {"2", 2}, {"007", 7}, {"256", 256}};
    for (auto const & c : accepted)
        EXPECT_EQ(parse({"--threads", c.value}).thread_count, c.threads) << c.value;

    run_parameters const p = parse({"-s", "--threads", "3", "--reference-search", "-l", "8"});
    EXPECT_EQ(p.specie_codes, "--threads");  // the value is examined again as an option
    EXPECT_EQ(p.thread_count, 3u);
    EXPECT_TRUE(p.reference_search);
    EXPECT_EQ(p.min_tag_length, 8);
    EXPECT_EQ(parse({"--threads", "0", "--threads", "2"}).thread_count, 2u);  // the last value counts
}

TEST(CommandLine, RefusesAThreadCountOutsideOneTo256)
{
    for (char const * value : {"0", "-1", "abc", "", "2x", " 2", "+2", "257", "99999999999999999999"})
    {
        run_parameters p;
        testing::internal::CaptureStderr();
        EXPECT_EQ(parse_command_line({"--threads", value}, p), 2) << "'" << value << "'";
        std::string const errors = testing::internal::GetCapturedStderr();
        EXPECT_NE(errors.find("option --threads needs a whole number from 1 to 256"), std::string::npos) << errors;
    }
    run_parameters p;
    testing::internal::CaptureStderr();
    EXPECT_EQ(parse_command_line({"-l", "3", "--threads"}, p), 2);
    std::string const errors = testing::internal::GetCapturedStderr();
    EXPECT_NE(errors.find("option --threads needs a value"), std::string::npos) << errors;
}

TEST(CommandLine, Gff3ExportNeedsBothFiles)
{
    run_parameters const defaults = parse({});
    EXPECT_EQ(defaults.gff3_file, "");
    EXPECT_EQ(defaults.hairpin_file, "");

    run_parameters const p = parse({"--gff3", "out.gff", "-l", "8", "--hairpin", "hp.fa"});
    EXPECT_EQ(p.gff3_file, "out.gff");
    EXPECT_EQ(p.hairpin_file, "hp.fa");
    EXPECT_EQ(p.min_tag_length, 8);

    // A value is examined again as an argument: "-s" takes "--gff3", which then takes "x.gff".
    run_parameters const q = parse({"-s", "--gff3", "x.gff", "--hairpin", "h.fa"});
    EXPECT_EQ(q.specie_codes, "--gff3");
    EXPECT_EQ(q.gff3_file, "x.gff");

    struct
    {
        std::vector<std::string> arguments;
        char const * message;
    } const refused[] = {
        {{"--gff3", "out.gff"}, "option --gff3 needs --hairpin FILE"},
        {{"--hairpin", "hp.fa", "-s", "hsa"}, "option --hairpin needs --gff3 FILE"},
        {{"--hairpin", "hp.fa", "--gff3"}, "option --gff3 needs a value"},
        {{"--gff3", "out.gff", "--hairpin"}, "option --hairpin needs a value"},
        {{"--gff3", "", "--hairpin", "hp.fa"}, "option --gff3 needs a file name"},
        {{"--gff3", "out.gff", "--hairpin", ""}, "option --hairpin needs a file name"},
    };
    for (auto const & c : refused)
    {
        run_parameters r;
        testing::internal::CaptureStderr();
        EXPECT_EQ(parse_command_line(c.arguments, r), 2) << c.message;
        std::string const errors = testing::internal::GetCapturedStderr();
        EXPECT_NE(errors.find(c.message), std::string::npos) << errors;
    }
}

TEST(CommandLine, HelpAndVersionAreFlagsThatDoNotDisturbOtherOptions)
{
    run_parameters const p = parse({"-s", "hsa", "--help", "-l", "12"});
    EXPECT_TRUE(p.show_help);
    EXPECT_FALSE(p.show_version);
    EXPECT_EQ(p.specie_codes, "hsa");
    EXPECT_EQ(p.min_tag_length, 12);
    EXPECT_TRUE(parse({"--version"}).show_version);
    // "-h" stays the score threshold.
    run_parameters const q = parse({"-h", "20"});
    EXPECT_FALSE(q.show_help);
    EXPECT_EQ(q.align_score_threshold, 20);
    // A value is still examined again: "-s --help" selects species "--help" and asks for help.
    EXPECT_TRUE(parse({"-s", "--help"}).show_help);
}
