#include <random>

#include <gtest/gtest.h>

#include "core/test_support.hpp"
#include "export/hairpin_file.hpp"
#include "export/precursor_location.hpp"

namespace
{
int32_t read_quietly(std::string const & path, std::vector<hairpin_record> & hairpins, std::string & errors)
{
    testing::internal::CaptureStderr();
    int32_t const status = read_hairpin_file(path, hairpins);
    errors = testing::internal::GetCapturedStderr();
    return status;
}
}  // namespace

TEST(HairpinFile, MultiLineCrlfAndDnaLettersGiveTheSameRecords)
{
    scratch_dir dir;
    write_file(dir.file("plain.fa"), ">hsa-mir-1 MI0000001 Homo sapiens\nCCUAGCUUAUCAGGG\n>mmu-mir-2 MI0000002\nAAACCC\n");
    write_file(dir.file("other.fa"),
               "\r\n>hsa-mir-1\tMI0000001 Homo sapiens\r\nCCTAGC\r\n\r\nttatcaGGG\r\n>mmu-mir-2 MI0000002\r\naaaccc");
    std::vector<hairpin_record> plain, other;
    std::string errors;
    ASSERT_EQ(read_quietly(dir.file("plain.fa"), plain, errors), 0) << errors;
    ASSERT_EQ(read_quietly(dir.file("other.fa"), other, errors), 0) << errors;
    EXPECT_EQ(errors, "");
    ASSERT_EQ(plain.size(), 2u);
    ASSERT_EQ(other.size(), 2u);
    for (std::size_t i = 0; i < 2; ++i)
    {
        EXPECT_EQ(other[i].name, plain[i].name);
        EXPECT_EQ(other[i].accession, plain[i].accession);
        EXPECT_EQ(other[i].specie_code, plain[i].specie_code);
        EXPECT_EQ(other[i].sequence, plain[i].sequence);
    }
    EXPECT_EQ(plain[0].name, "hsa-mir-1");
    EXPECT_EQ(plain[0].accession, "MI0000001");
    EXPECT_EQ(plain[0].specie_code, "hsa");
    EXPECT_EQ(plain[0].sequence, "CCUAGCUUAUCAGGG");
    EXPECT_EQ(plain[1].sequence, "AAACCC");
    EXPECT_EQ(hairpin_letters("ACGTUtuxN-"), "ACGUUUUNNN");
}

TEST(HairpinFile, BadRecordsAndBadFiles)
{
    scratch_dir dir;
    write_file(dir.file("skips.fa"), ">hsa-a MI1\n>\nACGU\n> hsa-b\nACGU\n>hsa-c MI3\nGGG\n");
    std::vector<hairpin_record> hairpins;
    std::string errors;
    EXPECT_EQ(read_quietly(dir.file("skips.fa"), hairpins, errors), 0);
    ASSERT_EQ(hairpins.size(), 1u);
    EXPECT_EQ(hairpins[0].name, "hsa-c");
    EXPECT_NE(errors.find("skips.fa:1: precursor header '>hsa-a MI1' has no sequence"), std::string::npos) << errors;
    EXPECT_NE(errors.find("skips.fa:2: precursor header '>' has no name"), std::string::npos) << errors;
    EXPECT_NE(errors.find("skips.fa:4: precursor header '> hsa-b' has no name"), std::string::npos) << errors;

    write_file(dir.file("garbage.fa"), "\nACGU\n>hsa-a\nACGU\n");
    hairpins.clear();
    EXPECT_EQ(read_quietly(dir.file("garbage.fa"), hairpins, errors), -1);
    EXPECT_NE(errors.find("garbage.fa:2: text before the first FASTA header"), std::string::npos) << errors;

    EXPECT_EQ(read_quietly(dir.file("missing.fa"), hairpins, errors), -2);
    EXPECT_NE(errors.find("cannot open hairpin file '" + dir.file("missing.fa") + "'"), std::string::npos);
    EXPECT_EQ(read_quietly(dir.path(), hairpins, errors), -2);
}

TEST(PrecursorLocation, SameSpeciesOnlyLeftmostOccurrenceFileOrder)
{
    std::vector<hairpin_record> hairpins(4);
    hairpins[0] = {"hsa-mir-a", "MI1", "hsa", "GGUAGCUUAGCUU"};
    hairpins[1] = {"mmu-mir-a", "MI2", "mmu", "UAGCUU"};
    hairpins[2] = {"hsa-mir-b", "MI3", "hsa", "CCCCC"};
    hairpins[3] = {"hsa-mir-c", "MI4", "hsa", "UAGCUUA"};
    precursor_catalogue const catalogue = make_precursor_catalogue(hairpins);

    std::vector<precursor_site> const sites = locate_mature(catalogue, "UAGCUU", "hsa");
    ASSERT_EQ(sites.size(), 2u);
    EXPECT_EQ(sites[0].hairpin, 0u);
    EXPECT_EQ(sites[0].position, 2u);
    EXPECT_EQ(sites[1].hairpin, 3u);
    EXPECT_EQ(sites[1].position, 0u);

    EXPECT_EQ(locate_mature(catalogue, "UAGCUU", "mmu").size(), 1u);
    EXPECT_TRUE(locate_mature(catalogue, "UAGCUU", "rno").empty());
    EXPECT_TRUE(locate_mature(catalogue, "UAGCUUAC", "hsa").empty());
    EXPECT_TRUE(locate_mature(catalogue, "NAGCUU", "hsa").empty());  // N matches only N
}

// Stretches long enough for the prefix lookup, with N anywhere in the
// mature (an N matches only an N): the same sites as a scan of every
// precursor of the species.
TEST(PrecursorLocation, SameSitesAsAScanWithNAnywhere)
{
    std::mt19937 random(7);
    auto letter = [&](bool with_n) { return "ACGUN"[random() % (with_n ? 5 : 4)]; };
    std::vector<hairpin_record> hairpins;
    for (int i = 0; i < 40; ++i)
    {
        std::string sequence;
        for (int j = 0; j < 70; ++j)
            sequence += letter(random() % 20 == 0);
        if (i % 4 == 1)  // the same stretch twice in one precursor
            sequence += sequence.substr(10, 25);
        hairpins.push_back({"p" + std::to_string(i), "MI" + std::to_string(i), i % 5 == 0 ? "mmu" : "hsa", sequence});
    }
    precursor_catalogue const catalogue = make_precursor_catalogue(hairpins);
    for (int trial = 0; trial < 400; ++trial)
    {
        std::string const & from = hairpins[random() % hairpins.size()].sequence;
        std::string mature = from.substr(random() % 40, 12 + random() % 14);
        for (int n = static_cast<int>(random() % 3); n > 0; --n)
            mature[random() % mature.size()] = letter(true);
        std::vector<std::pair<std::size_t, std::size_t>> expected, found;
        for (std::size_t h = 0; h < hairpins.size(); ++h)
            if (hairpins[h].specie_code == "hsa" && hairpins[h].sequence.find(mature) != std::string::npos)
                expected.emplace_back(h, hairpins[h].sequence.find(mature));
        for (precursor_site const & site : locate_mature(catalogue, mature, "hsa"))
            found.emplace_back(site.hairpin, site.position);
        EXPECT_EQ(found, expected) << mature;
    }
}
