// Builders for the matching unit tests: a seed index and tags made in memory.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "core/run_state.hpp"
#include "core/sequence_text.hpp"

inline mirna_vet_t make_mirna(std::string const & sequence, uint32_t mirna_index,
                              std::string const & info = ">hsa-test")
{
    mirna_vet_t mirna;
    mirna.mirna_seq = text_to_rna5(sequence);
    mirna.mirna_info = info;
    mirna.mirna_index = mirna_index;
    return mirna;
}

inline specie_vet_t make_specie(std::string const & code, std::vector<mirna_vet_t> mirnas)
{
    specie_vet_t specie;
    specie.specie_code = code;
    specie.mirna_vet = std::move(mirnas);
    return specie;
}

inline seed_vet_t make_seed(std::string const & seed, std::vector<specie_vet_t> species)
{
    seed_vet_t entry;
    entry.seed_seq = text_to_rna5(seed);
    entry.specie_vet = std::move(species);
    return entry;
}

inline tag_vet_t make_tag(std::string const & sequence, uint64_t count = 1, uint32_t index = 1)
{
    tag_vet_t tag;
    tag.tag_sequence = text_to_rna5(sequence);
    tag.tag_quality = "\xc3\xa8";
    tag.tag_count = count;
    tag.tag_index = index;
    return tag;
}

// A seed index of the given seeds, searched for the given species codes.
inline mirna_db_tables make_index(std::vector<seed_vet_t> seeds, std::vector<std::string> const & selected)
{
    mirna_db_tables index;
    index.seed_vet = std::move(seeds);
    for (std::string const & code : selected)
        index.species_to_check_vet.push_back(char_string(code));
    return index;
}

// A tag table of the given sequences, one read each, numbered 1, 2, ...
inline tag_table make_tags(std::vector<std::string> const & sequences)
{
    tag_table tags;
    for (std::string const & sequence : sequences)
        tags.tag_vet.push_back(make_tag(sequence, 1, static_cast<uint32_t>(tags.tag_vet.size() + 1)));
    return tags;
}

// The sequence with the given positions replaced.
inline std::string substituted(std::string sequence, std::vector<std::pair<std::size_t, char>> const & changes)
{
    for (auto const & change : changes)
        sequence.at(change.first) = change.second;
    return sequence;
}

// Names of the set flags, derived mirna_exact first, in record order.
inline std::string flag_names(mirna_matched_vet_t const & a)
{
    std::string names;
    auto add = [&](bool set, char const * name) {
        if (!set)
            return;
        if (!names.empty())
            names += ' ';
        names += name;
    };
    add(is_mirna_exact(a), "mirna_exact");
    add(a.iso_5p, "iso_5p");
    add(a.iso_snp, "iso_snp");
    add(a.iso_multi_snp, "iso_multi_snp");
    add(a.iso_3p, "iso_3p");
    add(a.offset_site, "offset_site");
    add(a.suppl_compens_site, "suppl_compens_site");
    add(a.central_site, "central_site");
    return names;
}

// The miRNA the matching tests align tags to (MIRNA_42 of e2e/reference_model.py); its seed CAGGAC sits at position 1.
inline std::string const example_mirna = "UCAGGACGUAACGGAUCCAGUA";
