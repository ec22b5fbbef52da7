#include "matching/precursor_guard.hpp"

#include <gtest/gtest.h>

#include <algorithm>

#include "matching/matching_test_support.hpp"
#include "matching/sensitive_search.hpp"

namespace
{
// hsa-miR-x on its precursor, and a second precursor that holds the mature
// with two substitutions (no mature of the file is there).
std::string const mature = "UAGCUUAUCAGACUGAUGUUGA";
std::string const five_prime = "GGCCUACAUG";
std::string const three_prime = "CCAGUCGAUGGGCUGUCUGACA";
std::string const precursor = five_prime + mature + three_prime;
std::string const paralog = substituted(mature, {{8, 'G'}, {15, 'C'}});
std::string const other_precursor = "AUCCGAUUGA" + paralog + "GAAAGCCUACUUUGCAC";

// The tags' alignments after the sensitive search with the precursors'
// limits, then after the guard.
std::vector<std::size_t> alignments_left(std::vector<std::string> const & tags_text)
{
    mirna_db_tables db = make_index({make_seed("AGCUUA", {make_specie("hsa", {make_mirna(mature, 1)})})}, {"hsa"});
    search_parameters parameters;
    parameters.sensitive.on = true;
    vouch_by_precursors(parameters.sensitive);
    tag_table tags = make_tags(tags_text);
    sensitive_search_all_tags(build_window_index(parameters, db), tags, 1);
    for (tag_vet_t const & tag : tags.tag_vet)
        EXPECT_EQ(tag.mirna_matched_vet.size(), 1u) << rna5_to_text(tag.tag_sequence) << " was not found at all";
    precursor_rules rules;
    rules.max_cost = parameters.sensitive.max_unmatched;
    guard_with_precursors(build_precursor_index({{"hsa", precursor}, {"hsa", other_precursor}, {"mmu", mature}}),
                          rules, db.seed_vet, tags.tag_vet, 1);
    std::vector<std::size_t> left;
    for (tag_vet_t const & tag : tags.tag_vet)
        left.push_back(tag.mirna_matched_vet.size());
    return left;
}
}  // namespace

TEST(PrecursorGuard, DropsFragmentsKeepsIsomirs)
{
    std::string const isomir = five_prime.substr(8) + substituted(mature, {{11, 'A'}}) + three_prime.substr(0, 2);
    // The paralog lies letter for letter in the other precursor, where no
    // copy of the mature is: a fragment of it (cost 4, kept without
    // precursors); with an untemplated U it lies in none and is kept.
    EXPECT_EQ(alignments_left({isomir, paralog, paralog + "U"}), (std::vector<std::size_t>{1, 0, 1}));
}

TEST(PrecursorGuard, CostlierAlignmentsNeedAPrecursorThatTemplatesThem)
{
    // 5' +2 and 3' +3 templated, one substitution and an untemplated A:
    // cost 8, above 7, kept because the precursor templates all but the
    // substitution and the tail; the same with two 5' letters the precursor
    // does not hold is not. With a second substitution, one templated 3'
    // letter and an untemplated GA whose A the precursor happens to hold
    // next (cost 9), the tail is still a tail: kept; and so with a tail of
    // three, AUU (cost 10: the tail is allowed on top of the limit).
    std::string const templated =
        five_prime.substr(8) + substituted(mature, {{12, 'A'}}) + three_prime.substr(0, 3) + "A";
    std::string const untemplated = "CA" + templated.substr(2);
    std::string const two_substitutions = five_prime.substr(8) + substituted(mature, {{5, 'C'}, {12, 'A'}});
    EXPECT_EQ(three_prime.substr(1, 3), "CAG");
    EXPECT_EQ(alignments_left({templated, untemplated, two_substitutions + "CGA", two_substitutions + "CAUU"}),
              (std::vector<std::size_t>{1, 0, 1, 1}));
}

namespace
{
// The tag's alignment to miRNA `k` of the species below, tag letter i
// facing miRNA letter i - d, over all the letters they share.
mirna_matched_vet_t aligned(std::string const & tag, std::string const & mirna, uint32_t k, int64_t d)
{
    mirna_matched_vet_t a;
    a.mirna_vet_index = k;
    a.begin_ungapped_tag = a.begin_ungapped_tag_2 = static_cast<uint32_t>(std::max<int64_t>(0, d));
    a.begin_ungapped_mirna = a.begin_ungapped_mirna_2 = static_cast<uint32_t>(std::max<int64_t>(0, -d));
    a.size_ungapped = a.size_ungapped_2 = static_cast<uint32_t>(
        std::min(tag.size() - a.begin_ungapped_tag, mirna.size() - a.begin_ungapped_mirna));
    return a;
}
}  // namespace

TEST(PrecursorGuard, NearTiesGoToTheMiRnaWhoseEndsTheTagKeeps)
{
    // A second member starts one letter later, on a precursor where an A
    // (not the first's U) comes before it.
    std::string const later = mature.substr(1);
    precursor_index const index =
        build_precursor_index({{"hsa", precursor}, {"hsa", "AUCCGAUUGAA" + later + "GAAAGCCUACUUUGCAC"}});
    std::vector<seed_vet_t> const seeds = {
        make_seed("AGCUUA", {make_specie("hsa", {make_mirna(mature, 1), make_mirna(later, 2)})})};
    struct near_tie
    {
        std::string tag;
        int64_t d_first;        // on the first member; d_first + 1 on the later
        uint32_t listed_first;  // mirna_vet_index of the alignment left first
        precursor_verdict verdict;
    };
    // Costs and precursor scores are given as (later, first).
    std::vector<near_tie> const cases = {
        // The first's own ends with a C for its U, costs (1, 2), scores
        // (3, 2): the later precursor holds neither that C nor a 5' end there.
        {"C" + mature.substr(1), 0, 0, precursor_verdict::chosen},
        // Off both ends of both, costs (2, 3), scores (2, 2): a lead of 1
        // is under the score.
        {mature.substr(2, 19), -2, 1, precursor_verdict::tied},
        // Off the 5' end of both, costs (1, 2), scores (1, 1): a lead of 1
        // is the score.
        {mature.substr(2), -2, 1, precursor_verdict::chosen},
    };
    for (near_tie const & c : cases)
    {
        tag_vet_t tag = make_tag(c.tag);
        // The cheaper, the later member, first, as the search lists them.
        tag.mirna_matched_vet = std::vector<mirna_matched_vet_t>{aligned(c.tag, later, 1, c.d_first + 1),
                                                                 aligned(c.tag, mature, 0, c.d_first)};
        std::vector<tag_vet_t> tags = {tag};
        EXPECT_EQ(guard_with_precursors(index, precursor_rules{}, seeds, tags, 1), 0u) << c.tag;
        alignment_list const & left = tags[0].mirna_matched_vet;
        ASSERT_EQ(left.size(), 2u) << c.tag;
        EXPECT_EQ(left[0].mirna_vet_index, c.listed_first) << c.tag;
        EXPECT_EQ(left[1].mirna_vet_index, 1 - c.listed_first) << c.tag;
        EXPECT_EQ(static_cast<int>(left[0].verdict), static_cast<int>(c.verdict)) << c.tag;
    }
}
