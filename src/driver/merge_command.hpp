// "mirsight merge": its command line as a merge request.
#pragma once

#include <string>
#include <vector>

// Runs "mirsight merge" with the arguments after "merge". Returns the exit
// status: 0, 1 (a run failure), 2 (a command-line error).
int merge_command(std::vector<std::string> const & arguments);

// The text of "mirsight merge --help".
std::string merge_usage();
