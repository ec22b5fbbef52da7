#include "core/sensitive_options.hpp"

#include <algorithm>
#include <charconv>

std::vector<sensitive_option> const & sensitive_options()
{
    static std::vector<sensitive_option> const options = {
        {"sensitive-window", nullptr, 1, 10, "the seed is N letters in a row, 1 to 10 (as --sensitive-seed 1111111 for 7)"},
        {"sensitive-max-shift", &sensitive_parameters::max_shift, 0, 50,
         "the tag's 5' end may lie up to N letters before or after the miRNA's, 0 to 50 (3)"},
        {"sensitive-max-mismatches", &sensitive_parameters::max_mismatches, 0, 20,
         "mismatches in an alignment, 0 to 20 (2)"},
        {"sensitive-min-matched", &sensitive_parameters::min_matched, 0, 1000,
         "letters an alignment matches, at least N, 0 to 1000 (14)"},
        {"sensitive-max-unmatched", &sensitive_parameters::max_unmatched, 0, 1000,
         "letters of tag and miRNA together left unmatched, at most N, 0 to 1000 (5; 7 with --hairpin, where "
         "alignments costing up to N + 3 are kept when a precursor templates the tag)"},
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
    if (option.value == nullptr)
        parameters.seed = std::string(static_cast<std::size_t>(value), '1');
    else
        parameters.*option.value = static_cast<uint32_t>(value);
    parameters.on = true;
    parameters.max_unmatched_given = parameters.max_unmatched_given || option.value == &sensitive_parameters::max_unmatched;
    return true;
}

char const * const sensitive_seed_help =
    "the letters of a miRNA and a tag that must match to meet: 1 a letter that must, 0 any letter; starts and "
    "ends with 1, up to 10 1s and 32 letters (111010011101)";

bool read_sensitive_seed(std::string const & text, sensitive_parameters & parameters)
{
    if (text.empty() || text.size() > max_seed_span || text.front() != '1' || text.back() != '1' ||
        text.find_first_not_of("01") != std::string::npos ||
        static_cast<uint32_t>(std::count(text.begin(), text.end(), '1')) > max_seed_letters)
        return false;
    parameters.seed = text;
    parameters.on = true;
    return true;
}

std::string sensitive_seed_error(std::string const & text)
{
    return "option --sensitive-seed needs a pattern of 1s and 0s that starts and ends with 1, with at most " +
           std::to_string(max_seed_letters) + " 1s and " + std::to_string(max_seed_span) + " letters, not '" + text +
           "'";
}
