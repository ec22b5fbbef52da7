// The sorted-grouped-file loader on arbitrary (hand-edited) files, followed
// by the search, aggregation and writer over a few fixed tags, so that an
// index of any shape is walked by every later stage.
#include <sstream>

#include "core/sequence_text.hpp"
#include "fuzz_support.hpp"
#include "matching/mirna_finder.hpp"
#include "mirna_db/read_mirbase.hpp"
#include "report/ambiguous_selection.hpp"
#include "report/output_file_print.hpp"
#include "report/result_aggregation.hpp"

extern "C" int LLVMFuzzerTestOneInput(uint8_t const * data, std::size_t size)
{
    run_state state;
    output_staging outputs(false);
    write_file(fuzz_file("sorted.txt"), std::string(reinterpret_cast<char const *>(data), size));
    read_mirbase(fuzz_file("sorted.txt"), outputs, state.mirna_db);

    for (std::string code : state.mirna_db.specie_code_vet)
        state.mirna_db.species_to_check_vet.push_back(char_string(code));
    char const * const tags[] = {"UAGCUUAUCAGACUGAUGUUGA", "AAAAAAAAAAAAAAAAAA", "CAGGACGUAACGGAUCCAGUA", "NNNNNNNNNNNN"};
    uint32_t index = 1;
    for (char const * text : tags)
    {
        tag_vet_t tag;
        tag.tag_sequence = text_to_rna5(text);
        tag.tag_count = index;
        tag.tag_index = index++;
        state.tags.tag_vet.push_back(tag);
    }
    std::ostringstream log;
    mirna_finder(search_parameters{}, state.mirna_db, state.tags, state.search, 1, log);
    output_structures_generation(state.mirna_db.seed_vet, state.tags.tag_vet, 1, state.results);
    output_structures_updating(state.results);
    decide_counted_alignments(assignment_rule{}, state.mirna_db.seed_vet, 1, state.results);
    output_file_print(result_paths_with_prefix(fuzz_file("out")), 1, state.mirna_db.seed_vet, state.results,
                      state.totals, outputs);
    return 0;
}
