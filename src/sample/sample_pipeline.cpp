#include "sample/sample_pipeline.hpp"

#include <future>
#include <iostream>
#include <system_error>

#include "core/checked_file.hpp"
#include "core/file_names.hpp"
#include "core/messages.hpp"
#include "core/parallel_chunks.hpp"
#include "core/progress.hpp"
#include "core/staged_output.hpp"
#include "mirna_db/check_specie_code.hpp"
#include "mirna_db/read_mirbase.hpp"
#include "report/ambiguous_selection.hpp"
#include "report/multiqc_content.hpp"
#include "report/result_aggregation.hpp"
#include "report/sample_report.hpp"
#include "sample/tag_input.hpp"
#include "tags/load_reads_db_buffer.hpp"

namespace
{
std::string opening(sample_request const & r)
{
    return r.command.empty() ? "" : r.command + ": ";
}

// Every input file must open before anything is written.
bool inputs_readable(sample_request const & r)
{
    for (named_file const * input : {&r.mature, &r.tags, &r.hairpin})
    {
        if (input->path.empty())
            continue;  // the hairpin file is only given with the mirGFF3 file
        std::string reason;
        if (!input_is_readable(input->path, reason))  // a named pipe is not opened: it gives its data once
        {
            print_error("cannot open " + input->what + " '" + input->path + "' for reading: " + reason);
            return false;
        }
    }
    return true;
}

// No output may replace an input or another output, or be anything but a
// regular file: 0, or the exit status after the error.
int check_outputs(sample_request const & r)
{
    std::vector<named_file> outputs;
    if (r.keep_index_files)
        outputs = {{"grouped miRNA file", r.grouped_file}, {"sorted grouped miRNA file", r.sorted_grouped_file}};
    for (std::string const & path : r.tables)
        outputs.push_back({"result file", path});
    if (!r.report_prefix.empty())
        for (std::string const & path : report_file_names(r.report_prefix))
            outputs.push_back({"result file", path});
    if (!r.gff3_file.empty())
        outputs.push_back({"mirGFF3 file", r.gff3_file});
    return check_output_names({r.mature, r.tags, r.hairpin}, outputs);
}

// Formats and indexes the miRNA file into `mirna_db`. Returns 0, or 1 when a
// stage failed.
int build_seed_index(sample_request const & r, output_staging & index_files, mirna_db_tables & mirna_db)
{
    if (mirbase_file_formatter(r.mature.path, r.grouped_file, r.sorted_grouped_file, r.search, index_files,
                               r.letters) != 0)
        return 1;
    return read_mirbase(r.sorted_grouped_file, index_files, mirna_db) != 0 ? 1 : 0;
}

// build_seed_index on a thread of its own, when the run has more than one;
// otherwise (or when no thread can be started) nothing.
std::future<int> start_building_seed_index(sample_request const & r, output_staging & index_files,
                                           mirna_db_tables & mirna_db)
{
    if (r.thread_count <= 1)
        return {};
    try
    {
        return std::async(std::launch::async, build_seed_index, std::cref(r), std::ref(index_files),
                          std::ref(mirna_db));
    }
    catch (std::system_error const &)
    {
        return {};
    }
}

// The tag file (or its reads, collapsed) into state.tags.
tag_load_report load_tags(sample_request const & r, tag_table & tags, int & status)
{
    if (!r.tags_may_be_reads)
        return load_reads_db_buffer(r.tags.path, r.rna_conversion, r.search.seed_size, r.thread_count, tags);
    tag_input input;
    if (read_tag_input(r.tags.path, input) != 0)
    {
        status = 1;
        return {};
    }
    return load_tags_from_text(input.text, r.tags.path, r.rna_conversion, r.search.seed_size, r.thread_count, tags);
}

int select_species(sample_request const & r, mirna_db_tables & mirna_db)
{
    if (!r.species.exact)
        return check_specie_code(r.species.text, mirna_db) != 0 ? 1 : 0;
    std::vector<std::string> const & all_codes = mirna_db.specie_code_vet;
    if (r.species.codes.empty() && all_codes.size() > 1)
        std::cerr << "note: searching all " << all_codes.size() << " species of '" << r.mature.path
                  << "'; choose some with --species\n";
    return select_specie_codes(r.species.codes.empty() ? all_codes : r.species.codes, r.mature.path, mirna_db) != 0
               ? 1
               : 0;
}

// The summary, the tidy tables and the MultiQC files.
int write_sample_report(sample_request const & r, run_state const & state, output_staging & outputs)
{
    std::string const & prefix = r.report_prefix;
    std::vector<seed_vet_t> const & seed_vet = state.mirna_db.seed_vet;
    std::vector<mirna_reads> const mirnas = count_mirna_reads(seed_vet, state.results);
    sample_summary const summary = summarize_sample(r.sample, state.tags, state.results, mirnas);
    if (write_text_file(prefix + ".mirna.tsv", mirna_table_text(mirnas), "miRNA table", outputs) != 0 ||
        write_text_file(prefix + ".summary.tsv", summary_table_text({summary}), "summary table", outputs) != 0 ||
        write_isomir_table(prefix + ".isomirs.tsv", seed_vet, state.results, outputs) != 0)
        return 1;
    for (auto const & file : multiqc_files(prefix, {summary}))
        if (write_text_file(file.first, file.second, "MultiQC file", outputs) != 0)
            return 1;
    return 0;
}

gff3_request gff3_request_of(sample_request const & r)
{
    gff3_request request;
    request.path = r.gff3_file;
    request.hairpin_path = r.hairpin.path;
    request.sample = r.sample;
    request.tag_file = r.tags.path;
    request.records = r.gff3_content;
    request.order = r.gff3_order;
    request.header_notes = r.gff3_header_notes;
    return request;
}

// Every stage once, in order. Returns 0, or 1 when a stage failed.
int run_stages(sample_request const & r, run_state & state, output_staging & outputs, progress_line & progress)
{
    // With more than one thread the miRNA file is formatted and indexed while
    // the tags are loaded: the two stages share nothing. The loading prints
    // its messages once the index is built, so that standard error reads as
    // in a run of one stage after the other, and none when building the
    // index failed.
    output_staging temporary_index_files;
    output_staging & index_files = r.keep_index_files ? outputs : temporary_index_files;
    progress.show("indexing the miRNA file and loading the tag file");
    std::future<int> index_built = start_building_seed_index(r, index_files, state.mirna_db);
    if (!index_built.valid() && build_seed_index(r, index_files, state.mirna_db) != 0)
        return 1;
    int status = 0;
    tag_load_report const loaded = load_tags(r, state.tags, status);
    if (index_built.valid() && index_built.get() != 0)
        return 1;
    if (status != 0 || print_tag_load_report(loaded) != 0 || select_species(r, state.mirna_db) != 0)
        return 1;

    progress.show("searching " + std::to_string(state.tags.tag_vet.size()) + " tags");
    mirna_finder(r.search, state.mirna_db, state.tags, state.search, r.thread_count, r.engine);

    progress.show("writing the tables");
    std::vector<seed_vet_t> const & seed_vet = state.mirna_db.seed_vet;
    output_structures_generation(seed_vet, state.tags.tag_vet, r.thread_count, state.results);
    output_structures_updating(state.results);
    decide_counted_alignments(r.rule, seed_vet, r.thread_count, state.results);
    if (output_file_print(r.tables, r.thread_count, seed_vet, state.results, state.totals, outputs) != 0)
        return 1;
    if (!r.report_prefix.empty() && write_sample_report(r, state, outputs) != 0)
        return 1;
    if (!r.gff3_file.empty())
    {
        progress.show("writing the mirGFF3 file");
        if (gff3_export(gff3_request_of(r), seed_vet, state.results, outputs) != 0)
            return 1;
    }
    free_all_structures(state);
    return 0;
}

void print_total(char const * label, uint64_t value)
{
    std::cout << label << value << ";" << std::endl;
}
}  // namespace

std::vector<std::string> report_file_names(std::string const & prefix)
{
    return {prefix + ".mirna.tsv",
            prefix + ".summary.tsv",
            prefix + ".isomirs.tsv",
            multiqc_general_stats_file(prefix),
            multiqc_read_classes_file(prefix),
            multiqc_tag_lengths_file(prefix),
            multiqc_top_mirnas_file(prefix)};
}

int run_sample(sample_request const & r, run_state & state)
{
    if (!inputs_readable(r))
        return 1;
    for (std::string const & folder : r.folders)
        if (!make_folders(folder, ""))
            return 1;
    if (int const status = check_outputs(r))
        return status;
    prepare_heap_growth();  // before the seed index is built on a thread of its own

    // Output files appear under their names only once the whole run has
    // succeeded; a failed run removes what it wrote and leaves earlier
    // results in place.
    output_staging outputs;
    progress_line progress(r.command + (r.command.empty() ? "" : ": ") + r.sample, r.quiet);
    int status = 1;
    try
    {
        status = run_stages(r, state, outputs, progress);
    }
    catch (std::bad_alloc const &)
    {
        print_error(opening(r) + "out of memory while " + progress.stage());
    }
    if (status == 0 && !log_written())
        status = 1;
    if (status == 0 && outputs.commit() != 0)
        status = 1;
    outputs.discard();
    if (status != 0)
        return status;

    print_total("uniq_mapped_total_tags_count = ", state.totals.uniq_mapped_total_tags_count);
    print_total("ambigue_mapped_total_tag_count = ", state.totals.ambigue_mapped_total_tag_count);
    print_total("ambigue_selected_mapped_total_tag_count = ", state.totals.ambigue_selected_mapped_total_tag_count);
    return log_written() ? 0 : 1;
}
