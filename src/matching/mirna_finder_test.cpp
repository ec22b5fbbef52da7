#include "matching/mirna_finder.hpp"

#include <gtest/gtest.h>

#include "driver/test_support.hpp"
#include "matching/matching_test_support.hpp"

namespace
{
std::string const M = example_mirna;

// The search engines every case runs through.
enum class engine
{
    reference,
    lookup,
    lookup_three_threads,
};

int32_t run_engine(engine e, uint32_t min_tag_length, uint32_t tag_begin, uint32_t begin_seed,
                   uint32_t end_seed, uint32_t seed_size)
{
    switch (e)
    {
        case engine::reference:
            return mirna_finder_reference(min_tag_length, tag_begin, begin_seed, end_seed, seed_size);
        case engine::lookup:
            return mirna_finder(min_tag_length, tag_begin, begin_seed, end_seed, seed_size);
        case engine::lookup_three_threads:
            return mirna_finder_threads(min_tag_length, tag_begin, begin_seed, end_seed, seed_size, 3);
    }
    return -1;
}

class MirnaFinder : public testing::TestWithParam<engine>
{
protected:
    // Runs the search with the given start limit and minimum length (other
    // parameters at their defaults) and returns what it printed.
    std::string run_finder(uint32_t tag_begin = 4, uint32_t min_tag_length = 10)
    {
        testing::internal::CaptureStdout();
        EXPECT_EQ(0, run_engine(GetParam(), min_tag_length, tag_begin, 1, 7, 6));
        return testing::internal::GetCapturedStdout();
    }
};

void select_species(std::vector<std::string> const & codes)
{
    species_to_check_vet.clear();
    for (std::string const & code : codes)
        species_to_check_vet.push_back(char_string(code));
}
}  // namespace

TEST_P(MirnaFinder, OnlyTheLeftmostOccurrenceIsExtended)
{
    reset_run_state();
    seed_vet.push_back(make_seed("CAGGAC", {make_specie("hsa", {make_mirna(M, 1)})}));
    select_species({"hsa"});
    // CAGGAC at tag positions 1 and 12; with a start limit of 100 an
    // extension from position 12 would be accepted too (Bt 12, iso_5p).
    std::string const tag = M.substr(0, 12) + "CAGGACGUAACGG";
    ASSERT_EQ(12u, tag.find("CAGGAC", 2));
    tag_vet.push_back(make_tag(tag));

    run_finder(100);

    std::vector<mirna_matched_vet_t> const & found = tag_vet[0].mirna_matched_vet;
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
        reset_run_state();
        seed_vet.push_back(make_seed("AAAAAA", {make_specie("hsa", {make_mirna("UAAAAAAGGGGGGGGG", 1)})}));
        seed_vet.push_back(make_seed("CAGGAC", {make_specie("hsa", {make_mirna(M, 2)}),
                                               make_specie("mmu", {make_mirna(substituted(M, {{20, 'A'}}), 3)})}));
        select_species(c.selected);
        tag_vet.push_back(make_tag(M));
        tag_vet.push_back(make_tag("GGGGGGGGGGGGGG"));

        run_finder();

        EXPECT_EQ(c.passes, mirna_elaborated);
        EXPECT_TRUE(tag_vet[1].mirna_matched_vet.empty());
        std::vector<mirna_matched_vet_t> const & found = tag_vet[0].mirna_matched_vet;
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
        reset_run_state();
        seed_vet.push_back(make_seed("CAGGAC", {make_specie("hsa", {make_mirna(M, 1)})}));
        select_species({c.selected});
        tag_vet.push_back(make_tag(M));

        run_finder();

        EXPECT_EQ(c.passes, mirna_elaborated);
        EXPECT_EQ(c.passes, tag_vet[0].mirna_matched_vet.size());
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
        reset_run_state();
        seed_vet.push_back(make_seed(c.seed, {make_specie("hsa", {make_mirna(c.mirna, 1)})}));
        select_species({"hsa"});
        tag_vet.push_back(make_tag(c.tag));

        run_finder(4, c.min_tag_length);

        std::vector<mirna_matched_vet_t> const & found = tag_vet[0].mirna_matched_vet;
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
    reset_run_state();
    seed_vet.push_back(make_seed("", {make_specie("hsa", {make_mirna(M, 1)})}));
    seed_vet.push_back(make_seed("CAGGAC", {make_specie("hsa", {make_mirna(M, 2)})}));
    select_species({"hsa"});
    tag_vet.push_back(make_tag(M));

    run_finder();

    EXPECT_EQ(1u, mirna_elaborated);
    ASSERT_EQ(1u, tag_vet[0].mirna_matched_vet.size());
    EXPECT_EQ(1u, tag_vet[0].mirna_matched_vet[0].seed_index);
}

// A seed whose length differs from the seed size is still searched as it
// stands (the lookup leaves such an index to the reference search).
TEST_P(MirnaFinder, ASeedOfAnotherLengthIsStillFound)
{
    reset_run_state();
    seed_vet.push_back(make_seed("CAGGA", {make_specie("hsa", {make_mirna(M, 1)})}));
    select_species({"hsa"});
    tag_vet.push_back(make_tag("GGGGGGGG"));
    tag_vet.push_back(make_tag(M));

    run_finder();

    EXPECT_EQ(1u, mirna_elaborated);
    EXPECT_TRUE(tag_vet[0].mirna_matched_vet.empty());
    ASSERT_EQ(1u, tag_vet[1].mirna_matched_vet.size());
    EXPECT_EQ(22u, tag_vet[1].mirna_matched_vet[0].size_ungapped);
}

TEST_P(MirnaFinder, PassesAreCountedWithoutTags)
{
    reset_run_state();
    seed_vet.push_back(make_seed("CAGGAC", {make_specie("hsa", {make_mirna(M, 1)}),
                                           make_specie("mmu", {make_mirna(M, 2)})}));
    select_species({"mmu", "hsa"});

    run_finder();

    EXPECT_EQ(2u, mirna_elaborated);
}

TEST_P(MirnaFinder, PrintsTheTenSearchLines)
{
    reset_run_state();
    seed_vet.push_back(make_seed("AAAAAA", {make_specie("hsa", {})}));
    seed_vet.push_back(make_seed("CAGGAC", {make_specie("hsa", {make_mirna(M, 1)})}));
    select_species({"hsa"});
    tag_vet.push_back(make_tag(M));
    tag_vet.push_back(make_tag("GGGGGGGG"));
    tag_vet.push_back(make_tag("UUUUUUUU"));
    tot_total_tag_count = 5;
    discarded_tag = 2;

    testing::internal::CaptureStdout();
    run_engine(GetParam(), 4294967295u, 4, 1, 7, 6);  // "-l -1" reaches the search wrapped
    std::string const printed = testing::internal::GetCapturedStdout();

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
    EXPECT_TRUE(tag_vet[0].mirna_matched_vet.empty());  // nothing is longer than 4294967295
}

INSTANTIATE_TEST_SUITE_P(Engines, MirnaFinder,
                         testing::Values(engine::reference, engine::lookup, engine::lookup_three_threads),
                         [](testing::TestParamInfo<engine> const & info) {
                             switch (info.param)
                             {
                                 case engine::reference: return "reference";
                                 case engine::lookup: return "lookup";
                                 case engine::lookup_three_threads: return "lookup_three_threads";
                             }
                             return "unknown";
                         });
