#include "report/multiqc_content.hpp"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace
{

// `text` as a JSON string, quotes included.
std::string json_string(std::string const & text)
{
    std::string out = "\"";
    for (char c : text)
    {
        unsigned char const byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\')
        {
            out += '\\';
            out += c;
        }
        else if (byte < 0x20)
        {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(byte));
            out += escaped;
        }
        else
            out += c;
    }
    return out + "\"";
}

std::string percent_text(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", value);
    return text;
}

double percent_of(uint64_t part, uint64_t total)
{
    return total == 0 ? 0.0 : 100.0 * static_cast<double>(part) / static_cast<double>(total);
}

// The keys every section shares: its id, the "mirsight" parent section, and
// its name and description.
std::string section_header(std::string const & id, std::string const & name, std::string const & description,
                           std::string const & plot_type)
{
    return "{\n"
           "  \"id\": \"" + id + "\",\n"
           "  \"parent_id\": \"mirsight\",\n"
           "  \"parent_name\": \"mirsight\",\n"
           "  \"parent_description\": \"miRNAs and isomiRs found by mirsight in each sample's tags.\",\n"
           "  \"section_name\": \"" + name + "\",\n"
           "  \"description\": " + json_string(description) + ",\n"
           "  \"plot_type\": \"" + plot_type + "\",\n";
}

// "data": {"<sample>": {<row of sample>}, ...} from one row text per sample.
template <typename RowOf>
std::string data_block(std::vector<sample_summary> const & samples, RowOf row_of)
{
    std::string out = "  \"data\": {";
    for (std::size_t i = 0; i < samples.size(); ++i)
        out += (i ? ",\n    " : "\n    ") + json_string(samples[i].sample) + ": {" + row_of(samples[i]) + "}";
    return out + "\n  }\n}\n";
}

std::string number_pair(char const * key, uint64_t value, bool first = false)
{
    return std::string(first ? "" : ", ") + "\"" + key + "\": " + std::to_string(value);
}

// "length": reads, ... from `first` to `last` (inclusive) of `by_length`.
std::string length_series(std::vector<uint64_t> const & by_length, std::size_t first, std::size_t last)
{
    std::string out;
    for (std::size_t length = first; length <= last; ++length)
    {
        uint64_t const reads = length < by_length.size() ? by_length[length] : 0;
        out += std::string(length == first ? "" : ", ") + "\"" + std::to_string(length) + "\": " +
               std::to_string(reads);
    }
    return out;
}

// The shortest and longest length with reads in the profile; (1, 0) when none.
std::pair<std::size_t, std::size_t> length_range(length_profile const & profile)
{
    std::size_t first = 1, last = 0;
    bool seen = false;
    for (std::vector<uint64_t> const & by_length : profile.reads)
        for (std::size_t length = 0; length < by_length.size(); ++length)
            if (by_length[length] > 0)
            {
                first = seen ? std::min(first, length) : length;
                last = seen ? std::max(last, length) : length;
                seen = true;
            }
    return {first, last};
}

// An outcome of the length profile as MultiQC's lines name it.
std::string outcome_label(std::string const & outcome)
{
    if (outcome == "mirna")
        return "miRNA";
    if (outcome == "too_short")
        return "too short";
    if (outcome == "too_long")
        return "too long";
    if (outcome == "dimer")
        return "adapter dimer";
    return outcome;
}

// "illumina TGG... (99.1%)", or "none".
std::string adapter_label(sample_summary const & s)
{
    return s.adapter.rfind("none", 0) == 0 ? s.adapter : s.adapter + " (" + s.adapter_share + "%)";
}

// The parts of a summary field that holds one text per reads file.
std::vector<std::string> per_file(std::string const & text)
{
    std::vector<std::string> parts;
    std::size_t begin = 0;
    while (true)
    {
        std::size_t const end = text.find("; ", begin);
        parts.push_back(text.substr(begin, end == std::string::npos ? std::string::npos : end - begin));
        if (end == std::string::npos)
            return parts;
        begin = end + 2;
    }
}

// The distinct texts of `parts`, in order, joined by '/'.
std::string distinct_joined(std::vector<std::string> const & parts)
{
    std::vector<std::string> seen;
    std::string joined;
    for (std::string const & part : parts)
        if (std::find(seen.begin(), seen.end(), part) == seen.end())
        {
            seen.push_back(part);
            joined += (joined.empty() ? "" : "/") + part;
        }
    return joined;
}

// A share written as "91.20" as "91.2%".
std::string share_label(std::string const & share)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f%%", std::strtod(share.c_str(), nullptr));
    return text;
}

// "nextflex (auto, 91.2%)": each file's layout name, how it was told and
// the share of the first reads it explained; "" for a tag-count file.
std::string layout_label(sample_summary const & s)
{
    if (!has_read_layout(s))
        return "";
    std::vector<std::string> names;
    for (std::string const & layout : per_file(s.layout))
        names.push_back(layout.substr(0, layout.find(": ")));
    std::string const told = distinct_joined(per_file(s.layout_told_by));
    if (told == "none")
        return distinct_joined(names) + " (none: reads counted as they are)";
    return distinct_joined(names) + " (" + told + ", " + share_label(s.explained_share) + ")";
}

// A summary value that is "none" as an empty cell.
std::string unless_none(std::string const & text)
{
    return text == "none" ? "" : text;
}
} // namespace

bool counts_molecules(sample_summary const & summary)
{
    return summary.umi_duplicate_reads > 0;
}

bool has_read_layout(sample_summary const & summary)
{
    return summary.layout != "none";
}

void set_funnel_of_tags(sample_summary & summary)
{
    summary.raw_reads = summary.kept_reads = summary.total_reads;
}

uint64_t funnel_reads(sample_summary const & summary)
{
    return summary.raw_reads - summary.umi_duplicate_reads;
}

double percent_assigned(sample_summary const & summary)
{
    return percent_of(summary.unique_reads + summary.assigned_reads, funnel_reads(summary));
}

double percent_unassigned(sample_summary const & summary)
{
    return percent_of(summary.ambiguous_unassigned_reads, funnel_reads(summary));
}

std::string multiqc_general_stats_file(std::string const & prefix)
{
    return prefix + ".general_stats_mqc.json";
}

std::string multiqc_read_classes_file(std::string const & prefix)
{
    return prefix + ".read_classes_mqc.json";
}

std::string multiqc_insert_lengths_file(std::string const & prefix)
{
    return prefix + ".insert_lengths_mqc.json";
}

std::string multiqc_top_mirnas_file(std::string const & prefix)
{
    return prefix + ".top_mirnas_mqc.json";
}

std::string multiqc_read_funnel_file(std::string const & prefix)
{
    return prefix + ".read_funnel_mqc.json";
}

std::string multiqc_read_layouts_file(std::string const & prefix)
{
    return prefix + ".read_layouts_mqc.json";
}

std::string multiqc_general_stats(std::vector<sample_summary> const & samples)
{
    std::string out = "{\n"
                      "  \"id\": \"mirsight_general_stats\",\n"
                      "  \"plot_type\": \"generalstats\",\n"
                      "  \"namespace\": \"mirsight\",\n"
                      "  \"pconfig\": [\n"
                      "    {\"total_reads\": {\"title\": \"Reads\", \"description\": \"Reads of the sample (kept "
                      "after adapter trimming; with UMIs see Raw reads and Molecules)\", "
                      "\"format\": \"{:,.0f}\", \"scale\": \"Blues\"}},\n"
                      "    {\"raw_reads\": {\"title\": \"Raw reads\", \"description\": \"With UMIs: the reads "
                      "sequenced, before adapter trimming\", \"format\": \"{:,.0f}\", \"scale\": \"Blues\"}},\n"
                      "    {\"molecules\": {\"title\": \"Molecules\", \"description\": \"With UMIs: the molecules "
                      "counted, a kept read's PCR duplicates once\", \"format\": \"{:,.0f}\", \"scale\": "
                      "\"Blues\"}},\n"
                      "    {\"pct_duplication\": {\"title\": \"% Duplication\", \"description\": \"With UMIs: "
                      "kept reads that were PCR duplicates of a molecule counted already, % of the kept reads\", "
                      "\"suffix\": \"%\", \"min\": 0, \"max\": 100, \"scale\": \"Reds\"}},\n"
                      "    {\"pct_counted\": {\"title\": \"% Counted\", \"description\": \"Reads counted on a "
                      "miRNA (of unique tags and of ambiguous tags assigned to their best miRNA), % of all reads\", "
                      "\"suffix\": \"%\", \"min\": 0, \"max\": 100, \"scale\": \"Greens\"}},\n"
                      "    {\"pct_unassigned\": {\"title\": \"% Unassigned\", \"description\": \"Reads of "
                      "ambiguous tags left unassigned, % of all reads (with % Counted, unmapped and too short "
                      "reads: 100%)\", \"suffix\": \"%\", \"min\": 0, \"max\": 100, \"scale\": \"Oranges\"}},\n"
                      "    {\"mirnas_detected\": {\"title\": \"miRNAs\", \"description\": \"miRNAs with at least "
                      "one read\", \"format\": \"{:,.0f}\", \"scale\": \"Purples\"}},\n"
                      "    {\"pct_kept\": {\"title\": \"% Kept\", \"description\": \"Raw reads whose insert was "
                      "kept after adapter trimming\", \"suffix\": \"%\", \"min\": 0, \"max\": 100, \"scale\": "
                      "\"Blues\"}},\n"
                      "    {\"adapter\": {\"title\": \"Adapter\", \"description\": \"The 3' adapter trimmed, and "
                      "the share of the first reads that showed it\", \"scale\": false}},\n"
                      "    {\"layout\": {\"title\": \"Layout\", \"description\": \"The reads' layout, how it was "
                      "told (auto: by what maps; kit, adapter: as given) and the share of the first reads it turned "
                      "into known miRNAs\", \"scale\": false}},\n"
                      "    {\"qc\": {\"title\": \"QC\", \"description\": \"The library's verdict, pass, warn or "
                      "fail, and the checks that did not pass (miRNA reads, rRNA reads, adapter dimers, the top "
                      "miRNA's share: thresholds in mirsight's docs)\", \"scale\": false}}\n"
                      "  ],\n";
    return out + data_block(samples, [](sample_summary const & s) {
               std::string const reads =
                   counts_molecules(s)
                       ? number_pair("raw_reads", s.raw_reads, true) +
                             number_pair("molecules", s.kept_reads - s.umi_duplicate_reads) +
                             ", \"pct_duplication\": " +
                             percent_text(percent_of(s.umi_duplicate_reads, s.kept_reads))
                       : number_pair("total_reads", s.total_reads, true);
               std::string const layout = layout_label(s);
               return reads + ", \"pct_counted\": " + percent_text(percent_assigned(s)) +
                      ", \"pct_unassigned\": " + percent_text(percent_unassigned(s)) +
                      number_pair("mirnas_detected", s.mirnas_detected) +
                      ", \"pct_kept\": " + percent_text(percent_of(s.kept_reads, s.raw_reads)) +
                      ", \"adapter\": " + json_string(adapter_label(s)) +
                      (layout.empty() ? "" : ", \"layout\": " + json_string(layout)) +
                      (s.qc_verdict == "none" ? ""
                                              : ", \"qc\": " + json_string(s.qc_verdict == "pass"
                                                                                ? s.qc_verdict
                                                                                : s.qc_verdict + ": " + s.qc_reasons));
           });
}

namespace
{
// The funnel's categories of the other RNA classes any sample searched, in
// the order they first come.
std::string class_categories(std::vector<sample_summary> const & samples)
{
    std::vector<std::string> names;
    for (sample_summary const & s : samples)
        for (auto const & entry : s.class_counts)
            if (std::find(names.begin(), names.end(), entry.first) == names.end())
                names.push_back(entry.first);
    std::string text;
    for (std::string const & name : names)
        text += "    " + json_string("class_" + name) + ": {\"name\": " + json_string("class: " + name) + "},\n";
    return text;
}

// A sample's reads in each other RNA class, as data pairs.
std::string class_pairs(sample_summary const & s)
{
    std::string pairs;
    for (auto const & [name, reads] : s.class_counts)
        pairs += ", " + json_string("class_" + name) + ": " + std::to_string(reads);
    return pairs;
}
}  // namespace

std::string multiqc_read_classes(std::vector<sample_summary> const & samples)
{
    std::string out =
        section_header("mirsight_read_classes", "Reads by class",
                       "Each read of a sample in one class. A tag of the unique or the assigned ambiguous reads "
                       "counts in one variant class: two substitutions before one substitution before a 5' variant "
                       "before a 3' variant before exact.",
                       "bargraph") +
        "  \"pconfig\": {\"id\": \"mirsight_read_classes_plot\", \"title\": \"mirsight: reads by class\", "
        "\"ylab\": \"Reads\", \"cpswitch_counts_label\": \"Reads\", \"hide_zero_cats\": false},\n"
        "  \"categories\": {\n"
        "    \"exact\": {\"name\": \"exact\"},\n"
        "    \"iso_5p\": {\"name\": \"5' variant\"},\n"
        "    \"iso_3p\": {\"name\": \"3' variant\"},\n"
        "    \"snp\": {\"name\": \"one substitution\"},\n"
        "    \"multi_snp\": {\"name\": \"two substitutions\"},\n"
        "    \"ambiguous_unassigned\": {\"name\": \"ambiguous-unassigned\"},\n" +
        class_categories(samples) +
        "    \"unmapped\": {\"name\": \"unmapped\"},\n"
        "    \"too_short\": {\"name\": \"too short\"}\n"
        "  },\n";
    return out + data_block(samples, [](sample_summary const & s) {
               return number_pair("exact", s.exact_reads, true) + number_pair("iso_5p", s.iso_5p_reads) +
                      number_pair("iso_3p", s.iso_3p_reads) + number_pair("snp", s.snp_reads) +
                      number_pair("multi_snp", s.multi_snp_reads) +
                      number_pair("ambiguous_unassigned", s.ambiguous_unassigned_reads) + class_pairs(s) +
                      number_pair("unmapped", s.unmapped_reads) + number_pair("too_short", s.too_short_reads);
           });
}


std::string multiqc_read_funnel(std::vector<sample_summary> const & samples)
{
    std::string out =
        section_header("mirsight_read_funnel", "Read funnel",
                       "Every raw read of a sample in one box: no adapter found (when one was expected), too "
                       "short for its UMI, adapter dimer (empty insert), insert too short, insert too long, PCR "
                       "duplicate (a UMI counted already), then the kept reads (molecules, with UMIs) by what "
                       "their tags became.",
                       "bargraph") +
        "  \"pconfig\": {\"id\": \"mirsight_read_funnel_plot\", \"title\": \"mirsight: read funnel\", "
        "\"ylab\": \"Reads\", \"cpswitch_counts_label\": \"Reads\", \"cpswitch_percent_label\": \"% of raw reads\"},\n"
        "  \"categories\": {\n"
        "    \"unique\": {\"name\": \"unique\"},\n"
        "    \"assigned\": {\"name\": \"assigned\"},\n"
        "    \"ambiguous_unassigned\": {\"name\": \"ambiguous-unassigned\"},\n" +
        class_categories(samples) +
        "    \"unmapped\": {\"name\": \"unmapped\"},\n"
        "    \"too_short_tag\": {\"name\": \"tag too short\"},\n"
        "    \"umi_duplicate\": {\"name\": \"PCR duplicate\"},\n"
        "    \"too_long_insert\": {\"name\": \"insert too long\"},\n"
        "    \"too_short_insert\": {\"name\": \"insert too short\"},\n"
        "    \"adapter_dimer\": {\"name\": \"adapter dimer\"},\n"
        "    \"umi_too_short\": {\"name\": \"UMI cut short\"},\n"
        "    \"no_adapter\": {\"name\": \"no adapter\"}\n"
        "  },\n";
    return out + data_block(samples, [](sample_summary const & s) {
               return number_pair("unique", s.unique_reads, true) + number_pair("assigned", s.assigned_reads) +
                      number_pair("ambiguous_unassigned", s.ambiguous_unassigned_reads) + class_pairs(s) +
                      number_pair("unmapped", s.unmapped_reads) + number_pair("too_short_tag", s.too_short_reads) +
                      number_pair("umi_duplicate", s.umi_duplicate_reads) +
                      number_pair("too_long_insert", s.too_long_insert_reads) +
                      number_pair("too_short_insert", s.too_short_insert_reads) +
                      number_pair("adapter_dimer", s.adapter_dimer_reads) +
                      number_pair("umi_too_short", s.umi_too_short_reads) +
                      number_pair("no_adapter", s.no_adapter_reads);
           });
}

std::string multiqc_read_layouts(std::vector<sample_summary> const & samples)
{
    std::string out =
        section_header("mirsight_read_layouts", "Read layouts",
                       "What stands around the insert in each sample's reads, from the read's 5' end (one entry per "
                       "reads file), how it was told (auto: the layout that turned the most of the first reads into "
                       "known miRNAs; kit, adapter or none: as given), the share of the first reads it explained, "
                       "every layout tried with its share, and any warning.",
                       "table") +
        "  \"pconfig\": {\"id\": \"mirsight_read_layouts_table\", \"title\": \"mirsight: read layouts\", "
        "\"col1_header\": \"Sample\"},\n"
        "  \"headers\": {\n"
        "    \"layout\": {\"title\": \"Layout\", \"description\": \"Each reads file's layout: its name, then "
        "what stands around the insert\", \"scale\": false},\n"
        "    \"told_by\": {\"title\": \"Told by\", \"description\": \"auto: by what maps; kit, adapter or "
        "none: as given\", \"scale\": false},\n"
        "    \"pct_explained\": {\"title\": \"% Explained\", \"description\": \"The first reads the layout "
        "turned into known miRNAs, %\", \"suffix\": \"%\", \"min\": 0, \"max\": 100, \"format\": "
        "\"{:,.1f}\", \"scale\": \"Greens\"},\n"
        "    \"candidates\": {\"title\": \"Candidates\", \"description\": \"auto: every layout tried, with the "
        "share of the first reads it explained\", \"scale\": false},\n"
        "    \"warning\": {\"title\": \"Warning\", \"description\": \"What to know about the reads: a UMI set "
        "aside, an adapter most reads lack, reads that look untrimmed\", \"scale\": false}\n"
        "  },\n";
    return out + data_block(samples, [](sample_summary const & s) {
               if (!has_read_layout(s))
                   return std::string("\"layout\": \"tag-count file: no reads trimmed\"");
               return "\"layout\": " + json_string(s.layout) + ", \"told_by\": " + json_string(s.layout_told_by) +
                      ", \"pct_explained\": " + percent_text(std::strtod(s.explained_share.c_str(), nullptr)) +
                      ", \"candidates\": " + json_string(unless_none(s.layout_candidates)) +
                      ", \"warning\": " + json_string(unless_none(s.adapter_warning));
           });
}

std::string multiqc_insert_lengths(std::vector<sample_summary> const & samples)
{
    std::string out = section_header("mirsight_insert_lengths", "Insert lengths",
                                     "Reads by insert length, before any length limit: one line per sample and "
                                     "outcome (miRNA: reads of tags on miRNAs, unique, assigned or ambiguous; each "
                                     "other RNA class; unmapped; too short; too long; adapter dimers at length 0). "
                                     "Reads, also for UMI libraries.",
                                     "linegraph") +
                      "  \"pconfig\": {\"id\": \"mirsight_insert_lengths_plot\", \"title\": \"mirsight: reads by "
                      "insert length\", \"xlab\": \"Insert length (nt)\", \"ylab\": \"Reads\", \"xDecimals\": false, "
                      "\"ymin\": 0},\n"
                      "  \"data\": {";
    bool first_line = true;
    for (sample_summary const & s : samples)
    {
        auto const range = length_range(s.lengths);
        if (range.first > range.second)
            continue;
        for (std::size_t o = 0; o < s.lengths.outcomes.size(); ++o)
        {
            std::vector<uint64_t> const & by_length = s.lengths.reads[o];
            if (std::all_of(by_length.begin(), by_length.end(), [](uint64_t reads) { return reads == 0; }))
                continue;
            out += (first_line ? "\n    " : ",\n    ") + json_string(s.sample + " " + outcome_label(s.lengths.outcomes[o])) +
                   ": {" + length_series(by_length, range.first, range.second) + "}";
            first_line = false;
        }
    }
    return out + "\n  }\n}\n";
}

std::string multiqc_top_mirnas(std::vector<sample_summary> const & samples, std::size_t most)
{
    std::string out = section_header("mirsight_top_mirnas", "Most abundant miRNAs",
                                     "The miRNAs with the most reads in each sample (unique and assigned "
                                     "ambiguous reads), most abundant first, with their reads.",
                                     "table") +
                      "  \"pconfig\": {\"id\": \"mirsight_top_mirnas_table\", \"title\": \"mirsight: most abundant "
                      "miRNAs\", \"col1_header\": \"Sample\"},\n";
    return out + data_block(samples, [most](sample_summary const & s) {
               std::string row;
               std::size_t const shown = std::min(most, s.top_mirnas.size());
               for (std::size_t rank = 0; rank < shown; ++rank)
                   row += std::string(rank ? ", " : "") + "\"#" + std::to_string(rank + 1) + "\": " +
                          json_string(s.top_mirnas[rank].first + " (" + std::to_string(s.top_mirnas[rank].second) +
                                      ")");
               return row;
           });
}

std::vector<std::pair<std::string, std::string>> multiqc_files(std::string const & prefix,
                                                               std::vector<sample_summary> const & samples)
{
    return {{multiqc_general_stats_file(prefix), multiqc_general_stats(samples)},
            {multiqc_read_classes_file(prefix), multiqc_read_classes(samples)},
            {multiqc_insert_lengths_file(prefix), multiqc_insert_lengths(samples)},
            {multiqc_top_mirnas_file(prefix), multiqc_top_mirnas(samples)},
            {multiqc_read_funnel_file(prefix), multiqc_read_funnel(samples)},
            {multiqc_read_layouts_file(prefix), multiqc_read_layouts(samples)}};
}
