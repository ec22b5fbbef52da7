// A text table read line by line, with its file and line in errors.
#pragma once

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

struct table_reader
{
    std::string path;
    std::ifstream in;
    uint64_t line_number = 0;
    std::string line;
    bool line_ended = true;  // false when `line` is the last one and no line feed ends it (a cut file)

    // Opens `path`; false after an error naming it.
    bool open();
    // The next non-empty line into `line` (without its line end); false at the end.
    bool next();
    // Prints "PATH:LINE: what" as an error.
    void error(std::string const & what) const;
};

// The tab-separated fields of `line`.
std::vector<std::string> split_tabs(std::string const & line);
