#include "export/precursor_counts.hpp"

#include <algorithm>
#include <unordered_map>

#include "core/sequence_text.hpp"

namespace
{
// The preferred precursor of each counted miRNA, found once per miRNA
// (npos: none holds it).
struct precursor_of_mirna
{
    std::vector<seed_vet_t> const & seed_vet;
    precursor_catalogue const & catalogue;
    std::unordered_map<uint32_t, std::size_t> found;

    std::size_t operator()(mirna_matched_vet_t const & a)
    {
        mirna_vet_t const & mirna = matched_mirna(seed_vet, a);
        auto const known = found.find(mirna.mirna_index);
        if (known != found.end())
            return known->second;
        char_string const & code = seed_vet[a.seed_index].specie_vet[a.specie_index].specie_code;
        std::vector<precursor_site> const sites = locate_mature_preferred(
            catalogue, rna5_to_text(mirna.mirna_seq), std::string(seqan::begin(code), seqan::end(code)),
            mirna_name(mirna));
        std::size_t const hairpin = sites.empty() ? std::string::npos : sites.front().hairpin;
        found.emplace(mirna.mirna_index, hairpin);
        return hairpin;
    }
};
}  // namespace

std::string precursor_table_header()
{
    return "precursor\treads_mature\treads_other\treads\n";
}

std::vector<precursor_reads> count_precursor_reads(std::vector<seed_vet_t> const & seed_vet,
                                                   result_tables const & results, tag_table const & tags,
                                                   precursor_catalogue const & catalogue,
                                                   std::vector<std::string> const & species)
{
    std::vector<uint64_t> on_matures(catalogue.hairpins.size(), 0);
    std::vector<uint64_t> elsewhere(catalogue.hairpins.size(), 0);
    precursor_of_mirna precursor_of{seed_vet, catalogue, {}};
    auto add_counted = [&](mirna_matched_vet_t const * counted, uint64_t reads) {
        if (counted == nullptr)
            return;
        std::size_t const hairpin = precursor_of(*counted);
        if (hairpin != std::string::npos)
            on_matures[hairpin] += reads;
    };
    for (tag_vet_t const & tag : results.result_tag_uniq_vet)
        add_counted(counted_unique_alignment(tag), tag.tag_count);
    for (std::size_t t = 0; t < results.result_tag_ambig_vet.size(); ++t)
        add_counted(counted_ambiguous_alignment(results, t), results.result_tag_ambig_vet[t].tag_count);
    for (tag_vet_t const & tag : tags.tag_vet)
    {
        if (!tag.mirna_matched_vet.empty())
            continue;
        std::string const letters = rna5_to_text(tag.tag_sequence);
        std::size_t first = std::string::npos;
        for (std::string const & code : species)
        {
            std::vector<precursor_site> const sites = locate_mature(catalogue, letters, code);
            if (!sites.empty())
                first = std::min(first, sites.front().hairpin);
        }
        if (first != std::string::npos)
            elsewhere[first] += tag.tag_count;
    }
    std::vector<precursor_reads> rows;
    for (std::size_t h = 0; h < catalogue.hairpins.size(); ++h)
        if (on_matures[h] + elsewhere[h] > 0)
            rows.push_back({catalogue.hairpins[h].name, on_matures[h], elsewhere[h]});
    std::sort(rows.begin(), rows.end(),
              [](precursor_reads const & a, precursor_reads const & b) { return a.precursor < b.precursor; });
    return rows;
}

std::string precursor_table_text(std::vector<precursor_reads> const & rows)
{
    std::string text = precursor_table_header();
    for (precursor_reads const & row : rows)
        text += row.precursor + '\t' + std::to_string(row.on_matures) + '\t' + std::to_string(row.elsewhere) + '\t' +
                std::to_string(row.on_matures + row.elsewhere) + '\n';
    return text;
}
