#include "study/merge.hpp"

#include <algorithm>
#include <iostream>
#include <map>
#include <memory>
#include <set>

#include <dirent.h>
#include <sys/stat.h>

#include "core/checked_file.hpp"
#include "core/file_names.hpp"
#include "core/messages.hpp"
#include "core/progress.hpp"
#include "core/staged_output.hpp"
#include "core/table_reader.hpp"
#include "export/gff3_writer.hpp"
#include "report/multiqc_content.hpp"
#include "report/sample_report.hpp"

namespace
{
char const * const command = "mirsight merge";

bool is_folder(std::string const & path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool ends_with(std::string const & text, std::string const & end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// The sample prefixes an input names: a folder's "<prefix>.summary.tsv"
// files in name order, or the prefix itself. False after an error.
bool sample_prefixes(std::string const & input, std::vector<std::string> & prefixes)
{
    std::string const summary = ".summary.tsv";
    if (!is_folder(input))
    {
        std::string const prefix = ends_with(input, summary) ? input.substr(0, input.size() - summary.size()) : input;
        std::ifstream probe(prefix + summary);
        if (!probe)
        {
            print_error(std::string(command) + ": '" + input + "' is neither a folder of mirsight map outputs nor a "
                        "sample's output prefix (no '" + prefix + summary + "')");
            return false;
        }
        prefixes.push_back(prefix);
        return true;
    }
    std::unique_ptr<DIR, int (*)(DIR *)> folder(opendir(input.c_str()), closedir);
    std::vector<std::string> names;
    if (folder)
        for (dirent * entry = readdir(folder.get()); entry != nullptr; entry = readdir(folder.get()))
            if (ends_with(entry->d_name, summary) && entry->d_name[0] != '.')
                names.push_back(entry->d_name);
    std::sort(names.begin(), names.end());
    if (names.empty())
    {
        print_error(std::string(command) + ": folder '" + input + "' holds no mirsight map outputs (*" + summary + ")");
        return false;
    }
    for (std::string const & name : names)
        prefixes.push_back(input + "/" + name.substr(0, name.size() - summary.size()));
    return true;
}

// One sample's summary. False after an error.
bool read_summary(std::string const & prefix, sample_summary & summary)
{
    table_reader table{prefix + ".summary.tsv", {}, 0, {}};
    if (!table.open())
        return false;
    if (!table.next())
    {
        table.error("empty summary table");
        return false;
    }
    std::vector<std::string> const header = split_tabs(table.line);
    if (!table.next() || !parse_summary_line(header, split_tabs(table.line), summary))
    {
        table.error("not a summary line of mirsight map");
        return false;
    }
    return true;
}

struct mirna_values
{
    uint64_t counted = 0;  // unique + assigned reads
    std::string rpm;
};

// One sample's per-miRNA table, by miRNA name (rows of one name summed).
bool read_mirna_table(std::string const & prefix, std::map<std::string, mirna_values> & rows)
{
    table_reader table{prefix + ".mirna.tsv", {}, 0, {}};
    if (!table.open())
        return false;
    if (!table.next() || table.line + '\n' != mirna_table_header())
    {
        table.error("not a miRNA table of mirsight map");
        return false;
    }
    while (table.next())
    {
        std::vector<std::string> const f = split_tabs(table.line);
        if (f.size() != 6)
        {
            table.error("expected 6 columns, found " + std::to_string(f.size()));
            return false;
        }
        mirna_reads row;
        std::string rpm;
        if (!parse_mirna_table_line(f, row, rpm))
        {
            table.error("a read count is not a number");
            return false;
        }
        mirna_values & values = rows[row.mirna];
        values.counted += row.unique + row.assigned;
        try
        {
            values.rpm = values.rpm.empty() ? rpm : std::to_string(std::stod(values.rpm) + std::stod(rpm));
        }
        catch (std::exception const &)
        {
            table.error("an rpm value is not a number");
            return false;
        }
    }
    return true;
}

std::string header_line(std::string const & first, std::vector<std::string> const & samples)
{
    std::string line = first;
    for (std::string const & sample : samples)
        line += '\t' + sample;
    return line + '\n';
}

// The count matrix and the RPM matrix; the study's top miRNAs into `summaries`.
bool write_mirna_matrices(std::vector<std::string> const & prefixes, std::vector<sample_summary> & summaries,
                          std::string const & outdir, output_staging & outputs)
{
    std::vector<std::map<std::string, mirna_values>> tables(prefixes.size());
    std::set<std::string> names;
    for (std::size_t s = 0; s < prefixes.size(); ++s)
    {
        if (!read_mirna_table(prefixes[s], tables[s]))
            return false;
        for (auto const & row : tables[s])
            names.insert(row.first);
        std::vector<std::pair<std::string, uint64_t>> ranked;
        for (auto const & row : tables[s])
            if (row.second.counted > 0)
                ranked.emplace_back(row.first, row.second.counted);
        std::stable_sort(ranked.begin(), ranked.end(), [](auto const & a, auto const & b) { return a.second > b.second; });
        ranked.resize(std::min<std::size_t>(ranked.size(), 10));
        summaries[s].top_mirnas = ranked;
    }
    std::vector<std::string> samples;
    for (sample_summary const & s : summaries)
        samples.push_back(s.sample);
    std::string counts = header_line("mirna", samples);
    std::string rpm = counts;
    for (std::string const & name : names)
    {
        bool const counted_anywhere = std::any_of(tables.begin(), tables.end(), [&](auto const & table) {
            auto const found = table.find(name);
            return found != table.end() && found->second.counted > 0;
        });
        if (!counted_anywhere)
            continue;  // only ambiguous reads that stayed unassigned
        counts += name;
        rpm += name;
        for (auto const & table : tables)
        {
            auto const found = table.find(name);
            counts += '\t' + std::to_string(found == table.end() ? 0 : found->second.counted);
            rpm += '\t' + (found == table.end() ? std::string("0.000") : found->second.rpm);
        }
        counts += '\n';
        rpm += '\n';
    }
    return write_text_file(outdir + "/mirna_counts.tsv", counts, "count matrix", outputs) == 0 &&
           write_text_file(outdir + "/mirna_rpm.tsv", rpm, "RPM matrix", outputs) == 0;
}

// One line source of a k-way merge: a sorted per-sample file.
struct sorted_source
{
    table_reader table;
    bool has_line = false;
    std::string key;  // what the lines are sorted by
};

// The smallest key of the sources that still have a line, or nullptr.
std::string const * smallest_key(std::vector<sorted_source> const & sources)
{
    std::string const * smallest = nullptr;
    for (sorted_source const & source : sources)
        if (source.has_line && (smallest == nullptr || source.key < *smallest))
            smallest = &source.key;
    return smallest;
}

// Writes `text` out and empties it once it holds 64 KiB. False when writing failed.
bool write_when_full(checked_file & file, std::string & text)
{
    if (text.size() < (1u << 16))
        return true;
    bool const written = file.write(text);
    text.clear();
    return written;
}

// The isomiR matrix: the samples' isomiR tables (sorted by sequence) merged
// line by line, so that memory does not grow with the number of tags.
bool write_isomir_matrix(std::vector<std::string> const & prefixes, std::vector<std::string> const & samples,
                         std::string const & outdir, output_staging & outputs)
{
    std::vector<sorted_source> sources(prefixes.size());
    for (std::size_t s = 0; s < prefixes.size(); ++s)
    {
        sources[s].table.path = prefixes[s] + ".isomirs.tsv";
        if (!sources[s].table.open())
            return false;
        if (!sources[s].table.next() || sources[s].table.line != isomir_description_columns() + "\treads")
        {
            sources[s].table.error("not an isomiR table of mirsight map");
            return false;
        }
    }
    // Advances a source to its next line; false after an error.
    auto advance = [](sorted_source & source) {
        std::string const previous = source.key;
        source.has_line = source.table.next();
        if (!source.has_line)
            return true;
        std::size_t const last_tab = source.table.line.rfind('\t');
        source.key = source.table.line.substr(0, source.table.line.find('\t'));
        if (last_tab == std::string::npos || std::count(source.table.line.begin(), source.table.line.end(), '\t') != 5)
        {
            source.table.error("expected 6 columns");
            return false;
        }
        if (source.key < previous)
        {
            source.table.error("lines not sorted by sequence (the file was not written by mirsight map)");
            return false;
        }
        return true;
    };
    for (sorted_source & source : sources)
        if (!advance(source))
            return false;

    checked_file file(outdir + "/isomir_counts.tsv", "isomiR matrix");
    if (!file.open(outputs))
        return false;
    std::string text = header_line(isomir_description_columns(), samples);
    bool written = true;
    while (written)
    {
        std::string const * smallest = smallest_key(sources);
        if (smallest == nullptr)
            break;
        std::string const sequence = *smallest;
        // Rows of this sequence by their description; reads per sample.
        std::map<std::string, std::vector<std::string>> rows;
        for (std::size_t s = 0; s < sources.size(); ++s)
            while (sources[s].has_line && sources[s].key == sequence)
            {
                std::string const & line = sources[s].table.line;
                std::size_t const last_tab = line.rfind('\t');
                std::vector<std::string> & reads = rows[line.substr(0, last_tab)];
                reads.resize(sources.size(), "0");
                reads[s] = line.substr(last_tab + 1);
                if (!advance(sources[s]))
                    return false;
            }
        for (auto const & row : rows)
        {
            text += row.first;
            for (std::string const & reads : row.second)
                text += '\t' + reads;
            text += '\n';
        }
        written = write_when_full(file, text);
    }
    written = written && file.write(text);
    return file.close(true) && written;
}

// One multi-sample mirGFF3 file: the samples' files (records sorted by Read)
// merged record by record; a record found in several samples once, with
// Expression listing every sample's reads in order (0 where it is absent).
bool write_merged_gff3(std::vector<std::string> const & prefixes, std::vector<std::string> const & samples,
                       std::string const & outdir, output_staging & outputs)
{
    std::vector<sorted_source> sources(prefixes.size());
    std::string source_line;
    std::vector<std::string> mode_lines;  // "## MODE: ..." of the samples, each once
    for (std::size_t s = 0; s < prefixes.size(); ++s)
    {
        sources[s].table.path = prefixes[s] + ".gff3";
        if (!sources[s].table.open())
            return false;
    }
    auto advance = [&source_line, &mode_lines](sorted_source & source) {
        std::string const previous = source.key;
        while ((source.has_line = source.table.next()) && source.table.line[0] == '#')
        {
            std::string const & line = source.table.line;
            if (line.rfind("## source-ontology:", 0) == 0 && source_line.empty())
                source_line = line;
            if (line.rfind("## MODE:", 0) == 0 && std::find(mode_lines.begin(), mode_lines.end(), line) == mode_lines.end())
                mode_lines.push_back(line);
        }
        if (!source.has_line)
            return true;
        source.key = gff3_attribute(source.table.line, "Read");
        if (source.key.empty() || gff3_attribute(source.table.line, "Expression").empty())
        {
            source.table.error("a mirGFF3 record without Read or Expression");
            return false;
        }
        if (source.key < previous)
        {
            source.table.error("records not sorted by Read (the file was not written by mirsight map)");
            return false;
        }
        return true;
    };
    for (sorted_source & source : sources)
        if (!advance(source))
            return false;

    checked_file file(outdir + "/mirna.gff3", "mirGFF3 file");
    if (!file.open(outputs))
        return false;
    std::string coldata;
    for (std::string const & sample : samples)
        coldata += (coldata.empty() ? "" : ",") + sample;
    std::string text = gff3_header(gff3_source_of_line(source_line), coldata, mode_lines);
    bool written = true;
    while (written)
    {
        std::string const * smallest = smallest_key(sources);
        if (smallest == nullptr)
            break;
        std::string const read = *smallest;
        std::vector<std::pair<std::string, std::vector<std::string>>> records;  // in first-met order
        for (std::size_t s = 0; s < sources.size(); ++s)
            while (sources[s].has_line && sources[s].key == read)
            {
                std::string const & line = sources[s].table.line;
                std::string const key = gff3_without_expression(line);
                auto found = std::find_if(records.begin(), records.end(), [&](auto const & r) { return r.first == key; });
                if (found == records.end())
                    found = records.insert(records.end(), {key, std::vector<std::string>(sources.size(), "0")});
                found->second[s] = gff3_attribute(line, "Expression");
                if (!advance(sources[s]))
                    return false;
            }
        for (auto const & record : records)
        {
            std::string expression;
            for (std::string const & reads : record.second)
                expression += (expression.empty() ? "" : ",") + reads;
            text += gff3_with_expression(record.first, expression) + '\n';
        }
        written = write_when_full(file, text);
    }
    written = written && file.write(text);
    return file.close(true) && written;
}

}  // namespace

int run_merge(merge_request const & request)
{
    std::vector<std::string> prefixes;
    for (std::string const & input : request.inputs)
        if (!sample_prefixes(input, prefixes))
            return 1;

    progress_line progress(command, request.quiet);
    progress.show("reading " + std::to_string(prefixes.size()) + " summaries");
    std::vector<sample_summary> summaries(prefixes.size());
    std::vector<std::string> samples;
    for (std::size_t s = 0; s < prefixes.size(); ++s)
    {
        if (!read_summary(prefixes[s], summaries[s]))
            return 1;
        if (std::find(samples.begin(), samples.end(), summaries[s].sample) != samples.end())
        {
            print_error(std::string(command) + ": sample '" + summaries[s].sample + "' is given twice ('" +
                        prefixes[s] + "')");
            return 1;
        }
        samples.push_back(summaries[s].sample);
    }
    std::string const & outdir = request.outdir;
    if (!make_folders(outdir, command))
        return 1;

    output_staging outputs;
    progress.show("merging the miRNA tables");
    if (!write_mirna_matrices(prefixes, summaries, outdir, outputs))
        return 1;
    progress.show("merging the isomiR tables");
    if (!write_isomir_matrix(prefixes, samples, outdir, outputs))
        return 1;
    if (request.gff3)
    {
        progress.show("merging the mirGFF3 files");
        if (!write_merged_gff3(prefixes, samples, outdir, outputs))
            return 1;
    }
    if (write_text_file(outdir + "/summary.tsv", summary_table_text(summaries), "summary table", outputs) != 0)
        return 1;
    std::string const study = outdir + "/study";
    for (auto const & file : {std::make_pair(multiqc_general_stats_file(study), multiqc_general_stats(summaries)),
                              std::make_pair(multiqc_read_classes_file(study), multiqc_read_classes(summaries)),
                              std::make_pair(multiqc_top_mirnas_file(study), multiqc_top_mirnas(summaries))})
        if (write_text_file(file.first, file.second, "MultiQC file", outputs) != 0)
            return 1;
    return outputs.commit() == 0 ? 0 : 1;
}
