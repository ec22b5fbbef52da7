#include "report/length_profile.hpp"

#include <algorithm>

namespace
{
constexpr std::size_t fixed_after_classes = 4;  // unmapped, too_short, too_long, dimer
}

void length_profile::add(std::string const & outcome, std::size_t length, uint64_t count)
{
    auto at = std::find(outcomes.begin(), outcomes.end(), outcome);
    if (at == outcomes.end())
    {
        at = outcomes.insert(outcomes.end() - fixed_after_classes, outcome);
        reads.insert(reads.begin() + (at - outcomes.begin()), std::vector<uint64_t>());
    }
    std::vector<uint64_t> & by_length = reads[static_cast<std::size_t>(at - outcomes.begin())];
    if (by_length.size() <= length)
        by_length.resize(length + 1, 0);
    by_length[length] += count;
}

void length_profile::add_by_length(std::string const & outcome, std::vector<uint64_t> const & by_length)
{
    for (std::size_t length = 0; length < by_length.size(); ++length)
        if (by_length[length] > 0)
            add(outcome, length, by_length[length]);
}

std::string length_table_text(length_profile const & profile)
{
    std::string text = "length";
    std::size_t longest = 0;
    for (std::size_t o = 0; o < profile.outcomes.size(); ++o)
    {
        text += '\t' + profile.outcomes[o];
        longest = std::max(longest, profile.reads[o].size());
    }
    text += '\n';
    for (std::size_t length = 0; length < longest; ++length)
    {
        std::string line = std::to_string(length);
        uint64_t any = 0;
        for (std::vector<uint64_t> const & by_length : profile.reads)
        {
            uint64_t const count = length < by_length.size() ? by_length[length] : 0;
            any += count;
            line += '\t' + std::to_string(count);
        }
        if (any > 0)
            text += line + '\n';
    }
    return text;
}
