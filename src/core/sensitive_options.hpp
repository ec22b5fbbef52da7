// The named options of the sensitive mode, shared by the short options and
// "mirsight map".
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/search_parameters.hpp"

// The named options of the sensitive mode ("--sensitive-window N", ...):
// each sets one number of sensitive_parameters, from min to max, and
// implies "--sensitive". Shared by the legacy command line and "mirsight map".
struct sensitive_option
{
    char const * name;  // without "--"
    uint32_t sensitive_parameters::*value;
    uint32_t min;
    uint32_t max;
    char const * help;  // with its range and default
};
std::vector<sensitive_option> const & sensitive_options();

// The value of a sensitive option: true when `text` is a whole number
// within the option's range, stored into `parameters`.
bool read_sensitive_value(sensitive_option const & option, std::string const & text, sensitive_parameters & parameters);
