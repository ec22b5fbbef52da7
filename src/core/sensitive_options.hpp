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
// "--sensitive-window N" (no member: `value` is null) sets the seed to N
// letters in a row; "--sensitive-seed" (a pattern, not a number) is apart.
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

// "--sensitive-seed PATTERN": 1s (letters that must match) and 0s (any
// letter), starting and ending with 1, with at most max_seed_letters 1s and
// max_seed_span letters in all.
constexpr char const * sensitive_seed_option = "sensitive-seed";
constexpr uint32_t max_seed_letters = 10;
constexpr uint32_t max_seed_span = 32;
extern char const * const sensitive_seed_help;
// True when `text` is such a pattern, stored into `parameters`.
bool read_sensitive_seed(std::string const & text, sensitive_parameters & parameters);
// The error for a value that is not.
std::string sensitive_seed_error(std::string const & text);
