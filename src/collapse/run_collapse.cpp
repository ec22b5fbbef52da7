#include "collapse/run_collapse.hpp"

#include <cstdio>
#include <iostream>

#include "core/staged_output.hpp"

namespace
{
// Writes the tags to the output file under a temporary name and renames it
// into place, or to standard output. Returns 0 or -1.
int32_t write_output(std::string const & output_file, std::vector<tag_count> const & tags)
{
    if (output_file.empty())
        return write_tag_counts(stdout, "standard output", tags);
    output_staging outputs;
    if (write_tag_counts(outputs.staged_path(output_file), output_file, tags) != 0)
        return -1;  // the staged file is removed with `outputs`
    return outputs.commit();
}
}  // namespace

int run_collapse(collapse_options const & options)
{
    sequence_counts counts;
    collapse_summary summary;
    for (std::string const & file : options.read_files)
        if (collapse_read_file(file, options.limits, counts, summary) != 0)
            return 1;

    std::vector<tag_count> const tags = ordered_tags(counts);
    if (write_output(options.output_file, tags) != 0)
        return 1;

    std::cerr << "reads_read = " << summary.reads_read << '\n'
              << "reads_kept = " << summary.reads_kept << '\n'
              << "reads_too_short = " << summary.reads_too_short << '\n'
              << "reads_too_long = " << summary.reads_too_long << '\n'
              << "distinct_sequences = " << tags.size() << '\n';
    return 0;
}
