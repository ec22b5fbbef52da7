#pragma once
#include <cstdint>
#include <string>

#include "core/search_parameters.hpp"
#include "core/staged_output.hpp"

// How a T in a miRNA sequence is read.
enum class mature_letters
{
    t_is_n,  // as N, with a warning: miRNA files are expected with U
    t_is_u,  // as U, with a note (miRBase's files as some mirrors ship them, in DNA letters)
};

// Reads the mature-miRNA FASTA file and writes the grouped file (one line per
// seed and species; begin_seed and seed_size place each seed), then has
// sort_singlelinefile write its sorted copy, both as outputs of `outputs`.
// Returns 0; -2 when the FASTA file cannot be opened; -1 on any other error
// (bad FASTA content, grouped or sorted file not writable). Errors are
// printed on standard error before returning.
int32_t mirbase_file_formatter(std::string const & mature_file,
                               std::string const & grouped_file,
                               std::string const & sorted_grouped_file,
                               search_parameters const & parameters, output_staging & outputs,
                               mature_letters letters = mature_letters::t_is_n);
