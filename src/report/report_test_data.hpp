// Small in-memory inputs for the reporting tests.
#pragma once
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "core/records.hpp"
#include "core/sequence_text.hpp"

// A seed index of one seed and one species holding the given miRNAs
// (header text, sequence), numbered 1, 2, ... in that order.
inline std::vector<seed_vet_t> index_of(std::vector<std::pair<std::string, std::string>> const & mirnas)
{
    specie_vet_t species;
    species.specie_code = "abc";
    uint32_t index = 0;
    for (auto const & [info, seq] : mirnas)
    {
        mirna_vet_t mirna;
        mirna.mirna_info = info.c_str();
        mirna.mirna_seq = text_to_rna5(seq);
        mirna.mirna_index = ++index;
        species.mirna_vet.push_back(mirna);
    }
    seed_vet_t seed;
    seed.seed_seq = text_to_rna5("GAGGUAG");
    seed.specie_vet.push_back(species);
    return {seed};
}

// An alignment with the given score on the miRNA at position `mirna` of the
// species list; every other value 0.
inline mirna_matched_vet_t alignment_on(uint32_t mirna, int32_t score)
{
    mirna_matched_vet_t a;
    a.mirna_vet_index = mirna;
    a.align_score = score;
    return a;
}

inline tag_vet_t make_tag(uint32_t index, std::string const & seq, uint64_t count,
                          std::vector<mirna_matched_vet_t> alignments)
{
    tag_vet_t tag;
    tag.tag_sequence = text_to_rna5(seq);
    tag.tag_quality = "\xc3\xa8";
    tag.tag_count = count;
    tag.tag_index = index;
    tag.mirna_matched_vet = std::move(alignments);
    return tag;
}

// A per-miRNA row for the miRNA at position `mirna` of that index, all counters 0.
inline result_mirna_uniq_ambig_vet_t row_for(std::vector<seed_vet_t> const & seed_vet, uint32_t mirna)
{
    mirna_vet_t const & m = seed_vet[0].specie_vet[0].mirna_vet[mirna];
    result_mirna_uniq_ambig_vet_t row;
    row.mirna_seq = m.mirna_seq;
    row.mirna_info = m.mirna_info;
    row.mirna_index = m.mirna_index;
    return row;
}

// The fields of a line, split at tabs (a final line feed is dropped).
inline std::vector<std::string> split_tabs(std::string line)
{
    if (!line.empty() && line.back() == '\n')
        line.pop_back();
    std::vector<std::string> fields;
    std::istringstream in(line);
    std::string field;
    while (std::getline(in, field, '\t'))
        fields.push_back(field);
    return fields;
}
