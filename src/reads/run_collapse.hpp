// The whole run of mirsight-collapse.
#pragma once

#include <string>
#include <vector>

#include "reads/collapse_options.hpp"

// Collapses every reads file of `options` and writes the tag-count file
// (whole or not at all), then reports the read counts on standard error.
// Returns the exit status: 0, or 1 after an error naming the file.
int run_collapse(collapse_options const & options);

// The command line of the collapser (the arguments after the program's
// name): parses it, prints the usage for --help, or runs. Returns the exit
// status (2 for a command-line error).
int collapse_command(std::vector<std::string> const & arguments);
