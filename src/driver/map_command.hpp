// "mirsight map": one sample, named outputs, strict options.
#pragma once

#include <string>
#include <vector>

// Runs "mirsight map" with the arguments after "map". Returns the exit
// status: 0, 1 (a run failure), 2 (a command-line error).
int map_command(std::vector<std::string> const & arguments);

// The text of "mirsight map --help".
std::string map_usage();


