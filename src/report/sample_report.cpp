#include "report/sample_report.hpp"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <map>
#include <unordered_map>

namespace
{
// The class counter of a counted alignment.
uint64_t & class_reads(sample_summary & summary, mirna_matched_vet_t const & a)
{
    if (a.iso_multi_snp)
        return summary.multi_snp_reads;
    if (a.iso_snp)
        return summary.snp_reads;
    if (a.iso_5p)
        return summary.iso_5p_reads;
    if (a.iso_3p)
        return summary.iso_3p_reads;
    return summary.exact_reads;
}

std::string percent_text(uint64_t part, uint64_t total)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", total == 0 ? 0.0 : 100.0 * static_cast<double>(part) / static_cast<double>(total));
    return text;
}

// The summary columns with the field each one reads and writes (nullptr
// for the percentages, which are computed).
struct summary_column
{
    char const * name;
    uint64_t sample_summary::*field;
    std::string sample_summary::*text = nullptr;  // a text column instead
    bool added_later = false;  // summaries written before it was added lack it: read as its default
};

std::vector<summary_column> const & columns()
{
    static std::vector<summary_column> const list = {
        {"total_reads", &sample_summary::total_reads},
        {"total_tags", &sample_summary::total_tags},
        {"too_short_reads", &sample_summary::too_short_reads},
        {"unique_reads", &sample_summary::unique_reads},
        {"ambiguous_reads", nullptr},
        {"assigned_reads", &sample_summary::assigned_reads},
        {"unassigned_reads", &sample_summary::ambiguous_unassigned_reads},
        {"unmapped_reads", &sample_summary::unmapped_reads},
        {"pct_unique", nullptr},
        {"pct_assigned", nullptr},
        {"pct_ambiguous", nullptr},
        {"pct_unmapped", nullptr},
        {"mirnas_detected", &sample_summary::mirnas_detected},
        {"exact_reads", &sample_summary::exact_reads},
        {"iso_5p_reads", &sample_summary::iso_5p_reads},
        {"iso_3p_reads", &sample_summary::iso_3p_reads},
        {"snp_reads", &sample_summary::snp_reads},
        {"multi_snp_reads", &sample_summary::multi_snp_reads},
        {"too_short_tags", &sample_summary::too_short_tags},
        {"unique_tags", &sample_summary::unique_tags},
        {"assigned_tags", &sample_summary::assigned_tags},
        {"unassigned_tags", &sample_summary::ambiguous_unassigned_tags},
        {"unmapped_tags", &sample_summary::unmapped_tags},
        {"raw_reads", &sample_summary::raw_reads},
        {"no_adapter_reads", &sample_summary::no_adapter_reads},
        {"umi_too_short_reads", &sample_summary::umi_too_short_reads},
        {"adapter_dimer_reads", &sample_summary::adapter_dimer_reads},
        {"too_short_insert_reads", &sample_summary::too_short_insert_reads},
        {"too_long_insert_reads", &sample_summary::too_long_insert_reads},
        {"kept_reads", &sample_summary::kept_reads},
        {"umi_duplicate_reads", &sample_summary::umi_duplicate_reads},
        {"adapter", nullptr, &sample_summary::adapter},
        {"pct_adapter", nullptr, &sample_summary::adapter_share},
        {"adapter_warning", nullptr, &sample_summary::adapter_warning},
        {"layout", nullptr, &sample_summary::layout, true},
        {"layout_told_by", nullptr, &sample_summary::layout_told_by, true},
        {"pct_explained", nullptr, &sample_summary::explained_share, true},
        {"layout_candidates", nullptr, &sample_summary::layout_candidates, true},
        {"shared_reads", &sample_summary::shared_reads, nullptr, true},
        {"other_rna_reads", &sample_summary::other_rna_reads, nullptr, true},
        {"moved_from_mirna_reads", &sample_summary::moved_from_mirna_reads, nullptr, true},
        {"class_reads", nullptr, &sample_summary::class_reads, true},
        {"qc_verdict", nullptr, &sample_summary::qc_verdict, true},
        {"qc_reasons", nullptr, &sample_summary::qc_reasons, true},
    };
    return list;
}

std::string column_value(summary_column const & column, sample_summary const & s)
{
    if (column.field != nullptr)
        return std::to_string(s.*column.field);
    if (column.text != nullptr)
        return s.*column.text;
    std::string const name = column.name;
    uint64_t const ambiguous = s.assigned_reads + s.ambiguous_unassigned_reads;
    if (name == "ambiguous_reads")
        return std::to_string(ambiguous);
    if (name == "pct_unique")
        return percent_text(s.unique_reads, funnel_reads(s));
    if (name == "pct_assigned")
        return percent_text(s.unique_reads + s.assigned_reads, funnel_reads(s));
    if (name == "pct_ambiguous")
        return percent_text(ambiguous, funnel_reads(s));
    return percent_text(s.unmapped_reads, funnel_reads(s));
}
}  // namespace

std::vector<mirna_reads> count_mirna_reads(std::vector<seed_vet_t> const & seed_vet, result_tables const & results,
                                           tie_shares const * shares)
{
    std::vector<mirna_reads> rows;
    std::unordered_map<uint32_t, std::size_t> row_of;  // by mirna_index
    auto row_for = [&](mirna_matched_vet_t const & a) -> mirna_reads & {
        mirna_vet_t const & mirna = matched_mirna(seed_vet, a);
        auto const found = row_of.emplace(mirna.mirna_index, rows.size());
        if (found.second)
            rows.push_back({mirna_name(mirna), mirna_accession(mirna), 0, 0, 0});
        return rows[found.first->second];
    };
    for (tag_vet_t const & tag : results.result_tag_uniq_vet)
        if (mirna_matched_vet_t const * counted = counted_unique_alignment(tag))
            row_for(*counted).unique += tag.tag_count;
    for (std::size_t t = 0; t < results.result_tag_ambig_vet.size(); ++t)
    {
        tag_vet_t const & tag = results.result_tag_ambig_vet[t];
        if (mirna_matched_vet_t const * counted = counted_ambiguous_alignment(results, t))
        {
            row_for(*counted).assigned += tag.tag_count;
            continue;
        }
        std::vector<uint32_t> seen;  // a miRNA met twice counts the tag once
        for (mirna_matched_vet_t const & a : tag.mirna_matched_vet)
        {
            uint32_t const index = matched_mirna(seed_vet, a).mirna_index;
            if (std::find(seen.begin(), seen.end(), index) != seen.end())
                continue;
            seen.push_back(index);
            row_for(a).ambiguous += tag.tag_count;
        }
    }
    if (shares != nullptr)
        for (tied_share const & share : shares->shares)
            for (mirna_matched_vet_t const & a : results.result_tag_ambig_vet[share.tag].mirna_matched_vet)
                if (matched_mirna(seed_vet, a).mirna_index == share.mirna_index)
                {
                    row_for(a).shared += share.reads;
                    break;
                }
    std::stable_sort(rows.begin(), rows.end(), [](mirna_reads const & a, mirna_reads const & b) {
        return a.mirna != b.mirna ? a.mirna < b.mirna : a.accession < b.accession;
    });
    return rows;
}

sample_summary summarize_sample(std::string const & sample, tag_table const & tags, result_tables const & results,
                                std::vector<mirna_reads> const & mirnas, std::size_t top)
{
    sample_summary s;
    s.sample = sample;
    s.total_tags = tags.tot_total_tag_count;
    s.too_short_tags = tags.discarded_tag;
    s.too_short_reads = tags.discarded_reads;
    s.total_reads = results.read_count_experiment + tags.discarded_reads;
    set_funnel_of_tags(s);
    for (tag_vet_t const & tag : tags.tag_vet)
        if (tag.mirna_matched_vet.empty())
        {
            s.unmapped_reads += tag.tag_count;
            ++s.unmapped_tags;
        }
    for (tag_vet_t const & tag : results.result_tag_uniq_vet)
    {
        s.unique_reads += tag.tag_count;
        ++s.unique_tags;
        if (mirna_matched_vet_t const * counted = counted_unique_alignment(tag))
            class_reads(s, *counted) += tag.tag_count;
    }
    for (std::size_t t = 0; t < results.result_tag_ambig_vet.size(); ++t)
    {
        tag_vet_t const & tag = results.result_tag_ambig_vet[t];
        mirna_matched_vet_t const * counted = counted_ambiguous_alignment(results, t);
        if (counted == nullptr)
        {
            s.ambiguous_unassigned_reads += tag.tag_count;
            ++s.ambiguous_unassigned_tags;
            continue;
        }
        s.assigned_reads += tag.tag_count;
        ++s.assigned_tags;
        class_reads(s, *counted) += tag.tag_count;
    }
    std::vector<std::pair<std::string, uint64_t>> ranked;
    for (mirna_reads const & m : mirnas)
        if (m.unique + m.assigned + m.shared > 0)
            ranked.emplace_back(m.mirna, m.unique + m.assigned + m.shared);
    s.mirnas_detected = ranked.size();
    std::stable_sort(ranked.begin(), ranked.end(),
                     [](auto const & a, auto const & b) { return a.second > b.second; });
    ranked.resize(std::min(ranked.size(), top));
    s.top_mirnas = std::move(ranked);
    return s;
}

std::string mirna_table_text(std::vector<mirna_reads> const & mirnas, bool shared)
{
    uint64_t counted = 0;
    for (mirna_reads const & m : mirnas)
        counted += m.unique + m.assigned + m.shared;
    std::string text = mirna_table_header(shared);
    for (mirna_reads const & m : mirnas)
    {
        char rpm[32];
        double const value =
            counted == 0 ? 0.0 : 1e6 * static_cast<double>(m.unique + m.assigned + m.shared) / static_cast<double>(counted);
        std::snprintf(rpm, sizeof rpm, "%.3f", value);
        text += m.mirna + '\t' + m.accession + '\t' + std::to_string(m.unique) + '\t' + std::to_string(m.assigned) +
                '\t' + std::to_string(m.ambiguous) + '\t' + (shared ? std::to_string(m.shared) + '\t' : "") + rpm +
                '\n';
    }
    return text;
}

std::string mirna_table_header(bool shared)
{
    return std::string("mirna\taccession\treads_unique\treads_assigned\treads_ambiguous\t") +
           (shared ? "reads_shared\t" : "") + "rpm\n";
}

namespace
{
bool read_count(std::string const & text, uint64_t & value)
{
    auto const read = std::from_chars(text.data(), text.data() + text.size(), value);
    return !text.empty() && read.ec == std::errc() && read.ptr == text.data() + text.size();
}
}  // namespace

bool parse_mirna_table_line(std::vector<std::string> const & fields, mirna_reads & row, std::string & rpm)
{
    if (fields.size() != 6 && fields.size() != 7)
        return false;
    row.mirna = fields[0];
    row.accession = fields[1];
    rpm = fields.back();
    row.shared = 0;
    return read_count(fields[2], row.unique) && read_count(fields[3], row.assigned) &&
           read_count(fields[4], row.ambiguous) && (fields.size() == 6 || read_count(fields[5], row.shared));
}

namespace
{
// The columns a table of `samples` shows: shared_reads only where some
// sample shared tied reads, the classes' only where some searched classes.
std::vector<summary_column> shown_columns(std::vector<sample_summary> const & samples)
{
    bool const shared = std::any_of(samples.begin(), samples.end(),
                                    [](sample_summary const & s) { return s.ties_shared; });
    bool const classes = std::any_of(samples.begin(), samples.end(),
                                     [](sample_summary const & s) { return s.classes_searched; });
    std::vector<summary_column> shown;
    for (summary_column const & column : columns())
    {
        std::string const name = column.name;
        if ((name == "shared_reads" && !shared) ||
            ((name == "other_rna_reads" || name == "moved_from_mirna_reads" || name == "class_reads") && !classes))
            continue;
        shown.push_back(column);
    }
    return shown;
}
}  // namespace

std::vector<std::string> summary_columns(std::vector<sample_summary> const & samples)
{
    std::vector<std::string> names = {"sample"};
    for (summary_column const & column : shown_columns(samples))
        names.push_back(column.name);
    return names;
}

std::string summary_table_text(std::vector<sample_summary> const & samples)
{
    std::string text;
    for (std::string const & name : summary_columns(samples))
        text += (text.empty() ? "" : "\t") + name;
    text += '\n';
    std::vector<summary_column> const shown = shown_columns(samples);
    for (sample_summary const & s : samples)
    {
        text += s.sample;
        for (summary_column const & column : shown)
            text += '\t' + column_value(column, s);
        text += '\n';
    }
    return text;
}

bool parse_summary_line(std::vector<std::string> const & header, std::vector<std::string> const & fields,
                        sample_summary & summary)
{
    if (header.size() != fields.size() || header.empty() || header[0] != "sample")
        return false;
    summary = sample_summary{};
    summary.sample = fields[0];
    summary.ties_shared = std::find(header.begin(), header.end(), "shared_reads") != header.end();
    summary.classes_searched = std::find(header.begin(), header.end(), "other_rna_reads") != header.end();
    for (summary_column const & column : columns())
    {
        if (column.field == nullptr && column.text == nullptr)
            continue;
        auto const at = std::find(header.begin(), header.end(), column.name);
        if (at == header.end() && column.added_later)
            continue;
        if (at == header.end())
            return false;
        std::string const & text = fields[static_cast<std::size_t>(at - header.begin())];
        if (column.text != nullptr)
        {
            summary.*column.text = text;
            continue;
        }
        auto const read = std::from_chars(text.data(), text.data() + text.size(), summary.*column.field);
        if (read.ec != std::errc() || read.ptr != text.data() + text.size())
            return false;
    }
    return true;
}
