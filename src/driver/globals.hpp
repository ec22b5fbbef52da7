// Records, global tables and counters shared by every stage of the run,
// plus the few text helpers that several stages need.
#pragma once

#include <cstdint>
#include <fstream>
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

// ---- global tables ------------------------------------------------------
extern std::vector<seed_vet_t> seed_vet;
extern std::vector<std::string> specie_code_vet;
extern std::vector<char_string> species_to_check_vet;
extern std::vector<tag_vet_t> tag_vet;
extern std::vector<result_mirna_uniq_ambig_vet_t> result_mirna_uniq_ambig_vet;
extern std::vector<tag_vet_t> result_tag_uniq_vet;
extern std::vector<tag_vet_t> result_tag_ambig_vet;

// ---- global counters ----------------------------------------------------
extern uint32_t tot_total_tag_count;   // lines of the tag-count file
extern uint32_t discarded_tag;         // lines whose tag was too short
extern uint32_t mirna_elaborated;      // (seed, selected species) passes
extern uint32_t numb_of_mirna;         // records read from the FASTA file
extern uint64_t read_count_experiment;
extern uint64_t unique_reads_mapped_on_library;
extern uint64_t ambigue_reads_mapped_on_library;
extern uint64_t uniq_mapped_total_tags_count;
extern uint64_t ambigue_mapped_total_tag_count;
extern uint64_t ambigue_selected_mapped_total_tag_count;

// Empties the seven global tables; counters keep their values.
int32_t free_all_structures();
// The same, with the tags' blocks released on thread_count threads.
int32_t free_all_structures_threads(uint32_t thread_count);

// ---- shared helpers ------------------------------------------------------

// Text to nucleotides, byte by byte: A/a, C/c, G/g, U/u keep their letter,
// every other byte (T and t included) becomes N.
rna_string text_to_rna5(std::string const & text);

// Nucleotides to the letters A, C, G, U, N.
std::string rna5_to_text(rna_string const & seq);

// Opens a file for reading. Fails (with the reason in `reason`) when the path
// cannot be opened or names a directory.
bool open_for_reading(std::ifstream & in, std::string const & path, std::string & reason);

// Reads one line and drops a single carriage return at its end.
// Returns false when no line could be read.
bool read_text_line(std::istream & in, std::string & line);

// True when none of the four isoform flags is set.
bool is_mirna_exact(mirna_matched_vet_t const & a);

// The miRNA an alignment points at, through its three indices.
mirna_vet_t const & matched_mirna(mirna_matched_vet_t const & a);

// Messages on standard error, prefixed with the program name.
void print_error(std::string const & message);
void print_warning(std::string const & message);
