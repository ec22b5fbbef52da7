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

// What the precursors said of a tag's nearly equal alignments.
enum class precursor_verdict : uint8_t
{
    none,
    chosen,  // the first alignment is the one its precursor templates best: it is counted
    tied,    // they could not tell miRNAs of different sequences apart: not counted
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
    // Set on a tag's first alignment by the sensitive mode's precursors
    // (matching/precursor_guard.hpp) when they decide between alignments
    // of nearly the same cost.
    precursor_verdict verdict = precursor_verdict::none;
};

// The letters of one tag. The tags of a loaded table view their letters in
// the table's letter store (tag_table::letter_blocks), where the letters of
// all tags lie one after the other: no tag has a heap block of its own, and
// a copy of such a tag views the same letters. A tag made on its own (from
// an rna_string) keeps a copy of its letters, which its copies copy.
class tag_letters
{
public:
    tag_letters() = default;
    tag_letters(rna_string const & letters);  // implicit: a tag is given the letters of text_to_rna5
    tag_letters(tag_letters const & other);
    tag_letters(tag_letters && other) noexcept;
    tag_letters & operator=(tag_letters other) noexcept;
    ~tag_letters();

    // The `count` letters from `first` on, which must outlive the view.
    static tag_letters viewing(seqan::Rna5 const * first, uint32_t count);

    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    seqan::Rna5 operator[](std::size_t i) const { return first_[i]; }
    seqan::Rna5 const * begin() const { return first_; }
    seqan::Rna5 const * end() const { return first_ + size_; }

private:
    seqan::Rna5 const * first_ = nullptr;
    uint32_t size_ = 0;
    bool owned_ = false;  // first_ is a block of its own, released with it
};

bool operator==(tag_letters const & a, tag_letters const & b);
bool operator!=(tag_letters const & a, tag_letters const & b);

// The alignments of one tag. After the seed search the tags of a table view
// their alignments in the table's alignment store (tag_table::alignment_blocks),
// where the alignments of neighbouring tags lie one after the other; a copy of
// such a tag views the same alignments, so ordering them orders them for both.
// A list that is appended to (a tag made on its own, the reference and the
// sensitive search) keeps its alignments in a block of its own, which its
// copies copy; appending to a view first makes it such a copy.
class alignment_list
{
public:
    alignment_list() = default;
    alignment_list(std::vector<mirna_matched_vet_t> const & alignments);  // implicit: a list is given a vector
    alignment_list(alignment_list const & other);
    alignment_list(alignment_list && other) noexcept;
    alignment_list & operator=(alignment_list other) noexcept;
    ~alignment_list();

    // The `count` alignments from `first` on, which must outlive the view.
    static alignment_list viewing(mirna_matched_vet_t * first, uint32_t count);

    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    mirna_matched_vet_t & operator[](std::size_t i) { return first_[i]; }
    mirna_matched_vet_t const & operator[](std::size_t i) const { return first_[i]; }
    mirna_matched_vet_t * begin() { return first_; }
    mirna_matched_vet_t * end() { return first_ + size_; }
    mirna_matched_vet_t const * begin() const { return first_; }
    mirna_matched_vet_t const * end() const { return first_ + size_; }

    void push_back(mirna_matched_vet_t const & alignment);
    void reserve(std::size_t count);  // room of its own for `count` alignments
    void resize(std::size_t count);   // new alignments are all zero
    void clear();                     // empty, its own block released

private:
    mirna_matched_vet_t * first_ = nullptr;
    uint32_t size_ = 0;
    uint32_t capacity_ = 0;  // of its own block; 0 for a view (or an empty list)
};

// One distinct read sequence with its alignments: its letters and its
// alignments lie in the stores of its table, so that a record is 48 bytes
// (the tables hold millions of them) and a tag has no heap block of its own.
struct tag_vet_t
{
    tag_letters tag_sequence;
    quality_string tag_quality;  // always "è"
    uint32_t tag_index = 0;   // 1-based line number in the tag-count file
    uint64_t tag_count = 0;   // reads with this sequence (64-bit: never wraps)
    alignment_list mirna_matched_vet;
};
static_assert(sizeof(void *) != 8 || sizeof(tag_vet_t) <= 48, "a tag record outgrew its 48 bytes");

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

// How an ambiguous tag (one with several alignments) is assigned to one of
// its miRNAs, and in which order its alignments are listed.
struct assignment_rule
{
    // false: alignments by align_score, lowest first, ties in recorded order;
    // the first is assigned when its align_score is below
    // align_score_threshold.
    // true (sensitive mode): alignments by rank (lower cost T + L - 2M,
    // then fewer substitutions, then a smaller length difference, then
    // mirna_index); the first is assigned when it ranks strictly first, or
    // when the alignments of equal rank are all on miRNAs of its sequence;
    // a verdict of the precursors on the first alignment overrides both.
    bool by_rank = false;
    int32_t align_score_threshold = 14;
};

// Puts a tag's alignments in the order of `rule` (stable).
void order_alignments(alignment_list & alignments, assignment_rule const & rule);

// The alignment a tag is counted on: its only alignment, or, for an
// ambiguous tag whose alignments are in the order of `rule`, the first one
// when `rule` assigns the tag; else none (nullptr). `seed_vet` holds the
// aligned miRNAs.
mirna_matched_vet_t const * counted_alignment(tag_vet_t const & tag, assignment_rule const & rule,
                                              std::vector<seed_vet_t> const & seed_vet);

// How many of the first alignments of a tag (in the order of `rule`) tie
// with the first: the seed search, the same align_score; the sensitive
// search, the same rank, or, when the precursors found the first tied, a
// cost within precursor_near_cost of the first's (the alignments they
// weighed). At least 1 for a tag with alignments.
std::size_t tied_alignment_count(tag_vet_t const & tag, assignment_rule const & rule,
                                 std::vector<seed_vet_t> const & seed_vet);

// The one class of an alignment, the first that applies of "iso_multi_snp",
// "iso_snp", "iso_5p", "iso_3p", else "exact".
char const * alignment_class(mirna_matched_vet_t const & a);

// The miRNA's name: its FASTA header after ">" up to the first blank; its
// accession: the header's second word ("" when there is none).
std::string mirna_name(mirna_vet_t const & mirna);
std::string mirna_accession(mirna_vet_t const & mirna);
