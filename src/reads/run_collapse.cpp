#include "reads/run_collapse.hpp"

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <new>

#include <sys/stat.h>

#include "core/messages.hpp"
#include "core/output_checks.hpp"
#include "core/staged_output.hpp"
#include "core/version.hpp"

namespace
{
// Writes the tags to the output file under a temporary name and renames it
// into place, or to standard output. Returns 0 or -1.
// "-o -" and "-o /dev/stdout" are standard output.
bool is_standard_output(std::string const & output_file)
{
    return output_file.empty() || output_file == "-" || output_file == "/dev/stdout";
}

// An output that exists and is a device or a named pipe (/dev/null, say) is
// written through, not replaced.
bool is_written_through(std::string const & output_file)
{
    struct stat info;
    return stat(output_file.c_str(), &info) == 0 &&
           (S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode) || S_ISFIFO(info.st_mode));
}

// 0 when the output may be written, else 1 after an error: it is a reads
// file, or a directory or other file that is not regular.
int check_output(collapse_options const & options)
{
    if (is_standard_output(options.output_file) || is_written_through(options.output_file))
        return 0;
    std::vector<named_file> inputs;
    for (std::string const & file : options.read_files)
        if (file != "-")
            inputs.push_back({"reads file", file});
    return check_output_names(inputs, {{"tag-count file", options.output_file}});
}

int32_t write_output(std::string const & output_file, std::vector<tag_count> const & tags)
{
    if (is_standard_output(output_file))
        return write_tag_counts(stdout, "standard output", tags);
    if (is_written_through(output_file))
        return write_tag_counts(output_file, output_file, tags);
    output_staging outputs;
    if (write_tag_counts(outputs.staged_path(output_file), output_file, tags) != 0)
        return -1;  // the staged file is removed with `outputs`
    return outputs.commit();
}
}  // namespace

int run_collapse(collapse_options const & options)
{
    if (check_output(options) != 0)
        return 1;
    known_mirnas known;
    trim_request request = options.trimming;
    if (!options.mature_file.empty())
    {
        if (read_known_mirnas(options.mature_file, {}, known) != 0)
            return 1;
        request.known = &known;
    }
    sequence_counts counts;
    raw_read_result result;
    if (collapse_raw_reads(options.read_files, request, options.threads, counts, result, nullptr) != 0)
        return 1;
    for (lane_layout const & lane : result.lanes)
        if (!lane.warning.empty())
            print_warning("reads file '" + lane.path + "': " + lane.warning);

    std::vector<tag_count> tags;
    try
    {
        tags = ordered_tags(counts);
    }
    catch (std::bad_alloc const &)
    {
        print_error("out of memory while ordering " + std::to_string(counts.distinct) + " distinct sequences");
        return 1;
    }
    if (write_output(options.output_file, tags) != 0)
        return 1;

    for (lane_layout const & lane : result.lanes)
        std::cerr << "layout = " << lane.path << ": " << lane_layout_text(lane) << '\n';
    std::cerr << funnel_text(result.funnel);
    if (std::any_of(result.lanes.begin(), result.lanes.end(),
                    [](lane_layout const & lane) { return lane.applied.layout.umi_length > 0; }))
        std::cerr << "molecules_kept = " << result.molecules << '\n';
    std::cerr << "distinct_sequences = " << tags.size() << '\n';
    return 0;
}

int collapse_command(std::vector<std::string> const & arguments)
{
    collapse_options options;
    int const status = parse_collapse_options(arguments, options);
    if (status != 0)
        return status;
    if (options.show_help)
    {
        std::cout << collapse_usage();
        return 0;
    }
    if (options.show_version)
    {
        std::cout << version_line("mirsight-collapse") << std::endl;
        return 0;
    }
    return run_collapse(options);
}
