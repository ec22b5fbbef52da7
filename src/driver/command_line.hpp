// The command line: options, defaults and the file names they compose.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/search_parameters.hpp"
#include "core/sensitive_options.hpp"

// Every run parameter with its built-in default.
struct run_parameters
{
    std::string specie_codes = "chsa";
    int32_t min_tag_length = 10;
    int32_t seed_size = 6;
    int32_t begin_seed = 1;
    int32_t end_seed = 7;
    int32_t tag_begin = 4;
    int32_t align_score_threshold = 14;
    bool rna_conversion = true;
    std::string output_dir;
    std::string input_dir;
    std::string mature_file = "Tests/mirna_example.txt";
    std::string grouped_file = "Tests/mirna_example_grouped.txt";
    std::string sorted_grouped_file = "Tests/mirna_example_grouped_sorted.txt";
    std::string tag_file = "Tests/tag_count_iso_exampl.txt";
    std::string output_prefix = "Tests/out_mature";
    // Long options: threads of the per-tag work ("--threads"), and the
    // reference seed search instead of the seed lookup ("--reference-search",
    // for comparisons; that search runs on one thread).
    uint32_t thread_count = 1;
    bool reference_search = false;
    // mirGFF3 export ("--gff3 FILE" with "--hairpin FILE"): the file to write
    // and the precursor FASTA file; both empty when not asked for.
    std::string gff3_file;
    std::string hairpin_file;
    // "--gff3-all": every alignment and every locus in the mirGFF3 file, the
    // records not counted marked by their Filter value.
    bool gff3_every_alignment = false;
    // "--sensitive" and "--sensitive-<name> N": the sensitive search and
    // the choice by rank instead of the seed search and "-h".
    sensitive_parameters sensitive;
    // "--help" and "--version": print the usage or the version and stop.
    bool show_help = false;
    bool show_version = false;
};

// The five search numbers of `parameters` as the stages take them (a
// negative value becomes a large one: "-l -1" lets no alignment pass).
search_parameters to_search_parameters(run_parameters const & parameters);

// The largest value "--threads" accepts.
constexpr uint32_t max_thread_count = 256;

// The arguments after the program name, in order.
std::vector<std::string> BuildParameterList(int const & argc, char * argv[]);

// Applies the options of `arguments` to `parameters`. Returns 0, or 2 after
// printing an error when an option lacks its value, "-ss" ends up 0,
// "--threads" ends up anything but a whole number from 1 to max_thread_count,
// one of "--gff3" and "--hairpin" is given without the other or with an
// empty file name, or a "--sensitive-<name>" option has a value that is not
// a whole number within its range.
int parse_command_line(std::vector<std::string> const & arguments, run_parameters & parameters);
