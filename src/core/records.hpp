// The records every stage reads or writes: the seed index (seed, species,
// miRNA), the tags with their alignments, and the per-miRNA result rows.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <seqan/sequence.h>

using rna_string = seqan::String<seqan::Rna5>;
using char_string = seqan::String<char>;
// The quality text of a tag is always the two bytes of "è": it is kept in the
// record itself rather than in a heap block of its own.
using quality_string = seqan::String<char, seqan::Array<2>>;

// One mature miRNA of the seed index.
struct mirna_vet_t
{
    rna_string mirna_seq;      // whole mature sequence
    char_string mirna_info;    // whole FASTA header line, leading ">" included
    uint32_t mirna_index = 0;  // running number over the sorted grouped file, from 1
};

// One species under one seed.
struct specie_vet_t
{
    char_string specie_code;           // up to three characters after ">"
    std::vector<mirna_vet_t> mirna_vet;  // in FASTA order
};

// One seed of the seed index.
struct seed_vet_t
{
    rna_string seed_seq;
    std::vector<specie_vet_t> specie_vet;  // ascending byte order of species code
};

// One accepted ungapped alignment of one miRNA on one tag.
struct mirna_matched_vet_t
{
    uint32_t seed_index = 0;
    uint32_t specie_index = 0;
    uint32_t mirna_vet_index = 0;
    uint32_t size_ungapped = 0;
    uint32_t begin_ungapped_mirna = 0;
    uint32_t begin_ungapped_tag = 0;
    uint32_t size_ungapped_1 = 0;
    uint32_t begin_ungapped_mirna_1 = 0;
    uint32_t begin_ungapped_tag_1 = 0;
    uint32_t size_ungapped_2 = 0;
    uint32_t begin_ungapped_mirna_2 = 0;
    uint32_t begin_ungapped_tag_2 = 0;
    int32_t align_score = 0;
    int32_t mir_tag_size_diff = 0;
    bool iso_5p = false;
    bool iso_snp = false;
    bool iso_multi_snp = false;
    bool iso_3p = false;
    bool offset_site = false;
    bool suppl_compens_site = false;
    bool central_site = false;
};

// One distinct read sequence with its alignments. `tag_index` sits in the
// padding after the two quality bytes, so that a record fills one 64-byte
// cache line: the tables hold millions of them.
struct tag_vet_t
{
    rna_string tag_sequence;
    quality_string tag_quality;  // always "è"
    uint32_t tag_index = 0;   // 1-based line number in the tag-count file
    uint64_t tag_count = 0;   // reads with this sequence (64-bit: never wraps)
    std::vector<mirna_matched_vet_t> mirna_matched_vet;
};
static_assert(sizeof(void *) != 8 || sizeof(tag_vet_t) <= 64, "a tag record outgrew its cache line");

// One occurrence of a seed in a tag (working data of the seed search).
struct seed_in_tag_vet_t
{
    uint32_t seed_begin = 0;
    uint32_t seed_end = 0;
};

// One per-miRNA result row. Counters named after reads are 64-bit.
struct result_mirna_uniq_ambig_vet_t
{
    rna_string mirna_seq;
    char_string mirna_info;
    uint32_t mirna_index = 0;
    uint32_t seed_index = 0;

    uint32_t uniq_different_tags = 0;
    uint64_t uniq_count_tags = 0;
    float uniq_expressed_all = 0;
    float uniq_expressed_mapped = 0;
    uint64_t uniq_mirna_exact_tags = 0;
    uint64_t uniq_iso_5p_tags = 0;
    uint64_t uniq_iso_snp_tags = 0;
    uint64_t uniq_iso_multi_snp_tags = 0;
    uint64_t uniq_iso_3p_tags = 0;
    uint64_t uniq_offset_site_tags = 0;
    uint64_t uniq_suppl_compens_site_tags = 0;
    uint64_t uniq_central_site_tags = 0;

    uint32_t ambig_different_tags = 0;
    uint64_t ambig_count_tags = 0;
    float ambig_expressed_all = 0;
    float ambig_expressed_mapped = 0;
    uint64_t ambig_mirna_exact_tags = 0;
    uint64_t ambig_iso_5p_tags = 0;
    uint64_t ambig_iso_snp_tags = 0;
    uint64_t ambig_iso_multi_snp_tags = 0;
    uint64_t ambig_iso_3p_tags = 0;
    uint64_t ambig_offset_site_tags = 0;
    uint64_t ambig_suppl_compens_site_tags = 0;
    uint64_t ambig_central_site_tags = 0;
};

// True when none of the four isoform flags is set.
bool is_mirna_exact(mirna_matched_vet_t const & a);

// The miRNA an alignment points at, through its three indices into `seed_vet`.
mirna_vet_t const & matched_mirna(std::vector<seed_vet_t> const & seed_vet, mirna_matched_vet_t const & a);
