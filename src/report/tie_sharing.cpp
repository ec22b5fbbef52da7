#include "report/tie_sharing.hpp"

#include <algorithm>
#include <cmath>
#include <tuple>

#include "core/sequence_text.hpp"

namespace
{
constexpr uint32_t most_rounds = 200;
constexpr double settled = 1e-6;  // the largest change of an abundance, in reads, that ends the rounds

// A tied tag: its reads and its miRNAs (candidates[first, last), as dense numbers).
struct tied_tag
{
    std::size_t tag = 0;
    uint64_t reads = 0;
    std::size_t first = 0;
    std::size_t last = 0;
};

// Each tied tag's share of its reads for every candidate, from the abundances.
void shares_of(tied_tag const & t, std::vector<uint32_t> const & candidates, std::vector<double> const & abundance,
               std::vector<double> & share)
{
    double sum = 0;
    for (std::size_t c = t.first; c < t.last; ++c)
        sum += abundance[candidates[c]];
    double const even = 1.0 / static_cast<double>(t.last - t.first);
    share.clear();
    for (std::size_t c = t.first; c < t.last; ++c)
        share.push_back(sum > 0 ? abundance[candidates[c]] / sum : even);
}

// `reads` split by `share` in whole reads that add up to `reads`: each its
// floor, the reads left to the largest remainders (the first on a tie).
std::vector<uint64_t> whole_reads(uint64_t reads, std::vector<double> const & share)
{
    std::vector<uint64_t> whole(share.size());
    std::vector<std::pair<double, std::size_t>> remainders;
    uint64_t given = 0;
    for (std::size_t c = 0; c < share.size(); ++c)
    {
        double const exact = static_cast<double>(reads) * share[c];
        whole[c] = std::min<uint64_t>(reads - given, static_cast<uint64_t>(std::floor(exact)));
        given += whole[c];
        remainders.emplace_back(exact - static_cast<double>(whole[c]), c);
    }
    std::stable_sort(remainders.begin(), remainders.end(),
                     [](auto const & a, auto const & b) { return a.first > b.first; });
    for (std::size_t i = 0; given < reads; i = (i + 1) % remainders.size())
    {
        ++whole[remainders[i].second];
        ++given;
    }
    return whole;
}
}  // namespace

tie_shares share_tied_tags(std::vector<seed_vet_t> const & seed_vet, result_tables const & results,
                           assignment_rule const & rule)
{
    tie_shares result;
    // The miRNAs of the tied tags, by dense number.
    std::vector<uint32_t> mirna_of;  // dense number -> mirna_index
    std::unordered_map<uint32_t, uint32_t> number_of;
    auto number = [&](uint32_t mirna_index) {
        auto const found = number_of.emplace(mirna_index, static_cast<uint32_t>(mirna_of.size()));
        if (found.second)
            mirna_of.push_back(mirna_index);
        return found.first->second;
    };
    std::vector<tied_tag> tied;
    std::vector<uint32_t> candidates;
    std::vector<uint32_t> own;
    for (std::size_t t = 0; t < results.result_tag_ambig_vet.size(); ++t)
    {
        if (results.assigned[t])
            continue;
        tag_vet_t const & tag = results.result_tag_ambig_vet[t];
        std::size_t const count = tied_alignment_count(tag, rule, seed_vet);
        own.clear();
        for (std::size_t k = 0; k < count; ++k)
            own.push_back(matched_mirna(seed_vet, tag.mirna_matched_vet[k]).mirna_index);
        std::sort(own.begin(), own.end());
        own.erase(std::unique(own.begin(), own.end()), own.end());
        if (own.size() < 2)
            continue;  // not a tie: one best miRNA, left unassigned by the rule
        tied_tag entry{t, tag.tag_count, candidates.size(), 0};
        for (uint32_t mirna_index : own)
            candidates.push_back(number(mirna_index));
        entry.last = candidates.size();
        tied.push_back(entry);
        result.tied_reads += tag.tag_count;
    }
    if (tied.empty())
        return result;

    // The evidence: each candidate miRNA's unambiguous reads.
    std::vector<double> evidence(mirna_of.size(), 0.0);
    auto add_evidence = [&](mirna_matched_vet_t const * counted, uint64_t reads) {
        if (counted == nullptr)
            return;
        auto const found = number_of.find(matched_mirna(seed_vet, *counted).mirna_index);
        if (found != number_of.end())
            evidence[found->second] += static_cast<double>(reads);
    };
    for (tag_vet_t const & tag : results.result_tag_uniq_vet)
        add_evidence(counted_unique_alignment(tag), tag.tag_count);
    for (std::size_t t = 0; t < results.result_tag_ambig_vet.size(); ++t)
        add_evidence(counted_ambiguous_alignment(results, t), results.result_tag_ambig_vet[t].tag_count);

    // The rounds: shares from the abundances, abundances from the evidence and the shares.
    std::vector<double> abundance = evidence;
    std::vector<double> next;
    std::vector<double> share;
    for (result.rounds = 1; result.rounds <= most_rounds; ++result.rounds)
    {
        next = evidence;
        for (tied_tag const & t : tied)
        {
            shares_of(t, candidates, abundance, share);
            for (std::size_t c = t.first; c < t.last; ++c)
                next[candidates[c]] += static_cast<double>(t.reads) * share[c - t.first];
        }
        double change = 0;
        for (std::size_t m = 0; m < next.size(); ++m)
            change = std::max(change, std::fabs(next[m] - abundance[m]));
        abundance.swap(next);
        if (change < settled)
            break;
    }
    result.rounds = std::min(result.rounds, most_rounds);

    for (tied_tag const & t : tied)
    {
        shares_of(t, candidates, abundance, share);
        std::vector<uint64_t> const reads = whole_reads(t.reads, share);
        for (std::size_t c = t.first; c < t.last; ++c)
        {
            uint64_t const given = reads[c - t.first];
            if (given == 0)
                continue;
            uint32_t const mirna_index = mirna_of[candidates[c]];
            result.shares.push_back({t.tag, mirna_index, given});
            result.reads_by_mirna[mirna_index] += given;
        }
    }
    return result;
}

std::string shared_table_text(std::vector<seed_vet_t> const & seed_vet, result_tables const & results,
                              tie_shares const & shares)
{
    std::vector<std::tuple<std::string, std::string, uint64_t>> rows;
    for (tied_share const & share : shares.shares)
    {
        std::string sequence = rna5_to_text(results.result_tag_ambig_vet[share.tag].tag_sequence);
        std::replace(sequence.begin(), sequence.end(), 'U', 'T');
        std::string name;
        for (mirna_matched_vet_t const & a : results.result_tag_ambig_vet[share.tag].mirna_matched_vet)
            if (matched_mirna(seed_vet, a).mirna_index == share.mirna_index)
            {
                name = mirna_name(matched_mirna(seed_vet, a));
                break;
            }
        rows.emplace_back(std::move(sequence), std::move(name), share.reads);
    }
    std::sort(rows.begin(), rows.end());
    std::string text = "sequence\tmirna\treads\n";
    for (auto const & [sequence, name, reads] : rows)
        text += sequence + '\t' + name + '\t' + std::to_string(reads) + '\n';
    return text;
}
