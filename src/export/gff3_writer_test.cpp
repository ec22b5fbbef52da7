#include <gtest/gtest.h>

#include "core/sequence_text.hpp"
#include "core/test_support.hpp"
#include "core/version.hpp"
#include "export/gff3_writer.hpp"
#include "export/isomir_description.hpp"

namespace
{
std::string const mir21 = "UAGCUUAUCAGACUGAUGUUGA";

mirna_matched_vet_t alignment(uint32_t specie_index, uint32_t begin_mirna, uint32_t begin_tag)
{
    mirna_matched_vet_t a;
    a.specie_index = specie_index;
    a.begin_ungapped_mirna = begin_mirna;
    a.begin_ungapped_tag = begin_tag;
    return a;
}

tag_vet_t tag(uint32_t index, std::string const & letters, uint64_t count, std::vector<mirna_matched_vet_t> alignments)
{
    tag_vet_t t;
    t.tag_index = index;
    t.tag_sequence = text_to_rna5(letters);
    t.tag_count = count;
    t.mirna_matched_vet = std::move(alignments);
    return t;
}

// One seed with a human and a mouse miR-21, and four mapped tags: the mature
// (on both, ambiguous), one with N, one with an added A, one starting a
// letter upstream.
void fill_tables(std::vector<seed_vet_t> & seed_vet, result_tables & results)
{
    seed_vet.resize(1);
    seed_vet[0].seed_seq = text_to_rna5("AGCUUA");
    seed_vet[0].specie_vet.resize(2);
    seed_vet[0].specie_vet[0].specie_code = "hsa";
    seed_vet[0].specie_vet[0].mirna_vet.push_back(
        {text_to_rna5(mir21), ">hsa-miR-21-5p MIMAT0000076 Homo sapiens miR-21-5p", 1});
    seed_vet[0].specie_vet[1].specie_code = "mmu";
    seed_vet[0].specie_vet[1].mirna_vet.push_back(
        {text_to_rna5(mir21), ">mmu-miR-21a-5p MIMAT0000530 Mus musculus miR-21a-5p", 2});
    results.result_tag_ambig_vet.push_back(tag(1, mir21, 5, {alignment(0, 0, 0), alignment(1, 0, 0)}));
    results.result_tag_uniq_vet = {tag(2, "UAGCUUAUCNGACUGAUGUUGA", 4, {alignment(0, 0, 0)}),
                                   tag(3, mir21 + "A", 7, {alignment(0, 0, 0)}),
                                   tag(4, "A" + mir21, 9, {alignment(0, 0, 1)})};
    results.assigned = {1};  // both alignments score 0: assigned to the first
}

// The export of those tables, files under their final names.
int32_t export_tables(std::string const & gff_path, std::string const & hairpin_path, std::string const & tag_file,
                      gff3_records records = gff3_records::counted)
{
    std::vector<seed_vet_t> seed_vet;
    result_tables results;
    fill_tables(seed_vet, results);
    output_staging outputs(false);
    gff3_request request;
    request.path = gff_path;
    request.hairpin_path = hairpin_path;
    request.sample = "sample_1.reads";
    request.tag_file = tag_file;
    request.records = records;
    return gff3_export(request, seed_vet, results, outputs);
}

// hsa-mir-21b, first in the file, holds the mature at letter 1; hsa-mir-21,
// which the mature's name points to, at letter 6.
std::string const hairpins = ">hsa-mir-21b MI9999999\nUAGCUUAUCAGACUGAUGUUGAUU\n"
                             ">hsa-mir-21 MI0000077 Homo sapiens miR-21 stem-loop\n"
                             "CCAAAUAGCUUAUCAGACUGAUGUUGAGCAUU\n";

std::string record(std::string const & columns, std::string const & letters, std::string const & name,
                   std::string const & parent, std::string const & variant, std::string const & cigar,
                   std::string const & rest)
{
    std::string const read = dna_letters(letters);
    return columns + "\t.\t+\t.\tRead=" + read + "; UID=" + license_plate(read) + "; Name=" + name +
           "; Parent=" + parent + "; Variant=" + variant + "; Cigar=" + cigar + "; " + rest + "\n";
}
}  // namespace

TEST(Gff3Export, EachCountedTagOnceOnThePrecursorItsNamePointsTo)
{
    scratch_dir dir;
    write_file(dir.file("hairpin.fa"), hairpins);
    std::string const header = std::string("## mirGFF3. VERSION 1.2\n") +
                               "## source-ontology: miRBase doi:10.25504/fairsharing.hmgte8\n"
                               "## TOOLS: mirsight " + mirsight_version + "\n"
                               "## COLDATA: sample_1.reads\n";
    // By default: the ambiguous mature (assigned to the human miRNA, listed
    // first among equal scores), the added A and the upstream letter, each
    // once on hsa-mir-21; the tag with N has no UID and no record.
    testing::internal::CaptureStderr();
    int32_t status = export_tables(dir.file("out.gff"), dir.file("hairpin.fa"), "in/sample_1.reads.txt");
    std::string errors = testing::internal::GetCapturedStderr();
    ASSERT_EQ(status, 0) << errors;
    std::string const counted =
        record("hsa-mir-21\tmiRBase\tref_miRNA\t6\t27", mir21, "hsa-miR-21-5p", "hsa-mir-21", "NA", "22M",
               "Expression=5; Filter=Pass; Hits=2") +
        record("hsa-mir-21\tmiRBase\tisomiR\t6\t28", mir21 + "A", "hsa-miR-21-5p", "hsa-mir-21", "iso_add3p:1",
               "22MG", "Expression=7; Filter=Pass; Hits=1") +
        record("hsa-mir-21\tmiRBase\tisomiR\t5\t27", "A" + mir21, "hsa-miR-21-5p", "hsa-mir-21", "iso_5p:-1",
               "23M", "Expression=9; Filter=Pass; Hits=1");
    EXPECT_EQ(read_file(dir.file("out.gff")), header + counted);
    EXPECT_NE(errors.find("in/sample_1.reads.txt: 1 mapped tag(s) hold N"), std::string::npos) << errors;

    // Every alignment and locus: the other precursor as other_locus, the
    // mouse alignment (no mouse precursor: warned about once) as ambiguous.
    testing::internal::CaptureStderr();
    status = export_tables(dir.file("all.gff"), dir.file("hairpin.fa"), "in/sample_1.reads.txt",
                           gff3_records::every_alignment);
    errors = testing::internal::GetCapturedStderr();
    ASSERT_EQ(status, 0) << errors;
    std::string const all = read_file(dir.file("all.gff"));
    EXPECT_NE(all.find(record("hsa-mir-21b\tmiRBase\tref_miRNA\t1\t22", mir21, "hsa-miR-21-5p", "hsa-mir-21b", "NA",
                              "22M", "Expression=5; Filter=other_locus; Hits=2")),
              std::string::npos) << all;
    EXPECT_NE(all.find(record("hsa-mir-21b\tmiRBase\tisomiR\t1\t23", mir21 + "A", "hsa-miR-21-5p", "hsa-mir-21b",
                              "iso_add3p:1", "22MT", "Expression=7; Filter=other_locus; Hits=1")),
              std::string::npos) << all;
    // The upstream letter lies before hsa-mir-21b's first: an addition there.
    EXPECT_NE(all.find(record("hsa-mir-21b\tmiRBase\tisomiR\t1\t22", "A" + mir21, "hsa-miR-21-5p", "hsa-mir-21b",
                              "iso_add5p:1", "I22M", "Expression=9; Filter=other_locus; Hits=1")),
              std::string::npos) << all;
    EXPECT_EQ(std::count(all.begin(), all.end(), '\n'), 4 + 6) << all;
    EXPECT_NE(errors.find("mature miRNA 'mmu-miR-21a-5p' is found in no precursor of species 'mmu'"),
              std::string::npos) << errors;
    EXPECT_EQ(errors.find("mmu-miR-21a-5p"), errors.rfind("mmu-miR-21a-5p")) << errors;
}

// Rows by sequence in byte order, also where two sequences share their
// first 21 letters (the mature and the mature with an added A) and where
// one holds N.
TEST(IsomirTable, RowsInSequenceOrder)
{
    scratch_dir dir;
    std::vector<seed_vet_t> seed_vet;
    result_tables results;
    fill_tables(seed_vet, results);
    output_staging outputs(false);
    ASSERT_EQ(write_isomir_table(dir.file("isomirs.tsv"), seed_vet, results, nullptr, outputs), 0);
    std::string const table = read_file(dir.file("isomirs.tsv"));
    std::string sequences;
    for (std::size_t line = 0; line < table.size(); line = table.find('\n', line) + 1)
        sequences += table.substr(line, table.find('\t', line) - line) + " ";
    std::string const dna = dna_letters(mir21);
    EXPECT_EQ(sequences, "sequence A" + dna + " " + dna + " " + dna + "A TAGCTTATCNGACTGATGTTGA ") << table;
}

TEST(Gff3Export, ErrorsNameTheFile)
{
    scratch_dir dir;
    write_file(dir.file("hairpin.fa"), hairpins);
    testing::internal::CaptureStderr();
    EXPECT_EQ(export_tables(dir.file("no/out.gff"), dir.file("hairpin.fa"), "t.txt"), -1);
    EXPECT_EQ(export_tables(dir.file("out.gff"), dir.file("missing.fa"), "t.txt"), -2);
    std::string const errors = testing::internal::GetCapturedStderr();
    EXPECT_NE(errors.find("cannot create mirGFF3 file '" + dir.file("no/out.gff") + "'"), std::string::npos)
        << errors;
    EXPECT_NE(errors.find("cannot open hairpin file '" + dir.file("missing.fa") + "'"), std::string::npos)
        << errors;

    // A full disk: /dev/full takes the file but refuses every write.
    testing::internal::CaptureStderr();
    EXPECT_EQ(export_tables("/dev/full", dir.file("hairpin.fa"), "t.txt"), -1);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("cannot write mirGFF3 file '/dev/full'"),
              std::string::npos);
}

TEST(Gff3Header, Source)
{
    std::vector<seed_vet_t> seed_vet;
    result_tables results;
    fill_tables(seed_vet, results);
    std::vector<hairpin_record> precursors(1);
    precursors[0] = {"hsa-mir-21", "MI0000077", "hsa", mir21};
    EXPECT_EQ(gff3_source(precursors, seed_vet), "miRBase");
    precursors[0].accession = "MIMAT0000077x";
    EXPECT_EQ(gff3_source(precursors, seed_vet), "Custom");
    precursors[0].accession = "MI0000077";
    seed_vet[0].specie_vet[1].mirna_vet[0].mirna_info = ">mmu-miR-21a-5p";
    EXPECT_EQ(gff3_source(precursors, seed_vet), "Custom");
    EXPECT_EQ(gff3_source({}, seed_vet), "Custom");
    EXPECT_EQ(gff3_header("Custom", "s"),
              std::string("## mirGFF3. VERSION 1.2\n## source-ontology: Custom Custom.\n## TOOLS: mirsight ") +
                  mirsight_version + "\n## COLDATA: s\n");
}
