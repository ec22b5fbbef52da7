#include "matching/precursor_guard.hpp"

#include <gtest/gtest.h>

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
    // does not hold is not.
    std::string const templated =
        five_prime.substr(8) + substituted(mature, {{12, 'A'}}) + three_prime.substr(0, 3) + "A";
    std::string const untemplated = "CA" + templated.substr(2);
    EXPECT_EQ(alignments_left({templated, untemplated}), (std::vector<std::size_t>{1, 0}));
}
