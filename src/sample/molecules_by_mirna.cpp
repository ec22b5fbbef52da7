#include "sample/molecules_by_mirna.hpp"

#include <algorithm>
#include <string_view>
#include <unordered_map>

#include "reads/umi_clustering.hpp"

namespace
{
// The reads of one (UMI, insert) pair, the insert by its line.
struct umi_reads
{
    std::string_view umi;
    uint32_t line = 0;
    uint64_t reads = 0;
};

// Every pair, by line: the pairs of line i are pairs[first[i], first[i + 1]).
struct pairs_by_line
{
    std::vector<umi_reads> pairs;
    std::vector<std::size_t> first;
};

pairs_by_line index_pairs(insert_umis const & umis)
{
    std::unordered_map<std::string_view, uint32_t> line_of;
    line_of.reserve(umis.inserts.size() * 2);
    for (std::size_t line = 0; line < umis.inserts.size(); ++line)
        line_of.emplace(umis.inserts[line], static_cast<uint32_t>(line));
    std::vector<umi_reads> found;
    found.reserve(umis.pairs.distinct);
    std::string_view const letters = umis.pairs.letters;
    for (counted_sequence const & slot : umis.pairs.slots)
    {
        if (slot.count == 0)
            continue;
        std::string_view const key = letters.substr(slot.offset, slot.length);
        auto const line = line_of.find(key.substr(umis.umi_length));
        if (line == line_of.end())
            continue;
        uint32_t into = line->second;
        if (umis.folded_into != nullptr)
            if (auto const folded = umis.folded_into->find(into + 1); folded != umis.folded_into->end())
                into = folded->second - 1;
        found.push_back({key.substr(0, umis.umi_length), into, slot.count});
    }
    // Placed by line (a counting sort).
    pairs_by_line index;
    index.first.assign(umis.inserts.size() + 1, 0);
    for (umi_reads const & pair : found)
        ++index.first[pair.line + 1];
    for (std::size_t line = 0; line < umis.inserts.size(); ++line)
        index.first[line + 1] += index.first[line];
    std::vector<std::size_t> next(index.first.begin(), index.first.end() - 1);
    index.pairs.resize(found.size());
    for (umi_reads const & pair : found)
        index.pairs[next[pair.line]++] = pair;
    return index;
}

// The molecules of one line's own UMIs.
uint64_t molecules_of_line(pairs_by_line const & index, uint32_t line)
{
    std::vector<umi_count> umis;
    for (std::size_t i = index.first[line]; i < index.first[line + 1]; ++i)
        umis.push_back({index.pairs[i].umi, index.pairs[i].reads});
    return directional_molecules(umis);
}

// The molecules of the UMIs of `lines` (the tags counted on one miRNA, in
// tag order) clustered together, each added to the line that holds most
// of its reads (the first such line on a tie).
void count_group(pairs_by_line const & index, std::vector<uint32_t> const & lines, std::vector<uint64_t> & molecules)
{
    if (lines.size() == 1)
    {
        molecules[lines[0]] = molecules_of_line(index, lines[0]);
        return;
    }
    struct entry
    {
        std::string_view umi;
        uint32_t rank = 0;  // of its line in `lines`
        uint64_t reads = 0;
    };
    std::vector<entry> entries;
    for (uint32_t rank = 0; rank < lines.size(); ++rank)
        for (std::size_t i = index.first[lines[rank]]; i < index.first[lines[rank] + 1]; ++i)
            entries.push_back({index.pairs[i].umi, rank, index.pairs[i].reads});
    std::sort(entries.begin(), entries.end(),
              [](entry const & a, entry const & b) { return a.umi != b.umi ? a.umi < b.umi : a.rank < b.rank; });
    // Each UMI once, with its reads over the group.
    std::vector<umi_count> umis;
    std::vector<uint32_t> umi_of_entry(entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i)
    {
        if (umis.empty() || umis.back().umi != entries[i].umi)
            umis.push_back({entries[i].umi, 0});
        umis.back().reads += entries[i].reads;
        umi_of_entry[i] = static_cast<uint32_t>(umis.size() - 1);
    }
    std::vector<uint32_t> const cluster_of_umi = directional_clusters(umis);
    // The reads of each (cluster, line), then each cluster's line of most reads.
    struct share
    {
        uint32_t cluster = 0;
        uint32_t rank = 0;
        uint64_t reads = 0;
    };
    std::vector<share> shares;
    shares.reserve(entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i)
        shares.push_back({cluster_of_umi[umi_of_entry[i]], entries[i].rank, entries[i].reads});
    std::sort(shares.begin(), shares.end(), [](share const & a, share const & b) {
        return a.cluster != b.cluster ? a.cluster < b.cluster : a.rank < b.rank;
    });
    for (std::size_t begin = 0; begin < shares.size();)
    {
        uint32_t best_rank = shares[begin].rank;
        uint64_t best_reads = 0;
        std::size_t end = begin;
        while (end < shares.size() && shares[end].cluster == shares[begin].cluster)
        {
            uint64_t reads = 0;
            uint32_t const rank = shares[end].rank;
            for (; end < shares.size() && shares[end].cluster == shares[begin].cluster && shares[end].rank == rank;
                 ++end)
                reads += shares[end].reads;
            if (reads > best_reads)
            {
                best_reads = reads;
                best_rank = rank;
            }
        }
        ++molecules[lines[best_rank]];
        begin = end;
    }
}
}  // namespace

uint64_t count_molecules_by_mirna(insert_umis const & umis, assignment_rule const & rule,
                                  std::vector<seed_vet_t> const & seed_vet, tag_table & tags)
{
    pairs_by_line const index = index_pairs(umis);
    std::vector<uint64_t> molecules(umis.inserts.size(), 0);
    std::vector<bool> in_table(umis.inserts.size(), false);

    // The tags counted on a miRNA, by miRNA; the others on their own.
    std::vector<std::pair<uint32_t, std::size_t>> counted;  // (mirna_index, position in tag_vet)
    for (std::size_t p = 0; p < tags.tag_vet.size(); ++p)
    {
        tag_vet_t & tag = tags.tag_vet[p];
        uint32_t const line = tag.tag_index - 1;
        in_table[line] = true;
        order_alignments(tag.mirna_matched_vet, rule);
        if (mirna_matched_vet_t const * alignment = counted_alignment(tag, rule, seed_vet))
            counted.emplace_back(matched_mirna(seed_vet, *alignment).mirna_index, p);
        else
            molecules[line] = molecules_of_line(index, line);
    }
    std::sort(counted.begin(), counted.end());
    std::vector<uint32_t> lines;
    for (std::size_t begin = 0; begin < counted.size();)
    {
        lines.clear();
        std::size_t end = begin;
        for (; end < counted.size() && counted[end].first == counted[begin].first; ++end)
            lines.push_back(tags.tag_vet[counted[end].second].tag_index - 1);
        count_group(index, lines, molecules);
        begin = end;
    }

    uint64_t total = 0;
    uint64_t discarded = 0;
    for (uint32_t line = 0; line < umis.inserts.size(); ++line)
        if (!in_table[line])
            discarded += molecules_of_line(index, line);
    tags.discarded_reads = discarded;
    total += discarded;
    for (tag_vet_t & tag : tags.tag_vet)
    {
        tag.tag_count = molecules[tag.tag_index - 1];
        total += tag.tag_count;
    }
    tags.tag_vet.erase(std::remove_if(tags.tag_vet.begin(), tags.tag_vet.end(),
                                      [](tag_vet_t const & tag) { return tag.tag_count == 0; }),
                       tags.tag_vet.end());
    return total;
}
