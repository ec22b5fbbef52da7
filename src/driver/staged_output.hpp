// Output files appear whole or not at all: while staging is on, every output
// file is written under a temporary name beside its final name, and the
// driver renames them all into place only when the run has succeeded. A run
// that fails removes them and leaves the files of an earlier run untouched.
#pragma once

#include <cstdint>
#include <string>

// Turns staging on or off (off at program start: each file is then written
// under its final name at once).
void set_output_staging(bool on);

// The name to write the output `final_path` under. With staging on, a
// temporary name in the same folder, remembered for the commit.
std::string staged_path(std::string const & final_path);

// The name under which `path` can be read back now: its temporary name if it
// is a staged output, else `path` itself.
std::string readable_path(std::string const & path);

// Renames every staged file to its final name, in the order they were
// staged. Returns 0, or -1 after printing an error naming the file that
// could not be renamed (the remaining temporary files are removed).
int32_t commit_staged_outputs();

// Removes every staged temporary file and forgets them.
void discard_staged_outputs();
