#include "reads/raw_reads.hpp"

#include <gtest/gtest.h>

#include "core/test_support.hpp"

// What `mirsight map --tags` needs of the call, which the collapser's own
// command does not use: a file that holds tag counts, not reads, is handed
// back whole, on one thread or two.
TEST(collapse_raw_reads, a_tag_count_file_is_handed_back_and_reads_are_counted)
{
    scratch_dir dir;
    std::string const tags = "TAGCTTATCAGACTGATGTTGA\t12\nTGAGGTAGTAGGTTGTATAGTT\t3\n";
    write_file(dir.file("tags.txt"), tags);
    std::string const insert = "TAGCTTATCAGACTGATGTTGA";
    std::string reads;
    for (int i = 0; i < 3; ++i)
        reads += "@r\n" + insert + "TGGAATTCTCGG\n+\n" + std::string(insert.size() + 12, 'I') + "\n";
    write_file(dir.file("reads.fq"), reads);

    known_mirnas const known = make_known_mirnas({insert});
    trim_request request;
    request.known = &known;
    for (uint32_t threads : {1u, 2u})
    {
        SCOPED_TRACE(threads);
        sequence_counts counts;
        raw_read_result result;
        std::string other;
        EXPECT_EQ(collapse_raw_reads({dir.file("tags.txt")}, request, threads, counts, result, &other), 1);
        EXPECT_EQ(other, tags);
        EXPECT_EQ(counts.distinct, 0u);

        testing::internal::CaptureStderr();
        int32_t const status = collapse_raw_reads({dir.file("reads.fq")}, request, threads, counts, result, &other);
        std::string const errors = testing::internal::GetCapturedStderr();
        EXPECT_EQ(status, 0) << errors;
        ASSERT_EQ(result.lanes.size(), 1u);
        EXPECT_EQ(result.lanes[0].applied.layout.name, "illumina");
        EXPECT_EQ(result.funnel.kept, 3u);
        std::vector<tag_count> const counted = ordered_tags(counts);
        ASSERT_EQ(counted.size(), 1u);
        EXPECT_EQ(counted[0].sequence, insert);
        EXPECT_EQ(counted[0].count, 3u);
    }
}
