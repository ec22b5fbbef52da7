#include "report/ambiguous_selection.hpp"

#include <gtest/gtest.h>

#include "report/report_test_data.hpp"
#include "report/tag_tables.hpp"

namespace
{
class selection : public testing::Test
{
protected:
    void SetUp() override
    {
        rows.clear();
        selected_lines.clear();
        seed_vet = index_of({{">abc-miR-21-5p MIMAT1", "UAGCUUAUCAGACUGAUGUUGA"},
                    {">abc-miR-21-3p MIMAT2", "CAACACCAGUCGAUGGGCUGU"},
                    {">abc-let-7a-5p MIMAT3", "UGAGGUAGUAGGUUGUAUAGUU"},
                    {">abc-let-7b-5p MIMAT4", "UGAGGUAGUAGGUUGUGUGGUU"}});
        for (uint32_t m = 0; m < 4; ++m)
        {
            rows.push_back(row_for(seed_vet, m));
            rows.back().ambig_different_tags = 5;
            rows.back().ambig_count_tags = 100;
            rows.back().ambig_mirna_exact_tags = 100;
        }
    }

    // Decides the tag's counted alignment (its alignments then best first),
    // and when it is assigned writes its line and moves its reads.
    bool select(tag_vet_t & tag, int32_t threshold)
    {
        assignment_rule rule;
        rule.align_score_threshold = threshold;
        result_tables results;
        results.result_tag_ambig_vet.push_back(tag);
        decide_counted_alignments(rule, seed_vet, 1, results);
        tag = results.result_tag_ambig_vet[0];
        if (counted_ambiguous_alignment(results, 0) == nullptr)
            return false;
        append_selected_tag(selected_lines, seed_vet, tag);
        selected_move move;
        if (find_selected_move(seed_vet, tag, index_rows_by_mirna(rows), move))
            apply_selected_move(move, rows);
        return true;
    }

    std::vector<std::string> selected_fields() const { return split_tabs(selected_lines); }

    std::vector<seed_vet_t> seed_vet;
    std::vector<result_mirna_uniq_ambig_vet_t> rows;
    std::string selected_lines;
};

TEST_F(selection, takes_only_tags_whose_best_score_is_below_the_threshold)
{
    struct threshold_case
    {
        int32_t best_score;
        int32_t threshold;
        bool selected;
    };
    threshold_case const cases[] = {
        {13, 14, true}, {14, 14, false}, {15, 14, false}, {0, 0, false}, {0, -1, false}, {100, 101, true},
    };
    for (threshold_case const & c : cases)
    {
        SetUp();
        tag_vet_t tag = make_tag(1, "UAGCUUAUCAGACUGAUGUUGA", 6,
                                 {alignment_on(2, c.best_score + 1), alignment_on(0, c.best_score)});
        EXPECT_EQ(select(tag, c.threshold), c.selected) << c.best_score << " vs " << c.threshold;
        EXPECT_EQ(selected_lines.empty(), !c.selected);
        EXPECT_EQ(rows[0].uniq_count_tags, c.selected ? 6u : 0u);
        EXPECT_EQ(rows[2].uniq_count_tags, 0u);
    }
}

TEST_F(selection, a_tie_at_the_best_score_goes_to_the_alignment_recorded_first)
{
    tag_vet_t tag = make_tag(1, "UGAGGUAGUAGGUUGUAUAGUU", 4,
                             {alignment_on(1, 9), alignment_on(3, 5), alignment_on(2, 5)});
    ASSERT_TRUE(select(tag, 14));
    std::vector<std::string> const fields = selected_fields();
    ASSERT_EQ(fields.size(), 26u);
    EXPECT_EQ(fields[4], "4");   // mirna_id of let-7b, recorded before let-7a
    EXPECT_EQ(fields[15], "0");  // score gap
    EXPECT_EQ(rows[3].uniq_different_tags, 1u);
    EXPECT_EQ(rows[2].uniq_different_tags, 0u);
}

TEST_F(selection, counts_families_against_the_best_alignment)
{
    struct family_case
    {
        std::vector<uint32_t> mirnas;  // best first
        std::string num_mir_family;
    };
    family_case const cases[] = {
        {{0, 1}, "1"},        // miR-21-5p, miR-21-3p
        {{0, 2}, "2"},        // miR-21, let-7a
        {{0, 2, 3}, "3"},     // let-7a and let-7b share a family other than miR-21
        {{2, 3}, "1"},        // let-7a, let-7b
        {{0, 0, 1}, "1"},     // the best miRNA again adds nothing
        {{2, 3, 2, 0, 2}, "2"},
    };
    for (family_case const & c : cases)
    {
        SetUp();
        std::vector<mirna_matched_vet_t> alignments;
        for (uint32_t m : c.mirnas)
            alignments.push_back(alignment_on(m, static_cast<int32_t>(alignments.size())));
        tag_vet_t tag = make_tag(1, "UAGCUUAUCAGACUGAUGUUGA", 1, alignments);
        ASSERT_TRUE(select(tag, 14));
        std::vector<std::string> const fields = selected_fields();
        ASSERT_EQ(fields.size(), 26u);
        EXPECT_EQ(fields[16], c.num_mir_family) << "case with " << c.mirnas.size() << " alignments";
        EXPECT_EQ(fields[17], std::to_string(c.mirnas.size()));
    }
}

TEST_F(selection, moves_the_reads_of_a_selected_tag_to_the_unique_counters)
{
    result_mirna_uniq_ambig_vet_t & row = rows[0];
    row.uniq_different_tags = 2;
    row.uniq_count_tags = 30;
    row.uniq_expressed_all = 12.5f;
    row.uniq_expressed_mapped = 25.0f;
    row.uniq_mirna_exact_tags = 30;
    row.ambig_different_tags = 3;
    row.ambig_count_tags = 40;
    row.ambig_expressed_all = 50.0f;
    row.ambig_expressed_mapped = 75.0f;
    row.ambig_mirna_exact_tags = 15;
    row.ambig_iso_snp_tags = 25;
    row.ambig_offset_site_tags = 5;
    row.ambig_central_site_tags = 30;
    result_mirna_uniq_ambig_vet_t const untouched = rows[2];

    mirna_matched_vet_t best = alignment_on(0, 9);
    best.size_ungapped = 20;
    best.size_ungapped_1 = 21;
    best.size_ungapped_2 = 22;
    best.mir_tag_size_diff = -2;
    best.iso_snp = true;
    best.central_site = true;
    tag_vet_t tag = make_tag(7, "UAGCUUAUCAGACUGAUGUUGAAA", 10, {alignment_on(2, 12), best});
    ASSERT_TRUE(select(tag, 14));

    EXPECT_EQ(selected_lines,
              "7\tUAGCUUAUCAGACUGAUGUUGAAA\t\xc3\xa8\t10\t1\t>abc-miR-21-5p MIMAT1\tUAGCUUAUCAGACUGAUGUUGA"
              "\t0\t0\t0\t20\t21\t22\t9\t-2\t3\t2\t2\t0\t0\t1\t0\t0\t0\t0\t1\n");
    EXPECT_EQ(row.uniq_different_tags, 3u);
    EXPECT_EQ(row.uniq_count_tags, 40u);
    EXPECT_EQ(row.uniq_iso_snp_tags, 10u);
    EXPECT_EQ(row.uniq_central_site_tags, 10u);
    EXPECT_EQ(row.uniq_mirna_exact_tags, 30u);
    EXPECT_EQ(row.uniq_offset_site_tags, 0u);
    EXPECT_EQ(row.ambig_different_tags, 2u);
    EXPECT_EQ(row.ambig_count_tags, 30u);
    EXPECT_EQ(row.ambig_iso_snp_tags, 15u);
    EXPECT_EQ(row.ambig_central_site_tags, 20u);
    EXPECT_EQ(row.ambig_mirna_exact_tags, 15u);
    EXPECT_EQ(row.ambig_offset_site_tags, 5u);
    EXPECT_EQ(row.uniq_expressed_all, 0.0f);
    EXPECT_EQ(row.uniq_expressed_mapped, 0.0f);
    EXPECT_EQ(row.ambig_expressed_all, 0.0f);
    EXPECT_EQ(row.ambig_expressed_mapped, 0.0f);
    // The other miRNA of the tag keeps the tag among its ambiguous counts.
    EXPECT_EQ(rows[2].ambig_different_tags, untouched.ambig_different_tags);
    EXPECT_EQ(rows[2].ambig_count_tags, untouched.ambig_count_tags);
    EXPECT_EQ(rows[2].uniq_different_tags, untouched.uniq_different_tags);
}
}  // namespace
