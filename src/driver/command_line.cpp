#include "driver/command_line.hpp"

#include <cstdlib>

#include "driver/globals.hpp"

std::vector<std::string> BuildParameterList(int const & argc, char * argv[])
{
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i)
        arguments.emplace_back(argv[i]);
    return arguments;
}

namespace
{
// Numbers are read the way atoi reads them: bad text gives 0, no error.
int32_t as_integer(std::string const & value)
{
    return static_cast<int32_t>(std::atoi(value.c_str()));
}

bool takes_value(std::string const & option)
{
    static char const * const options[] = {"-s", "-l", "-ss", "-sb", "-se", "-b",
                                           "-p", "-i", "-m", "-t", "-h"};
    for (char const * known : options)
        if (option == known)
            return true;
    return false;
}

void apply_option(std::string const & option, std::string const & value, run_parameters & p)
{
    if (option == "-s")
        p.specie_codes = value;
    else if (option == "-l")
        p.min_tag_length = as_integer(value);
    else if (option == "-ss")
        p.seed_size = as_integer(value);
    else if (option == "-sb")
        p.begin_seed = as_integer(value);
    else if (option == "-se")
        p.end_seed = as_integer(value);
    else if (option == "-b")
        p.tag_begin = as_integer(value);
    else if (option == "-h")
        p.align_score_threshold = as_integer(value);
    else if (option == "-p")
        p.output_dir = value + "/";
    else if (option == "-i")
        p.input_dir = value + "/";
    else if (option == "-m")
    {
        // Names are composed from the directories as they stand now.
        p.output_prefix = p.output_dir + "out_result_" + value;
        p.mature_file = p.input_dir + value + ".txt";
        p.grouped_file = p.output_dir + value + "_db_group.txt";
        p.sorted_grouped_file = p.output_dir + value + "_db_group_sorted.txt";
    }
    else if (option == "-t")
        p.tag_file = p.input_dir + value + ".txt";
}
}  // namespace

int parse_command_line(std::vector<std::string> const & arguments, run_parameters & parameters)
{
    // A value is examined again as an argument in the next step, so a value
    // that equals an option string also acts as that option.
    for (std::size_t position = 0; position < arguments.size(); ++position)
    {
        std::string const & argument = arguments[position];
        if (takes_value(argument))
        {
            if (position + 1 >= arguments.size())
            {
                print_error("option " + argument + " needs a value");
                return 2;
            }
            apply_option(argument, arguments[position + 1], parameters);
        }
        else if (argument == "-r")
        {
            parameters.rna_conversion = false;
        }
    }
    if (parameters.seed_size == 0)
    {
        print_error("option -ss (seed size) must not be 0");
        return 2;
    }
    return 0;
}
