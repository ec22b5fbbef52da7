#include "core/run_state.hpp"

#include <string>

#include <gtest/gtest.h>

#include "core/sequence_text.hpp"

// On any number of threads, every table ends empty, with the blocks its tags
// held released once (the sanitizer build sees a double or a missed release).
TEST(FreeAllStructures, EmptiesTablesAndKeepsCounters)
{
    for (uint32_t threads : {1u, 2u, 3u})
    {
        SCOPED_TRACE(std::to_string(threads) + " threads");
        run_state state;
        state.mirna_db.seed_vet.resize(2);
        state.mirna_db.specie_code_vet.push_back("hsa");
        state.mirna_db.species_to_check_vet.push_back(char_string("hsa"));
        std::vector<tag_vet_t> & tags = state.tags.tag_vet;
        tags.resize(5);
        for (tag_vet_t & tag : tags)
        {
            tag.tag_sequence = text_to_rna5("UGAGGUAGUAGGUUGUAUAGUU");
            tag.tag_quality = "\xC3\xA8";
            tag.mirna_matched_vet.resize(2);
        }
        state.results.result_mirna_uniq_ambig_vet.resize(1);
        state.results.result_tag_uniq_vet = tags;
        state.results.result_tag_ambig_vet.assign(tags.begin(), tags.begin() + 1);
        state.totals.uniq_mapped_total_tags_count = 7;
        state.totals.ambigue_selected_mapped_total_tag_count = 5;
        free_all_structures(state, threads);
        EXPECT_TRUE(state.mirna_db.seed_vet.empty() && state.mirna_db.specie_code_vet.empty()
                    && state.mirna_db.species_to_check_vet.empty() && tags.empty()
                    && state.results.result_mirna_uniq_ambig_vet.empty()
                    && state.results.result_tag_uniq_vet.empty() && state.results.result_tag_ambig_vet.empty());
        EXPECT_EQ(state.totals.uniq_mapped_total_tags_count, 7u);
        EXPECT_EQ(state.totals.ambigue_selected_mapped_total_tag_count, 5u);
    }
}
