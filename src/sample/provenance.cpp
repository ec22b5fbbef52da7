#include "sample/provenance.hpp"

#include <climits>
#include <cstdlib>

#include "core/file_checksum.hpp"
#include "core/table_reader.hpp"
#include "core/version.hpp"
#include "sample/sample_pipeline.hpp"

namespace
{
std::string absolute_path(std::string const & path)
{
    char resolved[PATH_MAX];
    return realpath(path.c_str(), resolved) != nullptr ? std::string(resolved) : path;
}

std::string adapter_asked(trim_request const & trim)
{
    if (trim.mode == adapter_mode::detect)
        return "auto";
    if (trim.mode == adapter_mode::none)
        return "none";
    return trim.settings.layout.adapter;
}

std::string codes_text(std::vector<std::string> const & codes)
{
    std::string text;
    for (std::string const & code : codes)
        text += (text.empty() ? "" : ",") + code;
    return text.empty() ? "all" : text;
}
}  // namespace

std::string tags_files_text(sample_request const & r)
{
    std::string text;
    for (named_file const & file : r.tags)
        text += (text.empty() ? "" : ",") + absolute_path(file.path);
    return text;
}

provenance provenance_of(sample_request const & r)
{
    auto number = [](auto value) { return std::to_string(value); };
    provenance p = {
        {"sample", r.sample},
        {"mirsight_version", mirsight_version},
        {"tags_file", tags_files_text(r)},
        {"mature_file", absolute_path(r.mature.path)},
        {"mature_sha256", file_sha256(r.mature.path)},
        {"species", codes_text(r.species.codes)},
        {"mode", r.search.sensitive.on ? "sensitive" : "seed"},
        {"t_read_as_u", r.rna_conversion ? "yes" : "no"},
        {"seed_size", number(r.search.seed_size)},
        {"seed_begin", number(r.search.begin_seed)},
        {"seed_end", number(r.search.end_seed)},
    };
    if (r.tags_may_be_reads)
    {
        trim_settings const & t = r.trim.settings;
        p.emplace_back("adapter", adapter_asked(r.trim));
        p.emplace_back("umi_length", number(t.layout.umi_length));
        p.emplace_back("trim_5p", number(t.layout.cut_5p));
        p.emplace_back("trim_3p", number(t.layout.cut_3p));
        p.emplace_back("min_insert", number(t.min_insert));
        p.emplace_back("max_insert", number(t.max_insert));
        p.emplace_back("count_with_umi", t.count_molecules ? "molecules" : "reads");
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
    if (!r.gff3_file.empty())
    {
        p.emplace_back("hairpin_file", absolute_path(r.hairpin.path));
        p.emplace_back("hairpin_sha256", file_sha256(r.hairpin.path));
        p.emplace_back("gff3_records", r.gff3_content == gff3_records::counted ? "counted" : "every_alignment");
    }
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

bool is_sample_specific_key(std::string const & key)
{
    // A study may hold samples of several kits: the adapter asked for (and
    // its UMI) is the sample's own; the insert limits and cuts are compared.
    return key == "sample" || key == "tags_file" || key == "mature_file" || key == "hairpin_file" ||
           key == "adapter" || key == "umi_length";
}
