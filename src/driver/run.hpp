#pragma once

#include "driver/command_line.hpp"

// Runs every stage once, in order, and prints the three totals.
// Returns the exit status: 0 on success, 1 when a stage failed.
int run_pipeline(run_parameters const & parameters);
