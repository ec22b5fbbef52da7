// Text to nucleotides and back.
#pragma once

#include <string>

#include "core/records.hpp"

// Text to nucleotides, byte by byte: A/a, C/c, G/g, U/u keep their letter,
// every other byte (T and t included) becomes N.
rna_string text_to_rna5(std::string const & text);

// Nucleotides to the letters A, C, G, U, N.
std::string rna5_to_text(rna_string const & seq);
std::string rna5_to_text(tag_letters const & seq);

// Appends the letters A, C, G, U, N of the `count` nucleotides at `first`
// to `out`, in one step.
void append_rna5_text(std::string & out, seqan::Rna5 const * first, std::size_t count);
