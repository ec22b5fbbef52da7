#include "core/sensitive_options.hpp"

#include <charconv>

std::vector<sensitive_option> const & sensitive_options()
{
    static std::vector<sensitive_option> const options = {
        {"sensitive-window", &sensitive_parameters::window, 1, 10, "window length, 1 to 10 (7)"},
        {"sensitive-max-shift", &sensitive_parameters::max_shift, 0, 50,
         "the tag's 5' end may lie up to N letters before or after the miRNA's, 0 to 50 (3)"},
        {"sensitive-max-mismatches", &sensitive_parameters::max_mismatches, 0, 20,
         "mismatches in an alignment, 0 to 20 (2)"},
        {"sensitive-min-matched", &sensitive_parameters::min_matched, 0, 1000,
         "letters an alignment matches, at least N, 0 to 1000 (14)"},
        {"sensitive-max-unmatched", &sensitive_parameters::max_unmatched, 0, 1000,
         "letters of tag and miRNA together left unmatched, at most N, 0 to 1000 (5; 7 with --hairpin, where "
         "alignments costing up to N + 2 are kept when a precursor templates the tag)"},
    };
    return options;
}

bool read_sensitive_value(sensitive_option const & option, std::string const & text, sensitive_parameters & parameters)
{
    int64_t value = 0;
    auto const read = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || read.ec != std::errc() || read.ptr != text.data() + text.size() || value < option.min ||
        value > option.max)
        return false;
    parameters.*option.value = static_cast<uint32_t>(value);
    parameters.on = true;
    parameters.max_unmatched_given = parameters.max_unmatched_given || option.value == &sensitive_parameters::max_unmatched;
    return true;
}
