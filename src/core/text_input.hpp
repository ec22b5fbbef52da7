// Opening input files and reading their lines.
#pragma once

#include <fstream>
#include <istream>
#include <string>

// Opens a file for reading. Fails (with the reason in `reason`) when the path
// cannot be opened or names a directory.
bool open_for_reading(std::ifstream & in, std::string const & path, std::string & reason);

// Reads one line and drops a single carriage return at its end.
// Returns false when no line could be read.
bool read_text_line(std::istream & in, std::string & line);
