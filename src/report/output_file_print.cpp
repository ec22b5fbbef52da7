#include "report/output_file_print.hpp"

#include <array>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <future>
#include <system_error>
#include <utility>
#include <vector>

#include "driver/globals.hpp"
#include "driver/staged_output.hpp"
#include "report/ambiguous_selection.hpp"
#include "report/mirna_tables.hpp"
#include "report/result_line.hpp"
#include "report/tag_tables.hpp"
#include "tags/parallel_chunks.hpp"

namespace
{
// The seven result files, in the order they are opened.
enum result_slot : std::size_t
{
    unique_mirna_file,
    ambigue_mirna_file,
    tag_unique_file,
    tag_ambigue_file,
    tag_ambigue_selected_file,
    unique_selected_mirna_file,
    ambigue_selected_mirna_file,
    result_file_count
};

constexpr std::array<char const *, result_file_count> result_suffixes = {
    "_unique.txt",
    "_ambigue.txt",
    "_tag_unique.txt",
    "_tag_ambigue.txt",
    "_tag_ambigue_selected.txt",
    "_unique_ambigue_selected.txt",
    "_ambigue_ambigue_selected.txt",
};

constexpr std::array<result_slot, result_file_count> close_order = {
    ambigue_mirna_file, unique_mirna_file, tag_unique_file, tag_ambigue_file,
    tag_ambigue_selected_file, unique_selected_mirna_file, ambigue_selected_mirna_file,
};

struct result_file
{
    std::string path;
    std::ofstream stream;
};

using result_files = std::array<result_file, result_file_count>;

std::string errno_reason(int error, char const * fallback)
{
    return error != 0 ? std::strerror(error) : fallback;
}

// Creates (or truncates) the seven files in order; on the first that cannot
// be created, reports it and returns false.
bool open_result_files(result_files & files, std::string const & output_prefix)
{
    for (std::size_t i = 0; i < result_file_count; ++i)
    {
        files[i].path = output_prefix + result_suffixes[i];
        errno = 0;
        files[i].stream.open(staged_path(files[i].path), std::ios::out | std::ios::trunc | std::ios::binary);
        if (!files[i].stream.is_open())
        {
            print_error("cannot create result file '" + files[i].path
                        + "': " + errno_reason(errno, "cannot be created"));
            return false;
        }
    }
    return true;
}

// Reports the first file whose stream has failed while being written.
void report_write_failure(result_files const & files)
{
    int const error = errno;
    for (result_file const & file : files)
        if (!file.stream)
        {
            print_error("cannot write result file '" + file.path + "': " + errno_reason(error, "write failed"));
            return;
        }
}

// Flushes and closes every open file in close order, reporting each that
// fails when `report` is set. Returns 0, or -1 when one failed.
int32_t close_result_files(result_files & files, bool report)
{
    int32_t status = 0;
    for (result_slot slot : close_order)
    {
        result_file & file = files[slot];
        if (!file.stream.is_open())
            continue;
        errno = 0;
        bool written = static_cast<bool>(file.stream.flush());
        int error = errno;
        file.stream.close();
        if (written && file.stream.fail())
        {
            written = false;
            error = errno;
        }
        if (!written)
        {
            status = -1;
            if (report)
                print_error("cannot write result file '" + file.path
                            + "': " + errno_reason(error, "write failed"));
        }
    }
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
std::future<mirna_table_texts> start_formatting_mirna_tables(uint32_t thread_count)
{
    auto format = [] { return format_mirna_tables(result_mirna_uniq_ambig_vet, true, 1); };
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

bool write_mirna_tables(result_file & unique_file, result_file & ambigue_file, mirna_table_texts const & texts)
{
    return write_line(unique_file.stream, texts.unique) && write_line(ambigue_file.stream, texts.ambiguous);
}

// The per-miRNA tables before selection, the tag tables with the selection
// (which changes `result_mirna_selected_vet`), then the per-miRNA tables
// after selection. The tables before selection are formatted while the
// unique-tag table is written. False as soon as a stream fails.
bool write_result_files(result_files & files, int32_t align_score_threshold, uint32_t thread_count)
{
    std::vector<result_mirna_uniq_ambig_vet_t> result_mirna_selected_vet = result_mirna_uniq_ambig_vet;
    mirna_row_index const row_of_mirna = index_rows_by_mirna(result_mirna_selected_vet);
    std::future<mirna_table_texts> before_selection = start_formatting_mirna_tables(thread_count);

    return write_tag_unique_table(files[tag_unique_file].stream, thread_count)
           && write_mirna_tables(files[unique_mirna_file], files[ambigue_mirna_file], before_selection.get())
           && write_tag_ambigue_tables(files[tag_ambigue_file].stream, files[tag_ambigue_selected_file].stream,
                                       align_score_threshold, result_mirna_selected_vet, row_of_mirna,
                                       thread_count)
           && write_mirna_tables(files[unique_selected_mirna_file], files[ambigue_selected_mirna_file],
                                 format_mirna_tables(result_mirna_selected_vet, false, thread_count));
}
}  // namespace

int32_t output_file_print(std::string output_prefix, int32_t align_score_threshold)
{
    return output_file_print_threads(std::move(output_prefix), align_score_threshold, 1);
}

int32_t output_file_print_threads(std::string output_prefix, int32_t align_score_threshold, uint32_t thread_count)
{
    result_files files;
    if (!open_result_files(files, output_prefix))
    {
        close_result_files(files, false);
        return -1;
    }
    if (!write_result_files(files, align_score_threshold, thread_count))
    {
        report_write_failure(files);
        close_result_files(files, false);
        return -1;
    }
    return close_result_files(files, true);
}
