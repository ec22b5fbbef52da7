// The short-option run: its parameters as a sample request.
#pragma once

#include "driver/command_line.hpp"
#include "sample/sample_pipeline.hpp"

// The request of a short-option run: the files its options compose, the
// species its -s text selects, every output kept under its composed name.
sample_request short_option_request(run_parameters const & parameters);
