// The command line of mirsight-collapse.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "reads/collapse_reads.hpp"
#include "reads/raw_reads.hpp"

struct collapse_options
{
    std::vector<std::string> read_files;  // FASTQ or FASTA, plain or gzip; collapsed together
    std::string output_file;              // empty: standard output
    std::string mature_file;              // the miRNAs the layout is told by (--adapter auto)
    trim_request trimming;                // adapter, layout and insert limits
    uint32_t threads = 1;
    bool show_help = false;
    bool show_version = false;
};

// The usage text printed by "--help".
std::string collapse_usage();

// Fills `options` from the arguments after the program name; a long option's
// value follows it as the next word or after "=" ("--output=FILE"). Returns 0, or
// 2 after printing an error when an option lacks its value, a number is not
// a whole number, a minimum exceeds its maximum, an adapter has letters
// other than A, C, G, T, N, a kit is unknown, an option is unknown, no
// reads file is named (unless "--help" or "--version" was given), or the layout is to be
// told (--adapter auto) with no miRNA file.
int parse_collapse_options(std::vector<std::string> const & arguments, collapse_options & options);
