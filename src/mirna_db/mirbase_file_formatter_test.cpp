#include "mirna_db/mirbase_file_formatter.hpp"

#include <gtest/gtest.h>

#include "core/test_support.hpp"

namespace
{
std::string const example_fasta =
    ">abc-miR-10-5p\nAGCUAGCUAGCUAGCUAGCUAG\n"
    ">abc-miR-20-3p\nUGCUAGCAAAAAAAAAAAAAAA\n"
    ">xyz-miR-30\nCGCUAGCUUUUUUUUUUUUUUU\n"
    ">abc-let-5\naaccggttaaccggttaaccgg\n";

std::string const example_grouped =
    "$\tabc\txyz\n"
    "GCUAGC\tabc\tAGCUAGCUAGCUAGCUAGCUAG\t>abc-miR-10-5p\tUGCUAGCAAAAAAAAAAAAAAA\t>abc-miR-20-3p\n"
    "GCUAGC\txyz\tCGCUAGCUUUUUUUUUUUUUUU\t>xyz-miR-30\n"
    "ACCGGN\tabc\tAACCGGNNAACCGGNNAACCGG\t>abc-let-5\n";

std::string const example_sorted =
    "$\tabc\txyz\n"
    "ACCGGN\tabc\tAACCGGNNAACCGGNNAACCGG\t>abc-let-5\n"
    "GCUAGC\tabc\tAGCUAGCUAGCUAGCUAGCUAG\t>abc-miR-10-5p\tUGCUAGCAAAAAAAAAAAAAAA\t>abc-miR-20-3p\n"
    "GCUAGC\txyz\tCGCUAGCUUUUUUUUUUUUUUU\t>xyz-miR-30\n";

struct formatter_run
{
    int32_t status = 0;
    std::string grouped;
    std::string sorted;
    std::string errors;  // standard error
};

search_parameters seed_at(uint32_t begin_seed, uint32_t seed_size)
{
    search_parameters parameters;
    parameters.begin_seed = begin_seed;
    parameters.seed_size = seed_size;
    return parameters;
}

formatter_run format_fasta(std::string const & fasta, uint32_t begin_seed = 1, uint32_t seed_size = 6)
{
    scratch_dir dir;
    write_file(dir.file("mature.fa"), fasta);
    formatter_run run;
    output_staging outputs(false);
    testing::internal::CaptureStderr();
    run.status = mirbase_file_formatter(dir.file("mature.fa"), dir.file("grouped.txt"),
                                        dir.file("sorted.txt"), seed_at(begin_seed, seed_size), outputs);
    run.errors = testing::internal::GetCapturedStderr();
    run.grouped = read_file(dir.file("grouped.txt"));
    run.sorted = read_file(dir.file("sorted.txt"));
    return run;
}

std::size_t occurrences(std::string const & text, std::string const & word)
{
    std::size_t n = 0;
    for (std::size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1))
        ++n;
    return n;
}
}  // namespace

TEST(mirbase_file_formatter, example_fasta_gives_grouped_and_sorted_files)
{
    formatter_run const run = format_fasta(example_fasta);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.grouped, example_grouped);
    EXPECT_EQ(run.sorted, example_sorted);
    // abc-let-5 is written with t.
    EXPECT_EQ(occurrences(run.errors, "\n"), 1u) << run.errors;
    EXPECT_NE(run.errors.find("mature.fa: 1 miRNA sequence(s) hold the letter T or t"), std::string::npos)
        << run.errors;
}

// Layouts of the same records that must give exactly example_grouped (above).
TEST(mirbase_file_formatter, fasta_layouts_give_the_same_grouped_file)
{
    struct layout_case
    {
        char const * name;
        std::string fasta;
    };
    std::string crlf;
    for (char c : example_fasta)
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    std::vector<layout_case> const cases = {
        {"crlf line ends", crlf},
        {"no newline at the end", example_fasta.substr(0, example_fasta.size() - 1)},
        {"sequences over several lines",
         ">abc-miR-10-5p\nAGCUAGCUAG\nCUAGCUAGCUAG\n"
         ">abc-miR-20-3p\nUGCUAGC\nAAAAAAAA\nAAAAAAA\n"
         ">xyz-miR-30\nCGCUAGCUUUUUUUUUUUUUUU\n"
         ">abc-let-5\naaccggttaaccggttaaccgg\n"},
        {"blank and white-space lines",
         "\n  \n>abc-miR-10-5p\n\nAGCUAGCUAGCUAGCUAGCUAG\n \t\n"
         ">abc-miR-20-3p\nUGCUAGCAAAAAAAAAAAAAAA\n\r\n"
         ">xyz-miR-30\nCGCUAGCUUUUUUUUUUUUUUU\n"
         ">abc-let-5\naaccggttaaccggttaaccgg\n\n\n"},
    };
    for (layout_case const & c : cases)
    {
        formatter_run const run = format_fasta(c.fasta);
        EXPECT_EQ(run.status, 0) << c.name;
        EXPECT_EQ(run.grouped, example_grouped) << c.name;
        EXPECT_EQ(run.sorted, example_sorted) << c.name;
    }
}

// Inputs whose grouped file, record count and messages are checked whole.
TEST(mirbase_file_formatter, grouping_and_skipped_records)
{
    struct grouping_case
    {
        char const * name;
        std::string fasta;
        uint32_t begin_seed;
        uint32_t seed_size;
        std::string grouped;
        std::vector<std::string> in_errors;  // texts the standard error must hold
    };
    std::vector<grouping_case> const cases = {
        {"empty file", "", 1, 6, "$\n", {"mature.fa: no miRNA record can be searched"}},
        {"pairs grouped by first occurrence, members in input order",
         ">abc-1\nAAAAAAAA\n>xyz-2\nAAAAAAAA\n>abc-3\nCAAAAAAA\n>abc-4\nGAAAAAAA\n", 1, 6,
         "$\tabc\txyz\n"
         "AAAAAA\tabc\tAAAAAAAA\t>abc-1\tCAAAAAAA\t>abc-3\tGAAAAAAA\t>abc-4\n"
         "AAAAAA\txyz\tAAAAAAAA\t>xyz-2\n", {}},
        {"seed from position 0 over seven letters",
         ">abc-1\nACGUACGUAC\n", 0, 7, "$\tabc\nACGUACG\tabc\tACGUACGUAC\t>abc-1\n", {}},
        {"header without sequence is skipped, in the middle and at the end",
         ">abc-1\nACGUACGU\n>abc-2\n\n>xyz-3\nACGUACGU\n>abc-4\n", 1, 6,
         "$\tabc\txyz\nCGUACG\tabc\tACGUACGU\t>abc-1\nCGUACG\txyz\tACGUACGU\t>xyz-3\n",
         {"mature.fa:3: header '>abc-2' has no sequence", "mature.fa:7: header '>abc-4' has no sequence"}},
        {"tab inside a header becomes a blank",
         ">abc-1\tMIMAT1\tHomo sapiens\nACGUACGU\n", 1, 6,
         "$\tabc\nCGUACG\tabc\tACGUACGU\t>abc-1 MIMAT1 Homo sapiens\n", {}},
        {"sequence too short for its seed is skipped with its species",
         ">abc-1\nACGUACGU\n>xyz-2\nACGUAC\n>abc-3\nACGUACG\n", 1, 6,
         "$\tabc\nCGUACG\tabc\tACGUACGU\t>abc-1\tACGUACG\t>abc-3\n",
         {"mature.fa:3: miRNA '>xyz-2' has 6 letters, fewer than the 7"}},
        {"seed end past 32 bits does not wrap around",
         ">abc-1\nACGUACGUACGUACGU\n", 4294967295u, 6, "$\n", {"fewer than the 4294967301"}},
        {"short header gives a short species code",
         ">ab\nACGUACGU\n>\nACGUACGU\n", 1, 6,
         "$\tab\t\nCGUACG\tab\tACGUACGU\t>ab\nCGUACG\t\tACGUACGU\t>\n", {}},
    };
    for (grouping_case const & c : cases)
    {
        formatter_run const run = format_fasta(c.fasta, c.begin_seed, c.seed_size);
        EXPECT_EQ(run.status, 0) << c.name;
        EXPECT_EQ(run.grouped, c.grouped) << c.name;
        for (std::string const & text : c.in_errors)
            EXPECT_NE(run.errors.find(text), std::string::npos) << c.name << ": " << run.errors;
        if (c.in_errors.empty())
        {
            EXPECT_EQ(run.errors, "") << c.name;
        }
    }
}

TEST(mirbase_file_formatter, dna_letters_give_one_warning_and_become_n)
{
    formatter_run const run = format_fasta(
        ">abc-1\nACGTACGU\n>abc-2\nACGUACGU\n>abc-3\nacgtacgu\n>abc-4\nUUTT\n");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.grouped,
              "$\tabc\n"
              "CGNACG\tabc\tACGNACGU\t>abc-1\tACGNACGU\t>abc-3\n"
              "CGUACG\tabc\tACGUACGU\t>abc-2\n");
    EXPECT_EQ(occurrences(run.errors, "warning"), 2u) << run.errors;  // T count + short record
    EXPECT_NE(run.errors.find("mature.fa: 3 miRNA sequence(s) hold the letter T or t"), std::string::npos)
        << run.errors;
    EXPECT_NE(run.errors.find("expected with U"), std::string::npos);
    EXPECT_EQ(format_fasta(example_fasta.substr(0, 76)).errors, "");  // first two records: no T
}

TEST(mirbase_file_formatter, failures_leave_earlier_output_untouched)
{
    scratch_dir dir;
    std::string const grouped = dir.file("grouped.txt");
    std::string const sorted = dir.file("sorted.txt");
    write_file(grouped, "old grouped\n");
    write_file(sorted, "old sorted\n");

    testing::internal::CaptureStderr();
    output_staging outputs(false);
    EXPECT_EQ(mirbase_file_formatter(dir.file("absent.fa"), grouped, sorted, seed_at(1, 6), outputs), -2);
    std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_NE(errors.find("absent.fa'"), std::string::npos) << errors;
    EXPECT_NE(errors.find("No such file or directory"), std::string::npos) << errors;

    testing::internal::CaptureStderr();
    EXPECT_EQ(mirbase_file_formatter(dir.path(), grouped, sorted, seed_at(1, 6), outputs), -2);
    errors = testing::internal::GetCapturedStderr();
    EXPECT_NE(errors.find("Is a directory"), std::string::npos) << errors;

    write_file(dir.file("mature.fa"), example_fasta);
    testing::internal::CaptureStderr();
    EXPECT_EQ(mirbase_file_formatter(dir.file("mature.fa"), grouped, sorted, seed_at(1, 0), outputs), -1);
    errors = testing::internal::GetCapturedStderr();
    EXPECT_NE(errors.find("seed size must be at least 1"), std::string::npos) << errors;

    write_file(dir.file("mature.fa"), "ACGU\n>abc-1\nACGUACGU\n");
    testing::internal::CaptureStderr();
    EXPECT_EQ(mirbase_file_formatter(dir.file("mature.fa"), grouped, sorted, seed_at(1, 6), outputs), -1);
    errors = testing::internal::GetCapturedStderr();
    EXPECT_NE(errors.find("mature.fa:1: text before the first FASTA header"), std::string::npos) << errors;

    EXPECT_EQ(read_file(grouped), "old grouped\n");
    EXPECT_EQ(read_file(sorted), "old sorted\n");
}

TEST(mirbase_file_formatter, unwritable_outputs_fail_naming_the_path)
{
    struct output_case
    {
        char const * name;
        std::string grouped;  // relative names are taken inside the scratch directory
        std::string sorted;
        std::string in_error;
    };
    std::vector<output_case> const cases = {
        {"grouped file in a missing folder", "no/grouped.txt", "sorted.txt",
         "cannot create grouped miRNA file '"},
        {"grouped file on a full device", "/dev/full", "sorted.txt", "cannot write grouped miRNA file '/dev/full'"},
        {"sorted file in a missing folder", "grouped.txt", "no/sorted.txt", "cannot create sorted file '"},
    };
    for (output_case const & c : cases)
    {
        scratch_dir dir;
        write_file(dir.file("mature.fa"), example_fasta);
        auto const place = [&](std::string const & p) { return p[0] == '/' ? p : dir.file(p); };
        output_staging outputs(false);
        testing::internal::CaptureStderr();
        int32_t const status = mirbase_file_formatter(dir.file("mature.fa"), place(c.grouped),
                                                      place(c.sorted), seed_at(1, 6), outputs);
        std::string const errors = testing::internal::GetCapturedStderr();
        EXPECT_EQ(status, -1) << c.name;
        EXPECT_NE(errors.find(c.in_error), std::string::npos) << c.name << ": " << errors;
    }
}
