#include "reads/read_trimming.hpp"

#include <gtest/gtest.h>

// The cases of the read layout that generated reads rarely reach.
TEST(trim_read, fates_at_the_edges_of_the_layout)
{
    std::string const illumina = "TGGAATTCTCGGGTGCCAAGG";
    std::string const insert = "TAGCTTATCAGACTGATGTTGA";  // 22 letters
    std::string const let7 = "TGAGGTAGTAGGTTGTATAGTT";
    trim_settings plain;
    plain.layout.adapter = illumina;
    trim_settings wildcard = plain;
    wildcard.layout.adapter = "TGGAANTCTCGGGTGCCAAGG";
    trim_settings nextflex = plain;
    nextflex.layout = *find_kit_layout("nextflex");
    trim_settings umi = plain;
    umi.layout = *find_kit_layout("qiaseq");
    trim_settings poly_a = plain;
    poly_a.layout = *find_kit_layout("polya");
    std::string const neb = poly_a.layout.adapter;
    trim_settings untrimmed;
    untrimmed.min_insert = 1;
    untrimmed.max_insert = 100;

    struct trim_case
    {
        char const * name;
        trim_settings const & settings;
        std::string read;
        read_fate fate;
        std::string insert;  // when kept
        std::string umi;
    };
    std::vector<trim_case> const cases = {
        {"three adapter letters at the end are enough", plain, insert + "TGG", read_fate::kept, insert, ""},
        {"two are not: no adapter", plain, insert + "TG", read_fate::no_adapter, "", ""},
        {"read N matches no adapter letter", plain, insert + "TGNAA", read_fate::no_adapter, "", ""},
        {"adapter N matches read N and any letter", wildcard, insert + "TGGAANTC", read_fate::kept, insert, ""},
        {"one error in ten aligned letters", plain, insert + "TGGAATACTC", read_fate::kept, insert, ""},
        {"a deletion in the adapter", plain, insert + "TGGATTCTCGGGTGCCAAGG", read_fate::kept, insert, ""},
        {"only the first occurrence is removed", plain, insert + illumina + insert + illumina, read_fate::kept,
         insert, ""},
        {"an adapter with two errors far before an exact one is the one removed", plain,
         insert + "TGGAATTCTAGGGTGCCTAGG" + "ACGTACGTACGT" + illumina, read_fate::kept, insert, ""},
        {"adapter at the first letter: a dimer", plain, illumina + "ACGT", read_fate::adapter_dimer, "", ""},
        {"insert of 14 letters", plain, insert.substr(0, 14) + illumina, read_fate::too_short, "", ""},
        {"random bases cut from both ends", nextflex, "ACGT" + insert + "TTTT" + illumina, read_fate::kept, insert,
         ""},
        {"nothing left after the cuts: a dimer", nextflex, "ACGTTTTT" + illumina, read_fate::adapter_dimer, "", ""},
        {"the UMI after the adapter", umi, insert + "AACTGTAGGCACCATCAAT" + "ACGTACGTACGT" + "AGATC",
         read_fate::kept, insert, "ACGTACGTACGT"},
        {"one base short of the UMI", umi, insert + "AACTGTAGGCACCATCAAT" + "ACGTACGTACG", read_fate::umi_too_short,
         "", ""},
        {"poly-A tail between the insert and the adapter", poly_a, "GCA" + let7 + "AAAAAAAAAAAA" + neb,
         read_fate::kept, let7, ""},
        {"a poly-A tail with a wrong letter is still the tail", poly_a, "GCA" + let7 + "AAAAAGAAAAAAA" + neb,
         read_fate::kept, let7, ""},
        {"reads that run out in the poly-A tail", poly_a, "GCA" + let7 + "AAAAAAAAAAAA", read_fate::kept, let7, ""},
        {"an insert's own last A goes with the tail", poly_a, "GCA" + insert + "AAAAAAAA" + neb, read_fate::kept,
         insert.substr(0, 21), ""},
        {"no adapter and no poly-A tail", poly_a, "GCA" + let7 + "CCGT", read_fate::no_adapter, "", ""},
        {"no adapter asked for: an empty read is too short", untrimmed, "", read_fate::too_short, "", ""},
        {"no adapter asked for: the read is the insert", untrimmed, insert + illumina, read_fate::kept,
         insert + illumina, ""},
    };
    for (trim_case const & c : cases)
    {
        SCOPED_TRACE(c.name);
        read_trimmer const trimmer = make_read_trimmer(c.settings);
        trimmed_read const trimmed = trim_read(trimmer, c.read);
        EXPECT_EQ(static_cast<int>(trimmed.fate), static_cast<int>(c.fate));
        EXPECT_EQ(std::string(trimmed.insert), c.insert);
        EXPECT_EQ(std::string(trimmed.umi), c.umi);
    }
}
