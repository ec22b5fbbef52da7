#include "report/mirna_tables.hpp"

#include "report/result_line.hpp"

namespace
{
// The twelve values of one group (unique or ambiguous) of a row.
struct counter_block
{
    uint32_t different_tags;
    uint64_t count_tags;
    float expressed_all;
    float expressed_mapped;
    uint64_t mirna_exact_tags;
    uint64_t iso_5p_tags;
    uint64_t iso_snp_tags;
    uint64_t iso_multi_snp_tags;
    uint64_t iso_3p_tags;
    uint64_t offset_site_tags;
    uint64_t suppl_compens_site_tags;
    uint64_t central_site_tags;
};

counter_block unique_block(result_mirna_uniq_ambig_vet_t const & r)
{
    return {r.uniq_different_tags, r.uniq_count_tags, r.uniq_expressed_all, r.uniq_expressed_mapped,
            r.uniq_mirna_exact_tags, r.uniq_iso_5p_tags, r.uniq_iso_snp_tags, r.uniq_iso_multi_snp_tags,
            r.uniq_iso_3p_tags, r.uniq_offset_site_tags, r.uniq_suppl_compens_site_tags,
            r.uniq_central_site_tags};
}

counter_block ambiguous_block(result_mirna_uniq_ambig_vet_t const & r)
{
    return {r.ambig_different_tags, r.ambig_count_tags, r.ambig_expressed_all, r.ambig_expressed_mapped,
            r.ambig_mirna_exact_tags, r.ambig_iso_5p_tags, r.ambig_iso_snp_tags, r.ambig_iso_multi_snp_tags,
            r.ambig_iso_3p_tags, r.ambig_offset_site_tags, r.ambig_suppl_compens_site_tags,
            r.ambig_central_site_tags};
}

// The header line of a per-miRNA table.
std::string mirna_table_header(bool normalised)
{
    return header_line({"mirna_index", "#different_tags", "#count_tags",
                        normalised ? "norm_expressed_all" : "NO-norm_expressed_all",
                        normalised ? "norm_expressed_mapped" : "NO-norm_expressed_mapped",
                        "#mirna_exact_tags", "#iso_5p_tags", "#iso_snp_tags", "#iso_multi_snp_tags",
                        "#iso_3p_tags", "#offset_site_tags", "#suppl_compens_site_tags",
                        "#central_site_tags", "seed_index", "mirna_seq", "mirna_info"});
}

// The line of one row, with its line feed: its ambiguous-tag counters when
// `ambiguous` is true, else its unique-tag counters.
void append_mirna_line(std::string & line, result_mirna_uniq_ambig_vet_t const & row, bool ambiguous)
{
    counter_block const b = ambiguous ? ambiguous_block(row) : unique_block(row);
    append_unsigned(line, row.mirna_index);
    add_field(line, b.different_tags);
    add_field(line, b.count_tags);
    add_percentage(line, b.expressed_all);
    add_percentage(line, b.expressed_mapped);
    add_field(line, b.mirna_exact_tags);
    add_field(line, b.iso_5p_tags);
    add_field(line, b.iso_snp_tags);
    add_field(line, b.iso_multi_snp_tags);
    add_field(line, b.iso_3p_tags);
    add_field(line, b.offset_site_tags);
    add_field(line, b.suppl_compens_site_tags);
    add_field(line, b.central_site_tags);
    add_field(line, row.seed_index);
    add_field(line, row.mirna_seq);
    add_field(line, row.mirna_info);
    line += '\n';
}
}  // namespace

std::string mirna_table_text(std::vector<result_mirna_uniq_ambig_vet_t> const & rows, bool normalised,
                             bool ambiguous)
{
    std::string text = mirna_table_header(normalised);
    for (result_mirna_uniq_ambig_vet_t const & row : rows)
        if ((ambiguous ? row.ambig_different_tags : row.uniq_different_tags) != 0)
            append_mirna_line(text, row, ambiguous);
    return text;
}
