#include "report/tag_tables.hpp"

#include <algorithm>

#include "report/result_line.hpp"

namespace
{
// The 23 values of a unique tag's line, with its line feed.
void append_unique_line(std::string & line, tag_vet_t const & tag)
{
    mirna_matched_vet_t const & a = tag.mirna_matched_vet[0];
    append_tag_fields(line, tag);
    add_mirna_alignment_fields(line, a);
    add_alignment_flags(line, a);
    line += '\n';
}


// One alignment group: ten values, each after a tab, then a tab and "|".
void append_alignment_group(std::string & line, mirna_matched_vet_t const & a)
{
    mirna_vet_t const & mirna = matched_mirna(a);
    add_field(line, mirna.mirna_index);
    add_field(line, mirna.mirna_info);
    add_field(line, mirna.mirna_seq);
    add_field(line, a.begin_ungapped_mirna);
    add_field(line, a.begin_ungapped_tag);
    add_field(line, a.size_ungapped);
    add_field(line, a.size_ungapped_1);
    add_field(line, a.size_ungapped_2);
    add_field(line, a.align_score);
    add_field(line, a.mir_tag_size_diff);
    line += "\t|";
}

// The header lines of the two tables.
std::string tag_unique_header()
{
    return header_line({"tag_index", "tag_sequence", "tag_quality", "#count_tags", "mirna_id", "mirna_name",
                        "mirna_seq", "seed_index", "begin_ungapped_mirna", "begin_ungapped_tag",
                        "size_ungapped", "size_ungapped_1", "size_ungapped_2", "align_score",
                        "mir_tag_size_diff", "mirna_exact", "iso_5p", "iso_snp", "iso_multi_snp", "iso_3p",
                        "offset_site", "suppl_compens_site", "central_site"});
}

std::string tag_ambigue_header()
{
    return header_line({"tag_index", "tag_sequence", "tag_quality", "#count_tags", "mirna_id", "mirna_name",
                        "mirna_seq", "begin_ungapped_mirna", "begin_ungapped_tag", "size_ungapped",
                        "size_ungapped_1", "size_ungapped_2", "align_score", "mir_tag_size_diff"});
}
}  // namespace

void sort_by_align_score(std::vector<mirna_matched_vet_t> & alignments)
{
    std::stable_sort(alignments.begin(), alignments.end(),
                     [](mirna_matched_vet_t const & a, mirna_matched_vet_t const & b) {
                         return a.align_score < b.align_score;
                     });
}

bool write_tag_unique_table(std::ostream & tag_unique_file)
{
    if (!write_line(tag_unique_file, tag_unique_header()))
        return false;
    std::string line;
    for (tag_vet_t const & tag : result_tag_uniq_vet)
    {
        if (tag.mirna_matched_vet.empty())
            continue;  // a unique tag always has its alignment; guard the access
        line.clear();
        append_unique_line(line, tag);
        if (!write_line(tag_unique_file, line))
            return false;
        uniq_mapped_total_tags_count += tag.tag_count;
    }
    return true;
}

bool write_tag_ambigue_tables(std::ostream & tag_ambigue_file, std::ostream & selected_file,
                              int32_t align_score_threshold,
                              std::vector<result_mirna_uniq_ambig_vet_t> & result_mirna_selected_vet,
                              mirna_row_index const & row_of_mirna)
{
    if (!write_line(tag_ambigue_file, tag_ambigue_header())
        || !write_line(selected_file, tag_ambigue_selected_header()))
        return false;
    std::string line;
    for (tag_vet_t & tag : result_tag_ambig_vet)
    {
        std::vector<mirna_matched_vet_t> & alignments = tag.mirna_matched_vet;
        line.clear();
        append_tag_fields(line, tag);
        ambigue_mapped_total_tag_count += tag.tag_count;
        sort_by_align_score(alignments);
        if (!alignments.empty())
            append_alignment_group(line, alignments[0]);
        write_line(tag_ambigue_file, line);

        select_ambiguous_tag(tag, align_score_threshold, selected_file, result_mirna_selected_vet, row_of_mirna);

        line.clear();
        for (std::size_t k = 1; k < alignments.size(); ++k)
            append_alignment_group(line, alignments[k]);
        line += '\n';
        if (!write_line(tag_ambigue_file, line) || !selected_file)
            return false;
    }
    return true;
}
