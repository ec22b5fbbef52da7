#pragma once

#include <string>

// The text "--help" prints: every option with its default, the input
// formats, the files written and an example.
std::string usage_text();
