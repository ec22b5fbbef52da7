// The samples of a study into count matrices, one summary, MultiQC content
// and one multi-sample mirGFF3 file, from the files "mirsight map" wrote.
#pragma once

#include <string>
#include <vector>

struct merge_request
{
    // Folders of map outputs (every SAMPLE.summary.tsv in each, by name) or
    // samples' output prefixes (DIR/SAMPLE), in the order the samples keep.
    std::vector<std::string> inputs;
    std::string outdir;  // created when missing
    bool gff3 = false;   // also merge the samples' mirGFF3 files
    bool allow_mixed = false;  // merge samples mapped differently (compared_values), with a warning naming how
    bool quiet = false;  // no progress line
};

// Merges the samples; every output appears together, or none does. Returns
// the exit status: 0; 1 after an error naming the file (and line); 2 when
// the output folder is that of the samples' files.
int run_merge(merge_request const & request);
