// Per-miRNA aggregation of the alignments: unique and ambiguous tag tables,
// read sums, one counter row per miRNA, and the row percentages. The split
// may run on contiguous chunks of tag_vet in parallel: each chunk copies its
// tags into places counted beforehand and sums its own rows, and the chunks'
// rows are then merged in chunk order.
#include "report/result_aggregation.hpp"

#include <algorithm>

#include "core/parallel_chunks.hpp"

namespace
{
using row_table = std::vector<result_mirna_uniq_ambig_vet_t>;

constexpr uint32_t no_row = UINT32_MAX;

// The mirna_index of every miRNA of the seed table, in three flat arrays:
// an alignment's miRNA is read from them in two steps through small
// arrays, not through the seed table's scattered blocks (this pass meets
// every alignment, and on a busy machine scattered reads do not get faster
// with more threads).
struct mirna_slots
{
    std::vector<uint32_t> first_species;  // per seed: its first entry in first_slot
    std::vector<uint32_t> first_slot;     // per seed and species: its first miRNA in mirna_index
    std::vector<uint32_t> mirna_index;
    uint32_t largest_index = 0;
};

mirna_slots slots_of(std::vector<seed_vet_t> const & seed_vet)
{
    mirna_slots slots;
    slots.first_species.reserve(seed_vet.size());
    for (seed_vet_t const & seed : seed_vet)
    {
        slots.first_species.push_back(static_cast<uint32_t>(slots.first_slot.size()));
        for (specie_vet_t const & specie : seed.specie_vet)
        {
            slots.first_slot.push_back(static_cast<uint32_t>(slots.mirna_index.size()));
            for (mirna_vet_t const & mirna : specie.mirna_vet)
            {
                slots.mirna_index.push_back(mirna.mirna_index);
                slots.largest_index = std::max(slots.largest_index, mirna.mirna_index);
            }
        }
    }
    return slots;
}

uint32_t mirna_index_of(mirna_slots const & slots, mirna_matched_vet_t const & a)
{
    return slots.mirna_index[slots.first_slot[slots.first_species[a.seed_index] + a.specie_index] + a.mirna_vet_index];
}

// The rows of a table with the row of each mirna_index (no_row for none).
struct indexed_rows
{
    row_table & table;
    std::vector<uint32_t> row_of;
};

indexed_rows index_rows(row_table & table, uint32_t largest_index)
{
    for (result_mirna_uniq_ambig_vet_t const & row : table)
        largest_index = std::max(largest_index, row.mirna_index);
    indexed_rows rows{table, std::vector<uint32_t>(std::size_t{largest_index} + 1, no_row)};
    for (std::size_t r = 0; r < table.size(); ++r)
        rows.row_of[table[r].mirna_index] = static_cast<uint32_t>(r);
    return rows;
}

// Appends a row (all zero) for the alignment's miRNA.
result_mirna_uniq_ambig_vet_t & new_row(mirna_vet_t const & mirna, uint32_t seed_index, indexed_rows & rows)
{
    result_mirna_uniq_ambig_vet_t row;
    row.mirna_seq = mirna.mirna_seq;
    row.mirna_info = mirna.mirna_info;
    row.mirna_index = mirna.mirna_index;
    row.seed_index = seed_index;
    rows.row_of[mirna.mirna_index] = static_cast<uint32_t>(rows.table.size());
    rows.table.push_back(row);
    return rows.table.back();
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

// Adds every counter of one group to the same counter of another.
void add_group(group_counters const & into, group_counters const & from)
{
    into.different_tags += from.different_tags;
    into.count_tags += from.count_tags;
    into.mirna_exact_tags += from.mirna_exact_tags;
    into.iso_5p_tags += from.iso_5p_tags;
    into.iso_snp_tags += from.iso_snp_tags;
    into.iso_multi_snp_tags += from.iso_multi_snp_tags;
    into.iso_3p_tags += from.iso_3p_tags;
    into.offset_site_tags += from.offset_site_tags;
    into.suppl_compens_site_tags += from.suppl_compens_site_tags;
    into.central_site_tags += from.central_site_tags;
}

// The row of the alignment's miRNA, appended (all zero) when none exists.
result_mirna_uniq_ambig_vet_t & row_for(std::vector<seed_vet_t> const & seed_vet, mirna_slots const & slots,
                                        mirna_matched_vet_t const & a, indexed_rows & rows)
{
    uint32_t const row = rows.row_of[mirna_index_of(slots, a)];
    return row != no_row ? rows.table[row] : new_row(matched_mirna(seed_vet, a), a.seed_index, rows);
}

// Adds every alignment of the tag to the rows, in recorded order.
void add_tag_to_rows(std::vector<seed_vet_t> const & seed_vet, mirna_slots const & slots, tag_vet_t const & tag,
                     bool ambiguous, indexed_rows & rows)
{
    for (mirna_matched_vet_t const & a : tag.mirna_matched_vet)
        count_alignment(chosen_group(row_for(seed_vet, slots, a, rows), ambiguous), a, tag.tag_count);
}

// Adds the rows of a later part of tag_vet to `rows`: counters of a miRNA
// already there are added, new miRNAs are appended in their order. Rows
// therefore keep the order in which tag_vet order first meets them.
void merge_rows(row_table & later, indexed_rows & rows)
{
    for (result_mirna_uniq_ambig_vet_t & row : later)
    {
        uint32_t const found = rows.row_of[row.mirna_index];
        if (found == no_row)
        {
            rows.row_of[row.mirna_index] = static_cast<uint32_t>(rows.table.size());
            rows.table.push_back(row);
            continue;
        }
        result_mirna_uniq_ambig_vet_t & into = rows.table[found];
        add_group(chosen_group(into, false), chosen_group(row, false));
        add_group(chosen_group(into, true), chosen_group(row, true));
    }
}

// Where the mapped tags of one chunk of tag_vet go, and the chunk's sums.
// Aligned to a cache line: the threads filling neighbouring chunks do not share one.
struct alignas(64) chunk_split
{
    uint64_t first = 0;               // the chunk is tag_vet[first, last)
    uint64_t last = 0;
    std::size_t unique_tags = 0;
    std::size_t ambiguous_tags = 0;
    std::size_t first_unique = 0;     // where its copies start in result_tag_uniq_vet
    std::size_t first_ambiguous = 0;  // and in result_tag_ambig_vet
    uint64_t reads = 0;
    uint64_t unique_reads = 0;
    uint64_t ambiguous_reads = 0;
    row_table rows;                   // the chunk's rows, in first-met order
};

// Counts the chunk's unique and ambiguous tags and sums its reads.
void count_chunk(std::vector<tag_vet_t> const & tag_vet, chunk_split & chunk)
{
    chunk_split sums;  // summed here, so that the loop writes no shared memory
    for (uint64_t t = chunk.first; t < chunk.last; ++t)
    {
        tag_vet_t const & tag = tag_vet[t];
        sums.reads += tag.tag_count;
        std::size_t const alignments = tag.mirna_matched_vet.size();
        if (alignments >= 2)
        {
            sums.ambiguous_reads += tag.tag_count;
            ++sums.ambiguous_tags;
        }
        else if (alignments == 1)
        {
            sums.unique_reads += tag.tag_count;
            ++sums.unique_tags;
        }
    }
    chunk.reads = sums.reads;
    chunk.unique_reads = sums.unique_reads;
    chunk.ambiguous_reads = sums.ambiguous_reads;
    chunk.unique_tags = sums.unique_tags;
    chunk.ambiguous_tags = sums.ambiguous_tags;
}

// Copies the mapped tags of the chunk into their places in the two tag
// tables and sums their alignments into the chunk's own rows.
void split_chunk(std::vector<seed_vet_t> const & seed_vet, mirna_slots const & slots,
                 std::vector<tag_vet_t> const & tag_vet, chunk_split & chunk, result_tables & results)
{
    indexed_rows rows = index_rows(chunk.rows, slots.largest_index);
    std::size_t unique = chunk.first_unique;
    std::size_t ambiguous = chunk.first_ambiguous;
    for (uint64_t t = chunk.first; t < chunk.last; ++t)
    {
        tag_vet_t const & tag = tag_vet[t];
        std::size_t const alignments = tag.mirna_matched_vet.size();
        if (alignments == 0)
            continue;
        // The copy views the letters and alignments of the tag in the stores of its table.
        (alignments >= 2 ? results.result_tag_ambig_vet[ambiguous++] : results.result_tag_uniq_vet[unique++]) = tag;
        add_tag_to_rows(seed_vet, slots, tag, alignments >= 2, rows);
    }
}

// count as a percentage of total, in single precision: divide, then scale.
float percentage(uint64_t count, uint64_t total)
{
    return static_cast<float>(count) / static_cast<float>(total) * 100.0f;
}
}  // namespace

int32_t output_structures_generation(std::vector<seed_vet_t> const & seed_vet, std::vector<tag_vet_t> const & tag_vet,
                                     uint32_t thread_count, result_tables & results)
{
    uint64_t const tags = tag_vet.size();
    std::vector<chunk_split> splits(chunk_count(tags, thread_count));
    for (uint32_t c = 0; c < splits.size(); ++c)
    {
        splits[c].first = chunk_begin(tags, static_cast<uint32_t>(splits.size()), c);
        splits[c].last = chunk_begin(tags, static_cast<uint32_t>(splits.size()), c + 1);
    }
    run_in_chunks(tags, thread_count,
                  [&](uint32_t chunk, uint64_t, uint64_t) { count_chunk(tag_vet, splits[chunk]); });

    // The sums, and where each chunk's copies start, chunk after chunk.
    std::size_t unique = results.result_tag_uniq_vet.size();
    std::size_t ambiguous = results.result_tag_ambig_vet.size();
    for (chunk_split & split : splits)
    {
        results.read_count_experiment += split.reads;
        results.unique_reads_mapped_on_library += split.unique_reads;
        results.ambigue_reads_mapped_on_library += split.ambiguous_reads;
        split.first_unique = unique;
        split.first_ambiguous = ambiguous;
        unique += split.unique_tags;
        ambiguous += split.ambiguous_tags;
    }
    reserve_prefaulted(results.result_tag_uniq_vet, unique, thread_count);
    results.result_tag_uniq_vet.resize(unique);
    reserve_prefaulted(results.result_tag_ambig_vet, ambiguous, thread_count);
    results.result_tag_ambig_vet.resize(ambiguous);

    mirna_slots const slots = slots_of(seed_vet);
    run_in_chunks(tags, thread_count, [&](uint32_t chunk, uint64_t, uint64_t) {
        split_chunk(seed_vet, slots, tag_vet, splits[chunk], results);
    });

    // The chunks' rows, merged in chunk order: rows in first-met order.
    indexed_rows rows = index_rows(results.result_mirna_uniq_ambig_vet, slots.largest_index);
    for (chunk_split & split : splits)
        merge_rows(split.rows, rows);
    return 0;
}

int32_t output_structures_updating(result_tables & results)
{
    uint64_t const mapped = results.unique_reads_mapped_on_library + results.ambigue_reads_mapped_on_library;
    for (result_mirna_uniq_ambig_vet_t & row : results.result_mirna_uniq_ambig_vet)
    {
        if (row.ambig_count_tags != 0)
        {
            row.ambig_expressed_mapped = percentage(row.ambig_count_tags, mapped);
            row.ambig_expressed_all = percentage(row.ambig_count_tags, results.read_count_experiment);
        }
        if (row.uniq_count_tags != 0)
        {
            row.uniq_expressed_mapped = percentage(row.uniq_count_tags, mapped);
            row.uniq_expressed_all = percentage(row.uniq_count_tags, results.read_count_experiment);
        }
    }
    return 0;
}
