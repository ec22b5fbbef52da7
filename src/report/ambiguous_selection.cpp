#include "report/ambiguous_selection.hpp"

#include "core/parallel_chunks.hpp"
#include "report/family_comparator.hpp"
#include "report/result_line.hpp"

namespace
{
// 1 for the best alignment's family, plus 1 for every other alignment whose
// miRNA lies outside that family.
int32_t count_mirna_families(std::vector<seed_vet_t> const & seed_vet,
                             alignment_list const & alignments)
{
    mirna_family_name const best = family_name_of(matched_mirna(seed_vet, alignments[0]).mirna_info);
    int32_t num_mir_family = 1;
    for (std::size_t j = 1; j < alignments.size(); ++j)
        num_mir_family += same_family(best, family_name_of(matched_mirna(seed_vet, alignments[j]).mirna_info)) ? 0 : 1;
    return num_mir_family;
}

// The 26 values of a selected tag's line, with its line feed.
void append_selected_line(std::string & line, mirna_vet_t const & mirna, tag_vet_t const & tag,
                          int32_t num_mir_family)
{
    mirna_matched_vet_t const & best = tag.mirna_matched_vet[0];
    int64_t const score_gap = int64_t{tag.mirna_matched_vet[1].align_score} - best.align_score;

    append_tag_fields(line, tag);
    add_mirna_alignment_fields(line, mirna, best);
    add_field(line, score_gap);
    add_field(line, num_mir_family);
    add_field(line, static_cast<uint64_t>(tag.mirna_matched_vet.size()));
    add_alignment_flags(line, best);
    line += '\n';
}

void move_reads(uint64_t & ambiguous_counter, uint64_t & unique_counter, uint64_t reads)
{
    ambiguous_counter -= reads;
    unique_counter += reads;
}

// Moves one tag of `reads` reads, aligned as `best`, from the ambiguous to the
// unique counters of `row`; the four percentages become 0.
void move_tag_to_unique(result_mirna_uniq_ambig_vet_t & row, mirna_matched_vet_t const & best, uint64_t reads)
{
    ++row.uniq_different_tags;
    --row.ambig_different_tags;
    move_reads(row.ambig_count_tags, row.uniq_count_tags, reads);
    row.uniq_expressed_all = 0;
    row.uniq_expressed_mapped = 0;
    row.ambig_expressed_all = 0;
    row.ambig_expressed_mapped = 0;

    if (best.iso_5p)
        move_reads(row.ambig_iso_5p_tags, row.uniq_iso_5p_tags, reads);
    else if (best.iso_snp)
        move_reads(row.ambig_iso_snp_tags, row.uniq_iso_snp_tags, reads);
    else if (best.iso_multi_snp)
        move_reads(row.ambig_iso_multi_snp_tags, row.uniq_iso_multi_snp_tags, reads);
    else if (best.iso_3p)
        move_reads(row.ambig_iso_3p_tags, row.uniq_iso_3p_tags, reads);
    else
        move_reads(row.ambig_mirna_exact_tags, row.uniq_mirna_exact_tags, reads);

    if (best.offset_site)
        move_reads(row.ambig_offset_site_tags, row.uniq_offset_site_tags, reads);
    if (best.suppl_compens_site)
        move_reads(row.ambig_suppl_compens_site_tags, row.uniq_suppl_compens_site_tags, reads);
    if (best.central_site)
        move_reads(row.ambig_central_site_tags, row.uniq_central_site_tags, reads);
}
}  // namespace

mirna_row_index index_rows_by_mirna(std::vector<result_mirna_uniq_ambig_vet_t> const & rows)
{
    mirna_row_index row_of_mirna;
    row_of_mirna.reserve(rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i)
        row_of_mirna.emplace(rows[i].mirna_index, i);
    return row_of_mirna;
}

std::string tag_ambigue_selected_header()
{
    return header_line({"tag_index", "tag_sequence", "tag_quality", "#count_tags", "mirna_id", "mirna_name",
                        "mirna_seq", "seed_index", "begin_ungapped_mirna", "begin_ungapped_tag",
                        "size_ungapped", "size_ungapped_1", "size_ungapped_2", "align_score",
                        "mir_tag_size_diff", "mir2-mir1_align_score", "num_mir_family",
                        "num_of_mapped_miRNAs", "mirna_exact", "iso_5p", "iso_snp", "iso_multi_snp",
                        "iso_3p", "offset_site", "suppl_compens_site", "central_site"});
}

void decide_counted_alignments(assignment_rule const & rule, std::vector<seed_vet_t> const & seed_vet,
                               uint32_t thread_count, result_tables & results)
{
    std::vector<tag_vet_t> & tags = results.result_tag_ambig_vet;
    results.assigned.assign(tags.size(), 0);
    run_in_chunks(tags.size(), thread_count, [&](uint32_t, uint64_t first, uint64_t last) {
        for (uint64_t t = first; t < last; ++t)
        {
            order_alignments(tags[t].mirna_matched_vet, rule);
            results.assigned[t] = tags[t].mirna_matched_vet.size() >= 2 &&
                                  counted_alignment(tags[t], rule, seed_vet) != nullptr;
        }
    });
}

void append_selected_tag(std::string & selected_lines, std::vector<seed_vet_t> const & seed_vet, tag_vet_t const & tag)
{
    alignment_list const & alignments = tag.mirna_matched_vet;
    append_selected_line(selected_lines, matched_mirna(seed_vet, alignments[0]), tag,
                         count_mirna_families(seed_vet, alignments));
}

bool find_selected_move(std::vector<seed_vet_t> const & seed_vet, tag_vet_t const & tag,
                        mirna_row_index const & row_of_mirna, selected_move & move)
{
    mirna_matched_vet_t const & best = tag.mirna_matched_vet[0];
    auto const row = row_of_mirna.find(matched_mirna(seed_vet, best).mirna_index);
    if (row == row_of_mirna.end())
        return false;
    move = {row->second, &best, tag.tag_count};
    return true;
}

void apply_selected_move(selected_move const & move, std::vector<result_mirna_uniq_ambig_vet_t> & result_mirna_selected_vet)
{
    move_tag_to_unique(result_mirna_selected_vet[move.row], *move.best, move.reads);
}

