#include "study/merge.hpp"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <memory>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/checked_file.hpp"
#include "core/file_names.hpp"
#include "core/messages.hpp"
#include "core/progress.hpp"
#include "core/staged_output.hpp"
#include "core/table_reader.hpp"
#include "export/gff3_writer.hpp"
#include "export/precursor_counts.hpp"
#include "report/multiqc_content.hpp"
#include "report/sample_report.hpp"
#include "sample/other_rna_classes.hpp"
#include "sample/provenance.hpp"

namespace
{
char const * const command = "mirsight merge";
std::string const summary_ending = ".summary.tsv";
std::string const partial_matrix_name = ".mirsight-merge-partial-";  // then a number: staged in --outdir

bool is_folder(std::string const & path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool ends_with(std::string const & text, std::string const & end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

std::string absolute_path(std::string const & path)
{
    char resolved[PATH_MAX];
    return realpath(path.c_str(), resolved) != nullptr ? std::string(resolved) : "";
}

// The names of a folder's "<sample>.summary.tsv" files, in name order.
std::vector<std::string> summary_files(std::string const & folder)
{
    std::unique_ptr<DIR, int (*)(DIR *)> listing(opendir(folder.c_str()), closedir);
    std::vector<std::string> names;
    if (listing)
        for (dirent * entry = readdir(listing.get()); entry != nullptr; entry = readdir(listing.get()))
            if (ends_with(entry->d_name, summary_ending) && entry->d_name[0] != '.')
                names.push_back(entry->d_name);
    std::sort(names.begin(), names.end());
    return names;
}

// The sample prefixes an input names: a folder's "<prefix>.summary.tsv"
// files in name order, or the prefix itself. False after an error.
bool sample_prefixes(std::string const & input, std::vector<std::string> & prefixes)
{
    if (!is_folder(input))
    {
        std::string const prefix =
            ends_with(input, summary_ending) ? input.substr(0, input.size() - summary_ending.size()) : input;
        std::ifstream probe(prefix + summary_ending);
        if (!probe)
        {
            print_error(std::string(command) + ": '" + input + "' is neither a folder of mirsight map outputs nor a "
                        "sample's output prefix (no '" + prefix + summary_ending + "')");
            return false;
        }
        prefixes.push_back(prefix);
        return true;
    }
    std::vector<std::string> const names = summary_files(input);
    if (names.empty())
    {
        print_error(std::string(command) + ": folder '" + input + "' holds no mirsight map outputs (*" +
                    summary_ending + ")");
        return false;
    }
    for (std::string const & name : names)
        prefixes.push_back(input + "/" + name.substr(0, name.size() - summary_ending.size()));
    return true;
}

// --outdir must be a folder, or a name where one can be made (a file there,
// or on its way, would fail only once every sample was read): 0, or 2 after
// the error.
int check_outdir_can_be_folder(std::string const & outdir)
{
    struct stat info;
    if (stat(outdir.c_str(), &info) == 0)
    {
        if (S_ISDIR(info.st_mode))
            return 0;
        print_error(std::string(command) + ": --outdir '" + outdir + "' exists and is not a folder; merge into a "
                    "folder (created when missing)");
        return 2;
    }
    if (errno != ENOTDIR)
        return 0;
    std::string blocking = outdir;
    while (blocking.find('/') != std::string::npos && stat(blocking.c_str(), &info) != 0)
        blocking = folder_of(blocking);
    print_error(std::string(command) + ": --outdir '" + outdir + "' cannot be made: '" + blocking +
                "' is not a folder");
    return 2;
}

// The output folder may be neither an input folder nor one holding a
// sample's outputs: the merged files (mirna.gff3, study.*) would replace
// those of samples named "mirna" or "study", and a later merge would read
// them. 0, or 2 after the error.
int check_outdir(std::string const & outdir, std::vector<std::string> const & prefixes)
{
    std::string const out = absolute_path(outdir);
    if (out.empty())
        return 0;  // not there yet
    for (std::string const & prefix : prefixes)
        if (absolute_path(folder_of(prefix)) == out)
        {
            print_error(std::string(command) + ": --outdir '" + outdir + "' is the folder of the samples' files ('" +
                        prefix + summary_ending + "'); merge into a folder of its own");
            return 2;
        }
    std::vector<std::string> const held = summary_files(outdir);
    if (!held.empty())
    {
        print_error(std::string(command) + ": --outdir '" + outdir + "' holds the outputs of mirsight map ('" +
                    held[0] + "'); merge into a folder of its own");
        return 2;
    }
    return 0;
}

bool whole_number(std::string const & text, uint64_t & value)
{
    auto const read = std::from_chars(text.data(), text.data() + text.size(), value);
    return !text.empty() && read.ec == std::errc() && read.ptr == text.data() + text.size();
}

bool decimal_number(std::string const & text)
{
    char * end = nullptr;
    std::strtod(text.c_str(), &end);
    return !text.empty() && text.find_first_not_of("0123456789.") == std::string::npos &&
           end == text.c_str() + text.size();
}

// The next line of a table, which must end with a line feed (a file cut
// short ends inside a line). False at the end; `failed` after an error.
bool next_line(table_reader & table, bool & failed)
{
    if (!table.next())
        return false;
    if (!table.line_ended)
    {
        table.error("the file ends inside this line (cut short?): '" + table.line + "'");
        failed = true;
        return false;
    }
    return true;
}

// One sample of the study: its files' prefix and its summary.
struct sample_input
{
    std::string prefix;
    sample_summary summary;
    provenance made_by;  // empty when the sample has no provenance table
};

// One sample's summary. False after an error.
bool read_summary(std::string const & prefix, sample_summary & summary)
{
    table_reader table{prefix + summary_ending, {}, 0, {}};
    if (!table.open())
        return false;
    bool failed = false;
    if (!next_line(table, failed))
    {
        if (!failed)
            table.error("empty summary table");
        return false;
    }
    std::vector<std::string> const header = split_tabs(table.line);
    if (!next_line(table, failed) || !parse_summary_line(header, split_tabs(table.line), summary))
    {
        if (!failed)
            table.error("not a summary line of mirsight map (a column missing, or a number that is not a whole "
                        "number)");
        return false;
    }
    if (summary.sample != base_name_of(prefix))
    {
        table.error("the sample is called '" + summary.sample + "', but its files are named '" + base_name_of(prefix) +
                    "'");
        return false;
    }
    if (next_line(table, failed) || failed)
    {
        if (!failed)
            table.error("a second line (a sample's summary holds one)");
        return false;
    }
    return true;
}

// A compared key on which samples differ: each value, with the samples that
// hold it, in the samples' order (the first value is the first sample's).
struct key_difference
{
    std::string key;
    std::vector<std::pair<std::string, std::vector<std::size_t>>> values;
};

// The compared keys (compared_values) on which the samples with provenance
// differ; a key that only some samples hold is compared between those.
std::vector<key_difference> differences_between(std::vector<sample_input> const & samples, bool gff3)
{
    std::vector<key_difference> keys;
    for (std::size_t s = 0; s < samples.size(); ++s)
    {
        if (samples[s].made_by.empty())
            continue;
        for (auto const & entry : compared_values(samples[s].made_by, gff3))
        {
            std::string const & key = entry.first;
            std::string const & value = entry.second;
            auto k = std::find_if(keys.begin(), keys.end(), [&](key_difference const & d) { return d.key == key; });
            if (k == keys.end())
                k = keys.insert(keys.end(), key_difference{key, {}});
            auto v = std::find_if(k->values.begin(), k->values.end(),
                                  [&](auto const & held) { return held.first == value; });
            if (v == k->values.end())
                v = k->values.insert(k->values.end(), {value, {}});
            v->second.push_back(s);
        }
    }
    keys.erase(std::remove_if(keys.begin(), keys.end(), [](key_difference const & d) { return d.values.size() < 2; }),
               keys.end());
    return keys;
}

// "A (out/A.provenance.tsv), B (out/B.provenance.tsv) and 7 more": at most
// three samples named.
std::string samples_text(std::vector<std::size_t> const & held_by, std::vector<sample_input> const & samples)
{
    std::size_t const named = std::min<std::size_t>(held_by.size(), 3);
    std::string text;
    for (std::size_t i = 0; i < named; ++i)
    {
        sample_input const & s = samples[held_by[i]];
        text += (i == 0 ? "" : ", ") + s.summary.sample + " (" + s.prefix + ".provenance.tsv)";
    }
    if (held_by.size() > named)
        text += " and " + std::to_string(held_by.size() - named) + " more";
    return text;
}

// One line per key: "  mode: 'sensitive' in A (...); 'seed' in C (...)", at
// most four values named.
std::string differences_text(std::vector<key_difference> const & differences,
                             std::vector<sample_input> const & samples)
{
    std::string text;
    for (key_difference const & d : differences)
    {
        text += "\n  " + d.key + ":";
        std::size_t const named = std::min<std::size_t>(d.values.size(), 4);
        for (std::size_t i = 0; i < named; ++i)
        {
            std::string const & value = d.values[i].first;
            text += std::string(i == 0 ? " " : "; ") + (value.empty() ? "absent" : "'" + value + "'") + " in " +
                    samples_text(d.values[i].second, samples);
        }
        if (d.values.size() > named)
        {
            std::size_t others = 0;
            for (std::size_t i = named; i < d.values.size(); ++i)
                others += d.values[i].second.size();
            text += "; and " + std::to_string(d.values.size() - named) + " other values in " +
                    std::to_string(others) + " samples";
        }
    }
    return text;
}

// Per sample, the compared keys where it differs from the study's first
// sample (for a key only some samples hold, from the first that holds it),
// comma-separated: "none", or "no provenance".
std::vector<std::string> keys_differing_from_first(std::vector<key_difference> const & differences,
                                                   std::vector<sample_input> const & samples)
{
    std::vector<std::string> keys(samples.size());
    for (key_difference const & d : differences)
        for (std::size_t i = 1; i < d.values.size(); ++i)
            for (std::size_t s : d.values[i].second)
                keys[s] += (keys[s].empty() ? "" : ",") + d.key;
    for (std::size_t s = 0; s < samples.size(); ++s)
        if (samples[s].made_by.empty())
            keys[s] = "no provenance";
        else if (keys[s].empty())
            keys[s] = "none";
    return keys;
}

// The samples must have been made alike: every difference in what changes
// counting is named in one error (1), or with `allow_mixed` in one warning;
// `differing` then holds keys_differing_from_first. 0, or 1 after the error.
int check_made_alike(std::vector<sample_input> const & samples, bool gff3, bool allow_mixed,
                     std::vector<std::string> & differing)
{
    std::vector<std::size_t> without_provenance;
    for (std::size_t s = 0; s < samples.size(); ++s)
    {
        sample_input const & sample = samples[s];
        if (gff3 && !sample.made_by.empty() && provenance_value(sample.made_by, "gff3_records").empty())
        {
            print_error(std::string(command) + ": sample '" + sample.summary.sample + "' was mapped without --gff3 (" +
                        sample.prefix + ".provenance.tsv): map it again with --gff3, or merge without --gff3");
            return 1;
        }
        if (sample.made_by.empty() && !allow_mixed)
        {
            print_error(std::string(command) + ": sample '" + sample.summary.sample + "' has no '" + sample.prefix +
                        ".provenance.tsv' (mapped by an older mirsight?), so nothing tells how it was made: map it "
                        "again, or give --allow-mixed to merge it anyway");
            return 1;
        }
        if (sample.made_by.empty())
            without_provenance.push_back(s);
    }
    std::vector<key_difference> const differences = differences_between(samples, gff3);
    differing = keys_differing_from_first(differences, samples);
    std::string const keys =
        std::to_string(differences.size()) + (differences.size() == 1 ? " key differs" : " keys differ");
    if (!allow_mixed && !differences.empty())
    {
        print_error(std::string(command) + ": the samples were mapped differently (" + keys +
                    "; map them alike, or give --allow-mixed to merge them anyway):" +
                    differences_text(differences, samples));
        return 1;
    }
    if (!differences.empty() || !without_provenance.empty())
        print_warning(std::string(command) + ": --allow-mixed: merging samples mapped differently (" + keys +
                      (without_provenance.empty() ? "" : ", and samples without provenance") +
                      "; the column differs_from_first_sample of summary.tsv names them per sample):" +
                      differences_text(differences, samples) +
                      (without_provenance.empty() ? ""
                                                  : "\n  no provenance: " + samples_text(without_provenance, samples)));
    return 0;
}

// `table` (a header, then one line per sample) with one more column, `name`.
std::string with_last_column(std::string const & table, std::string const & name,
                             std::vector<std::string> const & values)
{
    std::string text;
    std::size_t begin = 0;
    for (std::size_t line = 0; begin < table.size(); ++line)
    {
        std::size_t const end = table.find('\n', begin);
        text += table.substr(begin, end - begin) + '\t' + (line == 0 ? name : values.at(line - 1)) + '\n';
        begin = end + 1;
    }
    return text;
}

std::string provenance_matrix(std::vector<sample_input> const & samples)
{
    std::string text = "sample\tkey\tvalue\n";
    for (sample_input const & s : samples)
        for (auto const & [key, value] : s.made_by)
            text += s.summary.sample + '\t' + key + '\t' + value + '\n';
    return text;
}

// ---- matrices merged in rounds ---------------------------------------------
// Every matrix is made the same way: rows in (key, identity) order, one value
// per sample. At most `fan_in` files are read at once: groups of samples are
// merged into partial matrices, and partial matrices into wider ones, until
// one pass can write the final file. Open files and memory are then bounded
// by `fan_in` and one row, whatever the number of samples.

enum class matrix_kind
{
    mirnas,   // SAMPLE.mirna.tsv: key = identity = miRNA name; value = unique + assigned reads
    isomirs,  // SAMPLE.isomirs.tsv: key = sequence; identity = the five describing columns; value = reads
    gff3,     // SAMPLE.gff3: key = Read; identity = the record without Expression; value = Expression
    counts,   // a count table (count_table): key = identity = its first column; value = its last (reads)
};

// A tidy table of counts that map writes per sample and merge turns into a
// matrix: SAMPLE<ending>, whose header is `header` and whose last column is
// reads; the matrix is <outdir>/<matrix>, its first column named as the
// table's.
struct count_table
{
    std::string ending;
    std::string header;
    std::string matrix;
    std::string what;  // named in messages
};

struct matrix_row
{
    std::string key;
    std::string identity;
    std::string values;  // one per sample, tab-separated
};

bool row_before(matrix_row const & a, matrix_row const & b)
{
    return a.key != b.key ? a.key < b.key : a.identity < b.identity;
}

std::string key_of(matrix_kind kind, std::string const & identity)
{
    if (kind == matrix_kind::isomirs)
        return identity.substr(0, identity.find('\t'));
    if (kind == matrix_kind::gff3)
        return gff3_attribute(identity, "Read");
    return identity;
}

// What the whole study shares while its matrices are merged.
struct merge_state
{
    std::vector<sample_input> & samples;
    std::string outdir;
    std::size_t fan_in = 2;
    std::string gff3_source_line;          // the first "## source-ontology:" line
    std::vector<std::string> gff3_modes;   // "## MODE: ..." lines, each once
    std::size_t partials_made = 0;
    count_table counts;                    // the count table being merged (matrix_kind::counts)
};

// A source of rows in (key, identity) order: one sample's file (one value),
// or a partial matrix (the values of `width` samples).
struct row_source
{
    matrix_kind kind;
    bool sample_file = true;
    std::size_t width = 1;
    std::size_t sample = 0;  // with sample_file: the sample's index
    table_reader table;
    std::vector<matrix_row> group;  // the rows of the current key, in order; the first is the head
    std::size_t head = 0;
    bool has_line = false;          // sample files: `next` holds the row of the line read last
    matrix_row next;
    uint64_t next_line = 0;         // its line number
    uint64_t reads = 0;             // with sample_file: the reads of every row read
    std::vector<std::pair<std::string, uint64_t>> mirnas;  // with sample_file and mirnas: (name, reads)
    bool shared_column = false;     // a sample's miRNA table with reads_shared
    std::size_t count_columns = 0;  // a sample's count table: its columns
};

row_source make_source(matrix_kind kind, bool sample_file, std::size_t width, std::size_t sample,
                       std::string const & path)
{
    row_source source;
    source.kind = kind;
    source.sample_file = sample_file;
    source.width = width;
    source.sample = sample;
    source.table.path = path;
    return source;
}

bool has_row(row_source const & source)
{
    return source.head < source.group.size();
}

// The sample file's line in `table.line` as a row; false after an error.
bool parse_sample_line(row_source & source, matrix_row & row)
{
    std::string const & line = source.table.line;
    if (source.kind == matrix_kind::gff3)
    {
        if (std::count(line.begin(), line.end(), '\t') != 8)
        {
            source.table.error("a mirGFF3 record needs 9 tab-separated columns");
            return false;
        }
        row.identity = gff3_without_expression(line);
        row.key = gff3_attribute(line, "Read");
        std::string const expression = gff3_attribute(line, "Expression");
        uint64_t reads = 0;
        if (row.key.empty() || !whole_number(expression, reads))
        {
            source.table.error(row.key.empty() ? "a mirGFF3 record without Read"
                                               : "Expression '" + expression + "' is not a whole number of reads");
            return false;
        }
        row.values = expression;
        return true;
    }
    if (source.kind == matrix_kind::isomirs)
    {
        std::size_t const tabs = static_cast<std::size_t>(std::count(line.begin(), line.end(), '\t'));
        std::size_t const last_tab = line.rfind('\t');
        if (tabs != 5)
        {
            source.table.error("expected 6 tab-separated columns, found " + std::to_string(tabs + 1));
            return false;
        }
        row.key.assign(line, 0, line.find('\t'));
        row.identity.assign(line, 0, last_tab);
        row.values.assign(line, last_tab + 1, std::string::npos);
        uint64_t reads = 0;
        if (!whole_number(row.values, reads))
        {
            source.table.error("read count '" + row.values + "' is not a whole number");
            return false;
        }
        return true;
    }
    std::vector<std::string> const f = split_tabs(line);
    if (source.kind == matrix_kind::counts)
    {
        uint64_t reads = 0;
        if (f.size() != source.count_columns || f.front().empty() || !whole_number(f.back(), reads))
        {
            source.table.error("expected " + std::to_string(source.count_columns) +
                               " tab-separated columns, the last a whole number of reads");
            return false;
        }
        row.key = row.identity = f.front();
        row.values = f.back();
        return true;
    }
    std::size_t const columns = source.kind == matrix_kind::mirnas && source.shared_column ? 7 : 6;
    if (f.size() != columns)
    {
        source.table.error("expected " + std::to_string(columns) + " tab-separated columns, found " +
                           std::to_string(f.size()));
        return false;
    }
    if (source.kind == matrix_kind::mirnas)
    {
        mirna_reads m;
        std::string rpm;
        if (!parse_mirna_table_line(f, m, rpm) || !decimal_number(rpm))
        {
            source.table.error("a read count is not a whole number, or the rpm not a number");
            return false;
        }
        row.key = row.identity = m.mirna;
        row.values = std::to_string(m.unique + m.assigned + m.shared);
        return true;
    }
    return true;
}

// Reads a sample file's next line past any mirGFF3 header line (whose
// source and mode lines it keeps) into `next`, setting `has_line`. False
// after an error.
bool read_next_row(row_source & source, merge_state & state)
{
    bool failed = false;
    source.has_line = false;
    while (next_line(source.table, failed))
    {
        std::string const & line = source.table.line;
        if (source.kind != matrix_kind::gff3 || line[0] != '#')
        {
            source.next_line = source.table.line_number;
            return (source.has_line = parse_sample_line(source, source.next));
        }
        if (line.rfind("## source-ontology:", 0) == 0 && state.gff3_source_line.empty())
            state.gff3_source_line = line;
        if (line.rfind("## MODE:", 0) == 0 &&
            std::find(state.gff3_modes.begin(), state.gff3_modes.end(), line) == state.gff3_modes.end())
            state.gff3_modes.push_back(line);
    }
    return !failed;
}

// Reads a sample file's next key group: every line of one key, sorted, one
// row per identity (a miRNA table's rows of one name summed; any other row
// twice is an error). False after an error.
bool read_sample_group(row_source & source, merge_state & state)
{
    source.group.clear();
    source.head = 0;
    std::vector<uint64_t> lines;  // of each row of the group
    while (source.has_line)
    {
        matrix_row & row = source.next;
        if (!source.group.empty() && row.key != source.group[0].key)
        {
            if (row.key < source.group[0].key)
            {
                source.table.error("lines not sorted by " +
                                   std::string(source.kind == matrix_kind::gff3 ? "Read" : "the first column") +
                                   " (the file was not written by mirsight map)");
                return false;
            }
            break;  // the next group's first line stays read
        }
        uint64_t reads = 0;
        whole_number(row.values, reads);
        source.reads += reads;
        auto const same = std::find_if(source.group.begin(), source.group.end(),
                                       [&](matrix_row const & r) { return r.identity == row.identity; });
        if (same != source.group.end() && source.kind == matrix_kind::mirnas)
        {
            uint64_t earlier = 0;
            whole_number(same->values, earlier);
            same->values = std::to_string(earlier + reads);
        }
        else if (same != source.group.end())
        {
            source.table.error("this row repeats the row at line " +
                               std::to_string(lines[static_cast<std::size_t>(same - source.group.begin())]) +
                               " (" + row.key + "): a sample holds each " +
                               (source.kind == matrix_kind::gff3 ? "record" : "sequence") +
                               " once; was the file concatenated or edited?");
            return false;
        }
        else
        {
            source.group.push_back(std::move(row));
            lines.push_back(source.next_line);
        }
        if (!read_next_row(source, state))
            return false;
    }
    if (source.kind == matrix_kind::mirnas)
        for (matrix_row const & r : source.group)
        {
            uint64_t reads = 0;
            whole_number(r.values, reads);
            source.mirnas.emplace_back(r.key, reads);
        }
    std::sort(source.group.begin(), source.group.end(), row_before);
    return true;
}

// A sample file read to its end: its reads must be those its summary counts
// on miRNAs, and its top miRNAs go to the summary. False after an error.
bool finish_sample_file(row_source & source, merge_state & state)
{
    sample_summary & summary = state.samples[source.sample].summary;
    // The miRNA table also holds the tied reads a sample shared (none unless it shared them).
    uint64_t const counted = summary.exact_reads + summary.iso_5p_reads + summary.iso_3p_reads + summary.snp_reads +
                             summary.multi_snp_reads + (source.kind == matrix_kind::mirnas ? summary.shared_reads : 0);
    if ((source.kind == matrix_kind::mirnas || source.kind == matrix_kind::isomirs) && source.reads != counted)
    {
        print_error(source.table.path + ": its reads add up to " + std::to_string(source.reads) + ", but " +
                    state.samples[source.sample].prefix + summary_ending + " counts " + std::to_string(counted) +
                    " reads on miRNAs (its read classes): the file is cut short or edited, or not of this run");
        return false;
    }
    if (source.kind == matrix_kind::mirnas)
    {
        std::vector<std::pair<std::string, uint64_t>> ranked;
        for (auto const & m : source.mirnas)
            if (m.second > 0)
                ranked.push_back(m);
        std::stable_sort(ranked.begin(), ranked.end(), [](auto const & a, auto const & b) { return a.second > b.second; });
        ranked.resize(std::min<std::size_t>(ranked.size(), 10));
        summary.top_mirnas = ranked;
        source.mirnas.clear();
    }
    return true;
}

// A partial matrix's next line as its row; false after an error or at the end.
bool read_partial_row(row_source & source, bool & failed)
{
    source.group.clear();
    source.head = 0;
    if (!next_line(source.table, failed))
        return false;
    std::string const & line = source.table.line;
    matrix_row row;
    std::size_t cut = line.size();
    for (std::size_t i = 0; i < source.width && cut != std::string::npos && cut > 0; ++i)
        cut = line.rfind('\t', cut - 1);
    if (cut == std::string::npos || cut == 0)
    {
        source.table.error("a partial matrix line with too few columns");
        failed = true;
        return false;
    }
    row.identity = line.substr(0, cut);
    row.key = key_of(source.kind, row.identity);
    row.values = line.substr(cut + 1);
    source.group.push_back(std::move(row));
    return true;
}

// Moves a source to its next row. False after an error.
bool advance(row_source & source, merge_state & state)
{
    if (has_row(source) && ++source.head < source.group.size())
        return true;
    if (!source.sample_file)
    {
        bool failed = false;
        read_partial_row(source, failed);
        return !failed;
    }
    if (!read_sample_group(source, state))
        return false;
    return has_row(source) || finish_sample_file(source, state);
}

// Opens a source and reads its header and first row. False after an error.
bool open_source(row_source & source, merge_state & state)
{
    if (!source.table.open())
        return false;
    bool failed = false;
    if (!source.sample_file)
        return read_partial_row(source, failed) || !failed;
    if (source.kind == matrix_kind::counts)
    {
        if (!next_line(source.table, failed) || source.table.line + '\n' != state.counts.header)
        {
            if (!failed)
                source.table.error("not " + state.counts.what + " of mirsight map (its header differs)");
            return false;
        }
        source.count_columns = split_tabs(state.counts.header.substr(0, state.counts.header.size() - 1)).size();
    }
    else if (source.kind != matrix_kind::gff3)
    {
        std::string const header = source.kind == matrix_kind::mirnas ? mirna_table_header()
                                                                      : isomir_description_columns() + "\treads\n";
        bool const read = next_line(source.table, failed);
        source.shared_column = read && source.kind == matrix_kind::mirnas &&
                               source.table.line + '\n' == mirna_table_header(true);
        if (!read || (source.table.line + '\n' != header && !source.shared_column))
        {
            if (!failed)
                source.table.error(std::string("not ") +
                                   (source.kind == matrix_kind::mirnas ? "a miRNA table" : "an isomiR table") +
                                   " of mirsight map (its header differs)");
            return false;
        }
    }
    if (!read_next_row(source, state) || !read_sample_group(source, state))
        return false;
    return has_row(source) || finish_sample_file(source, state);
}

bool open_sources(std::vector<row_source> & sources, merge_state & state)
{
    for (row_source & source : sources)
        if (!open_source(source, state))
            return false;
    return true;
}

// Where a pass's rows go: a partial matrix, or the final files.
struct row_sink
{
    virtual ~row_sink() = default;
    virtual bool write(matrix_row const & row) = 0;
};

// Merges the open `sources` (in sample order) row by row into `sink`. False after an error.
bool merge_sources(std::vector<row_source> & sources, merge_state & state, row_sink & sink)
{
    std::vector<std::string> zeros;  // "0<TAB>0..." for each source's width
    for (row_source const & source : sources)
    {
        std::string text = "0";
        for (std::size_t i = 1; i < source.width; ++i)
            text += "\t0";
        zeros.push_back(text);
    }
    matrix_row row;
    while (true)
    {
        matrix_row const * smallest = nullptr;
        for (row_source const & source : sources)
            if (has_row(source) && (smallest == nullptr || row_before(source.group[source.head], *smallest)))
                smallest = &source.group[source.head];
        if (smallest == nullptr)
            return true;
        row.key = smallest->key;
        row.identity = smallest->identity;
        row.values.clear();
        for (std::size_t i = 0; i < sources.size(); ++i)
        {
            row_source & source = sources[i];
            if (i > 0)
                row.values += '\t';
            bool const here = has_row(source) && source.group[source.head].key == row.key &&
                              source.group[source.head].identity == row.identity;
            if (!here)
            {
                row.values += zeros[i];
                continue;
            }
            row.values += source.group[source.head].values;
            if (!advance(source, state))
                return false;
        }
        if (!sink.write(row))
            return false;
    }
}

// Text written out once it holds 64 KiB.
struct buffered_file
{
    checked_file file;
    std::string text;
    bool written = true;

    void add(std::string const & more)
    {
        text += more;
        if (text.size() >= (1u << 16))
        {
            written = written && file.write(text);
            text.clear();
        }
    }
    bool close()
    {
        written = written && file.write(text);
        text.clear();
        return file.close(true) && written;
    }
};

// A partial matrix: "identity<TAB>values..." per row.
struct partial_sink : row_sink
{
    buffered_file out;
    explicit partial_sink(std::string const & path) : out{checked_file(path, "partial matrix"), {}, true} {}
    bool write(matrix_row const & row) override
    {
        out.add(row.identity + '\t' + row.values + '\n');
        return out.written;
    }
};

// The final file(s) of one kind.
struct final_sink : row_sink
{
    matrix_kind kind;
    std::vector<double> counted;  // mirnas: each sample's reads counted on miRNAs
    buffered_file main_file;
    buffered_file rpm_file;       // mirnas only
    final_sink(matrix_kind k, std::string const & path, std::string const & rpm_path)
        : kind(k), main_file{checked_file(path, "matrix"), {}, true}, rpm_file{checked_file(rpm_path, "RPM matrix"), {}, true}
    {
    }
    bool write(matrix_row const & row) override
    {
        if (kind == matrix_kind::gff3)
        {
            std::string expression = row.values;
            std::replace(expression.begin(), expression.end(), '\t', ',');
            main_file.add(gff3_with_expression(row.identity, expression) + '\n');
            return main_file.written;
        }
        if (kind == matrix_kind::isomirs || kind == matrix_kind::counts)
        {
            main_file.add(row.identity + '\t' + row.values + '\n');
            return main_file.written;
        }
        std::vector<std::string> const values = split_tabs(row.values);
        if (std::all_of(values.begin(), values.end(), [](std::string const & v) { return v == "0"; }))
            return true;  // only ambiguous reads that stayed unassigned
        std::string rpm = row.identity;
        for (std::size_t s = 0; s < values.size(); ++s)
        {
            char text[32];
            double const reads = std::strtod(values[s].c_str(), nullptr);
            std::snprintf(text, sizeof text, "%.3f", counted[s] == 0 ? 0.0 : 1e6 * reads / counted[s]);
            rpm += '\t' + std::string(text);
        }
        main_file.add(row.identity + '\t' + row.values + '\n');
        rpm_file.add(rpm + '\n');
        return main_file.written && rpm_file.written;
    }
};

std::string file_ending(matrix_kind kind, merge_state const & state)
{
    if (kind == matrix_kind::counts)
        return state.counts.ending;
    return kind == matrix_kind::mirnas ? ".mirna.tsv" : kind == matrix_kind::isomirs ? ".isomirs.tsv" : ".gff3";
}

// A partial matrix on disk: a temporary file (removed with its staging),
// holding the values of samples [first, first + width).
struct partial_run
{
    std::unique_ptr<output_staging> file;
    std::string path;  // its temporary name
    std::size_t first = 0;
    std::size_t width = 0;
    int level = 0;
};

// Merges `runs` (consecutive, in sample order) into one new partial run.
bool merge_runs(std::vector<partial_run> & runs, std::size_t begin, matrix_kind kind, merge_state & state)
{
    partial_run merged;
    merged.file = std::make_unique<output_staging>();
    merged.path = merged.file->staged_path(state.outdir + "/" + partial_matrix_name +
                                           std::to_string(++state.partials_made));
    merged.first = runs[begin].first;
    merged.level = runs[begin].level + 1;
    std::vector<row_source> sources;
    for (std::size_t r = begin; r < runs.size(); ++r)
    {
        sources.push_back(make_source(kind, false, runs[r].width, 0, runs[r].path));
        merged.width += runs[r].width;
    }
    partial_sink sink(merged.path);
    output_staging direct(false);
    if (!sink.out.file.open(direct) || !open_sources(sources, state) || !merge_sources(sources, state, sink) ||
        !sink.out.close())
        return false;
    sources.clear();
    runs.erase(runs.begin() + static_cast<long>(begin), runs.end());
    runs.push_back(std::move(merged));
    return true;
}

// Sample sources for samples [first, end).
std::vector<row_source> sample_sources(matrix_kind kind, merge_state const & state, std::size_t first, std::size_t end)
{
    std::vector<row_source> sources;
    for (std::size_t s = first; s < end; ++s)
    {
        sources.push_back(make_source(kind, true, 1, s, state.samples[s].prefix + file_ending(kind, state)));
    }
    return sources;
}

// Writes one kind of matrix for every sample through `sink`. False after an error.
bool merge_matrix(matrix_kind kind, merge_state & state, row_sink & sink, bool & sink_ready,
                  std::function<bool()> const & open_sink)
{
    std::size_t const n = state.samples.size();
    if (n <= state.fan_in)
    {
        // Opened (and their headers read) before the output, whose header needs theirs.
        std::vector<row_source> sources = sample_sources(kind, state, 0, n);
        if (!open_sources(sources, state) || !(sink_ready = open_sink()))
            return false;
        return merge_sources(sources, state, sink);
    }
    std::vector<partial_run> runs;
    for (std::size_t first = 0; first < n; first += state.fan_in)
    {
        partial_run run;
        run.file = std::make_unique<output_staging>();
        run.path = run.file->staged_path(state.outdir + "/" + partial_matrix_name +
                                         std::to_string(++state.partials_made));
        run.first = first;
        run.width = std::min(state.fan_in, n - first);
        {
            std::vector<row_source> sources = sample_sources(kind, state, first, first + run.width);
            partial_sink partial(run.path);
            output_staging direct(false);
            if (!partial.out.file.open(direct) || !open_sources(sources, state) ||
                !merge_sources(sources, state, partial) || !partial.out.close())
                return false;
        }
        runs.push_back(std::move(run));
        // Runs of one level are merged as soon as there are fan_in of them.
        while (runs.size() >= state.fan_in &&
               std::all_of(runs.end() - static_cast<long>(state.fan_in), runs.end(),
                           [&](partial_run const & r) { return r.level == runs.back().level; }))
            if (!merge_runs(runs, runs.size() - state.fan_in, kind, state))
                return false;
    }
    while (runs.size() > state.fan_in)
        if (!merge_runs(runs, runs.size() - state.fan_in, kind, state))
            return false;
    std::vector<row_source> sources;
    for (partial_run const & run : runs)
    {
        sources.push_back(make_source(kind, false, run.width, 0, run.path));
    }
    if (!open_sources(sources, state) || !(sink_ready = open_sink()))
        return false;
    return merge_sources(sources, state, sink);
}

std::string header_line(std::string const & first, std::vector<sample_input> const & samples)
{
    std::string line = first;
    for (sample_input const & s : samples)
        line += '\t' + s.summary.sample;
    return line + '\n';
}

bool write_mirna_matrices(merge_state & state, output_staging & outputs)
{
    final_sink sink(matrix_kind::mirnas, state.outdir + "/mirna_counts.tsv", state.outdir + "/mirna_rpm.tsv");
    for (sample_input const & s : state.samples)
        sink.counted.push_back(
            static_cast<double>(s.summary.unique_reads + s.summary.assigned_reads + s.summary.shared_reads));
    bool ready = false;
    auto open = [&]() {
        if (!sink.main_file.file.open(outputs) || !sink.rpm_file.file.open(outputs))
            return false;
        sink.main_file.add(header_line("mirna", state.samples));
        sink.rpm_file.add(header_line("mirna", state.samples));
        return true;
    };
    bool const merged = merge_matrix(matrix_kind::mirnas, state, sink, ready, open);
    bool const closed = ready && sink.main_file.close() && sink.rpm_file.close();
    return merged && closed;
}

bool write_isomir_matrix(merge_state & state, output_staging & outputs)
{
    final_sink sink(matrix_kind::isomirs, state.outdir + "/isomir_counts.tsv", "");
    bool ready = false;
    auto open = [&]() {
        if (!sink.main_file.file.open(outputs))
            return false;
        sink.main_file.add(header_line(isomir_description_columns(), state.samples));
        return true;
    };
    bool const merged = merge_matrix(matrix_kind::isomirs, state, sink, ready, open);
    return merged && ready && sink.main_file.close();
}

// The matrix of one count table, when every sample has the table: each
// row a key of any sample, one column of reads per sample (0 where absent).
// Samples without it (mapped otherwise, with --allow-mixed) leave it out,
// with a note.
bool write_count_matrix(count_table const & table, merge_state & state, output_staging & outputs)
{
    std::size_t missing = 0;
    for (sample_input const & s : state.samples)
    {
        struct stat info;
        missing += stat((s.prefix + table.ending).c_str(), &info) != 0;
    }
    if (missing == state.samples.size())
        return true;
    if (missing > 0)
    {
        print_warning(std::string(command) + ": " + std::to_string(missing) + " sample(s) have no " + table.what +
                      " (SAMPLE" + table.ending + "): " + table.matrix + " is not written");
        return true;
    }
    state.counts = table;
    final_sink sink(matrix_kind::counts, state.outdir + "/" + table.matrix, "");
    bool ready = false;
    auto open = [&]() {
        if (!sink.main_file.file.open(outputs))
            return false;
        sink.main_file.add(header_line(table.header.substr(0, table.header.find('\t')), state.samples));
        return true;
    };
    bool const merged = merge_matrix(matrix_kind::counts, state, sink, ready, open);
    return merged && ready && sink.main_file.close();
}

// The count tables map may write, each merged into a matrix: the
// precursors', and one per other RNA class the first sample searched
// (the samples searched the same classes, or were mixed knowingly).
std::vector<count_table> count_tables(std::vector<sample_input> const & samples)
{
    std::vector<count_table> tables = {
        {precursor_table_ending, precursor_table_header(), "precursor_counts.tsv", "precursor table"}};
    std::string const names = samples.empty() ? "" : provenance_value(samples.front().made_by, "rna_classes");
    for (std::size_t begin = 0; begin < names.size();)
    {
        std::size_t end = names.find(',', begin);
        if (end == std::string::npos)
            end = names.size();
        std::string const name = names.substr(begin, end - begin);
        tables.push_back({class_table_ending(name), class_table_header(), "class_" + name + "_counts.tsv",
                          "table of RNA class " + name});
        begin = end + 1;
    }
    return tables;
}

// One multi-sample mirGFF3 file: a record found in several samples once,
// with Expression listing every sample's reads in order (0 where it is absent).
bool write_merged_gff3(merge_state & state, output_staging & outputs)
{
    final_sink sink(matrix_kind::gff3, state.outdir + "/mirna.gff3", "");
    bool ready = false;
    auto open = [&]() {
        if (!sink.main_file.file.open(outputs))
            return false;
        std::string coldata;
        for (sample_input const & s : state.samples)
            coldata += (coldata.empty() ? "" : ",") + s.summary.sample;
        sink.main_file.add(gff3_header(gff3_source_of_line(state.gff3_source_line), coldata, state.gff3_modes));
        return true;
    };
    bool const merged = merge_matrix(matrix_kind::gff3, state, sink, ready, open);
    return merged && ready && sink.main_file.close();
}

// ---- partial matrices left behind ----------------------------------------
// A merge holds a shared lock on its --outdir while it writes partial
// matrices there. A merge that finds the folder unlocked knows that no other
// merge is under way there: every partial matrix in it was left by a merge
// that was killed, whatever its process, and is removed first. Only the
// partial matrices' names are removed, never another file.

bool is_partial_matrix(std::string const & stem)
{
    std::size_t const n = partial_matrix_name.size();
    return stem.size() > n && stem.compare(0, n, partial_matrix_name) == 0 &&
           stem.find_first_not_of("0123456789", n) == std::string::npos;
}

struct partial_matrices_lock
{
    int descriptor = -1;

    explicit partial_matrices_lock(std::string const & outdir)
        : descriptor(open(outdir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC))
    {
        if (descriptor < 0)
            return;  // the partial matrices cannot be written there either, and say so
        if (flock(descriptor, LOCK_EX | LOCK_NB) == 0)
            for (std::string const & path : temporary_files_in(outdir, is_partial_matrix))
                unlink(path.c_str());
        while (flock(descriptor, LOCK_SH) != 0 && errno == EINTR)
        {
        }
    }
    ~partial_matrices_lock() { release(); }
    partial_matrices_lock(partial_matrices_lock const &) = delete;
    partial_matrices_lock & operator=(partial_matrices_lock const &) = delete;

    // Once this merge's partial matrices are gone, before its commit (which
    // locks the folder for itself).
    void release()
    {
        if (descriptor >= 0)
            close(descriptor);
        descriptor = -1;
    }
};

// How many files one pass may read at once: what the descriptor limit leaves
// after the standard streams, the locks and the outputs, at most 64.
std::size_t fan_in_for(std::size_t locks)
{
    struct rlimit limit;
    std::size_t available = 1024;
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY)
        available = static_cast<std::size_t>(limit.rlim_cur);
    std::size_t const reserved = 3 + locks + 8;
    return available > reserved + 2 ? std::min<std::size_t>(64, available - reserved) : 0;
}
}  // namespace

int run_merge(merge_request const & request)
{
    if (int const status = check_outdir_can_be_folder(request.outdir))
        return status;
    std::vector<std::string> prefixes;
    for (std::string const & input : request.inputs)
        if (!sample_prefixes(input, prefixes))
            return 1;
    std::string const & outdir = request.outdir;
    if (int const status = check_outdir(outdir, prefixes))
        return status;

    // The samples' folders are read under a shared lock: a map committing a
    // sample there waits until the merge is done, so that every sample's
    // files are those of one run.
    std::vector<std::string> folders;
    for (std::string const & prefix : prefixes)
        folders.push_back(folder_of(prefix));
    std::sort(folders.begin(), folders.end());
    folders.erase(std::unique(folders.begin(), folders.end()), folders.end());
    std::size_t const fan_in = fan_in_for(folders.size() + 1);  // the input folders' locks and the outdir's
    if (fan_in < 2)
    {
        print_error(std::string(command) + ": too few file descriptors allowed (ulimit -n) to read " +
                    std::to_string(folders.size()) + " input folder(s); allow more, or gather the samples in fewer "
                    "folders");
        return 1;
    }
    folder_locks const input_locks(folders, false);

    progress_line progress(command, request.quiet);
    progress.show("reading " + std::to_string(prefixes.size()) + " summaries");
    std::vector<sample_input> samples(prefixes.size());
    std::vector<std::string> names;
    for (std::size_t s = 0; s < prefixes.size(); ++s)
    {
        samples[s].prefix = prefixes[s];
        if (!read_summary(prefixes[s], samples[s].summary))
            return 1;
        names.push_back(samples[s].summary.sample);
        std::string const provenance_file = prefixes[s] + ".provenance.tsv";
        struct stat info;
        if (stat(provenance_file.c_str(), &info) == 0 && !read_provenance(provenance_file, samples[s].made_by))
            return 1;
        if (!samples[s].made_by.empty() && provenance_value(samples[s].made_by, "sample") != names.back())
        {
            print_error(provenance_file + ": made for sample '" + provenance_value(samples[s].made_by, "sample") +
                        "', not '" + names.back() + "'");
            return 1;
        }
    }
    std::vector<std::string> sorted_names = names;
    std::sort(sorted_names.begin(), sorted_names.end());
    auto const twice = std::adjacent_find(sorted_names.begin(), sorted_names.end());
    if (twice != sorted_names.end())
    {
        std::size_t const second = static_cast<std::size_t>(
            std::find(std::find(names.begin(), names.end(), *twice) + 1, names.end(), *twice) - names.begin());
        print_error(std::string(command) + ": sample '" + *twice + "' is given twice ('" + prefixes[second] + "')");
        return 1;
    }
    std::vector<std::string> differing;
    if (check_made_alike(samples, request.gff3, request.allow_mixed, differing) != 0)
        return 1;
    if (!make_folders(outdir, command))
        return 1;

    partial_matrices_lock partials(outdir);
    merge_state state{samples, outdir, fan_in, {}, {}, 0, {}};
    output_staging outputs;
    progress.show("merging the miRNA tables");
    if (!write_mirna_matrices(state, outputs))
        return 1;
    progress.show("merging the isomiR tables");
    if (!write_isomir_matrix(state, outputs))
        return 1;
    if (request.gff3)
    {
        progress.show("merging the mirGFF3 files");
        if (!write_merged_gff3(state, outputs))
            return 1;
    }
    for (count_table const & table : count_tables(samples))
    {
        progress.show("merging each sample's " + table.what);
        if (!write_count_matrix(table, state, outputs))
            return 1;
    }
    std::vector<sample_summary> summaries;
    for (sample_input const & s : samples)
        summaries.push_back(s.summary);
    std::string const summary =
        with_last_column(summary_table_text(summaries), "differs_from_first_sample", differing);
    if (write_text_file(outdir + "/summary.tsv", summary, "summary table", outputs) != 0 ||
        write_text_file(outdir + "/provenance.tsv", provenance_matrix(samples), "provenance table", outputs) != 0)
        return 1;
    std::string const study = outdir + "/study";
    for (auto const & file : {std::make_pair(multiqc_general_stats_file(study), multiqc_general_stats(summaries)),
                              std::make_pair(multiqc_read_classes_file(study), multiqc_read_classes(summaries)),
                              std::make_pair(multiqc_top_mirnas_file(study), multiqc_top_mirnas(summaries)),
                              std::make_pair(multiqc_read_layouts_file(study), multiqc_read_layouts(summaries))})
        if (write_text_file(file.first, file.second, "MultiQC file", outputs) != 0)
            return 1;
    partials.release();
    return outputs.commit() == 0 ? 0 : 1;
}
