#include "core/records.hpp"

#include <algorithm>

bool is_mirna_exact(mirna_matched_vet_t const & a)
{
    return !a.iso_5p && !a.iso_snp && !a.iso_multi_snp && !a.iso_3p;
}

mirna_vet_t const & matched_mirna(std::vector<seed_vet_t> const & seed_vet, mirna_matched_vet_t const & a)
{
    return seed_vet[a.seed_index].specie_vet[a.specie_index].mirna_vet[a.mirna_vet_index];
}

void order_alignments(std::vector<mirna_matched_vet_t> & alignments, assignment_rule const & rule)
{
    if (!rule.by_rank)
        std::stable_sort(alignments.begin(), alignments.end(),
                         [](mirna_matched_vet_t const & a, mirna_matched_vet_t const & b) {
                             return a.align_score < b.align_score;
                         });
}

mirna_matched_vet_t const * counted_alignment(tag_vet_t const & tag, assignment_rule const & rule,
                                              std::vector<seed_vet_t> const & /*seed_vet*/)
{
    std::vector<mirna_matched_vet_t> const & alignments = tag.mirna_matched_vet;
    if (alignments.size() == 1)
        return &alignments[0];
    if (alignments.size() >= 2 && !rule.by_rank && alignments[0].align_score < rule.align_score_threshold)
        return &alignments[0];
    return nullptr;
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
