#pragma once
#include <cstdint>
#include <string>

#include "core/staged_output.hpp"

// Copies a text file (read back from `outputs` when it is one of them) into
// another, an output of `outputs`, with its lines in ascending byte order.
// Returns 0; -2 when the input cannot be opened; -1 when the output cannot be
// created or written (both reported on standard error).
int32_t sort_singlelinefile(std::string const & input_path, std::string const & output_path,
                            output_staging & outputs);
