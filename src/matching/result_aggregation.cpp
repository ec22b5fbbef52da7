// Per-miRNA aggregation of the alignments: unique and ambiguous tag tables,
// read sums, one counter row per miRNA, and the row percentages.
#include "matching/result_aggregation.hpp"

#include <unordered_map>

namespace
{
// Row position in result_mirna_uniq_ambig_vet by mirna_index.
using row_index_t = std::unordered_map<uint32_t, std::size_t>;

row_index_t index_existing_rows()
{
    row_index_t rows;
    rows.reserve(result_mirna_uniq_ambig_vet.size());
    for (std::size_t r = 0; r < result_mirna_uniq_ambig_vet.size(); ++r)
        rows.emplace(result_mirna_uniq_ambig_vet[r].mirna_index, r);
    return rows;
}

// The counters of one group (unique or ambiguous) of a row.
struct group_counters
{
    uint32_t & different_tags;
    uint64_t & count_tags;
    uint64_t & mirna_exact_tags;
    uint64_t & iso_5p_tags;
    uint64_t & iso_snp_tags;
    uint64_t & iso_multi_snp_tags;
    uint64_t & iso_3p_tags;
    uint64_t & offset_site_tags;
    uint64_t & suppl_compens_site_tags;
    uint64_t & central_site_tags;
};

group_counters chosen_group(result_mirna_uniq_ambig_vet_t & row, bool ambiguous)
{
    if (ambiguous)
        return {row.ambig_different_tags,   row.ambig_count_tags,         row.ambig_mirna_exact_tags,
                row.ambig_iso_5p_tags,      row.ambig_iso_snp_tags,       row.ambig_iso_multi_snp_tags,
                row.ambig_iso_3p_tags,      row.ambig_offset_site_tags,   row.ambig_suppl_compens_site_tags,
                row.ambig_central_site_tags};
    return {row.uniq_different_tags,   row.uniq_count_tags,         row.uniq_mirna_exact_tags,
            row.uniq_iso_5p_tags,      row.uniq_iso_snp_tags,       row.uniq_iso_multi_snp_tags,
            row.uniq_iso_3p_tags,      row.uniq_offset_site_tags,   row.uniq_suppl_compens_site_tags,
            row.uniq_central_site_tags};
}

// The class counter of an alignment: the first isoform flag set, in the
// order iso_5p, iso_snp, iso_multi_snp, iso_3p; otherwise exact.
uint64_t & class_counter(group_counters const & group, mirna_matched_vet_t const & a)
{
    if (a.iso_5p)
        return group.iso_5p_tags;
    if (a.iso_snp)
        return group.iso_snp_tags;
    if (a.iso_multi_snp)
        return group.iso_multi_snp_tags;
    if (a.iso_3p)
        return group.iso_3p_tags;
    return group.mirna_exact_tags;
}

// Adds one alignment of a tag with `reads` reads to the chosen group.
// A new row starts at zero, so creating and updating are the same sums.
void count_alignment(group_counters const & group, mirna_matched_vet_t const & a, uint64_t reads)
{
    group.different_tags += 1;
    group.count_tags += reads;
    class_counter(group, a) += reads;
    if (a.offset_site)
        group.offset_site_tags += reads;
    if (a.suppl_compens_site)
        group.suppl_compens_site_tags += reads;
    if (a.central_site)
        group.central_site_tags += reads;
}

// The row of the alignment's miRNA, appended (all zero) when none exists.
result_mirna_uniq_ambig_vet_t & row_for(mirna_matched_vet_t const & a, row_index_t & rows)
{
    mirna_vet_t const & mirna = matched_mirna(a);
    auto found = rows.find(mirna.mirna_index);
    if (found != rows.end())
        return result_mirna_uniq_ambig_vet[found->second];

    result_mirna_uniq_ambig_vet_t row;
    row.mirna_seq = mirna.mirna_seq;
    row.mirna_info = mirna.mirna_info;
    row.mirna_index = mirna.mirna_index;
    row.seed_index = a.seed_index;
    rows.emplace(mirna.mirna_index, result_mirna_uniq_ambig_vet.size());
    result_mirna_uniq_ambig_vet.push_back(row);
    return result_mirna_uniq_ambig_vet.back();
}

// Adds every alignment of the tag to the rows, in recorded order.
void add_tag_to_rows(tag_vet_t const & tag, bool ambiguous, row_index_t & rows)
{
    for (mirna_matched_vet_t const & a : tag.mirna_matched_vet)
        count_alignment(chosen_group(row_for(a, rows), ambiguous), a, tag.tag_count);
}

// count as a percentage of total, in single precision: divide, then scale.
float percentage(uint64_t count, uint64_t total)
{
    return static_cast<float>(count) / static_cast<float>(total) * 100.0f;
}
}  // namespace

int32_t output_structures_generation()
{
    row_index_t rows = index_existing_rows();
    for (tag_vet_t const & tag : tag_vet)
    {
        read_count_experiment += tag.tag_count;
        std::size_t const alignments = tag.mirna_matched_vet.size();
        if (alignments == 0)
            continue;
        bool const ambiguous = alignments >= 2;
        if (ambiguous)
        {
            ambigue_reads_mapped_on_library += tag.tag_count;
            result_tag_ambig_vet.push_back(tag);
        }
        else
        {
            unique_reads_mapped_on_library += tag.tag_count;
            result_tag_uniq_vet.push_back(tag);
        }
        // Same work as fill_mirna_result_vector, with one row index kept
        // for the whole pass.
        add_tag_to_rows(tag, ambiguous, rows);
    }
    return 0;
}

int32_t fill_mirna_result_vector(uint32_t p, bool ambiguous)
{
    if (p >= tag_vet.size())
        return 0;
    row_index_t rows = index_existing_rows();
    add_tag_to_rows(tag_vet[p], ambiguous, rows);
    return 0;
}

int32_t output_structures_updating()
{
    uint64_t const mapped = unique_reads_mapped_on_library + ambigue_reads_mapped_on_library;
    for (result_mirna_uniq_ambig_vet_t & row : result_mirna_uniq_ambig_vet)
    {
        if (row.ambig_count_tags != 0)
        {
            row.ambig_expressed_mapped = percentage(row.ambig_count_tags, mapped);
            row.ambig_expressed_all = percentage(row.ambig_count_tags, read_count_experiment);
        }
        if (row.uniq_count_tags != 0)
        {
            row.uniq_expressed_mapped = percentage(row.uniq_count_tags, mapped);
            row.uniq_expressed_all = percentage(row.uniq_count_tags, read_count_experiment);
        }
    }
    return 0;
}

bool sortBy_align_score(mirna_matched_vet_t const & a, mirna_matched_vet_t const & b)
{
    return a.align_score < b.align_score;
}
