// "mirsight merge": the samples of a study into count matrices, one summary
// and one multi-sample mirGFF3 file.
#pragma once

#include <string>
#include <vector>

// Runs "mirsight merge" with the arguments after "merge". Returns the exit
// status: 0, 1 (a run failure), 2 (a command-line error).
int merge_command(std::vector<std::string> const & arguments);
