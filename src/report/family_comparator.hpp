#pragma once
#include <cstdint>
#include <string_view>

#include "core/records.hpp"

// The three parts of a name such as >abc-miR-21-5p: species code, kind of
// name and family number with its letter suffix. All empty for a text that
// does not start with ">". The parts view the header's characters.
struct mirna_family_name
{
    std::string_view species;
    std::string_view kind;
    std::string_view family;
};

// The parts of a FASTA header text: the species code and the kind end at
// "-", the family number at "-" or a blank (no other white space); the end
// of the text ends whichever part it falls in.
mirna_family_name family_name_of(char_string const & info);

// True when the two names are of one family.
bool same_family(mirna_family_name const & first, mirna_family_name const & second);

// 0 when the two FASTA header texts name miRNAs of one family, 1 otherwise.
int32_t family_comparator(char_string const & a, char_string const & b);
