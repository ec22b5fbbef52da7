// What a person reads on standard output when `mirsight map` is done: the
// sample, the reads in, each reads file's layout and how it was told, the
// read funnel, the reads counted on miRNAs, the miRNAs detected and where
// the files are. The counters of the stages go to the sample's log file.
#pragma once

#include <string>

#include "reads/raw_reads.hpp"
#include "report/multiqc_content.hpp"

// The summary's lines, aligned, each ending with a line feed. `command`
// opens the first line ("mirsight map"); `reads` is what the pass over raw
// reads found (nullptr for a tag-count file); `prefix` names the sample's
// files ("out/liver": "out/liver.*").
std::string run_summary_text(std::string const & command, sample_summary const & summary,
                             raw_read_result const * reads, std::string const & prefix);
