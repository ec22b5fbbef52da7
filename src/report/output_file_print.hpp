#pragma once
#include <cstdint>
#include <string>

// Writes the seven result files named output_prefix + suffix and accumulates
// the three mapped-read totals. Returns 0; -1 when a result file cannot be
// created, written or closed (reported on standard error, naming the path).
int32_t output_file_print(std::string output_prefix, int32_t align_score_threshold);

// output_file_print with the lines of the tag tables formatted by
// thread_count threads (0 counts as 1). The files, totals and messages are
// the same for any count.
int32_t output_file_print_threads(std::string output_prefix, int32_t align_score_threshold, uint32_t thread_count);
