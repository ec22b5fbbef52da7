#pragma once
#include <cstdint>
#include <string>

// Writes the seven result files named output_prefix + suffix and accumulates
// the three mapped-read totals. Returns 0; -1 when a result file cannot be
// created, written or closed (reported on standard error, naming the path).
int32_t output_file_print(std::string output_prefix, int32_t align_score_threshold);
