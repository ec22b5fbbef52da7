#include "report/tag_tables.hpp"

#include <gtest/gtest.h>

#include "report/report_test_data.hpp"

namespace
{
std::vector<int32_t> scores_of(alignment_list const & alignments)
{
    std::vector<int32_t> scores;
    for (mirna_matched_vet_t const & a : alignments)
        scores.push_back(a.align_score);
    return scores;
}

TEST(tag_tables, sorting_puts_the_best_score_first_and_keeps_ties_in_recorded_order)
{
    alignment_list alignments = std::vector<mirna_matched_vet_t>{alignment_on(0, 20), alignment_on(1, 7), alignment_on(2, 7)};
    order_alignments(alignments, assignment_rule{});
    EXPECT_EQ(scores_of(alignments), (std::vector<int32_t>{7, 7, 20}));
    EXPECT_EQ(alignments[0].mirna_vet_index, 1u);
    EXPECT_EQ(alignments[1].mirna_vet_index, 2u);

    // More than 16 alignments, negative scores among them: still ascending,
    // ties still in recorded order.
    alignment_list many;
    for (uint32_t i = 0; i < 40; ++i)
        many.push_back(alignment_on(i, static_cast<int32_t>((i * 7) % 5) - 2));
    order_alignments(many, assignment_rule{});
    for (std::size_t k = 1; k < many.size(); ++k)
    {
        ASSERT_LE(many[k - 1].align_score, many[k].align_score);
        if (many[k - 1].align_score == many[k].align_score)
        {
            EXPECT_LT(many[k - 1].mirna_vet_index, many[k].mirna_vet_index);
        }
    }
}
}  // namespace
