// Numbers appended as text to a line or record under construction: the
// tables and files hold millions of them.
#pragma once
#include <cstdint>
#include <string>

// Appends the value in decimal.
void append_unsigned(std::string & out, uint64_t value);
