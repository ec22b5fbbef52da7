#pragma once
#include <cstdint>

#include "core/records.hpp"

// 0 when the two FASTA header texts name miRNAs of one family, 1 otherwise.
int32_t family_comparator(char_string const & a, char_string const & b);
