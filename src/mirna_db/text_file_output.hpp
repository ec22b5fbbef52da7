// Writing a whole text file at once, with the failure reported.
#pragma once
#include <cstdint>
#include <string>

// Writes `text` to `path` (created, or truncated if it exists). Returns 0, or
// -1 after printing an error that names `what` and the path when the file
// cannot be created or written.
int32_t write_text_file(std::string const & path, std::string const & text, std::string const & what);
