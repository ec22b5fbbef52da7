#include "mirna_db/read_mirbase.hpp"

#include <gtest/gtest.h>

#include "core/sequence_text.hpp"
#include "core/test_support.hpp"

namespace
{
std::string as_text(char_string const & s)
{
    return std::string(seqan::begin(s), seqan::end(s));
}

// The seed index as text: one line per seed, "seed: code[index info seq, ...]; ...".
std::string seed_index_text(std::vector<seed_vet_t> const & seed_vet)
{
    std::ostringstream text;
    for (seed_vet_t const & seed : seed_vet)
    {
        text << rna5_to_text(seed.seed_seq) << ":";
        for (specie_vet_t const & species : seed.specie_vet)
        {
            text << " " << as_text(species.specie_code) << "[";
            for (mirna_vet_t const & mirna : species.mirna_vet)
                text << " " << mirna.mirna_index << " " << as_text(mirna.mirna_info) << " "
                     << rna5_to_text(mirna.mirna_seq);
            text << " ]";
        }
        text << "\n";
    }
    return text.str();
}

std::string codes_text(std::vector<std::string> const & specie_code_vet)
{
    std::string text;
    for (std::string const & code : specie_code_vet)
        text += code + ",";
    return text;
}
}  // namespace

TEST(read_mirbase, loads_the_seed_index)
{
    struct load_case
    {
        char const * name;
        std::string file;
        std::string codes;
        std::string index;
    };
    std::vector<load_case> const cases = {
        {"sorted example_fasta (mirbase_file_formatter_test.cpp)",
         "$\tabc\txyz\n"
         "ACCGGN\tabc\tAACCGGNNAACCGGNNAACCGG\t>abc-let-5\n"
         "GCUAGC\tabc\tAGCUAGCUAGCUAGCUAGCUAG\t>abc-miR-10-5p\tUGCUAGCAAAAAAAAAAAAAAA\t>abc-miR-20-3p\n"
         "GCUAGC\txyz\tCGCUAGCUUUUUUUUUUUUUUU\t>xyz-miR-30\n",
         "abc,xyz,",
         "ACCGGN: abc[ 1 >abc-let-5 AACCGGNNAACCGGNNAACCGG ]\n"
         "GCUAGC: abc[ 2 >abc-miR-10-5p AGCUAGCUAGCUAGCUAGCUAG 3 >abc-miR-20-3p UGCUAGCAAAAAAAAAAAAAAA ]"
         " xyz[ 4 >xyz-miR-30 CGCUAGCUUUUUUUUUUUUUUU ]\n"},
        {"species line only gives one empty seed", "$\n", "", ":\n"},
        {"empty file gives one empty seed", "", "", ":\n"},
        {"letters other than ACGU become N", "$\tabc\nACGTAc\tabc\tacgtx\t>abc-1\n", "abc,",
         "ACGNAC: abc[ 1 >abc-1 ACGNN ]\n"},
        {"empty lines skipped, sequence without header, line without species",
         "$\tabc\n\nAAAAAA\tabc\tAAAAAAAA\n\nCCCCCC\n", "abc,",
         "AAAAAA: abc[ 1  AAAAAAAA ]\nCCCCCC: [ ]\n"},
        {"same seed and species twice stays two entries",
         "$\tabc\nAAAAAA\tabc\tAAAAAAA\t>abc-1\nAAAAAA\tabc\tAAAAAAU\t>abc-2\n", "abc,",
         "AAAAAA: abc[ 1 >abc-1 AAAAAAA ] abc[ 2 >abc-2 AAAAAAU ]\n"},
    };
    for (load_case const & c : cases)
    {
        mirna_db_tables mirna_db;
        scratch_dir dir;
        write_file(dir.file("sorted.txt"), c.file);
        EXPECT_EQ(read_mirbase(dir.file("sorted.txt"), output_staging(false), mirna_db), 0) << c.name;
        EXPECT_EQ(codes_text(mirna_db.specie_code_vet), c.codes) << c.name;
        EXPECT_EQ(seed_index_text(mirna_db.seed_vet), c.index) << c.name;
    }
}

TEST(read_mirbase, missing_file_is_reported)
{
    mirna_db_tables mirna_db;
    testing::internal::CaptureStderr();
    EXPECT_EQ(read_mirbase("/nonexistent/sorted.txt", output_staging(false), mirna_db), -2);
    std::string const errors = testing::internal::GetCapturedStderr();
    EXPECT_NE(errors.find("'/nonexistent/sorted.txt': No such file or directory"), std::string::npos)
        << errors;
    EXPECT_TRUE(mirna_db.seed_vet.empty());
}
