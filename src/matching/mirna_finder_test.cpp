#include "matching/mirna_finder.hpp"

#include <sstream>

#include <gtest/gtest.h>

#include "matching/matching_test_support.hpp"

namespace
{
std::string const M = example_mirna;

// The searches every case runs through.
struct engine
{
    char const * name;
    seed_search search;
    uint32_t threads;
};

class MirnaFinder : public testing::TestWithParam<engine>
{
protected:
    // Runs this engine's search of `index` in `tags` with fresh counters,
    // keeps what it printed and returns the passes it counted.
    uint32_t search(mirna_db_tables const & index, tag_table & tags, search_parameters const & parameters = {})
    {
        search_counters counters;
        std::ostringstream log;
        EXPECT_EQ(0, mirna_finder(parameters, index, tags, counters, GetParam().threads, log, GetParam().search));
        printed = log.str();
        return counters.mirna_elaborated;
    }

    std::string printed;
};

std::vector<seed_vet_t> one_seed(std::string const & seed, std::string const & mirna)
{
    return {make_seed(seed, {make_specie("hsa", {make_mirna(mirna, 1)})})};
}
}  // namespace

TEST_P(MirnaFinder, OnlyTheLeftmostOccurrenceIsExtended)
{
    // CAGGAC at tag positions 1 and 12; with a start limit of 100 an
    // extension from position 12 would be accepted too (Bt 12, iso_5p).
    std::string const tag = M.substr(0, 12) + "CAGGACGUAACGG";
    ASSERT_EQ(12u, tag.find("CAGGAC", 2));
    tag_table tags = make_tags({tag});

    search(make_index(one_seed("CAGGAC", M), {"hsa"}), tags, {10, 100, 1, 7, 6, {}});

    alignment_list const & found = tags.tag_vet[0].mirna_matched_vet;
    ASSERT_EQ(1u, found.size());
    EXPECT_EQ(0u, found[0].begin_ungapped_tag);
    EXPECT_EQ(0u, found[0].begin_ungapped_mirna);
    EXPECT_EQ(12u, found[0].size_ungapped);
    EXPECT_FALSE(found[0].iso_5p);
}

// One pass per (seed, species entry, equal selected code); the alignments
// follow seed, then species entry, then selected-code order.
TEST_P(MirnaFinder, PassesFollowSeedsSpeciesAndSelectedCodes)
{
    struct order_case
    {
        char const * description;
        std::vector<std::string> selected;
        uint32_t passes;
        std::vector<uint32_t> specie_of_alignments;
    };
    std::vector<order_case> const cases = {
        {"both species, selected in reverse order", {"mmu", "hsa"}, 3, {0, 1}},
        {"one species only", {"mmu"}, 1, {1}},
        {"a code selected twice searches twice", {"hsa", "hsa"}, 4, {0, 0}},
        {"no selected code in the index", {"rno"}, 0, {}},
    };
    for (order_case const & c : cases)
    {
        SCOPED_TRACE(c.description);
        mirna_db_tables const index = make_index(
            {make_seed("AAAAAA", {make_specie("hsa", {make_mirna("UAAAAAAGGGGGGGGG", 1)})}),
             make_seed("CAGGAC", {make_specie("hsa", {make_mirna(M, 2)}),
                                  make_specie("mmu", {make_mirna(substituted(M, {{20, 'A'}}), 3)})})},
            c.selected);
        tag_table tags = make_tags({M, "GGGGGGGGGGGGGG"});

        EXPECT_EQ(c.passes, search(index, tags));
        EXPECT_TRUE(tags.tag_vet[1].mirna_matched_vet.empty());
        alignment_list const & found = tags.tag_vet[0].mirna_matched_vet;
        ASSERT_EQ(c.specie_of_alignments.size(), found.size());
        for (std::size_t a = 0; a < found.size(); ++a)
        {
            EXPECT_EQ(1u, found[a].seed_index);
            EXPECT_EQ(c.specie_of_alignments[a], found[a].specie_index);
        }
    }
}

TEST_P(MirnaFinder, SpeciesCodesCompareExactly)
{
    struct code_case
    {
        std::string selected;
        uint32_t passes;
    };
    for (code_case const & c : {code_case{"hsa", 1}, code_case{"hsa ", 0}, code_case{"HSA", 0},
                                code_case{"hs", 0}, code_case{"", 0}})
    {
        SCOPED_TRACE("selected code '" + c.selected + "'");
        tag_table tags = make_tags({M});

        EXPECT_EQ(c.passes, search(make_index(one_seed("CAGGAC", M), {c.selected}), tags));
        EXPECT_EQ(c.passes, tags.tag_vet[0].mirna_matched_vet.size());
    }
}

// N is a letter of its own: it matches N and nothing else. Tags shorter than
// the seed are never read past their end.
TEST_P(MirnaFinder, SeedOccurrencesAreExact)
{
    struct search_case
    {
        char const * description;
        std::string seed;
        std::string mirna;
        std::string tag;
        uint32_t min_tag_length;
        int expected_tag_begin;  // -1: no alignment
    };
    std::string const with_n = substituted(M, {{4, 'N'}});  // seed CAGNAC
    std::vector<search_case> const cases = {
        {"N in seed and tag", "CAGNAC", with_n, with_n, 10, 0},
        {"N in the seed, G in the tag", "CAGNAC", with_n, M, 10, -1},
        {"G in the seed, N in the tag", "CAGGAC", M, with_n, 10, -1},
        {"the seed after an N", "CAGGAC", M, "N" + M, 10, 1},
        {"tag as long as the seed", "CAGGAC", M, "CAGGAC", 0, 0},
        {"tag one shorter than the seed", "CAGGAC", M, "CAGGA", 0, -1},
        {"empty tag", "CAGGAC", M, "", 0, -1},
    };
    for (search_case const & c : cases)
    {
        SCOPED_TRACE(c.description);
        tag_table tags = make_tags({c.tag});

        search(make_index(one_seed(c.seed, c.mirna), {"hsa"}), tags, {c.min_tag_length, 4, 1, 7, 6, {}});

        alignment_list const & found = tags.tag_vet[0].mirna_matched_vet;
        if (c.expected_tag_begin < 0)
        {
            EXPECT_TRUE(found.empty());
            continue;
        }
        ASSERT_EQ(1u, found.size());
        EXPECT_EQ(static_cast<uint32_t>(c.expected_tag_begin), found[0].begin_ungapped_tag);
    }
}

TEST_P(MirnaFinder, EmptySeedIsSkipped)
{
    tag_table tags = make_tags({M});

    EXPECT_EQ(1u, search(make_index({make_seed("", {make_specie("hsa", {make_mirna(M, 1)})}),
                                     make_seed("CAGGAC", {make_specie("hsa", {make_mirna(M, 2)})})},
                                    {"hsa"}),
                         tags));
    ASSERT_EQ(1u, tags.tag_vet[0].mirna_matched_vet.size());
    EXPECT_EQ(1u, tags.tag_vet[0].mirna_matched_vet[0].seed_index);
}

// A seed whose length differs from the seed size is still searched as it
// stands (the lookup leaves such an index to the reference search).
TEST_P(MirnaFinder, ASeedOfAnotherLengthIsStillFound)
{
    tag_table tags = make_tags({"GGGGGGGG", M});

    EXPECT_EQ(1u, search(make_index(one_seed("CAGGA", M), {"hsa"}), tags));
    EXPECT_TRUE(tags.tag_vet[0].mirna_matched_vet.empty());
    ASSERT_EQ(1u, tags.tag_vet[1].mirna_matched_vet.size());
    EXPECT_EQ(22u, tags.tag_vet[1].mirna_matched_vet[0].size_ungapped);
}

TEST_P(MirnaFinder, PassesAreCountedWithoutTags)
{
    tag_table tags;
    EXPECT_EQ(2u, search(make_index({make_seed("CAGGAC", {make_specie("hsa", {make_mirna(M, 1)}),
                                                          make_specie("mmu", {make_mirna(M, 2)})})},
                                    {"mmu", "hsa"}),
                         tags));
}

TEST_P(MirnaFinder, PrintsTheTenSearchLines)
{
    tag_table tags = make_tags({M, "GGGGGGGG", "UUUUUUUU"});
    tags.tot_total_tag_count = 5;
    tags.discarded_tag = 2;

    // "-l -1" reaches the search wrapped.
    search(make_index({make_seed("AAAAAA", {make_specie("hsa", {})}),
                       make_seed("CAGGAC", {make_specie("hsa", {make_mirna(M, 1)})})},
                      {"hsa"}),
           tags, {4294967295u, 4, 1, 7, 6, {}});

    EXPECT_EQ("min_tag_length = 4294967295;\n"
              "tag_begin = 4;\n"
              "begin_seed = 1;\n"
              "end_seed = 7;\n"
              "seed_size = 6;\n"
              "seed_vet.size() = 2;\n"
              "tag_vet.size() = 3;\n"
              "tot_total_tag_count = 5;\n"
              "discarded_tag = 2;\n"
              "mirna_elaborated = 2;\n",
              printed);
    EXPECT_TRUE(tags.tag_vet[0].mirna_matched_vet.empty());  // nothing is longer than 4294967295
}

INSTANTIATE_TEST_SUITE_P(Engines, MirnaFinder,
                         testing::Values(engine{"reference", seed_search::reference, 1},
                                         engine{"lookup", seed_search::lookup, 1},
                                         engine{"lookup_three_threads", seed_search::lookup, 3}),
                         [](testing::TestParamInfo<engine> const & info) { return info.param.name; });
