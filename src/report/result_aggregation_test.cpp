#include "report/result_aggregation.hpp"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <random>
#include <sstream>

#include <gtest/gtest.h>

#include "report/report_test_data.hpp"

namespace
{
enum class test_class { exact, iso_5p, iso_snp, iso_multi_snp, iso_3p };

// An alignment on entry mirna_pos of seed 0, species 0, with the given flags.
mirna_matched_vet_t alignment_on(uint32_t mirna_pos, test_class cls, bool offset, bool suppl, bool central,
                                 int32_t score = 0)
{
    mirna_matched_vet_t a;
    a.mirna_vet_index = mirna_pos;
    a.iso_5p = cls == test_class::iso_5p;
    a.iso_snp = cls == test_class::iso_snp;
    a.iso_multi_snp = cls == test_class::iso_multi_snp;
    a.iso_3p = cls == test_class::iso_3p;
    a.offset_site = offset;
    a.suppl_compens_site = suppl;
    a.central_site = central;
    a.align_score = score;
    return a;
}

std::string const mirna_x = "UCAGGACGUAACGGAUCCAGUA";

// Seed 0, species 0 holds miRNA X (index 7) then Y (index 3): rows must
// follow the order of first meeting, not mirna_index.
std::vector<seed_vet_t> index_with_x_and_y()
{
    std::vector<seed_vet_t> seed_vet = index_of({{">hsa-x", mirna_x}, {">hsa-y", "ACAGGACUUUUUUUUU"}});
    seed_vet[0].specie_vet[0].mirna_vet[0].mirna_index = 7;
    seed_vet[0].specie_vet[0].mirna_vet[1].mirna_index = 3;
    return seed_vet;
}

// The split and rows of `tag_vet` on the X and Y index, on one thread, with
// their percentages.
result_tables aggregate(std::vector<tag_vet_t> const & tag_vet)
{
    result_tables results;
    EXPECT_EQ(0, output_structures_generation(index_with_x_and_y(), tag_vet, 1, results));
    EXPECT_EQ(0, output_structures_updating(results));
    return results;
}

std::string g10(float value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.10g", static_cast<double>(value));
    return text;
}

bool same_bits(float a, float b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}
}  // namespace

TEST(ResultAggregation, WorkedExampleRowsSumsAndTagTables)
{
    result_tables const results = aggregate(
        {make_tag(1, "UCAGGACGUAACGGAUCCAGUA", 5, {alignment_on(0, test_class::exact, true, true, true)}),
         make_tag(2, "AUCAGGACGUAACGGAUCCAGU", 3,
                  {alignment_on(0, test_class::iso_5p, true, false, false),
                   alignment_on(1, test_class::iso_snp, false, false, false)}),
         make_tag(3, "GGGGGGGGGGGGG", 2, {})});
    std::vector<tag_vet_t> const & result_tag_uniq_vet = results.result_tag_uniq_vet;
    std::vector<tag_vet_t> const & result_tag_ambig_vet = results.result_tag_ambig_vet;
    std::vector<result_mirna_uniq_ambig_vet_t> const & result_mirna_uniq_ambig_vet =
        results.result_mirna_uniq_ambig_vet;

    EXPECT_EQ(10u, results.read_count_experiment);
    EXPECT_EQ(5u, results.unique_reads_mapped_on_library);
    EXPECT_EQ(3u, results.ambigue_reads_mapped_on_library);

    ASSERT_EQ(1u, result_tag_uniq_vet.size());
    EXPECT_EQ(1u, result_tag_uniq_vet[0].tag_index);
    EXPECT_EQ(5u, result_tag_uniq_vet[0].tag_count);
    EXPECT_EQ("UCAGGACGUAACGGAUCCAGUA", rna5_to_text(result_tag_uniq_vet[0].tag_sequence));
    EXPECT_EQ(1u, result_tag_uniq_vet[0].mirna_matched_vet.size());
    ASSERT_EQ(1u, result_tag_ambig_vet.size());
    EXPECT_EQ(2u, result_tag_ambig_vet[0].tag_index);
    ASSERT_EQ(2u, result_tag_ambig_vet[0].mirna_matched_vet.size());
    EXPECT_EQ(1u, result_tag_ambig_vet[0].mirna_matched_vet[1].mirna_vet_index);

    ASSERT_EQ(2u, result_mirna_uniq_ambig_vet.size());
    result_mirna_uniq_ambig_vet_t const & x = result_mirna_uniq_ambig_vet[0];
    EXPECT_EQ(7u, x.mirna_index);
    EXPECT_EQ(">hsa-x", std::string(seqan::begin(x.mirna_info), seqan::end(x.mirna_info)));
    EXPECT_EQ(mirna_x, rna5_to_text(x.mirna_seq));
    EXPECT_EQ(0u, x.seed_index);
    EXPECT_EQ(1u, x.uniq_different_tags);
    EXPECT_EQ(5u, x.uniq_count_tags);
    EXPECT_EQ(5u, x.uniq_mirna_exact_tags);
    EXPECT_EQ(0u, x.uniq_iso_5p_tags + x.uniq_iso_snp_tags + x.uniq_iso_multi_snp_tags + x.uniq_iso_3p_tags);
    EXPECT_EQ(5u, x.uniq_offset_site_tags);
    EXPECT_EQ(5u, x.uniq_suppl_compens_site_tags);
    EXPECT_EQ(5u, x.uniq_central_site_tags);
    EXPECT_EQ(50.0f, x.uniq_expressed_all);
    EXPECT_EQ(62.5f, x.uniq_expressed_mapped);
    EXPECT_EQ(1u, x.ambig_different_tags);
    EXPECT_EQ(3u, x.ambig_count_tags);
    EXPECT_EQ(3u, x.ambig_iso_5p_tags);
    EXPECT_EQ(0u, x.ambig_mirna_exact_tags + x.ambig_iso_snp_tags + x.ambig_iso_multi_snp_tags + x.ambig_iso_3p_tags);
    EXPECT_EQ(3u, x.ambig_offset_site_tags);
    EXPECT_EQ(0u, x.ambig_suppl_compens_site_tags);
    EXPECT_EQ(0u, x.ambig_central_site_tags);
    EXPECT_EQ(37.5f, x.ambig_expressed_mapped);

    // 3 / 10 in single precision is 0.300000012; times 100 that is 30.0000019.
    EXPECT_TRUE(same_bits(3.0f / 10.0f * 100.0f, x.ambig_expressed_all));
    EXPECT_NE(30.0f, x.ambig_expressed_all);
    EXPECT_EQ("30.00000191", g10(x.ambig_expressed_all));

    result_mirna_uniq_ambig_vet_t const & y = result_mirna_uniq_ambig_vet[1];
    EXPECT_EQ(3u, y.mirna_index);
    EXPECT_EQ(">hsa-y", std::string(seqan::begin(y.mirna_info), seqan::end(y.mirna_info)));
    EXPECT_EQ(1u, y.ambig_different_tags);
    EXPECT_EQ(3u, y.ambig_count_tags);
    EXPECT_EQ(3u, y.ambig_iso_snp_tags);
    EXPECT_EQ(0u, y.ambig_mirna_exact_tags + y.ambig_iso_5p_tags + y.ambig_iso_multi_snp_tags + y.ambig_iso_3p_tags);
    EXPECT_EQ(0u, y.ambig_offset_site_tags + y.ambig_suppl_compens_site_tags + y.ambig_central_site_tags);
    EXPECT_EQ("30.00000191", g10(y.ambig_expressed_all));
    EXPECT_EQ(37.5f, y.ambig_expressed_mapped);
    EXPECT_EQ(0u, y.uniq_different_tags);
    EXPECT_EQ(0u, y.uniq_count_tags + y.uniq_mirna_exact_tags + y.uniq_offset_site_tags);
    EXPECT_EQ(0.0f, y.uniq_expressed_all);
    EXPECT_EQ(0.0f, y.uniq_expressed_mapped);
}

// Which counters one alignment feeds: only the first isoform flag set picks
// the class; site flags count on their own; #different_tags counts 1.
TEST(ResultAggregation, ClassAndSiteCountersOfOneAlignment)
{
    struct class_case
    {
        char const * description;
        bool iso_5p, iso_snp, iso_multi_snp, iso_3p;
        bool offset, suppl, central;
        // exact, 5p, snp, multi, 3p, offset, suppl, central
        std::vector<uint64_t> expected;
    };
    std::vector<class_case> const cases = {
        {"exact, no site", false, false, false, false, false, false, false, {4, 0, 0, 0, 0, 0, 0, 0}},
        {"iso_5p over iso_snp", true, true, false, false, false, false, false, {0, 4, 0, 0, 0, 0, 0, 0}},
        {"iso_snp over iso_3p", false, true, false, true, true, false, false, {0, 0, 4, 0, 0, 4, 0, 0}},
        {"iso_multi_snp over iso_3p", false, false, true, true, false, true, false, {0, 0, 0, 4, 0, 0, 4, 0}},
        {"iso_3p alone, central only", false, false, false, true, false, false, true, {0, 0, 0, 0, 4, 0, 0, 4}},
    };
    for (class_case const & c : cases)
    {
        SCOPED_TRACE(c.description);
        mirna_matched_vet_t a;
        a.iso_5p = c.iso_5p;
        a.iso_snp = c.iso_snp;
        a.iso_multi_snp = c.iso_multi_snp;
        a.iso_3p = c.iso_3p;
        a.offset_site = c.offset;
        a.suppl_compens_site = c.suppl;
        a.central_site = c.central;
        result_tables const results = aggregate({make_tag(1, "ACGU", 4, {a})});

        ASSERT_EQ(1u, results.result_mirna_uniq_ambig_vet.size());
        result_mirna_uniq_ambig_vet_t const & row = results.result_mirna_uniq_ambig_vet[0];
        EXPECT_EQ(1u, row.uniq_different_tags);
        EXPECT_EQ(4u, row.uniq_count_tags);
        std::vector<uint64_t> const counted = {row.uniq_mirna_exact_tags,   row.uniq_iso_5p_tags,
                                               row.uniq_iso_snp_tags,       row.uniq_iso_multi_snp_tags,
                                               row.uniq_iso_3p_tags,        row.uniq_offset_site_tags,
                                               row.uniq_suppl_compens_site_tags, row.uniq_central_site_tags};
        EXPECT_EQ(c.expected, counted);
        EXPECT_EQ(0u, row.ambig_different_tags);
        EXPECT_EQ(0u, row.ambig_count_tags);
    }
}

// Two alignments on one miRNA make the tag ambiguous and both count on the
// one row; a zero-count tag still counts as a different tag; no percentage
// is computed for a group without reads.
TEST(ResultAggregation, AlignmentsAddUpOnOneRow)
{
    result_tables const results =
        aggregate({make_tag(1, "ACGU", 6,
                            {alignment_on(1, test_class::exact, true, false, false),
                             alignment_on(1, test_class::iso_3p, true, false, false)}),
                   make_tag(2, "ACGA", 0, {alignment_on(0, test_class::exact, false, false, false)}),
                   make_tag(3, "ACGG", 4,
                            {alignment_on(0, test_class::exact, false, false, false),
                             alignment_on(1, test_class::exact, false, false, false)})});

    EXPECT_EQ(10u, results.read_count_experiment);
    EXPECT_EQ(0u, results.unique_reads_mapped_on_library);
    EXPECT_EQ(10u, results.ambigue_reads_mapped_on_library);
    EXPECT_EQ(2u, results.result_tag_ambig_vet.size());
    EXPECT_EQ(1u, results.result_tag_uniq_vet.size());

    ASSERT_EQ(2u, results.result_mirna_uniq_ambig_vet.size());
    result_mirna_uniq_ambig_vet_t const & y = results.result_mirna_uniq_ambig_vet[0];
    EXPECT_EQ(3u, y.mirna_index);
    EXPECT_EQ(3u, y.ambig_different_tags);
    EXPECT_EQ(16u, y.ambig_count_tags);
    EXPECT_EQ(10u, y.ambig_mirna_exact_tags);
    EXPECT_EQ(6u, y.ambig_iso_3p_tags);
    EXPECT_EQ(12u, y.ambig_offset_site_tags);
    EXPECT_TRUE(same_bits(16.0f / 10.0f * 100.0f, y.ambig_expressed_all));

    result_mirna_uniq_ambig_vet_t const & x = results.result_mirna_uniq_ambig_vet[1];
    EXPECT_EQ(7u, x.mirna_index);
    EXPECT_EQ(1u, x.uniq_different_tags);
    EXPECT_EQ(0u, x.uniq_count_tags);
    EXPECT_EQ(0.0f, x.uniq_expressed_all);
    EXPECT_EQ(0.0f, x.uniq_expressed_mapped);
    EXPECT_EQ(1u, x.ambig_different_tags);
    EXPECT_EQ(4u, x.ambig_count_tags);
}

// Read sums are 64-bit: counts past 2^32 neither wrap nor lose precision
// before the float conversion.
TEST(ResultAggregation, ReadSumsDoNotWrap)
{
    uint64_t const big = (uint64_t{1} << 32) + 6;
    result_tables const results = aggregate(
        {make_tag(1, "ACGU", big, {alignment_on(0, test_class::exact, false, false, false)}),
         make_tag(2, "ACGA", big, {})});

    EXPECT_EQ(2 * big, results.read_count_experiment);
    EXPECT_EQ(big, results.unique_reads_mapped_on_library);
    ASSERT_EQ(1u, results.result_mirna_uniq_ambig_vet.size());
    EXPECT_EQ(big, results.result_mirna_uniq_ambig_vet[0].uniq_count_tags);
    EXPECT_EQ(100.0f, results.result_mirna_uniq_ambig_vet[0].uniq_expressed_mapped);
    EXPECT_EQ(50.0f, results.result_mirna_uniq_ambig_vet[0].uniq_expressed_all);
}

namespace
{
// The rows, both tag tables and the read sums, as text.
std::string results_text(result_tables const & results)
{
    std::ostringstream text;
    for (result_mirna_uniq_ambig_vet_t const & r : results.result_mirna_uniq_ambig_vet)
        text << r.mirna_index << ' ' << rna5_to_text(r.mirna_seq) << ' ' << r.seed_index << " u "
             << r.uniq_different_tags << ' ' << r.uniq_count_tags << ' ' << r.uniq_mirna_exact_tags << ' '
             << r.uniq_iso_5p_tags << ' ' << r.uniq_iso_snp_tags << ' ' << r.uniq_iso_multi_snp_tags << ' '
             << r.uniq_iso_3p_tags << ' ' << r.uniq_offset_site_tags << ' ' << r.uniq_suppl_compens_site_tags << ' '
             << r.uniq_central_site_tags << " a " << r.ambig_different_tags << ' ' << r.ambig_count_tags << ' '
             << r.ambig_mirna_exact_tags << ' ' << r.ambig_iso_5p_tags << ' ' << r.ambig_iso_snp_tags << ' '
             << r.ambig_iso_multi_snp_tags << ' ' << r.ambig_iso_3p_tags << ' ' << r.ambig_offset_site_tags << ' '
             << r.ambig_suppl_compens_site_tags << ' ' << r.ambig_central_site_tags << '\n';
    for (std::vector<tag_vet_t> const * table : {&results.result_tag_uniq_vet, &results.result_tag_ambig_vet})
    {
        for (tag_vet_t const & tag : *table)
        {
            text << tag.tag_index << ' ' << rna5_to_text(tag.tag_sequence) << ' ' << tag.tag_count << ' '
                 << std::string(seqan::begin(tag.tag_quality), seqan::end(tag.tag_quality));
            for (mirna_matched_vet_t const & a : tag.mirna_matched_vet)
                text << " [" << a.specie_index << ' ' << a.mirna_vet_index << ' ' << a.align_score << ']';
            text << '\n';
        }
        text << "--\n";
    }
    text << results.read_count_experiment << ' ' << results.unique_reads_mapped_on_library << ' '
         << results.ambigue_reads_mapped_on_library << '\n';
    return text.str();
}
}  // namespace

// Split and rows are the same for any thread count as on one: rows in
// first-met order even when a miRNA is first met in a later chunk and met
// again in an earlier one.
TEST(ResultAggregation, ThreadCountsGiveTheSameTablesAndRows)
{
    std::mt19937 random(77);
    auto below = [&](uint32_t n) { return static_cast<uint32_t>(random() % n); };
    for (int round = 0; round < 30; ++round)
    {
        // Two species of four miRNAs each, numbered 39 down to 32.
        std::vector<seed_vet_t> seed_vet = index_of({{">abc-1", "UCAGGACG"}, {">abc-2", "UCAGGACGG"},
                                                     {">abc-3", "UCAGGACGGG"}, {">abc-4", "UCAGGACGGGG"}});
        seed_vet[0].specie_vet.push_back(seed_vet[0].specie_vet[0]);
        for (uint32_t s = 0; s < 2; ++s)
            for (uint32_t m = 0; m < 4; ++m)
                seed_vet[0].specie_vet[s].mirna_vet[m].mirna_index = 39 - 4 * s - m;
        std::vector<tag_vet_t> tag_vet;
        std::vector<uint32_t> first_met;
        for (uint32_t t = 0, tags = below(40); t < tags; ++t)
        {
            std::vector<mirna_matched_vet_t> alignments;
            for (uint32_t a = below(4); a > 0; --a)
            {
                mirna_matched_vet_t alignment = alignment_on(below(4), static_cast<test_class>(below(5)),
                                                             below(2) == 1, below(2) == 1, below(2) == 1,
                                                             static_cast<int32_t>(below(30)));
                alignment.specie_index = below(2);
                alignments.push_back(alignment);
                uint32_t const mirna_index = 39 - 4 * alignment.specie_index - alignment.mirna_vet_index;
                if (std::find(first_met.begin(), first_met.end(), mirna_index) == first_met.end())
                    first_met.push_back(mirna_index);
            }
            tag_vet.push_back(make_tag(t + 1, "ACGUACGU", below(1000), alignments));
        }

        result_tables one_thread;
        EXPECT_EQ(0, output_structures_generation(seed_vet, tag_vet, 1, one_thread));
        std::vector<uint32_t> row_order;
        for (result_mirna_uniq_ambig_vet_t const & row : one_thread.result_mirna_uniq_ambig_vet)
            row_order.push_back(row.mirna_index);
        EXPECT_EQ(first_met, row_order) << "round " << round;

        for (uint32_t threads : {2u, 3u, 8u})
        {
            SCOPED_TRACE("round " + std::to_string(round) + ", " + std::to_string(threads) + " threads");
            result_tables results;
            EXPECT_EQ(0, output_structures_generation(seed_vet, tag_vet, threads, results));
            EXPECT_EQ(results_text(one_thread), results_text(results));
        }
    }
}
