#include "core/run_state.hpp"

#include <new>
#include <string>

#include <gtest/gtest.h>

#include "core/sequence_text.hpp"

// Every table and store ends empty, tags viewing the stores and tags with
// blocks of their own alike, each block released once (the sanitizer build
// sees a double or a missed release).
TEST(FreeAllStructures, EmptiesTablesAndStoresAndKeepsCounters)
{
    run_state state;
    state.mirna_db.seed_vet.resize(2);
    state.mirna_db.specie_code_vet.push_back("hsa");
    state.mirna_db.species_to_check_vet.push_back(char_string("hsa"));
    state.tags.letter_blocks.push_back(allocate_letter_store(8));
    for (int i = 0; i < 8; ++i)
        ::new (static_cast<void *>(state.tags.letter_blocks[0].get() + i)) seqan::Rna5;
    state.tags.alignment_blocks.emplace_back(3);
    std::vector<tag_vet_t> & tags = state.tags.tag_vet;
    tags.resize(5);
    for (std::size_t t = 0; t < tags.size(); ++t)
    {
        tag_vet_t & tag = tags[t];
        tag.tag_quality = "\xC3\xA8";
        if (t % 2 == 0)
        {
            tag.tag_sequence = text_to_rna5("UGAGGUAGUAGGUUGUAUAGUU");
            tag.mirna_matched_vet.resize(2);
        }
        else
        {
            tag.tag_sequence = tag_letters::viewing(state.tags.letter_blocks[0].get(), 8);
            tag.mirna_matched_vet = alignment_list::viewing(state.tags.alignment_blocks[0].data(), 3);
        }
    }
    state.results.result_mirna_uniq_ambig_vet.resize(1);
    state.results.result_tag_uniq_vet = tags;
    state.results.result_tag_ambig_vet.assign(tags.begin(), tags.begin() + 2);
    state.totals.uniq_mapped_total_tags_count = 7;
    state.totals.ambigue_selected_mapped_total_tag_count = 5;
    free_all_structures(state, 2);
    EXPECT_TRUE(state.mirna_db.seed_vet.empty() && state.mirna_db.specie_code_vet.empty()
                && state.mirna_db.species_to_check_vet.empty() && tags.empty()
                && state.tags.letter_blocks.empty() && state.tags.alignment_blocks.empty()
                && state.results.result_mirna_uniq_ambig_vet.empty()
                && state.results.result_tag_uniq_vet.empty() && state.results.result_tag_ambig_vet.empty());
    EXPECT_EQ(state.totals.uniq_mapped_total_tags_count, 7u);
    EXPECT_EQ(state.totals.ambigue_selected_mapped_total_tag_count, 5u);
}

// A copy of a tag that views the stores views the same letters and
// alignments; a tag with letters of its own is copied whole; appending to a
// viewed list gives the tag a list of its own and leaves the store as it was.
TEST(TagRecords, ViewsAreSharedAndOwnBlocksCopied)
{
    std::vector<seqan::Rna5> letters = {seqan::Rna5('A'), seqan::Rna5('C'), seqan::Rna5('G')};
    std::vector<mirna_matched_vet_t> store(2);
    store[0].align_score = 10;
    store[1].align_score = 20;

    tag_vet_t viewing;
    viewing.tag_sequence = tag_letters::viewing(letters.data(), 3);
    viewing.mirna_matched_vet = alignment_list::viewing(store.data(), 2);
    tag_vet_t const shared = viewing;
    EXPECT_EQ(shared.tag_sequence.begin(), letters.data());
    EXPECT_EQ(shared.mirna_matched_vet.begin(), store.data());

    mirna_matched_vet_t added;
    added.align_score = 30;
    viewing.mirna_matched_vet.push_back(added);
    ASSERT_EQ(viewing.mirna_matched_vet.size(), 3u);
    EXPECT_NE(viewing.mirna_matched_vet.begin(), store.data());
    EXPECT_EQ(viewing.mirna_matched_vet[1].align_score, 20);
    EXPECT_EQ(viewing.mirna_matched_vet[2].align_score, 30);
    EXPECT_EQ(store.size(), 2u);
    EXPECT_EQ(shared.mirna_matched_vet.size(), 2u);

    tag_vet_t owning;
    owning.tag_sequence = text_to_rna5("ACGUN");
    tag_vet_t const copied = owning;
    EXPECT_NE(copied.tag_sequence.begin(), owning.tag_sequence.begin());
    EXPECT_EQ(rna5_to_text(copied.tag_sequence), "ACGUN");
    EXPECT_TRUE(copied.tag_sequence == owning.tag_sequence);
}
