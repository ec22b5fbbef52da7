#include "report/tag_tables.hpp"

#include <algorithm>
#include <functional>

#include "report/result_line.hpp"
#include "core/parallel_chunks.hpp"

namespace
{
// The 23 values of a unique tag's line, with its line feed.
void append_unique_line(std::string & line, std::vector<seed_vet_t> const & seed_vet, tag_vet_t const & tag)
{
    mirna_matched_vet_t const & a = tag.mirna_matched_vet[0];
    append_tag_fields(line, tag);
    add_mirna_alignment_fields(line, matched_mirna(seed_vet, a), a);
    add_alignment_flags(line, a);
    line += '\n';
}


// One alignment group: ten values, each after a tab, then a tab and "|".
void append_alignment_group(std::string & line, mirna_vet_t const & mirna, mirna_matched_vet_t const & a)
{
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

// What one range of consecutive tags adds to the tag tables. Aligned to a
// cache line: threads filling neighbouring blocks do not share one.
struct alignas(64) tag_lines
{
    std::string lines;                       // its lines of "_tag_unique.txt" or "_tag_ambigue.txt"
    std::string selected;                    // its lines of "_tag_ambigue_selected.txt"
    uint64_t reads = 0;                      // reads of its tags
    uint64_t selected_reads = 0;             // reads of its selected tags
    std::vector<selected_move> selected_moves;  // of its selected tags, in order
};

// The lines of result_tag_uniq_vet[first, last), appended to `out.lines`,
// with their reads added to `out.reads`.
void append_tag_unique_lines(tag_lines & out, std::vector<seed_vet_t> const & seed_vet,
                             std::vector<tag_vet_t> const & result_tag_uniq_vet, std::size_t first, std::size_t last)
{
    for (std::size_t t = first; t < last; ++t)
    {
        tag_vet_t const & tag = result_tag_uniq_vet[t];
        if (tag.mirna_matched_vet.empty())
            continue;  // a unique tag always has its alignment; guard the access
        append_unique_line(out.lines, seed_vet, tag);
        out.reads += tag.tag_count;
    }
}

// For result_tag_ambig_vet[first, last), in order (alignments as decided,
// best first): appends its line to `out.lines` and its reads to
// `out.reads`; when the tag is assigned, appends its selected line and reads
// to `out.selected` and `out.selected_reads`, and its move to the row of its
// miRNA in the table `row_of_mirna` indexes to `out.selected_moves`.
void append_tag_ambigue_lines(tag_lines & out, std::vector<seed_vet_t> const & seed_vet, result_tables const & results,
                              mirna_row_index const & row_of_mirna, std::size_t first, std::size_t last)
{
    for (std::size_t t = first; t < last; ++t)
    {
        tag_vet_t const & tag = results.result_tag_ambig_vet[t];
        append_tag_fields(out.lines, tag);
        out.reads += tag.tag_count;
        for (mirna_matched_vet_t const & a : tag.mirna_matched_vet)
            append_alignment_group(out.lines, matched_mirna(seed_vet, a), a);
        out.lines += '\n';
        if (counted_ambiguous_alignment(results, t) != nullptr)
        {
            append_selected_tag(out.selected, seed_vet, tag);
            out.selected_reads += tag.tag_count;
            selected_move move;
            if (find_selected_move(seed_vet, tag, row_of_mirna, move))
                out.selected_moves.push_back(move);
        }
    }
}

// Tags per block: the lines of a few blocks per thread are held in memory
// before they are written.
constexpr std::size_t tags_per_block = 4096;

void clear_lines(tag_lines & block)
{
    block.lines.clear();
    block.selected.clear();
    block.reads = 0;
    block.selected_reads = 0;
    block.selected_moves.clear();
}

// Formats the tags [0, tag_count) in blocks on thread_count threads with
// format(block, first, last), and hands the blocks to take(block), in tag
// order, on the calling thread. Stops and returns false as soon as `take`
// returns false.
bool format_in_blocks(std::size_t tag_count, uint32_t thread_count,
                      std::function<void(tag_lines & block, std::size_t first, std::size_t last)> const & format,
                      std::function<bool(tag_lines const & block)> const & take)
{
    std::vector<tag_lines> slots(ordered_block_slots(thread_count));
    return run_in_ordered_blocks(
        tag_count, tags_per_block, thread_count,
        [&](uint32_t slot, uint64_t first, uint64_t last) {
            clear_lines(slots[slot]);
            format(slots[slot], first, last);
        },
        [&](uint32_t slot) { return take(slots[slot]); });
}
bool write_line(std::ostream & file, std::string const & line)
{
    file.write(line.data(), static_cast<std::streamsize>(line.size()));
    return static_cast<bool>(file);
}
}  // namespace

bool write_tag_unique_table(std::ostream & tag_unique_file, std::vector<seed_vet_t> const & seed_vet,
                            std::vector<tag_vet_t> const & result_tag_uniq_vet, uint32_t thread_count,
                            mapped_totals & totals)
{
    if (!write_line(tag_unique_file, tag_unique_header()))
        return false;
    return format_in_blocks(
        result_tag_uniq_vet.size(), thread_count,
        [&](tag_lines & block, std::size_t first, std::size_t last) {
            append_tag_unique_lines(block, seed_vet, result_tag_uniq_vet, first, last);
        },
        [&](tag_lines const & block) {
            if (!write_line(tag_unique_file, block.lines))
                return false;
            totals.uniq_mapped_total_tags_count += block.reads;
            return true;
        });
}

bool write_tag_ambigue_tables(std::ostream & tag_ambigue_file, std::ostream & selected_file,
                              std::vector<seed_vet_t> const & seed_vet, result_tables const & results,
                              std::vector<result_mirna_uniq_ambig_vet_t> & result_mirna_selected_vet,
                              mirna_row_index const & row_of_mirna, uint32_t thread_count, mapped_totals & totals)
{
    if (!write_line(tag_ambigue_file, tag_ambigue_header())
        || !write_line(selected_file, tag_ambigue_selected_header()))
        return false;
    return format_in_blocks(
        results.result_tag_ambig_vet.size(), thread_count,
        [&](tag_lines & block, std::size_t first, std::size_t last) {
            append_tag_ambigue_lines(block, seed_vet, results, row_of_mirna, first, last);
        },
        [&](tag_lines const & block) {
            if (!write_line(tag_ambigue_file, block.lines) || !write_line(selected_file, block.selected))
                return false;
            totals.ambigue_mapped_total_tag_count += block.reads;
            totals.ambigue_selected_mapped_total_tag_count += block.selected_reads;
            for (selected_move const & move : block.selected_moves)
                apply_selected_move(move, result_mirna_selected_vet);
            return true;
        });
}
