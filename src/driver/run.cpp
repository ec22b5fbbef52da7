#include "driver/run.hpp"

#include <fstream>
#include <future>
#include <iostream>
#include <system_error>

#include "core/messages.hpp"
#include "core/output_checks.hpp"
#include "core/parallel_chunks.hpp"
#include "core/run_state.hpp"
#include "core/staged_output.hpp"
#include "core/text_input.hpp"
#include "export/gff3_writer.hpp"
#include "matching/mirna_finder.hpp"
#include "mirna_db/check_specie_code.hpp"
#include "mirna_db/mirbase_file_formatter.hpp"
#include "mirna_db/read_mirbase.hpp"
#include "report/output_file_print.hpp"
#include "report/result_aggregation.hpp"
#include "tags/load_reads_db_buffer.hpp"

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
        std::string reason;
        if (!input_is_readable(in.path, reason))
        {
            print_error(std::string("cannot open ") + in.what + " '" + in.path + "' for reading: " + reason);
            return false;
        }
    }
    return true;
}

// No output may replace an input or another output, or be anything but a
// regular file: 0, or the exit status after the error.
int check_outputs(run_parameters const & p)
{
    std::vector<named_file> const inputs = {
        {"mature-miRNA file", p.mature_file}, {"tag-count file", p.tag_file}, {"hairpin file", p.hairpin_file}};
    std::vector<named_file> outputs = {{"grouped miRNA file", p.grouped_file},
                                       {"sorted grouped miRNA file", p.sorted_grouped_file}};
    for (std::string const & path : result_paths_with_prefix(p.output_prefix))
        outputs.push_back({"result file", path});
    if (!p.gff3_file.empty())
        outputs.push_back({"mirGFF3 file", p.gff3_file});
    return check_output_names(inputs, outputs);
}

void print_total(char const * label, uint64_t value)
{
    std::cout << label << value << ";" << std::endl;
}

// Formats and indexes the miRNA file into `mirna_db`. Returns 0, or 1 when a
// stage failed.
int build_seed_index(run_parameters const & p, search_parameters const & search, output_staging & outputs,
                     mirna_db_tables & mirna_db)
{
    if (mirbase_file_formatter(p.mature_file, p.grouped_file, p.sorted_grouped_file, search, outputs) != 0)
        return 1;
    return read_mirbase(p.sorted_grouped_file, outputs, mirna_db) != 0 ? 1 : 0;
}

// build_seed_index on a thread of its own, when the run has more than one;
// otherwise (or when no thread can be started) nothing.
std::future<int> start_building_seed_index(run_parameters const & p, search_parameters const & search,
                                           output_staging & outputs, mirna_db_tables & mirna_db)
{
    if (p.thread_count <= 1)
        return {};
    try
    {
        return std::async(std::launch::async, build_seed_index, std::cref(p), std::cref(search),
                          std::ref(outputs), std::ref(mirna_db));
    }
    catch (std::system_error const &)
    {
        return {};
    }
}

assignment_rule assignment_rule_of(run_parameters const & p)
{
    assignment_rule rule;
    rule.align_score_threshold = p.align_score_threshold;
    rule.by_rank = p.sensitive.on;
    return rule;
}

gff3_request gff3_request_of(run_parameters const & p)
{
    gff3_request request;
    request.path = p.gff3_file;
    request.hairpin_path = p.hairpin_file;
    request.sample = sample_name(p.tag_file);
    request.tag_file = p.tag_file;
    request.records = p.gff3_every_alignment ? gff3_records::every_alignment : gff3_records::counted;
    if (p.sensitive.on)
        request.header_notes.push_back(sensitive_mode_note(p.sensitive));
    return request;
}

// Every stage once, in order. Returns 0, or 1 when a stage failed.
int run_stages(run_parameters const & p, run_state & state, output_staging & outputs, char const *& stage)
{
    search_parameters const search = to_search_parameters(p);

    // With more than one thread the miRNA file is formatted and indexed while
    // the tag file is loaded: the two stages share nothing. The loading
    // prints its messages once the index is built, so that standard error
    // reads as in a run of one stage after the other, and none when building
    // the index failed.
    stage = "indexing the miRNA file and loading the tag file";
    std::future<int> index_built = start_building_seed_index(p, search, outputs, state.mirna_db);
    if (!index_built.valid() && build_seed_index(p, search, outputs, state.mirna_db) != 0)
        return 1;
    tag_load_report const loaded =
        load_reads_db_buffer(p.tag_file, p.rna_conversion, search.seed_size, p.thread_count, state.tags);
    if (index_built.valid() && index_built.get() != 0)
        return 1;
    if (print_tag_load_report(loaded) != 0)
        return 1;
    stage = "searching the tags";
    check_specie_code(p.specie_codes, state.mirna_db);
    mirna_finder(search, state.mirna_db, state.tags, state.search, p.thread_count,
                 p.reference_search ? seed_search::reference : seed_search::lookup);
    stage = "writing the tables";
    output_structures_generation(state.mirna_db.seed_vet, state.tags.tag_vet, p.thread_count, state.results);
    output_structures_updating(state.results);
    int const written = output_file_print(result_paths_with_prefix(p.output_prefix), assignment_rule_of(p),
                                          p.thread_count, state.mirna_db.seed_vet, state.results, state.totals,
                                          outputs);
    int const exported = written == 0 && !p.gff3_file.empty()
                             ? gff3_export(gff3_request_of(p), state.mirna_db.seed_vet, state.results,
                                           assignment_rule_of(p), outputs)
                             : 0;
    free_all_structures(state, p.thread_count);
    return written == 0 && exported == 0 ? 0 : 1;
}
}  // namespace

int run_pipeline(run_parameters const & p, run_state & state)
{
    if (!inputs_readable(p))
        return 1;
    if (int const status = check_outputs(p))
        return status;
    prepare_heap_growth();  // before the seed index is built on a thread of its own

    // Output files appear under their names only once the whole run has
    // succeeded; a failed run removes what it wrote and leaves earlier
    // results in place.
    output_staging outputs;
    char const * stage = "starting";
    int status = 1;
    try
    {
        status = run_stages(p, state, outputs, stage);
    }
    catch (std::bad_alloc const &)
    {
        print_error(std::string("out of memory while ") + stage);
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
