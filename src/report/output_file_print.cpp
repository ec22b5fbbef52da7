#include "report/output_file_print.hpp"

#include <future>
#include <memory>
#include <system_error>
#include <utility>

#include "core/checked_file.hpp"
#include "core/parallel_chunks.hpp"
#include "report/ambiguous_selection.hpp"
#include "report/mirna_tables.hpp"
#include "report/result_line.hpp"
#include "report/tag_tables.hpp"

namespace
{
constexpr std::array<char const *, result_table_count> result_suffixes = {
    "_unique.txt",
    "_ambigue.txt",
    "_tag_unique.txt",
    "_tag_ambigue.txt",
    "_tag_ambigue_selected.txt",
    "_unique_ambigue_selected.txt",
    "_ambigue_ambigue_selected.txt",
};

constexpr std::array<result_table, result_table_count> close_order = {
    ambigue_mirna_file, unique_mirna_file, tag_unique_file, tag_ambigue_file,
    tag_ambigue_selected_file, unique_selected_mirna_file, ambigue_selected_mirna_file,
};

using result_files = std::vector<checked_file>;

// Creates (or truncates) the seven files in order; on the first that cannot
// be created, reports it and returns false.
bool open_result_files(result_files & files, result_paths const & paths, output_staging & outputs)
{
    files.reserve(result_table_count);
    for (std::string const & path : paths)
    {
        files.emplace_back(path, "result file");
        if (!files.back().open(outputs))
            return false;
    }
    return true;
}

// Reports the first file whose stream has failed while being written.
void report_write_failure(result_files & files)
{
    for (checked_file & file : files)
        if (file.failed())
        {
            file.report_write_failure();
            return;
        }
}

// Flushes and closes every open file in close order, reporting each that
// fails when `report` is set. Returns 0, or -1 when one failed.
int32_t close_result_files(result_files & files, bool report)
{
    int32_t status = 0;
    for (result_table table : close_order)
        if (table < files.size() && !files[table].close(report))
            status = -1;
    return status;
}

// The texts of the unique and the ambiguous per-miRNA table of `rows`, the
// two side by side when there is more than one thread.
struct mirna_table_texts
{
    std::string unique;
    std::string ambiguous;
};

mirna_table_texts format_mirna_tables(std::vector<result_mirna_uniq_ambig_vet_t> const & rows, bool normalised,
                                      uint32_t thread_count)
{
    mirna_table_texts texts;
    run_in_chunks(2, thread_count, [&](uint32_t, uint64_t first, uint64_t last) {
        for (uint64_t table = first; table < last; ++table)
            (table == 0 ? texts.unique : texts.ambiguous) = mirna_table_text(rows, normalised, table == 1);
    });
    return texts;
}

// format_mirna_tables of the rows before the selection, on a thread of its
// own when there is more than one (or else when the result is asked for).
// Nothing changes those rows while the tag tables are written.
std::future<mirna_table_texts> start_formatting_mirna_tables(
    std::vector<result_mirna_uniq_ambig_vet_t> const & rows, uint32_t thread_count)
{
    auto format = [&rows] { return format_mirna_tables(rows, true, 1); };
    if (thread_count > 1)
    {
        try
        {
            return std::async(std::launch::async, format);
        }
        catch (std::system_error const &)
        {
        }
    }
    return std::async(std::launch::deferred, format);
}

bool write_mirna_tables(checked_file & unique_file, checked_file & ambigue_file, mirna_table_texts const & texts)
{
    return unique_file.write(texts.unique) && ambigue_file.write(texts.ambiguous);
}

// The per-miRNA tables before selection, the tag tables with the assigned
// tags (moved in a copy of the per-miRNA rows), then the per-miRNA tables
// after selection. The tables before selection are formatted while the
// unique-tag table is written. False as soon as a stream fails.
bool write_result_files(result_files & files, uint32_t thread_count, std::vector<seed_vet_t> const & seed_vet,
                        result_tables const & results, mapped_totals & totals)
{
    std::vector<result_mirna_uniq_ambig_vet_t> result_mirna_selected_vet = results.result_mirna_uniq_ambig_vet;
    mirna_row_index const row_of_mirna = index_rows_by_mirna(result_mirna_selected_vet);
    std::future<mirna_table_texts> before_selection =
        start_formatting_mirna_tables(results.result_mirna_uniq_ambig_vet, thread_count);

    return write_tag_unique_table(files[tag_unique_file].stream(), seed_vet, results.result_tag_uniq_vet,
                                  thread_count, totals)
           && write_mirna_tables(files[unique_mirna_file], files[ambigue_mirna_file], before_selection.get())
           && write_tag_ambigue_tables(files[tag_ambigue_file].stream(), files[tag_ambigue_selected_file].stream(),
                                       seed_vet, results, result_mirna_selected_vet, row_of_mirna, thread_count, totals)
           && write_mirna_tables(files[unique_selected_mirna_file], files[ambigue_selected_mirna_file],
                                 format_mirna_tables(result_mirna_selected_vet, false, thread_count));
}
}  // namespace

result_paths result_paths_with_prefix(std::string const & output_prefix)
{
    result_paths paths;
    for (std::size_t i = 0; i < result_table_count; ++i)
        paths[i] = output_prefix + result_suffixes[i];
    return paths;
}

int32_t output_file_print(result_paths const & paths, uint32_t thread_count, std::vector<seed_vet_t> const & seed_vet,
                          result_tables const & results, mapped_totals & totals,
                          output_staging & outputs)
{
    result_files files;
    if (!open_result_files(files, paths, outputs))
    {
        close_result_files(files, false);
        return -1;
    }
    if (!write_result_files(files, thread_count, seed_vet, results, totals))
    {
        report_write_failure(files);
        close_result_files(files, false);
        return -1;
    }
    return close_result_files(files, true);
}
