#pragma once
#include <cstdint>
#include <vector>

#include "core/records.hpp"
#include "core/search_parameters.hpp"

// The letters of one miRNA an extension is tried with, and its position in
// the miRNA list of its species entry.
struct mirna_letters_t
{
    seqan::Rna5 const * letters = nullptr;
    uint32_t length = 0;
    uint32_t mirna_vet_index = 0;
};

// The letters of `mirna`, at position mirna_vet_index of its species entry.
mirna_letters_t letters_of(mirna_vet_t const & mirna, uint32_t mirna_vet_index);

// Tries every miRNA of species entry specie_index of seed seed_index on
// the tag's letters, from the seed occurrence in the tag (its end is taken
// as seed_begin + seed_size), and appends each accepted, classified
// alignment to `found`. Returns 0.
int32_t ungapped_extension(search_parameters const & parameters, seed_in_tag_vet_t const & occurrence,
                           std::vector<seed_vet_t> const & seed_vet, uint32_t seed_index, uint32_t specie_index,
                           tag_letters const & tag, std::vector<mirna_matched_vet_t> & found);

// The same, with the miRNAs of the entry given as [first, last) (their
// letters gathered by the caller, in the order of the entry).
int32_t ungapped_extension(search_parameters const & parameters, seed_in_tag_vet_t const & occurrence,
                           mirna_letters_t const * first, mirna_letters_t const * last, uint32_t seed_index,
                           uint32_t specie_index, tag_letters const & tag, std::vector<mirna_matched_vet_t> & found);

// The same, the alignments appended to the tag's mirna_matched_vet.
int32_t ungapped_extension(search_parameters const & parameters, seed_in_tag_vet_t const & occurrence,
                           std::vector<seed_vet_t> const & seed_vet, uint32_t seed_index, uint32_t specie_index,
                           tag_vet_t & tag);
