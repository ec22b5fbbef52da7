#include "tags/load_reads_db_buffer.hpp"

#include <thread>

#include <sys/stat.h>

#include <gtest/gtest.h>

#include "core/sequence_text.hpp"
#include "core/test_support.hpp"

namespace
{
struct load_run
{
    int32_t status = 0;
    std::string errors;  // the printed report
    tag_table tags;
};

// Loads `path` and prints its report, as a run does.
load_run load_path(std::string const & path, bool rna_conversion = true, uint32_t thread_count = 1)
{
    load_run run;
    testing::internal::CaptureStderr();
    run.status = print_tag_load_report(load_reads_db_buffer(path, rna_conversion, 6, thread_count, run.tags));
    run.errors = testing::internal::GetCapturedStderr();
    return run;
}

load_run load_text(std::string const & content, bool rna_conversion = true, uint32_t thread_count = 1)
{
    scratch_dir dir;
    write_file(dir.file("tags.txt"), content);
    return load_path(dir.file("tags.txt"), rna_conversion, thread_count);
}

// The loaded tags as "index:sequence:count" lines.
std::string tags_text(tag_table const & tags)
{
    std::string text;
    for (tag_vet_t const & tag : tags.tag_vet)
        text += std::to_string(tag.tag_index) + ":" + rna5_to_text(tag.tag_sequence) + ":" +
                std::to_string(tag.tag_count) + "\n";
    return text;
}
}  // namespace

TEST(load_reads_db_buffer, lines_become_tags)
{
    struct tag_case
    {
        char const * name;
        std::string file;
        bool rna_conversion;
        std::string tags;
        uint32_t lines;
        uint32_t discarded;
    };
    std::vector<tag_case> const cases = {
        {"seed-long tag discarded, one longer kept", "ACGUAC\t5\nACGUACG\t5\n", true, "2:ACGUACG:5\n", 2, 1},
        {"T becomes U", "ACGTACGT\t10\n", true, "1:ACGUACGU:10\n", 1, 0},
        {"T stays N without conversion", "ACGTACGT\t10\n", false, "1:ACGNACGN:10\n", 1, 0},
        {"lower-case t always N", "acgtacgt\t10\n", true, "1:ACGNACGN:10\n", 1, 0},
        {"empty line counted and discarded", "ACGUACGU\t1\n\nCCCCCCCC\t2", true,
         "1:ACGUACGU:1\n3:CCCCCCCC:2\n", 3, 1},
        {"white space around the count", "ACGUACGU\t 7 \nACGUACGU\t\t8\t\n", true,
         "1:ACGUACGU:7\n2:ACGUACGU:8\n", 2, 0},
        {"counts above 32 bits, their sum 2^64-1", "ACGUACGU\t4294967296\nACGUACGU\t18446744069414584319\n", true,
         "1:ACGUACGU:4294967296\n2:ACGUACGU:18446744069414584319\n", 2, 0},
        {"other bytes become N", "AC GU-xCG\t3\n", true, "1:ACNGUNNCG:3\n", 1, 0},
        {"empty file", "", true, "", 0, 0},
    };
    for (tag_case const & c : cases)
    {
        load_run const run = load_text(c.file, c.rna_conversion);
        EXPECT_EQ(run.status, 0) << c.name;
        EXPECT_EQ(tags_text(run.tags), c.tags) << c.name;
        EXPECT_EQ(run.tags.tot_total_tag_count, c.lines) << c.name;
        EXPECT_EQ(run.tags.discarded_tag, c.discarded) << c.name;
        if (!run.tags.tag_vet.empty())
        {
            EXPECT_EQ(run.errors, "") << c.name;
        }
        for (tag_vet_t const & tag : run.tags.tag_vet)
        {
            EXPECT_EQ(std::string(seqan::begin(tag.tag_quality), seqan::end(tag.tag_quality)), "\xC3\xA8");
            EXPECT_TRUE(tag.mirna_matched_vet.empty());
        }
    }
}

TEST(load_reads_db_buffer, crlf_file_loads_like_lf_file)
{
    // Lines without a tab end their tag at the line end, where the CR stands.
    std::string const lf = "ACGTACGT\t10\nACGUAC\nACGUACG\n\nUUUUUUUUU\t2\n";
    std::string crlf;
    for (char c : lf)
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    for (std::string const & file : {lf, crlf})
    {
        load_run const run = load_text(file);
        EXPECT_EQ(tags_text(run.tags), "1:ACGUACGU:10\n3:ACGUACG:0\n5:UUUUUUUUU:2\n");
        EXPECT_EQ(run.tags.discarded_tag, 2u);
        EXPECT_EQ(run.tags.tot_total_tag_count, 5u);
        EXPECT_NE(run.errors.find("tags.txt:3: read count missing"), std::string::npos) << run.errors;
        EXPECT_EQ(run.errors.find("tags.txt:2:"), std::string::npos) << run.errors;
    }
}

TEST(load_reads_db_buffer, unreadable_counts_warn_with_line_number)
{
    struct count_case
    {
        char const * name;
        std::string line;
        uint64_t count;
        std::string in_error;  // empty: no message expected
    };
    std::vector<count_case> const cases = {
        {"no tab", "ACGUACGU", 0, "tags.txt:2: read count missing or not a number; count set to 0"},
        {"nothing after tab", "ACGUACGU\t", 0, "tags.txt:2: read count missing"},
        {"sign is not a digit", "ACGUACGU\t+5", 0, "tags.txt:2: read count missing"},
        {"letters", "ACGUACGU\tabc", 0, "tags.txt:2: read count missing"},
        {"short line without count is no warning", "ACG", 0, ""},
    };
    for (count_case const & c : cases)
    {
        load_run const run = load_text("CCCCCCCC\t1\n" + c.line + "\n");
        EXPECT_EQ(run.status, 0) << c.name;
        if (c.in_error.empty())
        {
            EXPECT_EQ(run.errors, "") << c.name;
            EXPECT_EQ(run.tags.tag_vet.size(), 1u) << c.name;
            continue;
        }
        ASSERT_EQ(run.tags.tag_vet.size(), 2u) << c.name;
        EXPECT_EQ(run.tags.tag_vet[1].tag_count, c.count) << c.name;
        EXPECT_EQ(run.tags.tag_vet[1].tag_index, 2u) << c.name;
        EXPECT_NE(run.errors.find(c.in_error), std::string::npos) << c.name << ": " << run.errors;
    }
}

TEST(load_reads_db_buffer, count_beyond_64_bits_is_an_error_naming_the_line)
{
    load_run const run = load_text("CCCCCCCC\t18446744073709551615\nACGUACGU\t3\nACGUACGU\t18446744073709551616\n");
    EXPECT_EQ(run.status, -1);
    EXPECT_NE(run.errors.find("tags.txt:3: read count does not fit in 64 bits"), std::string::npos) << run.errors;
}

TEST(load_reads_db_buffer, a_file_without_usable_tags_warns)
{
    for (std::string const text : {"", "ACG\t5\n\nACGUAC\t7\n"})
    {
        load_run const run = load_text(text);
        EXPECT_EQ(run.status, 0);
        EXPECT_TRUE(run.tags.tag_vet.empty());
        EXPECT_NE(run.errors.find("no tag is longer than the seed"), std::string::npos) << run.errors;
    }
}

TEST(load_reads_db_buffer, missing_file_is_reported)
{
    load_run const run = load_path("/nonexistent/tags.txt");
    EXPECT_EQ(run.status, -2);
    EXPECT_NE(run.errors.find("'/nonexistent/tags.txt': No such file or directory"), std::string::npos)
        << run.errors;
    EXPECT_TRUE(run.tags.tag_vet.empty());
    EXPECT_EQ(run.tags.tot_total_tag_count, 0u);
}

namespace
{
// A file that holds every kind of line, with more lines than any thread count.
std::string mixed_file()
{
    std::string file;
    for (int i = 0; i < 60; ++i)
    {
        file += "ACGTacgtNNCG" + std::string(static_cast<std::size_t>(i % 9), 'U') + "\t" + std::to_string(i * 7) + "\n";
        if (i % 7 == 0)
            file += "\n";
        if (i % 11 == 0)
            file += "ACGU\t5\r\n";  // too short
        if (i % 13 == 0)
            file += "CCCCCCCCC\tnone\n";
        if (i % 17 == 0)
            file += "GGGGGGGGG\t12\r\n";
    }
    return file + "UUUUUUUUUU";  // last line without count or line feed
}
}  // namespace

// Any number of threads gives the same tags, counters and warnings, in order.
TEST(load_reads_db_buffer, thread_counts_load_the_same_tags)
{
    struct file_case
    {
        char const * name;
        std::string file;
    };
    std::vector<file_case> const cases = {
        {"mixed lines", mixed_file()},
        {"one line without line feed", "ACGUACGUAC\t3"},
        {"only line feeds", "\n\n\n"},
        {"one long line", std::string(100000, 'A') + "\t9\n"},
        {"empty", ""},
    };
    for (file_case const & c : cases)
    {
        load_run const one = load_text(c.file);
        for (uint32_t threads : {0u, 2u, 3u, 7u, 64u})
        {
            load_run const run = load_text(c.file, true, threads);
            SCOPED_TRACE(std::string(c.name) + ", " + std::to_string(threads) + " threads");
            EXPECT_EQ(0, run.status);
            EXPECT_EQ(tags_text(one.tags), tags_text(run.tags));
            EXPECT_EQ(one.tags.tot_total_tag_count, run.tags.tot_total_tag_count);
            EXPECT_EQ(one.tags.discarded_tag, run.tags.discarded_tag);
            // The scratch folders differ; the messages after the path do not.
            auto after_paths = [](std::string text) {
                for (std::size_t at = text.find("/tmp/"); at != std::string::npos; at = text.find("/tmp/", at))
                    text.erase(at, text.find("tags.txt", at) - at);
                return text;
            };
            EXPECT_EQ(after_paths(one.errors), after_paths(run.errors));
        }
    }
    EXPECT_EQ(load_text(mixed_file()).tags.tot_total_tag_count, 60u + 9u + 6u + 5u + 4u + 1u);
}

// Sequences hold exactly their letters: no spare room per tag.
TEST(load_reads_db_buffer, tags_take_only_the_room_they_need)
{
    load_run const run = load_text("ACGUACGUACGUACGUACGUACG\t5\nACGUACGU\t1\n");
    ASSERT_EQ(2u, run.tags.tag_vet.size());
    for (tag_vet_t const & tag : run.tags.tag_vet)
    {
        EXPECT_EQ(seqan::length(tag.tag_sequence), seqan::capacity(tag.tag_sequence));
        EXPECT_EQ(std::string(seqan::begin(tag.tag_quality), seqan::end(tag.tag_quality)), "\xC3\xA8");
    }
}

// A pipe has no size to read ahead; its lines are read all the same.
TEST(load_reads_db_buffer, reads_a_pipe)
{
    scratch_dir dir;
    std::string const pipe = dir.file("tags.fifo");
    ASSERT_EQ(0, mkfifo(pipe.c_str(), 0600));
    std::thread writer([&] { write_file(pipe, "ACGUACGU\t4\nCCCC\t1\nGGGGGGGGG\t2\n"); });
    load_run const run = load_path(pipe, true, 2);
    writer.join();
    EXPECT_EQ(0, run.status);
    EXPECT_EQ("", run.errors);
    EXPECT_EQ("1:ACGUACGU:4\n3:GGGGGGGGG:2\n", tags_text(run.tags));
    EXPECT_EQ(3u, run.tags.tot_total_tag_count);
    EXPECT_EQ(1u, run.tags.discarded_tag);
}
