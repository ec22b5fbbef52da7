// The known word a mistyped one most likely meant, for "did you mean" hints.
#pragma once

#include <string>
#include <vector>

// The word of `known` that `word` most likely meant: the one word of
// `known` that begins with `word`, when exactly one does; else the one the
// fewest edits away (a letter inserted, deleted or replaced, or two
// neighbouring letters swapped), when that is at most 2 (the first of
// equals, in the order of `known`); else "" (nothing is close).
std::string nearest_word(std::string const & word, std::vector<std::string> const & known);
