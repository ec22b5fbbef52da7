#pragma once

#include "core/run_state.hpp"
#include "driver/command_line.hpp"

// Runs every stage once, in order, on `state` (a fresh run_state{}), and
// prints the three totals. Returns the exit status: 0 on success, 1 when a
// stage failed.
int run_pipeline(run_parameters const & parameters, run_state & state);
