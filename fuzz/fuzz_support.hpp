// Shared pieces of the fuzz targets: a scratch folder that lives for the
// whole fuzzing process, and the input bytes split into parts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "core/test_support.hpp"

// One scratch folder per process, removed at exit.
inline std::string const & fuzz_dir()
{
    static std::string const path = [] {
        char pattern[] = "/tmp/mirsight_fuzz_XXXXXX";
        char * made = mkdtemp(pattern);
        std::string dir = made ? made : "/tmp";
        static std::string to_remove = dir;
        std::atexit([] { std::system(("rm -rf '" + to_remove + "'").c_str()); });
        return dir;
    }();
    return path;
}

inline std::string fuzz_file(std::string const & name)
{
    return fuzz_dir() + "/" + name;
}

// Splits the input at every byte `separator` into at most `parts` pieces
// (the last piece keeps any further separators).
inline std::vector<std::string> split_input(uint8_t const * data, std::size_t size, char separator,
                                            std::size_t parts)
{
    std::vector<std::string> pieces(1);
    for (std::size_t i = 0; i < size; ++i)
    {
        char const c = static_cast<char>(data[i]);
        if (c == separator && pieces.size() < parts)
            pieces.emplace_back();
        else
            pieces.back().push_back(c);
    }
    return pieces;
}
