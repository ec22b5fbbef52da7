// Seed search in one pass over the tags: the selected seeds are hashed once
// into a lookup table, then each tag's seed-long windows are walked from left
// to right. The alignments each tag receives, and their order, are those of
// the one-pass-per-seed search.
#pragma once

#include <cstdint>
#include <unordered_map>
#include <vector>

#include "core/run_state.hpp"
#include "core/search_parameters.hpp"
#include "matching/ungapped_extension.hpp"

// One search pass: species entry specie_index of seed seed_index, searched
// once for every selected code equal to its species code.
struct seed_pass_t
{
    uint32_t seed_index = 0;
    uint32_t specie_index = 0;
};

// The seeds that have at least one pass, indexed by their q-gram hash.
struct seed_lookup_t
{
    uint32_t seed_size = 0;
    // Every pass, in seed, species entry, selected code order.
    std::vector<seed_pass_t> passes;
    // Seeds with passes, in ascending seed index ("searched seeds"); the
    // passes of searched seed s are passes[first_pass[s]] .. passes[first_pass[s + 1] - 1].
    std::vector<uint32_t> searched_seed_index;
    std::vector<uint32_t> first_pass;
    // Searched seeds that share a hash, linked in ascending order; no_seed ends a chain.
    std::vector<uint32_t> next_with_same_hash;
    // Direct table (5^seed_size entries): the first searched seed of each
    // hash, or no_seed. Used when it fits, else the hash table below is.
    std::vector<uint32_t> direct_table;
    std::unordered_map<uint64_t, uint32_t> hash_table;
    // True when equal hashes always mean equal windows (5^seed_size fits in
    // 64 bits); otherwise every hit is compared symbol by symbol.
    bool exact_hash = true;
    // The miRNAs of every pass, in the order of their species entry, with
    // their letters copied one after the other into mirna_letter_store: the
    // extensions read this small table rather than the whole seed index.
    // Those of pass p are pass_mirnas[first_pass_mirna[p]] ..
    // pass_mirnas[first_pass_mirna[p + 1] - 1].
    std::vector<seqan::Rna5> mirna_letter_store;
    std::vector<mirna_letters_t> pass_mirnas;
    std::vector<uint32_t> first_pass_mirna;
};

constexpr uint32_t no_seed = UINT32_MAX;

// True when both species codes have the same length and the same bytes.
bool same_specie_code(char_string const & a, char_string const & b);

// Every (seed, species entry, selected code) pass over the tags, in that
// order, from seed_vet and species_to_check_vet. Empty seeds have none.
std::vector<seed_pass_t> list_seed_passes(mirna_db_tables const & mirna_db);

// True when every seed with a pass is seed_size long, which the lookup needs.
bool lookup_applies(std::vector<seed_vet_t> const & seed_vet, std::vector<seed_pass_t> const & passes,
                    uint32_t seed_size);

// The lookup over the seeds of `passes` (all seed_size long), with a direct
// table when 5^seed_size entries take at most `direct_table_limit` slots.
seed_lookup_t build_seed_lookup(std::vector<seed_vet_t> const & seed_vet, std::vector<seed_pass_t> passes,
                                uint32_t seed_size,
                                uint64_t direct_table_limit = uint64_t{1} << 24);

// Searches the tags of tag_vet in [first_tag, last_tag) and calls
// ungapped_extension for the leftmost occurrence of each searched seed, pass
// by pass in the order of lookup.passes (`seed_vet` is the one the lookup
// was built from). The range's alignments are put into blocks appended to
// `blocks`, one tag's after the other's, and each tag views its own there
// (a tag that had alignments before has the new ones appended to its list
// instead).
void search_tag_range(seed_lookup_t const & lookup, search_parameters const & parameters,
                      std::vector<seed_vet_t> const & seed_vet, std::vector<tag_vet_t> & tag_vet,
                      uint32_t first_tag, uint32_t last_tag, std::vector<std::vector<mirna_matched_vet_t>> & blocks);

// Tags whose alignments are gathered before they are stored in a block:
// the working copy stays small next to the blocks.
constexpr uint32_t tags_per_alignment_block = 16384;

// Moves `alignments`, those found in tags [first_tag, last_tag) one tag's
// after the other's (tag t's end at ends[t - first_tag]), into a new block
// of `blocks`, which the tags then view (a tag that had alignments before
// has the new ones appended to its list instead), and clears them.
void store_alignment_block(std::vector<tag_vet_t> & tag_vet, uint32_t first_tag, uint32_t last_tag,
                           std::vector<mirna_matched_vet_t> & alignments, std::vector<uint32_t> const & ends,
                           std::vector<std::vector<mirna_matched_vet_t>> & blocks);

// search_tag_range over all of tags.tag_vet, in short pieces searched by
// thread_count threads (0 counts as 1); the pieces' blocks are added to
// tags.alignment_blocks.
void search_all_tags(seed_lookup_t const & lookup, search_parameters const & parameters,
                     std::vector<seed_vet_t> const & seed_vet, tag_table & tags, uint32_t thread_count);
