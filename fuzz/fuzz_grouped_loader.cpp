// The sorted-grouped-file loader on arbitrary (hand-edited) files, followed
// by the search, aggregation and writer over a few fixed tags, so that an
// index of any shape is walked by every later stage.
#include "fuzz_support.hpp"
#include "matching/mirna_finder.hpp"
#include "matching/result_aggregation.hpp"
#include "mirna_db/read_mirbase.hpp"
#include "report/output_file_print.hpp"

extern "C" int LLVMFuzzerTestOneInput(uint8_t const * data, std::size_t size)
{
    reset_run_state();
    write_file(fuzz_file("sorted.txt"), std::string(reinterpret_cast<char const *>(data), size));
    read_mirbase(fuzz_file("sorted.txt"));

    for (std::string code : specie_code_vet)
        species_to_check_vet.push_back(char_string(code));
    char const * const tags[] = {"UAGCUUAUCAGACUGAUGUUGA", "AAAAAAAAAAAAAAAAAA", "CAGGACGUAACGGAUCCAGUA", "NNNNNNNNNNNN"};
    uint32_t index = 1;
    for (char const * text : tags)
    {
        tag_vet_t tag;
        tag.tag_sequence = text_to_rna5(text);
        tag.tag_count = index;
        tag.tag_index = index++;
        tag_vet.push_back(tag);
    }
    std::ostringstream quiet;
    std::streambuf * const log = std::cout.rdbuf(quiet.rdbuf());
    mirna_finder(10, 4, 1, 7, 6);
    std::cout.rdbuf(log);
    output_structures_generation();
    output_structures_updating();
    output_file_print(fuzz_file("out"), 14);
    reset_run_state();
    return 0;
}
