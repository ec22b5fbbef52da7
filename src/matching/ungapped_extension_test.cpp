#include "matching/ungapped_extension.hpp"

#include <gtest/gtest.h>

#include "matching/matching_test_support.hpp"

namespace
{
// One miRNA under seed 0, species 0; one tag; ungapped_extension run once
// from `seed_begin`. Returns the tag's alignments.
std::vector<mirna_matched_vet_t> extend_one(std::string const & mirna, std::string const & tag_text,
                                            uint32_t seed_begin, search_parameters const & p = {})
{
    std::vector<seed_vet_t> const seed_vet = {make_seed("CAGGAC", {make_specie("hsa", {make_mirna(mirna, 1)})})};
    tag_vet_t tag = make_tag(tag_text);
    EXPECT_EQ(0, ungapped_extension(p, {seed_begin, seed_begin + p.seed_size}, seed_vet, 0, 0, tag));
    return {tag.mirna_matched_vet.begin(), tag.mirna_matched_vet.end()};
}

// Every column of one alignment, in one line, for table comparisons.
std::string summary(mirna_matched_vet_t const & a)
{
    return "Bm/Bt " + std::to_string(a.begin_ungapped_mirna) + "/" + std::to_string(a.begin_ungapped_tag) +
           " sizes " + std::to_string(a.size_ungapped) + "," + std::to_string(a.size_ungapped_1) + "," +
           std::to_string(a.size_ungapped_2) + " score " + std::to_string(a.align_score) + " diff " +
           std::to_string(a.mir_tag_size_diff) + " | " + flag_names(a);
}

std::string const M = example_mirna;

struct worked_row
{
    char const * description;
    std::string tag;
    std::size_t tag_length;
    uint32_t hit;
    uint32_t bm, bt;
    uint32_t size0, size1, size2;
    uint32_t e0, e1, e2;
    int32_t score;
    int32_t diff;
    char const * flags;
};
}  // namespace

TEST(UngappedExtension, WorkedExampleTableWithDefaults)
{
    std::string const all_sites = "offset_site suppl_compens_site central_site";
    std::vector<worked_row> const rows = {
        {"equal to the miRNA", M, 22, 1, 0, 0, 22, 22, 22, 22, 22, 22, 0, 0,
         "mirna_exact offset_site suppl_compens_site central_site"},
        {"without its first symbol", M.substr(1), 21, 0, 1, 0, 21, 21, 21, 22, 22, 22, 4, 1,
         "iso_5p offset_site suppl_compens_site central_site"},
        {"A followed by the miRNA", "A" + M, 23, 2, 0, 1, 22, 22, 22, 22, 22, 22, 0, -1,
         "iso_5p offset_site suppl_compens_site central_site"},
        {"position 12 G to U", substituted(M, {{12, 'U'}}), 22, 1, 0, 0, 12, 22, 22, 12, 22, 22, 4, 0,
         "iso_snp offset_site"},
        {"position 0 U to A", substituted(M, {{0, 'A'}}), 22, 1, 1, 1, 21, 21, 21, 22, 22, 22, 4, 0,
         "iso_snp offset_site suppl_compens_site central_site"},
        {"positions 12 and 17", substituted(M, {{12, 'U'}, {17, 'A'}}), 22, 1, 0, 0, 12, 17, 22, 12, 17, 22, 9, 0,
         "iso_multi_snp offset_site"},
        {"positions 9, 12 and 17", substituted(M, {{9, 'C'}, {12, 'U'}, {17, 'A'}}), 22, 1, 0, 0, 9, 12, 17, 9, 12,
         17, 31, 0, "iso_multi_snp iso_3p offset_site"},
        {"positions 12 and 13", substituted(M, {{12, 'U'}, {13, 'U'}}), 22, 1, 0, 0, 12, 12, 12, 12, 12, 12, 45, 0,
         "iso_3p offset_site"},
        {"positions 0 and 12", substituted(M, {{0, 'A'}, {12, 'U'}}), 22, 1, 1, 1, 11, 21, 21, 12, 22, 22, 9, 0,
         "iso_multi_snp offset_site"},
        {"last position A to C", substituted(M, {{21, 'C'}}), 22, 1, 0, 0, 21, 21, 21, 21, 21, 21, 4, 0,
         "iso_3p offset_site suppl_compens_site central_site"},
        {"first 20 symbols", M.substr(0, 20), 20, 1, 0, 0, 20, 20, 20, 20, 20, 20, 9, 2,
         "iso_3p offset_site suppl_compens_site central_site"},
        {"followed by AA", M + "AA", 24, 1, 0, 0, 22, 22, 22, 22, 22, 22, 0, -2,
         "iso_3p offset_site suppl_compens_site central_site"},
        {"first 11 symbols", M.substr(0, 11), 11, 1, 0, 0, 11, 11, 11, 11, 11, 11, 50, 11,
         "iso_3p offset_site suppl_compens_site"},
        {"GAG followed by the miRNA", "GAG" + M, 25, 4, 0, 3, 22, 22, 22, 22, 22, 22, 0, -3,
         "iso_5p offset_site suppl_compens_site central_site"},
    };
    ASSERT_EQ(14u, rows.size());

    for (worked_row const & row : rows)
    {
        SCOPED_TRACE(row.description);
        ASSERT_EQ(row.tag_length, row.tag.size());
        std::size_t const hit = row.tag.find("CAGGAC");
        ASSERT_EQ(row.hit, hit);

        std::vector<mirna_matched_vet_t> const found = extend_one(M, row.tag, static_cast<uint32_t>(hit));
        ASSERT_EQ(1u, found.size());
        mirna_matched_vet_t const & a = found[0];
        EXPECT_EQ(0u, a.seed_index);
        EXPECT_EQ(0u, a.specie_index);
        EXPECT_EQ(0u, a.mirna_vet_index);
        EXPECT_EQ(row.bm, a.begin_ungapped_mirna);
        EXPECT_EQ(row.bt, a.begin_ungapped_tag);
        EXPECT_EQ(row.bm, a.begin_ungapped_mirna_1);
        EXPECT_EQ(row.bt, a.begin_ungapped_tag_1);
        EXPECT_EQ(row.bm, a.begin_ungapped_mirna_2);
        EXPECT_EQ(row.bt, a.begin_ungapped_tag_2);
        EXPECT_EQ(row.size0, a.size_ungapped);
        EXPECT_EQ(row.size1, a.size_ungapped_1);
        EXPECT_EQ(row.size2, a.size_ungapped_2);
        EXPECT_EQ(row.e0, a.begin_ungapped_mirna + a.size_ungapped);
        EXPECT_EQ(row.e1, a.begin_ungapped_mirna + a.size_ungapped_1);
        EXPECT_EQ(row.e2, a.begin_ungapped_mirna + a.size_ungapped_2);
        EXPECT_EQ(row.score, a.align_score);
        EXPECT_EQ(row.diff, a.mir_tag_size_diff);
        EXPECT_EQ(row.flags, flag_names(a));
    }

    struct rejected_row
    {
        char const * description;
        std::string tag;
    };
    for (rejected_row const & row : {rejected_row{"first 10 symbols (size_ungapped_1 = 10)", M.substr(0, 10)},
                                     rejected_row{"GAGA followed by the miRNA (Bt = 4)", "GAGA" + M}})
    {
        SCOPED_TRACE(row.description);
        std::size_t const hit = row.tag.find("CAGGAC");
        ASSERT_NE(std::string::npos, hit);
        EXPECT_TRUE(extend_one(M, row.tag, static_cast<uint32_t>(hit)).empty());
    }
}

namespace
{
struct boundary_case
{
    char const * description;
    std::string mirna;
    std::string tag;
    uint32_t seed_begin;
    search_parameters parameters;
    std::string expected;  // summary of the one alignment, or "" when rejected
};

search_parameters with(uint32_t search_parameters::*field, uint32_t value)
{
    search_parameters p;
    p.*field = value;
    return p;
}

uint32_t const huge = 4294967295u;
}  // namespace

// Start and length tests at their limits, trimming at sequence ends, and
// parameter values a user can give that fall outside every sequence.
TEST(UngappedExtension, BoundaryParameters)
{
    std::string const exact_full = "Bm/Bt 0/0 sizes 22,22,22 score 0 diff 0 | ";
    std::vector<boundary_case> const cases = {
        {"start at tag_begin - 1 passes", M, "GA" + M, 3, with(&search_parameters::tag_begin, 3),
         "Bm/Bt 0/2 sizes 22,22,22 score 0 diff -2 | iso_5p offset_site suppl_compens_site central_site"},
        {"start at tag_begin is rejected", M, "GA" + M, 3, with(&search_parameters::tag_begin, 2), ""},
        {"tag_begin 0 accepts nothing, even at tag position 0", M, M.substr(1), 0,
         with(&search_parameters::tag_begin, 0), ""},
        {"size_ungapped_1 = min_tag_length + 1 passes", M, M, 1, with(&search_parameters::min_tag_length, 21),
         "Bm/Bt 0/0 sizes 22,22,22 score 0 diff 0 | mirna_exact offset_site suppl_compens_site central_site"},
        {"size_ungapped_1 = min_tag_length is rejected", M, M, 1, with(&search_parameters::min_tag_length, 22), ""},
        {"seed at tag position 0: no left extension", M, M.substr(1, 15), 0, search_parameters(),
         "Bm/Bt 1/0 sizes 15,15,15 score 31 diff 7 | iso_5p iso_3p offset_site suppl_compens_site central_site"},
        {"mismatch on the last tag position is trimmed", M, substituted(M.substr(0, 15), {{14, 'C'}}), 1, search_parameters(),
         "Bm/Bt 0/0 sizes 14,14,14 score 36 diff 7 | iso_3p offset_site"},
        {"mismatch on the last miRNA position is trimmed", M, M.substr(0, 21) + "CGG", 1, search_parameters(),
         "Bm/Bt 0/0 sizes 21,21,21 score 4 diff -2 | iso_3p offset_site suppl_compens_site central_site"},
        {"two adjacent mismatches stop the second extension", M,
         substituted(M, {{12, 'U'}, {17, 'A'}, {18, 'C'}}), 1, search_parameters(),
         "Bm/Bt 0/0 sizes 12,17,17 score 27 diff 0 | iso_snp iso_3p offset_site"},
        {"N matches N", substituted(M, {{15, 'N'}}), substituted(M, {{15, 'N'}}), 1, search_parameters(),
         exact_full + "mirna_exact offset_site suppl_compens_site central_site"},
        {"N matches nothing else", substituted(M, {{15, 'N'}}), M, 1, search_parameters(),
         "Bm/Bt 0/0 sizes 15,22,22 score 4 diff 0 | iso_snp offset_site"},
        {"-l 4294967295 accepts nothing", M, M, 1, with(&search_parameters::min_tag_length, huge), ""},
        {"-b 4294967295 rejects nothing for that reason", M, "GAG" + M, 4, with(&search_parameters::tag_begin, huge),
         "Bm/Bt 0/3 sizes 22,22,22 score 0 diff -3 | iso_5p offset_site suppl_compens_site central_site"},
        {"-ss 12 inside both sequences", M, M, 1, with(&search_parameters::seed_size, 12),
         exact_full + "mirna_exact offset_site suppl_compens_site central_site"},
        {"-ss 12 past the tag end is rejected", M, M.substr(0, 12), 1, with(&search_parameters::seed_size, 12), ""},
        {"-ss 12 past the miRNA end is rejected", M.substr(0, 12), M, 1, with(&search_parameters::seed_size, 12), ""},
        {"seed_size 4294967295 is rejected", M, M, 1, with(&search_parameters::seed_size, huge), ""},
        {"-sb 0", M, M, 0, with(&search_parameters::begin_seed, 0),
         exact_full + "mirna_exact offset_site suppl_compens_site central_site"},
        {"begin_seed 4294967295 does not wrap onto the miRNA", M, M, 1, with(&search_parameters::begin_seed, huge), ""},
        {"seed_begin 4294967295 does not wrap onto the tag", M, M, huge, search_parameters(), ""},
        {"-se 0: every site range lies below the ends", M, M, 1, with(&search_parameters::end_seed, 0),
         exact_full + "mirna_exact offset_site suppl_compens_site central_site"},
        {"-se 0 with E0 inside 5..8", M, substituted(M, {{7, 'U'}}), 1, with(&search_parameters::end_seed, 0),
         "Bm/Bt 0/0 sizes 7,22,22 score 4 diff 0 | iso_snp offset_site"},
        {"end_seed 4294967295: end_seed + 8 does not wrap", M, M, 1, with(&search_parameters::end_seed, huge),
         exact_full + "mirna_exact offset_site suppl_compens_site"},
        {"end_seed equal to E0 clears offset_site", M, M, 1, with(&search_parameters::end_seed, 22),
         exact_full + "mirna_exact suppl_compens_site"},
        {"empty miRNA with seed_size 0 and min_tag_length 0", "", M, 0,
         search_parameters{0, 4, 0, 7, 0, {}}, ""},
    };

    for (boundary_case const & c : cases)
    {
        SCOPED_TRACE(c.description);
        std::vector<mirna_matched_vet_t> const found = extend_one(c.mirna, c.tag, c.seed_begin, c.parameters);
        if (c.expected.empty())
        {
            EXPECT_TRUE(found.empty());
            continue;
        }
        ASSERT_EQ(1u, found.size());
        EXPECT_EQ(c.expected, summary(found[0]));
    }
}

// Every miRNA of the entry is tried in order; each accepted one gets its own
// record carrying the seed, species and miRNA positions it came from.
TEST(UngappedExtension, EachMirnaOfTheEntryInOrder)
{
    std::vector<seed_vet_t> const seed_vet = {
        make_seed("AAAAAA", {}),
        make_seed("CAGGAC", {make_specie("cel", {}),
                             make_specie("hsa", {make_mirna(M, 1), make_mirna(M.substr(0, 10), 2),
                                                 make_mirna(substituted(M, {{19, 'U'}}), 3)})})};
    tag_vet_t tag = make_tag(M);

    ungapped_extension({}, {1, 7}, seed_vet, 1, 1, tag);

    alignment_list const & found = tag.mirna_matched_vet;
    ASSERT_EQ(2u, found.size());
    EXPECT_EQ(1u, found[0].seed_index);
    EXPECT_EQ(1u, found[0].specie_index);
    EXPECT_EQ(0u, found[0].mirna_vet_index);
    EXPECT_EQ("Bm/Bt 0/0 sizes 22,22,22 score 0 diff 0 | mirna_exact offset_site suppl_compens_site central_site",
              summary(found[0]));
    EXPECT_EQ(1u, found[1].seed_index);
    EXPECT_EQ(1u, found[1].specie_index);
    EXPECT_EQ(2u, found[1].mirna_vet_index);
    EXPECT_EQ("Bm/Bt 0/0 sizes 19,22,22 score 4 diff 0 | iso_snp offset_site suppl_compens_site central_site",
              summary(found[1]));
}
