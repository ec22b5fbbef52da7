#include "sample/run_summary.hpp"

#include <cstdio>

namespace
{
constexpr std::size_t label_width = 24;
constexpr std::size_t number_width = 11;
constexpr std::size_t percent_width = 6;

// 1234567 as "1,234,567".
std::string with_commas(uint64_t value)
{
    std::string const digits = std::to_string(value);
    std::string text;
    for (std::size_t i = 0; i < digits.size(); ++i)
    {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            text += ',';
        text += digits[i];
    }
    return text;
}

std::string percent_of(uint64_t part, uint64_t whole)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f%%",
                  whole == 0 ? 0.0 : 100.0 * static_cast<double>(part) / static_cast<double>(whole));
    return text;
}

std::string right_aligned(std::string const & text, std::size_t width)
{
    return text.size() >= width ? text : std::string(width - text.size(), ' ') + text;
}

// "  LABEL      TEXT" with the text in the column after the labels.
std::string line(std::string const & label, std::string const & text, std::size_t indent = 2)
{
    std::string out(indent, ' ');
    out += label;
    if (!text.empty())
        out += std::string(out.size() < label_width + 2 ? label_width + 2 - out.size() : 1, ' ') + text;
    return out + '\n';
}

// "  LABEL     12,345   12.3%" (the share and a note when given).
std::string count_line(std::string const & label, uint64_t count, std::string const & share = "",
                       std::string const & note = "", std::size_t indent = 2)
{
    std::string text = right_aligned(with_commas(count), number_width);
    if (!share.empty())
        text += "  " + right_aligned(share, percent_width);
    if (!note.empty())
        text += (share.empty() ? "  " : " ") + note;
    return line(label, text, indent);
}

// How the layout was told: by what maps, or as given; with the share of the
// first reads it turned into known miRNAs.
std::string told_text(lane_layout const & lane)
{
    std::string text;
    switch (lane.source)
    {
    case layout_source::inferred: text = "auto, told by what maps"; break;
    case layout_source::kit: text = "given (--protocol " + lane.applied.layout.name + ")"; break;
    case layout_source::adapter: text = "given (--adapter)"; break;
    case layout_source::none: return "given (--adapter none): the reads counted as they are";
    }
    if (lane.sampled_reads == 0)
        return text + ": no reads";
    return text + ": it explains " + percent_of(lane.explained, lane.sampled_reads) + " of the first " +
           with_commas(lane.sampled_reads) + " reads";
}

// Each reads file's layout in words, how it was told, and its warning.
std::string layout_lines(std::vector<lane_layout> const & lanes)
{
    std::string text;
    for (std::size_t i = 0; i < lanes.size(); ++i)
    {
        lane_layout const & lane = lanes[i];
        read_layout const & layout = lane.applied.layout;
        bool const several = lanes.size() > 1;
        text += line(several ? "Layout, file " + std::to_string(i + 1) : "Layout",
                     layout.name + ": " + layout_text(layout));
        text += line("", told_text(lane) + (several ? " (" + lane.path + ")" : ""));
        if (!lane.warning.empty())
            text += line("Warning", lane.warning);
    }
    return text;
}

// Every raw read in one box, % of the raw reads; with UMIs, the PCR
// duplicates among the kept reads and the molecules counted.
std::string funnel_lines(sample_summary const & s, bool molecules)
{
    uint64_t const raw = s.raw_reads;
    std::string text = count_line("No adapter", s.no_adapter_reads, percent_of(s.no_adapter_reads, raw)) +
                       count_line("UMI cut short", s.umi_too_short_reads, percent_of(s.umi_too_short_reads, raw)) +
                       count_line("Adapter dimers", s.adapter_dimer_reads, percent_of(s.adapter_dimer_reads, raw)) +
                       count_line("Insert too short", s.too_short_insert_reads,
                                  percent_of(s.too_short_insert_reads, raw)) +
                       count_line("Insert too long", s.too_long_insert_reads,
                                  percent_of(s.too_long_insert_reads, raw)) +
                       count_line("Kept", s.kept_reads, percent_of(s.kept_reads, raw));
    if (molecules)
        text += count_line("PCR duplicates", s.umi_duplicate_reads, percent_of(s.umi_duplicate_reads, s.kept_reads),
                           "of kept") +
                count_line("Molecules", s.kept_reads - s.umi_duplicate_reads);
    return text;
}

// Each other RNA class's reads (taken from miRNAs among them), when classes were searched.
std::string class_lines(sample_summary const & s, uint64_t total)
{
    std::string text;
    for (auto const & [name, reads] : s.class_counts)
        text += count_line("in " + name, reads, percent_of(reads, total), "", 4);
    if (s.classes_searched && s.moved_from_mirna_reads > 0)
        text += count_line("of them miRNA-like", s.moved_from_mirna_reads, percent_of(s.moved_from_mirna_reads, total),
                           "(held by a class exactly, by a miRNA with changes)", 4);
    return text;
}

// The reads folded into tags on miRNAs as their sequencing errors, when
// errors were folded and reads are counted (with molecules, most of them
// join a molecule counted anyway).
std::string folded_lines(sample_summary const & s, bool reads)
{
    if (!s.errors_folded || !reads)
        return "";
    return count_line("errors folded in", s.folded_error_reads, percent_of(s.folded_error_reads, s.total_reads),
                      "(counted above: one change from a tag on a miRNA)", 4);
}

// The reads (or molecules) of the tags, by what they became.
std::string mapping_lines(sample_summary const & s, std::string const & of_what)
{
    uint64_t const total = s.total_reads;
    return line((s.classes_searched ? "On miRNAs and other RNAs, of the " : "On miRNAs, of the ") +
                    with_commas(total) + " " + of_what + ":",
                "") +
           count_line("unique", s.unique_reads, percent_of(s.unique_reads, total), "", 4) +
           count_line("assigned", s.assigned_reads, percent_of(s.assigned_reads, total), "", 4) +
           count_line("ambiguous-unassigned", s.ambiguous_unassigned_reads,
                      percent_of(s.ambiguous_unassigned_reads, total), "", 4) +
           folded_lines(s, of_what == "reads") + class_lines(s, total) +
           count_line("unmapped", s.unmapped_reads, percent_of(s.unmapped_reads, total), "", 4) +
           count_line("too short to search", s.too_short_reads, percent_of(s.too_short_reads, total), "", 4);
}
}  // namespace

std::string run_summary_text(std::string const & command, sample_summary const & s, raw_read_result const * reads,
                             std::string const & prefix)
{
    std::string text = command + ": sample " + s.sample + "\n";
    std::string of_what = "reads";
    if (reads == nullptr)
        text += count_line("Reads in", s.total_reads, "", "(a tag-count file)");
    else
    {
        std::size_t const files = reads->lanes.size();
        text += count_line("Reads in", s.raw_reads, "",
                           files == 1 ? reads->lanes.front().path : std::to_string(files) + " files");
        text += layout_lines(reads->lanes);
        text += funnel_lines(s, reads->counts_molecules());
        of_what = reads->counts_molecules() ? "molecules" : "kept reads";
    }
    text += mapping_lines(s, of_what);
    text += count_line("miRNAs detected", s.mirnas_detected);
    text += line("Files", prefix + ".*  (the stages' counters in " + s.sample + ".log)");
    return text;
}
