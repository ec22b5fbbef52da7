#include <gtest/gtest.h>

#include "export/isomir_description.hpp"

// License plates computed by hand from the rule: 5-mers as two letters of
// ALPH = "BD0EF1HI2JK3LM4NO5PQ6RS7UV8WX9YZ", a shorter last piece of L letters
// as 4 + ... + 4^(L-1) + its value.
TEST(LicensePlate, KnownReads)
{
    struct
    {
        char const * read;
        char const * plate;
    } const cases[] = {
        {"TGAGGTAGTAGGTTGTATAGTT", "iso-22-XKVLRYVPQ"},  // TGAGG = 906 = 28*32+10 -> XK; TT: 4+15 = 19 -> Q
        {"UGAGGUAGUAGGUUGUAUAGUU", "iso-22-XKVLRYVPQ"},  // U is T
        {"A", "iso-1-B"},                                // 0
        {"T", "iso-1-E"},                                // 3
        {"AC", "iso-2-1"},                               // 4 + 1 = 5
        {"GGG", "iso-3-DY"},                             // 4 + 16 + 42 = 62 = 1*32+30
        {"TTTT", "iso-4-KQ"},                            // 84 + 255 = 339 = 10*32+19
        {"AAAAA", "iso-5-BB"},                           // 0
        {"TTTTT", "iso-5-ZZ"},                           // 1023 = 31*32+31
        {"CCCCCA", "iso-6-KRB"},                         // CCCCC = 341 = 10*32+21; A = 0
        {"ACGTACGTAC", "iso-10-ELM5"},                   // ACGTA = 108 = 3*32+12; CGTAC = 433 = 13*32+17
    };
    for (auto const & c : cases)
        EXPECT_EQ(license_plate(c.read), c.plate) << c.read;
}

TEST(LicensePlate, NoPlateForOtherLetters)
{
    EXPECT_EQ(license_plate("ACGTN"), "");
    EXPECT_EQ(license_plate("ACGTACGTAN"), "");
    EXPECT_EQ(license_plate("acgt"), "");
}

// A hand-checked precursor: 5 letters, the mature (22 letters, 1-based
// positions 1-22 at precursor positions 5-26), then "GCAUU".
//   precursor  CCAAA UAGCUUAUCAGACUGAUGUUGA GCAUU
namespace
{
std::string const five_prime = "CCAAA";
std::string const mature = "UAGCUUAUCAGACUGAUGUUGA";
std::string const precursor = five_prime + mature + "GCAUU";
uint64_t const mature_start = 5;

// The mature with the letter at 1-based position `position` changed.
std::string substituted(std::size_t position, char letter)
{
    std::string tag = mature;
    tag[position - 1] = letter;
    return tag;
}
}  // namespace

TEST(DescribeIsomir, EachKindOfChange)
{
    struct
    {
        char const * what;
        std::string tag;
        int64_t start;
        char const * variant;
        char const * cigar;
    } const cases[] = {
        {"the mature", mature, 5, "NA", "22M"},
        {"one letter upstream", "A" + mature, 4, "iso_5p:-1", "23M"},
        {"two letters upstream", "AA" + mature, 3, "iso_5p:-2", "24M"},
        {"one letter downstream", mature.substr(1), 6, "iso_5p:+1", "21M"},
        {"templated one longer", mature + "G", 5, "iso_3p:+1", "23M"},
        {"templated three longer", mature + "GCA", 5, "iso_3p:+3", "25M"},
        {"two shorter", mature.substr(0, 20), 5, "iso_3p:-2", "20M"},
        {"one added letter", mature + "A", 5, "iso_add3p:1", "22MG"},
        {"two added letters", mature + "AA", 5, "iso_add3p:2", "22MGC"},
        {"templated G then added U", mature + "GU", 5, "iso_3p:+1,iso_add3p:1", "23MC"},
        {"added letters on a shorter tag", mature.substr(0, 20) + "CC", 5, "iso_3p:-2,iso_add3p:2", "20MGA"},
        {"substitution at 1", substituted(1, 'A'), 5, "iso_snv", "T21M"},
        {"substitution at 2 (seed)", substituted(2, 'U'), 5, "iso_snv_seed", "MA20M"},
        {"substitution at 7 (seed)", substituted(7, 'C'), 5, "iso_snv_seed", "6MA15M"},
        {"substitution at 8", substituted(8, 'A'), 5, "iso_snv_central_offset", "7MT14M"},
        {"substitution at 9", substituted(9, 'A'), 5, "iso_snv_central", "8MC13M"},
        {"substitution at 12", substituted(12, 'U'), 5, "iso_snv_central", "11MA10M"},
        {"substitution at 13", substituted(13, 'A'), 5, "iso_snv_central_supp", "12MC9M"},
        {"substitution at 17", substituted(17, 'C'), 5, "iso_snv_central_supp", "16MT5M"},
        {"substitution at 18", substituted(18, 'A'), 5, "iso_snv", "17MG4M"},
        {"substitution at 21", substituted(21, 'C'), 5, "iso_snv", "20MGM"},
        {"two in the seed (3 and 4)", "UAUA" + mature.substr(4), 5, "iso_snv_seed", "2MGC18M"},
        {"shift, substitution and addition", "G" + substituted(9, 'A') + "C", 4,
         "iso_5p:-1,iso_add3p:1,iso_snv,iso_snv_central", "A8MC13MG"},
        {"letters past the precursor's end", mature + "GCAUUAA", 5, "iso_3p:+5,iso_add3p:2", "27MII"},
        {"letters before the precursor's first", "GA" + precursor.substr(0, 5) + mature, -2,
         "iso_5p:-5,iso_add5p:2", "II27M"},
        {"before the first, a substitution and a tail", "U" + five_prime + substituted(9, 'A') + "C", -1,
         "iso_5p:-5,iso_add3p:1,iso_add5p:1,iso_snv_central", "I13MC13MG"},
    };
    for (auto const & c : cases)
    {
        isomir_description const d = describe_isomir(c.tag, precursor, c.start, mature_start, mature.size());
        EXPECT_EQ(d.variant, c.variant) << c.what;
        EXPECT_EQ(d.cigar, c.cigar) << c.what;
    }
}

TEST(DnaLetters, UBecomesT)
{
    EXPECT_EQ(dna_letters("UAGCUN"), "TAGCTN");
}
