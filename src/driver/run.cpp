#include "driver/run.hpp"

#include <fstream>
#include <future>
#include <iostream>
#include <system_error>

#include "driver/globals.hpp"
#include "driver/staged_output.hpp"
#include "export/gff3_writer.hpp"
#include "matching/mirna_finder.hpp"
#include "matching/result_aggregation.hpp"
#include "mirna_db/check_specie_code.hpp"
#include "mirna_db/mirbase_file_formatter.hpp"
#include "mirna_db/read_mirbase.hpp"
#include "report/output_file_print.hpp"
#include "tags/load_reads_db_buffer.hpp"
#include "tags/parallel_chunks.hpp"

namespace
{
// Every input file must open before anything is written.
bool inputs_readable(run_parameters const & p)
{
    struct input
    {
        char const * what;
        std::string const & path;
    };
    input const inputs[] = {{"mature-miRNA file", p.mature_file}, {"tag-count file", p.tag_file},
                            {"hairpin file", p.hairpin_file}};
    for (input const & in : inputs)
    {
        if (in.path.empty())
            continue;  // the hairpin file is only given with --gff3
        std::ifstream stream;
        std::string reason;
        if (!open_for_reading(stream, in.path, reason))
        {
            print_error(std::string("cannot open ") + in.what + " '" + in.path + "' for reading: " + reason);
            return false;
        }
    }
    return true;
}

void print_total(char const * label, uint64_t value)
{
    std::cout << label << value << ";" << std::endl;
}

// Formats and indexes the miRNA file. Returns 0, or 1 when a stage failed.
int build_seed_index(run_parameters const & p)
{
    auto const begin_seed = static_cast<uint32_t>(p.begin_seed);
    auto const end_seed = static_cast<uint32_t>(p.end_seed);
    auto const seed_size = static_cast<uint32_t>(p.seed_size);
    if (mirbase_file_formatter(p.mature_file, p.grouped_file, p.sorted_grouped_file,
                               begin_seed, end_seed, seed_size) != 0)
        return 1;
    return read_mirbase(p.sorted_grouped_file) != 0 ? 1 : 0;
}

// build_seed_index on a thread of its own, when the run has more than one;
// otherwise (or when no thread can be started) nothing.
std::future<int> start_building_seed_index(run_parameters const & p)
{
    if (p.thread_count <= 1)
        return {};
    try
    {
        return std::async(std::launch::async, build_seed_index, std::cref(p));
    }
    catch (std::system_error const &)
    {
        return {};
    }
}

// Every stage once, in order. Returns 0, or 1 when a stage failed.
int run_stages(run_parameters const & p)
{
    auto const begin_seed = static_cast<uint32_t>(p.begin_seed);
    auto const end_seed = static_cast<uint32_t>(p.end_seed);
    auto const seed_size = static_cast<uint32_t>(p.seed_size);

    // With more than one thread the miRNA file is formatted and indexed while
    // the tag file is loaded. The loading prints its messages once the index
    // is built, so that standard error reads as in a run of one stage after
    // the other, and none when building the index failed.
    std::future<int> index_built = start_building_seed_index(p);
    if (!index_built.valid() && build_seed_index(p) != 0)
        return 1;
    tag_load_report const tags = load_reads_db_buffer_quietly(p.tag_file, p.rna_conversion, seed_size,
                                                              p.thread_count);
    if (index_built.valid() && index_built.get() != 0)
        return 1;
    if (print_tag_load_report(tags) != 0)
        return 1;
    check_specie_code(p.specie_codes);
    auto const min_tag_length = static_cast<uint32_t>(p.min_tag_length);
    auto const tag_begin = static_cast<uint32_t>(p.tag_begin);
    if (p.reference_search)
        mirna_finder_reference(min_tag_length, tag_begin, begin_seed, end_seed, seed_size);
    else
        mirna_finder_threads(min_tag_length, tag_begin, begin_seed, end_seed, seed_size, p.thread_count);
    output_structures_generation_threads(p.thread_count);
    output_structures_updating();
    int const written = output_file_print_threads(p.output_prefix, p.align_score_threshold, p.thread_count);
    int const exported = written == 0 && !p.gff3_file.empty()
                             ? gff3_export(p.gff3_file, p.hairpin_file, p.tag_file) : 0;
    free_all_structures_threads(p.thread_count);
    return written == 0 && exported == 0 ? 0 : 1;
}
}  // namespace

int run_pipeline(run_parameters const & p)
{
    if (!inputs_readable(p))
        return 1;
    prepare_heap_growth();  // before the seed index is built on a thread of its own

    // Output files appear under their names only once the whole run has
    // succeeded; a failed run removes what it wrote and leaves earlier
    // results in place.
    set_output_staging(true);
    int status = run_stages(p);
    if (status == 0 && commit_staged_outputs() != 0)
        status = 1;
    discard_staged_outputs();
    set_output_staging(false);
    if (status != 0)
        return status;

    print_total("uniq_mapped_total_tags_count = ", uniq_mapped_total_tags_count);
    print_total("ambigue_mapped_total_tag_count = ", ambigue_mapped_total_tag_count);
    print_total("ambigue_selected_mapped_total_tag_count = ", ambigue_selected_mapped_total_tag_count);
    return 0;
}
