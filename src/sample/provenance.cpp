#include "sample/provenance.hpp"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "core/file_checksum.hpp"
#include "core/table_reader.hpp"
#include "core/version.hpp"
#include "sample/sample_pipeline.hpp"

namespace
{
// A value on one line of the table: tabs and line ends become spaces.
std::string one_line(std::string text)
{
    std::replace_if(text.begin(), text.end(), [](char c) { return c == '\t' || c == '\n' || c == '\r'; }, ' ');
    return text;
}

std::string absolute_path(std::string const & path)
{
    char resolved[PATH_MAX];
    return realpath(path.c_str(), resolved) != nullptr ? std::string(resolved) : path;
}

std::string codes_text(std::vector<std::string> const & codes)
{
    std::string text;
    for (std::string const & code : codes)
        text += (text.empty() ? "" : ",") + code;
    return text.empty() ? "all" : text;
}

std::string yes_no(bool yes)
{
    return yes ? "yes" : "no";
}

// The raw-read options as typed, "not given" for the others: asked_adapter,
// asked_protocol, asked_trim_5p, ...
void add_options_asked(sample_request const & r, provenance & p)
{
    for (long_option const & option : raw_read_options())
    {
        std::string key = std::string("asked_") + option.name;
        std::replace(key.begin(), key.end(), '-', '_');
        auto const given = r.raw_read_options_given.find(option.name);
        p.emplace_back(key, given == r.raw_read_options_given.end() ? "not given" : given->second);
    }
}

// One value per reads file, comma-separated in the order the files were given.
std::string per_file(raw_read_result const & reads, std::string (*say)(lane_layout const &))
{
    return each_file_text(reads, say, ",");
}

std::string told_by(lane_layout const & lane)
{
    return layout_source_name(lane.source);
}

// The share of the file's first reads its layout turned into known miRNAs.
std::string explained(lane_layout const & lane)
{
    if (lane.source == layout_source::none)
        return "not measured";
    if (lane.sampled_reads == 0)
        return "no reads";
    char share[32];
    std::snprintf(share, sizeof share, "%.2f%%",
                  100.0 * static_cast<double>(lane.explained) / static_cast<double>(lane.sampled_reads));
    return share + std::string(" of ") + std::to_string(lane.sampled_reads);
}

// A limit that keeps every insert is "none": no minimum above 1 (an empty
// insert is never a tag), no maximum.
std::string lower_limit(lane_layout const & lane)
{
    return lane.applied.min_insert <= 1 ? "none" : std::to_string(lane.applied.min_insert);
}

std::string upper_limit(lane_layout const & lane)
{
    uint64_t const max = lane.applied.max_insert;
    return max == std::numeric_limits<uint64_t>::max() ? "none" : std::to_string(max);
}

// What was done to raw reads: each file's layout, how it was told and what
// it explained, the UMI, the unit counted, the insert limits in force.
void add_reads_applied(sample_request const & r, raw_read_result const & reads, provenance & p)
{
    p.emplace_back("input", "reads");
    p.emplace_back("layout", per_file(reads, [](lane_layout const & l) { return l.applied.layout.name; }));
    p.emplace_back("layout_adapter", per_file(reads, [](lane_layout const & l) {
                       return l.applied.layout.adapter.empty() ? std::string("none") : l.applied.layout.adapter;
                   }));
    p.emplace_back("layout_trim_5p",
                   per_file(reads, [](lane_layout const & l) { return std::to_string(l.applied.layout.cut_5p); }));
    p.emplace_back("layout_trim_3p",
                   per_file(reads, [](lane_layout const & l) { return std::to_string(l.applied.layout.cut_3p); }));
    p.emplace_back("layout_poly_a",
                   per_file(reads, [](lane_layout const & l) { return yes_no(l.applied.layout.poly_a); }));
    p.emplace_back("layout_umi_length",
                   per_file(reads, [](lane_layout const & l) { return std::to_string(l.applied.layout.umi_length); }));
    p.emplace_back("layout_told_by", per_file(reads, told_by));
    p.emplace_back("layout_explained", per_file(reads, explained));
    p.emplace_back("umi_set_aside", per_file(reads, [](lane_layout const & l) { return yes_no(l.umi_set_aside); }));
    p.emplace_back("counted", reads.counts_molecules() ? "molecules" : "reads");
    p.emplace_back("count_with_umi", r.trim.settings.count_molecules ? "molecules" : "reads");
    p.emplace_back("min_insert", per_file(reads, lower_limit));
    p.emplace_back("max_insert", per_file(reads, upper_limit));
}

// A tag-count file is counted as it is: the trimming options asked did nothing.
void add_tag_counts_applied(sample_request const & r, provenance & p)
{
    p.emplace_back("input", "tag_counts");
    std::string unused;
    for (long_option const & option : raw_read_options())
        if (r.raw_read_options_given.count(option.name) != 0)
            unused += (unused.empty() ? "" : ", ") + std::string("--") + option.name;
    p.emplace_back("trimming", unused.empty() ? "none (a tag-count file)"
                                              : "none (a tag-count file: " + unused + " did nothing)");
}

// The values listed with the per-file ones each once, in byte order: the
// insert limits of "15,15,none" are "15,none".
std::string distinct_items(std::string const & list)
{
    std::vector<std::string> items;
    std::size_t begin = 0;
    while (begin <= list.size())
    {
        std::size_t const end = std::min(list.find(',', begin), list.size());
        items.push_back(list.substr(begin, end - begin));
        begin = end + 1;
    }
    std::sort(items.begin(), items.end());
    items.erase(std::unique(items.begin(), items.end()), items.end());
    std::string text;
    for (std::string const & item : items)
        text += (text.empty() ? "" : ",") + item;
    return text;
}
bool holds_key(provenance const & p, std::string const & key)
{
    return std::any_of(p.begin(), p.end(), [&key](auto const & entry) { return entry.first == key; });
}
}  // namespace

std::string tags_files_text(sample_request const & r)
{
    std::string text;
    for (named_file const & file : r.tags)
        text += (text.empty() ? "" : ",") + absolute_path(file.path);
    return one_line(text);
}

provenance provenance_of(sample_request const & r, raw_read_result const * reads)
{
    auto number = [](auto value) { return std::to_string(value); };
    provenance p = {
        {"sample", r.sample},
        {"mirsight_version", mirsight_version},
        {"mirsight_commit", mirsight_commit()},
        {"tags_file", tags_files_text(r)},
        {"mature_file", absolute_path(r.mature.path)},
        {"mature_sha256", file_sha256(r.mature.path)},
        {"species", codes_text(r.species.codes)},
        {"mode", r.search.sensitive.on ? "sensitive" : "seed"},
        {"t_read_as_u", yes_no(r.rna_conversion)},
        {"seed_size", number(r.search.seed_size)},
        {"seed_begin", number(r.search.begin_seed)},
        {"seed_end", number(r.search.end_seed)},
    };
    if (r.tags_may_be_reads)
    {
        add_options_asked(r, p);
        if (reads != nullptr)
            add_reads_applied(r, *reads, p);
        else
            add_tag_counts_applied(r, p);
    }
    if (r.search.sensitive.on)
    {
        sensitive_parameters const & s = r.search.sensitive;
        p.emplace_back("sensitive_seed", s.seed);
        for (auto const & [key, value] : {std::make_pair("sensitive_max_shift", s.max_shift),
                                          std::make_pair("sensitive_max_mismatches", s.max_mismatches),
                                          std::make_pair("sensitive_min_matched", s.min_matched),
                                          std::make_pair("sensitive_max_unmatched", s.max_unmatched)})
            p.emplace_back(key, number(value));
    }
    else
    {
        p.emplace_back("min_length", number(r.search.min_tag_length));
        p.emplace_back("tag_begin", number(r.search.tag_begin));
        p.emplace_back("assign_below", number(r.rule.align_score_threshold));
    }
    // The precursors change counts in the sensitive search and the isomiR
    // table's variants in both: recorded whenever they are read.
    if (!r.hairpin.path.empty())
    {
        p.emplace_back("hairpin_file", absolute_path(r.hairpin.path));
        p.emplace_back("hairpin_sha256", file_sha256(r.hairpin.path));
    }
    if (!r.gff3_file.empty())
        p.emplace_back("gff3_records", r.gff3_content == gff3_records::counted ? "counted" : "every_alignment");
    if (r.share_ties)
        p.emplace_back("ties", "share");
    if (r.fold_errors)
        p.emplace_back("fold_errors", "yes");
    if (!r.rna_classes.empty())
    {
        std::string names, files, checksums;
        for (class_request const & rna_class : r.rna_classes)
        {
            names += (names.empty() ? "" : ",") + rna_class.name;
            files += (files.empty() ? "" : ",") + absolute_path(rna_class.fasta);
            checksums += (checksums.empty() ? "" : ",") + file_sha256(rna_class.fasta);
        }
        p.emplace_back("rna_classes", names);
        p.emplace_back("rna_class_files", files);
        p.emplace_back("rna_class_sha256", checksums);
        p.emplace_back("class_substitutions", number(r.class_substitutions));
    }
    for (auto & entry : p)
        entry.second = one_line(entry.second);
    return p;
}

std::string provenance_text(provenance const & p)
{
    std::string text = "key\tvalue\n";
    for (auto const & [key, value] : p)
        text += key + '\t' + value + '\n';
    return text;
}

bool read_provenance(std::string const & path, provenance & p)
{
    table_reader table{path, {}, 0, {}};
    if (!table.open())
        return false;
    if (!table.next() || table.line != "key\tvalue")
    {
        table.error("not a provenance table of mirsight map (its header is not 'key<TAB>value')");
        return false;
    }
    p.clear();
    while (table.next())
    {
        std::vector<std::string> const fields = split_tabs(table.line);
        if (fields.size() != 2 || fields[0].empty())
        {
            table.error("expected a key and a value");
            return false;
        }
        p.emplace_back(fields[0], fields[1]);
    }
    return true;
}

std::string provenance_value(provenance const & p, std::string const & key)
{
    for (auto const & [k, value] : p)
        if (k == key)
            return value;
    return "";
}

provenance compared_values(provenance const & p, bool gff3)
{
    provenance compared;
    for (char const * key : {"mirsight_version", "mirsight_commit", "mature_sha256", "species", "mode", "t_read_as_u", "seed_size",
                             "seed_begin", "seed_end", "hairpin_sha256", "ties", "fold_errors", "rna_classes",
                             "rna_class_sha256", "class_substitutions"})
    {
        std::string value = provenance_value(p, key);
        if (key == std::string("mode") && value == "default")
            value = "seed";  // the seed search, as earlier versions called it
        if (key == std::string("ties") && value.empty())
            value = "unassigned";  // written only when tied reads are shared
        if (key == std::string("fold_errors") && value.empty())
            value = "no";  // written only when sequencing errors are folded
        if (value.empty() && std::string(key).find("class") != std::string::npos)
            value = "none";  // written only when other RNA classes are searched
        compared.emplace_back(key, value);
    }
    std::vector<std::string> held = {"min_length", "tag_begin", "assign_below"};
    for (auto const & entry : p)
        if (entry.first.rfind("sensitive_", 0) == 0)
            held.push_back(entry.first);
    if (gff3)
        held.push_back("gff3_records");
    for (std::string const & key : held)
        if (holds_key(p, key))
            compared.emplace_back(key, provenance_value(p, key));
    if (provenance_value(p, "input") == "reads")
    {
        compared.emplace_back("min_insert", distinct_items(provenance_value(p, "min_insert")));
        compared.emplace_back("max_insert", distinct_items(provenance_value(p, "max_insert")));
        compared.emplace_back("count_with_umi", provenance_value(p, "count_with_umi"));
    }
    return compared;
}
