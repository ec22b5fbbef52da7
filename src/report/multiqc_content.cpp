#include "report/multiqc_content.hpp"

#include <algorithm>
#include <cstdio>

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

// The shortest and longest length with reads in either vector; (1, 0) when none.
std::pair<std::size_t, std::size_t> length_range(std::vector<uint64_t> const & a, std::vector<uint64_t> const & b)
{
    std::size_t first = 1, last = 0;
    bool seen = false;
    for (auto const * by_length : {&a, &b})
        for (std::size_t length = 0; length < by_length->size(); ++length)
            if ((*by_length)[length] > 0)
            {
                first = seen ? std::min(first, length) : length;
                last = seen ? std::max(last, length) : length;
                seen = true;
            }
    return {first, last};
}

// "illumina TGG... (99.1%)", or "none".
std::string adapter_label(sample_summary const & s)
{
    return s.adapter.rfind("none", 0) == 0 ? s.adapter : s.adapter + " (" + s.adapter_share + "%)";
}
} // namespace

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

std::string multiqc_tag_lengths_file(std::string const & prefix)
{
    return prefix + ".tag_lengths_mqc.json";
}

std::string multiqc_top_mirnas_file(std::string const & prefix)
{
    return prefix + ".top_mirnas_mqc.json";
}

std::string multiqc_read_funnel_file(std::string const & prefix)
{
    return prefix + ".read_funnel_mqc.json";
}

std::string multiqc_general_stats(std::vector<sample_summary> const & samples)
{
    std::string out = "{\n"
                      "  \"id\": \"mirsight_general_stats\",\n"
                      "  \"plot_type\": \"generalstats\",\n"
                      "  \"namespace\": \"mirsight\",\n"
                      "  \"pconfig\": [\n"
                      "    {\"total_reads\": {\"title\": \"Reads\", \"description\": \"Reads of the sample\", "
                      "\"format\": \"{:,.0f}\", \"scale\": \"Blues\"}},\n"
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
                      "the share of the first reads that showed it\", \"scale\": false}}\n"
                      "  ],\n";
    return out + data_block(samples, [](sample_summary const & s) {
               return number_pair("total_reads", s.total_reads, true) + ", \"pct_counted\": " +
                      percent_text(percent_assigned(s)) + ", \"pct_unassigned\": " +
                      percent_text(percent_unassigned(s)) + number_pair("mirnas_detected", s.mirnas_detected) +
                      ", \"pct_kept\": " + percent_text(percent_of(s.kept_reads, s.raw_reads)) +
                      ", \"adapter\": " + json_string(adapter_label(s));
           });
}

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
        "    \"ambiguous_unassigned\": {\"name\": \"ambiguous-unassigned\"},\n"
        "    \"unmapped\": {\"name\": \"unmapped\"},\n"
        "    \"too_short\": {\"name\": \"too short\"}\n"
        "  },\n";
    return out + data_block(samples, [](sample_summary const & s) {
               return number_pair("exact", s.exact_reads, true) + number_pair("iso_5p", s.iso_5p_reads) +
                      number_pair("iso_3p", s.iso_3p_reads) + number_pair("snp", s.snp_reads) +
                      number_pair("multi_snp", s.multi_snp_reads) +
                      number_pair("ambiguous_unassigned", s.ambiguous_unassigned_reads) +
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
        "\"ylab\": \"Reads\", \"cpswitch_counts_label\": \"Reads\"},\n"
        "  \"categories\": {\n"
        "    \"unique\": {\"name\": \"unique\"},\n"
        "    \"assigned\": {\"name\": \"assigned\"},\n"
        "    \"ambiguous_unassigned\": {\"name\": \"ambiguous-unassigned\"},\n"
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
                      number_pair("ambiguous_unassigned", s.ambiguous_unassigned_reads) +
                      number_pair("unmapped", s.unmapped_reads) + number_pair("too_short_tag", s.too_short_reads) +
                      number_pair("umi_duplicate", s.umi_duplicate_reads) +
                      number_pair("too_long_insert", s.too_long_insert_reads) +
                      number_pair("too_short_insert", s.too_short_insert_reads) +
                      number_pair("adapter_dimer", s.adapter_dimer_reads) +
                      number_pair("umi_too_short", s.umi_too_short_reads) +
                      number_pair("no_adapter", s.no_adapter_reads);
           });
}

std::string multiqc_tag_lengths(std::vector<sample_summary> const & samples)
{
    std::string out = section_header("mirsight_tag_lengths", "Tag lengths",
                                     "Reads by tag length: one line for the mapped and one for the unmapped "
                                     "reads of each sample.",
                                     "linegraph") +
                      "  \"pconfig\": {\"id\": \"mirsight_tag_lengths_plot\", \"title\": \"mirsight: reads by tag "
                      "length\", \"xlab\": \"Tag length (nt)\", \"ylab\": \"Reads\", \"xDecimals\": false, "
                      "\"ymin\": 0},\n"
                      "  \"data\": {";
    bool first_line = true;
    for (sample_summary const & s : samples)
    {
        auto const range = length_range(s.mapped_reads_by_length, s.unmapped_reads_by_length);
        if (range.first > range.second)
            continue;
        for (auto const & [label, by_length] :
             {std::make_pair(std::string(" mapped"), &s.mapped_reads_by_length),
              std::make_pair(std::string(" unmapped"), &s.unmapped_reads_by_length)})
        {
            out += (first_line ? "\n    " : ",\n    ") + json_string(s.sample + label) + ": {" +
                   length_series(*by_length, range.first, range.second) + "}";
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
            {multiqc_tag_lengths_file(prefix), multiqc_tag_lengths(samples)},
            {multiqc_top_mirnas_file(prefix), multiqc_top_mirnas(samples)},
            {multiqc_read_funnel_file(prefix), multiqc_read_funnel(samples)}};
}
