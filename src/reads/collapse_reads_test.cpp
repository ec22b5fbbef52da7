#include "reads/collapse_reads.hpp"

#include <algorithm>

#include <zlib.h>

#include <gtest/gtest.h>

#include "core/test_support.hpp"

namespace
{
void write_gzip(std::string const & path, std::string const & content)
{
    gzFile out = gzopen(path.c_str(), "wb");
    ASSERT_NE(out, nullptr);
    ASSERT_EQ(gzwrite(out, content.data(), static_cast<unsigned>(content.size())), static_cast<int>(content.size()));
    ASSERT_EQ(gzclose(out), Z_OK);
}

// The counted sequences as sorted "sequence:count" lines.
std::string counts_text(sequence_counts const & counts)
{
    std::string text;
    for (tag_count const & tag : ordered_tags(counts))
        text += std::string(tag.sequence) + ":" + std::to_string(tag.count) + "\n";
    return text;
}

struct file_run
{
    int32_t status = 0;
    std::string counts;
    collapse_summary summary;
    std::string errors;
};

file_run collapse_file(std::string const & path, length_limits limits = {})
{
    file_run run;
    sequence_counts counts;
    testing::internal::CaptureStderr();
    run.status = collapse_read_file(path, limits, counts, run.summary);
    run.errors = testing::internal::GetCapturedStderr();
    run.counts = counts_text(counts);
    return run;
}

std::string fastq_record(std::string const & name, std::string const & sequence)
{
    return "@" + name + "\n" + sequence + "\n+\n" + std::string(sequence.size(), 'I') + "\n";
}
}  // namespace

TEST(count_reads, letters_and_lengths)
{
    struct read_case
    {
        char const * name;
        std::string read;
        length_limits limits;
        std::string counted;  // empty when the read is not kept
        bool too_short;
        bool too_long;
    };
    std::vector<read_case> const cases = {
        {"kept as read", "ACGTNACGT", {1, 100}, "ACGTNACGT", false, false},
        {"lower case upper-cased, n too", "acgtnU", {1, 100}, "ACGTNU", false, false},
        {"other letters and symbols kept", "ACRY.-", {1, 100}, "ACRY.-", false, false},
        {"tab, blank, CR and NUL become N", std::string("A\tC G\rT\0A", 9), {1, 100}, "ANCNGNTNA", false, false},
        {"at the minimum", "ACGTA", {5, 6}, "ACGTA", false, false},
        {"at the maximum", "ACGTAC", {5, 6}, "ACGTAC", false, false},
        {"one below the minimum", "ACGT", {5, 6}, "", true, false},
        {"one above the maximum", "ACGTACG", {5, 6}, "", false, true},
        {"empty read with the default minimum", "", {}, "", true, false},
    };
    for (read_case const & c : cases)
    {
        SCOPED_TRACE(c.name);
        sequence_counts counts;
        collapse_summary summary;
        std::vector<std::string> reads = {c.read};
        count_reads(reads, 1, c.limits, counts, summary);
        EXPECT_EQ(summary.reads_read, 1u);
        EXPECT_EQ(summary.reads_kept, c.counted.empty() ? 0u : 1u);
        EXPECT_EQ(summary.reads_too_short, c.too_short ? 1u : 0u);
        EXPECT_EQ(summary.reads_too_long, c.too_long ? 1u : 0u);
        EXPECT_EQ(counts_text(counts), c.counted.empty() ? "" : c.counted + ":1\n");
    }
}

TEST(count_reads, same_sequence_in_any_case_is_one_tag)
{
    sequence_counts counts;
    collapse_summary summary;
    std::vector<std::string> reads = {"acgtacgt", "ACGTACGT", "AcGtAcGt", "ACGTACGA"};
    count_reads(reads, reads.size(), {}, counts, summary);
    EXPECT_EQ(counts_text(counts), "ACGTACGT:3\nACGTACGA:1\n");
    EXPECT_EQ(summary.reads_kept, 4u);
}

TEST(count_reads, more_reads_than_one_batch)
{
    std::vector<std::string> reads;
    for (std::size_t i = 0; i < 3 * read_batch_size + 5; ++i)
        reads.push_back(i % 3 == 0 ? "ACGTACGT" : i % 3 == 1 ? "acgt" : "CCCCCCCCC");
    sequence_counts counts;
    collapse_summary summary;
    count_reads(reads, reads.size(), {5, 100}, counts, summary);
    uint64_t const each = reads.size() / 3;  // 3 * 64 + 5 = 197 reads: 66, 66 and 65
    EXPECT_EQ(counts_text(counts), "ACGTACGT:" + std::to_string(each + 1) + "\nCCCCCCCCC:" + std::to_string(each) + "\n");
    EXPECT_EQ(summary.reads_read, reads.size());
    EXPECT_EQ(summary.reads_too_short, each + 1);
}

TEST(ordered_tags, decreasing_count_then_sequence_byte_order)
{
    sequence_counts counts;
    for (tag_count const & tag : std::vector<tag_count>{
             {"TTTT", 5}, {"AAAA", 5}, {"CCCC", 9}, {"AAAAA", 5}, {"GGGG", 1}, {"AAA", 5}, {"NAAA", 5}})
        add_sequence(counts, std::string(tag.sequence), tag.count);
    std::string order;
    for (tag_count const & tag : ordered_tags(counts))
        order += std::string(tag.sequence) + ":" + std::to_string(tag.count) + " ";
    EXPECT_EQ(order, "CCCC:9 AAA:5 AAAA:5 AAAAA:5 NAAA:5 TTTT:5 GGGG:1 ");
}

TEST(add_sequence, many_sequences_keep_their_own_counts_through_growth)
{
    // Sequences of many lengths, prefixes of each other, each added i % 7 + 1
    // times, interleaved so that later additions find earlier entries.
    sequence_counts counts;
    std::vector<std::string> sequences;
    for (int i = 0; i < 5000; ++i)
    {
        std::string sequence;
        for (int v = i; sequence.size() < static_cast<std::size_t>(1 + i % 40); v = v / 4 + i)
            sequence += "ACGT"[v % 4];
        sequences.push_back(sequence);
    }
    std::sort(sequences.begin(), sequences.end());
    sequences.erase(std::unique(sequences.begin(), sequences.end()), sequences.end());
    ASSERT_GT(sequences.size(), 2000u);  // enough to grow the table several times
    for (int round = 0; round < 7; ++round)
        for (std::size_t i = 0; i < sequences.size(); ++i)
            if (round <= static_cast<int>(i % 7))
                add_sequence(counts, sequences[i], 1);
    ASSERT_EQ(counts.distinct, sequences.size());
    std::vector<tag_count> const tags = ordered_tags(counts);
    ASSERT_EQ(tags.size(), sequences.size());
    for (tag_count const & tag : tags)
    {
        auto const at = std::lower_bound(sequences.begin(), sequences.end(), std::string(tag.sequence));
        ASSERT_TRUE(at != sequences.end() && *at == tag.sequence) << std::string(tag.sequence);
        EXPECT_EQ(tag.count, static_cast<uint64_t>((at - sequences.begin()) % 7 + 1)) << std::string(tag.sequence);
    }
}

TEST(collapse_read_file, reads_fastq_and_fasta_plain_or_gzip)
{
    std::string const fastq = fastq_record("r1", "TAGCTTATCAGA") + fastq_record("r2", "tagcttatcaga") +
                              fastq_record("r3", "TGAGGTAG") + fastq_record("r4", "TAGCTTATCAGA");
    std::string const expected = "TAGCTTATCAGA:3\nTGAGGTAG:1\n";
    struct file_case
    {
        char const * name;
        std::string file_name;
        std::string content;
        bool gzip;
    };
    std::vector<file_case> const cases = {
        {"plain FASTQ", "reads.fastq", fastq, false},
        {"gzip FASTQ", "reads.fastq.gz", fastq, true},
        {"gzip told by content, not name", "reads.txt", fastq, true},
        {"plain FASTQ named .gz", "reads.gz", fastq, false},
        {"CRLF line ends", "reads.fq", "@r1\r\nTAGCTTATCAGA\r\n+\r\nIIIIIIIIIIII\r\n@r2\r\nTAGCTTATCAGA\r\n+\r\n"
                                       "IIIIIIIIIIII\r\n@r3\r\nTAGCTTATCAGA\r\n+\r\nIIIIIIIIIIII\r\n@r4\r\nTGAGGTAG\r\n+\r\nIIIIIIII\r\n",
         false},
        {"FASTA over several lines", "reads.fa", ">r1\nTAGCTT\nATCAGA\n>r2\nTAGCTTATCAGA\n>r3 x\nTGAGGTAG\n>r4\ntagcttatcaga\n",
         false},
        {"gzip FASTA", "reads.fa.gz", ">r1\nTAGCTTATCAGA\n>r2\nTAGCTTATCAGA\n>r3\nTAGCTTATCAGA\n>r4\nTGAGGTAG", true},
        {"blank lines before the first record", "reads.fq", "\n\n" + fastq, false},
        {"FASTQ over several lines, a quality line starting with @ and + in names", "reads.fq",
         "@r1 a+b\nTAGCTT\nATCAGA\n+r1\n@IIIII\nIIIIII\n\n@r2\nTAGCTTATCAGA\n+\n@@@@@@@@@@@@\n@r3\rTGAGGTAG\r+\rIIIIIIII\r" +
             fastq_record("r4", "tagcttatcaga"),
         false},
    };
    for (file_case const & c : cases)
    {
        SCOPED_TRACE(c.name);
        scratch_dir dir;
        std::string const path = dir.file(c.file_name);
        if (c.gzip)
            write_gzip(path, c.content);
        else
            write_file(path, c.content);
        file_run const run = collapse_file(path);
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.errors, "");
        EXPECT_EQ(run.counts, expected);
        EXPECT_EQ(run.summary.reads_read, 4u);
        EXPECT_EQ(run.summary.reads_kept, 4u);
    }
}

TEST(collapse_read_file, records_across_the_reader_chunks)
{
    // Far more text than one chunk of the reader, in records of varied
    // lengths, so that records straddle the chunk ends at every offset.
    std::string fastq;
    uint64_t long_reads = 0;
    for (int i = 0; fastq.size() < (std::size_t{3} << 22); ++i)
    {
        std::string const sequence = i % 3 == 0 ? std::string(15 + i % 61, 'A') : "CCCCGGGGTTTT";
        long_reads += i % 3 == 0 && sequence.size() > 50;
        fastq += fastq_record("read" + std::to_string(i), sequence);
    }
    scratch_dir dir;
    write_gzip(dir.file("big.fastq.gz"), fastq);
    file_run const run = collapse_file(dir.file("big.fastq.gz"), {51, 1000});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.errors, "");
    uint64_t const records = static_cast<uint64_t>(std::count(fastq.begin(), fastq.end(), '@'));
    EXPECT_EQ(run.summary.reads_read, records);
    EXPECT_EQ(run.summary.reads_kept, long_reads);
}

TEST(collapse_read_file, concatenated_gzip_members_are_all_read)
{
    scratch_dir dir;
    write_gzip(dir.file("a.gz"), fastq_record("r1", "ACGTACGT"));
    write_gzip(dir.file("b.gz"), fastq_record("r2", "ACGTACGT") + fastq_record("r3", "CCCCCCCC"));
    write_file(dir.file("both.fastq.gz"), read_file(dir.file("a.gz")) + read_file(dir.file("b.gz")));
    file_run const run = collapse_file(dir.file("both.fastq.gz"));
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.counts, "ACGTACGT:2\nCCCCCCCC:1\n");
}

TEST(collapse_read_file, empty_files_hold_no_reads)
{
    scratch_dir dir;
    write_file(dir.file("empty.fastq"), "");
    write_file(dir.file("blank.fastq"), "\n\n");
    write_gzip(dir.file("empty.fastq.gz"), "");
    for (char const * name : {"empty.fastq", "blank.fastq", "empty.fastq.gz"})
    {
        SCOPED_TRACE(name);
        file_run const run = collapse_file(dir.file(name));
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.summary.reads_read, 0u);
        EXPECT_EQ(run.errors, "");
    }
}

TEST(collapse_read_file, bad_inputs_are_errors_naming_the_file)
{
    std::string const good = fastq_record("r1", "ACGTACGTACGT") + fastq_record("r2", "CCCCACGTACGT");
    std::string good_gzip;
    {
        scratch_dir dir;
        write_gzip(dir.file("g.gz"), good + good + good);
        good_gzip = read_file(dir.file("g.gz"));
    }
    struct bad_case
    {
        char const * name;
        std::string content;  // written under the name "reads.fastq.gz"
        int32_t status;
        std::string reason;
    };
    std::vector<bad_case> const cases = {
        {"text that is no reads file", "hello world\n", -1, "neither FASTQ"},
        {"binary bytes", std::string("\x01\x02\x03\x00zzz", 7), -1, "neither FASTQ"},
        {"quality shorter than the sequence", "@r1\nACGTACGT\n+\nIII\n", -1, "record 1"},
        {"record cut after its sequence", good + "@r3\nACGT\n", -1, "record 3"},
        {"quality longer than the sequence", good + "@r3\nACGT\n+\nIIIII\n" + good, -1, "record 3"},
        {"gzip cut within the data", good_gzip.substr(0, good_gzip.size() / 2), -1, "unexpected end of file"},
        {"gzip cut within the trailer", good_gzip.substr(0, good_gzip.size() - 3), -1, "unexpected end of file"},
        {"gzip with a wrong checksum",
         good_gzip.substr(0, good_gzip.size() - 8) + std::string(4, '\0') + good_gzip.substr(good_gzip.size() - 4), -1,
         "incorrect data check"},
    };
    for (bad_case const & c : cases)
    {
        SCOPED_TRACE(c.name);
        scratch_dir dir;
        write_file(dir.file("reads.fastq.gz"), c.content);
        file_run const run = collapse_file(dir.file("reads.fastq.gz"));
        EXPECT_EQ(run.status, c.status);
        EXPECT_NE(run.errors.find("'" + dir.file("reads.fastq.gz") + "'"), std::string::npos) << run.errors;
        EXPECT_NE(run.errors.find(c.reason), std::string::npos) << run.errors;
    }
}

TEST(collapse_read_file, missing_file_or_directory_cannot_be_opened)
{
    scratch_dir dir;
    for (std::string const & path : {dir.file("missing.fastq"), dir.path()})
    {
        SCOPED_TRACE(path);
        file_run const run = collapse_file(path);
        EXPECT_EQ(run.status, -2);
        EXPECT_NE(run.errors.find("cannot open reads file '" + path + "'"), std::string::npos) << run.errors;
    }
}

TEST(write_tag_counts, lines_in_given_order_and_errors_name_the_file)
{
    scratch_dir dir;
    std::vector<tag_count> const tags = {{"UAGC", 18446744073709551615ull}, {"ACGT", 2}, {"N", 1}};
    testing::internal::CaptureStderr();
    EXPECT_EQ(write_tag_counts(dir.file("out.txt"), "out.txt", tags), 0);
    EXPECT_EQ(write_tag_counts(dir.file("no/such/dir.txt"), "wanted.txt", tags), -1);
    std::string const errors = testing::internal::GetCapturedStderr();
    EXPECT_EQ(read_file(dir.file("out.txt")), "UAGC\t18446744073709551615\nACGT\t2\nN\t1\n");
    EXPECT_NE(errors.find("cannot write tag-count file 'wanted.txt'"), std::string::npos) << errors;
}

TEST(write_tag_counts, full_disk_is_an_error)
{
    std::FILE * full = std::fopen("/dev/full", "wb");
    if (full == nullptr)
        GTEST_SKIP() << "no /dev/full";
    testing::internal::CaptureStderr();
    int32_t const status = write_tag_counts(full, "out.txt", {{"ACGT", 2}});
    std::string const errors = testing::internal::GetCapturedStderr();
    std::fclose(full);
    EXPECT_EQ(status, -1);
    EXPECT_NE(errors.find("'out.txt'"), std::string::npos);
}
