#include "core/records.hpp"

#include <algorithm>
#include <cstring>
#include <utility>

#include "core/search_parameters.hpp"

tag_letters::tag_letters(rna_string const & letters)
    : size_(static_cast<uint32_t>(seqan::length(letters)))
{
    if (size_ == 0)
        return;
    auto * own = new seqan::Rna5[size_];
    std::copy(seqan::begin(letters, seqan::Standard()), seqan::end(letters, seqan::Standard()), own);
    first_ = own;
    owned_ = true;
}

tag_letters::tag_letters(tag_letters const & other) : first_(other.first_), size_(other.size_), owned_(other.owned_)
{
    if (!owned_)
        return;
    auto * own = new seqan::Rna5[size_];
    std::copy(other.begin(), other.end(), own);
    first_ = own;
}

tag_letters::tag_letters(tag_letters && other) noexcept
    : first_(std::exchange(other.first_, nullptr)), size_(std::exchange(other.size_, 0)),
      owned_(std::exchange(other.owned_, false))
{
}

tag_letters & tag_letters::operator=(tag_letters other) noexcept
{
    std::swap(first_, other.first_);
    std::swap(size_, other.size_);
    std::swap(owned_, other.owned_);
    return *this;
}

tag_letters::~tag_letters()
{
    if (owned_)
        delete[] first_;
}

tag_letters tag_letters::viewing(seqan::Rna5 const * first, uint32_t count)
{
    tag_letters view;
    view.first_ = first;
    view.size_ = count;
    return view;
}

bool operator==(tag_letters const & a, tag_letters const & b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin());
}

bool operator!=(tag_letters const & a, tag_letters const & b)
{
    return !(a == b);
}

alignment_list::alignment_list(std::vector<mirna_matched_vet_t> const & alignments)
{
    reserve(alignments.size());
    for (mirna_matched_vet_t const & a : alignments)
        push_back(a);
}

alignment_list::alignment_list(alignment_list const & other)
    : first_(other.first_), size_(other.size_), capacity_(other.capacity_)
{
    if (capacity_ == 0)
        return;
    first_ = new mirna_matched_vet_t[capacity_];
    std::copy(other.begin(), other.end(), first_);
}

alignment_list::alignment_list(alignment_list && other) noexcept
    : first_(std::exchange(other.first_, nullptr)), size_(std::exchange(other.size_, 0)),
      capacity_(std::exchange(other.capacity_, 0))
{
}

alignment_list & alignment_list::operator=(alignment_list other) noexcept
{
    std::swap(first_, other.first_);
    std::swap(size_, other.size_);
    std::swap(capacity_, other.capacity_);
    return *this;
}

alignment_list::~alignment_list()
{
    if (capacity_ != 0)
        delete[] first_;
}

alignment_list alignment_list::viewing(mirna_matched_vet_t * first, uint32_t count)
{
    alignment_list view;
    view.first_ = first;
    view.size_ = count;
    return view;
}

void alignment_list::reserve(std::size_t count)
{
    count = std::max<std::size_t>(count, size_);  // a view becomes a copy of its own: room for all it views
    if (count <= capacity_ || count == 0)
        return;
    auto * own = new mirna_matched_vet_t[count];
    std::copy(begin(), end(), own);
    if (capacity_ != 0)
        delete[] first_;
    first_ = own;
    capacity_ = static_cast<uint32_t>(count);
}

void alignment_list::push_back(mirna_matched_vet_t const & alignment)
{
    if (capacity_ == 0)  // empty, or a view: a block of its own first
        reserve(std::max<std::size_t>(size_ + 1, 2));
    else if (size_ == capacity_)
        reserve(2 * std::size_t{capacity_});
    first_[size_++] = alignment;
}

void alignment_list::resize(std::size_t count)
{
    reserve(count);
    for (std::size_t i = size_; i < count; ++i)
        first_[i] = mirna_matched_vet_t{};
    size_ = static_cast<uint32_t>(count);
}

void alignment_list::clear()
{
    *this = alignment_list();
}

bool is_mirna_exact(mirna_matched_vet_t const & a)
{
    return !a.iso_5p && !a.iso_snp && !a.iso_multi_snp && !a.iso_3p;
}

mirna_vet_t const & matched_mirna(std::vector<seed_vet_t> const & seed_vet, mirna_matched_vet_t const & a)
{
    return seed_vet[a.seed_index].specie_vet[a.specie_index].mirna_vet[a.mirna_vet_index];
}

void order_alignments(alignment_list & alignments, assignment_rule const & rule)
{
    if (!rule.by_rank)
        std::stable_sort(alignments.begin(), alignments.end(),
                         [](mirna_matched_vet_t const & a, mirna_matched_vet_t const & b) {
                             return a.align_score < b.align_score;
                         });
}

namespace
{
// The rank of an alignment of the sensitive mode: its cost (letters of tag
// and miRNA left unmatched, T + L - 2M; lower first), mismatches, length
// difference. The mismatches are counted again on the sequences: the
// aligned stretch is [begin, begin + size_ungapped_2) on the miRNA, facing
// the tag from begin_ungapped_tag on.
struct alignment_rank
{
    int64_t cost = 0;
    int64_t mismatches = 0;
    int64_t length_difference = 0;

    bool operator==(alignment_rank const & other) const
    {
        return cost == other.cost && mismatches == other.mismatches &&
               length_difference == other.length_difference;
    }
};

alignment_rank rank_of(tag_vet_t const & tag, mirna_matched_vet_t const & a, std::vector<seed_vet_t> const & seed_vet)
{
    rna_string const & mirna = matched_mirna(seed_vet, a).mirna_seq;
    alignment_rank rank;
    for (uint32_t j = 0; j < a.size_ungapped_2; ++j)
        if (tag.tag_sequence[a.begin_ungapped_tag + j] != mirna[a.begin_ungapped_mirna + j])
            ++rank.mismatches;
    int64_t const matched = int64_t{a.size_ungapped_2} - rank.mismatches;
    rank.cost = static_cast<int64_t>(seqan::length(tag.tag_sequence)) +
                static_cast<int64_t>(seqan::length(mirna)) - 2 * matched;
    rank.length_difference = a.mir_tag_size_diff < 0 ? -int64_t{a.mir_tag_size_diff} : a.mir_tag_size_diff;
    return rank;
}

// The first of alignments in rank order when it ranks strictly first, or
// when every alignment of its rank is on a miRNA of its sequence (those
// cannot be told apart: the first, lowest mirna_index, is taken).
bool first_by_rank_is_assigned(tag_vet_t const & tag, std::vector<seed_vet_t> const & seed_vet)
{
    alignment_list const & alignments = tag.mirna_matched_vet;
    alignment_rank const first = rank_of(tag, alignments[0], seed_vet);
    rna_string const & first_sequence = matched_mirna(seed_vet, alignments[0]).mirna_seq;
    for (std::size_t k = 1; k < alignments.size(); ++k)
    {
        if (!(rank_of(tag, alignments[k], seed_vet) == first))
            break;
        if (matched_mirna(seed_vet, alignments[k]).mirna_seq != first_sequence)
            return false;
    }
    return true;
}
}  // namespace

mirna_matched_vet_t const * counted_alignment(tag_vet_t const & tag, assignment_rule const & rule,
                                              std::vector<seed_vet_t> const & seed_vet)
{
    alignment_list const & alignments = tag.mirna_matched_vet;
    if (alignments.size() == 1)
        return &alignments[0];
    if (alignments.size() < 2)
        return nullptr;
    if (rule.by_rank && alignments[0].verdict != precursor_verdict::none)
        return alignments[0].verdict == precursor_verdict::chosen ? &alignments[0] : nullptr;
    if (rule.by_rank)
        return first_by_rank_is_assigned(tag, seed_vet) ? &alignments[0] : nullptr;
    return alignments[0].align_score < rule.align_score_threshold ? &alignments[0] : nullptr;
}

std::size_t tied_alignment_count(tag_vet_t const & tag, assignment_rule const & rule,
                                 std::vector<seed_vet_t> const & seed_vet)
{
    alignment_list const & alignments = tag.mirna_matched_vet;
    if (alignments.size() == 0)
        return 0;
    std::size_t tied = 1;
    if (!rule.by_rank)
    {
        while (tied < alignments.size() && alignments[tied].align_score == alignments[0].align_score)
            ++tied;
        return tied;
    }
    alignment_rank const first = rank_of(tag, alignments[0], seed_vet);
    bool const weighed = alignments[0].verdict == precursor_verdict::tied;
    while (tied < alignments.size())
    {
        alignment_rank const rank = rank_of(tag, alignments[tied], seed_vet);
        if (weighed ? rank.cost > first.cost + precursor_near_cost : !(rank == first))
            break;
        ++tied;
    }
    return tied;
}

char const * alignment_class(mirna_matched_vet_t const & a)
{
    if (a.iso_multi_snp)
        return "iso_multi_snp";
    if (a.iso_snp)
        return "iso_snp";
    if (a.iso_5p)
        return "iso_5p";
    if (a.iso_3p)
        return "iso_3p";
    return "exact";
}

namespace
{
// Word number `index` of a FASTA header (0: the name after ">").
std::string header_word(char_string const & info, std::size_t index)
{
    std::string const header(seqan::begin(info), seqan::end(info));
    std::size_t begin = header.empty() || header[0] != '>' ? 0 : 1;
    for (std::size_t word = 0;; ++word)
    {
        begin = header.find_first_not_of(' ', begin);
        if (begin == std::string::npos)
            return "";
        std::size_t const end = std::min(header.find(' ', begin), header.size());
        if (word == index)
            return header.substr(begin, end - begin);
        begin = end;
    }
}
}  // namespace

std::string mirna_name(mirna_vet_t const & mirna)
{
    return header_word(mirna.mirna_info, 0);
}

std::string mirna_accession(mirna_vet_t const & mirna)
{
    return header_word(mirna.mirna_info, 1);
}
