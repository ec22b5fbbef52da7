#include "core/nearest_word.hpp"

#include <algorithm>

namespace
{
constexpr std::size_t most_edits = 2;

// Letters inserted, deleted or replaced, and neighbouring letters swapped,
// that turn `a` into `b` (each letter edited at most once).
std::size_t edit_distance(std::string const & a, std::string const & b)
{
    // edits[i][j]: between the first i letters of a and the first j of b.
    std::vector<std::vector<std::size_t>> edits(a.size() + 1, std::vector<std::size_t>(b.size() + 1, 0));
    for (std::size_t i = 0; i <= a.size(); ++i)
        edits[i][0] = i;
    for (std::size_t j = 0; j <= b.size(); ++j)
        edits[0][j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i)
        for (std::size_t j = 1; j <= b.size(); ++j)
        {
            std::size_t const replace = edits[i - 1][j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1);
            edits[i][j] = std::min({edits[i - 1][j] + 1, edits[i][j - 1] + 1, replace});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                edits[i][j] = std::min(edits[i][j], edits[i - 2][j - 2] + 1);
        }
    return edits[a.size()][b.size()];
}

// The one word of `known` that begins with `word`, or "".
std::string only_word_beginning_with(std::string const & word, std::vector<std::string> const & known)
{
    std::string found;
    for (std::string const & candidate : known)
        if (candidate.compare(0, word.size(), word) == 0)
        {
            if (!found.empty())
                return "";
            found = candidate;
        }
    return found;
}
}  // namespace

std::string nearest_word(std::string const & word, std::vector<std::string> const & known)
{
    if (word.empty())
        return "";
    std::string const completed = only_word_beginning_with(word, known);
    if (!completed.empty())
        return completed;
    std::string nearest;
    std::size_t fewest = most_edits + 1;
    for (std::string const & candidate : known)
    {
        std::size_t const edits = edit_distance(word, candidate);
        if (edits < fewest)
        {
            fewest = edits;
            nearest = candidate;
        }
    }
    return nearest;
}
