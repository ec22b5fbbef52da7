#include "driver/command_line.hpp"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdlib>

#include "core/messages.hpp"

std::vector<std::string> BuildParameterList(int const & argc, char * argv[])
{
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i)
        arguments.emplace_back(argv[i]);
    return arguments;
}

namespace
{
sensitive_option const * find_sensitive_option(std::string const & argument)
{
    for (sensitive_option const & option : sensitive_options())
        if (argument == std::string("--") + option.name)
            return &option;
    return nullptr;
}

// Numbers are read the way atoi reads them: bad text gives 0, no error.
int32_t as_integer(std::string const & value)
{
    return static_cast<int32_t>(std::atoi(value.c_str()));
}

// The value of "--threads": its decimal digits as a number, held at
// max_thread_count + 1 when larger; 0 when the text is not all digits.
uint32_t as_thread_count(std::string const & value)
{
    if (value.empty())
        return 0;
    uint32_t count = 0;
    for (char c : value)
    {
        if (c < '0' || c > '9')
            return 0;
        count = std::min(count * 10 + static_cast<uint32_t>(c - '0'), max_thread_count + 1);
    }
    return count;
}

bool takes_value(std::string const & option);

// Numbers are still read as atoi reads them (callers rely on that), but text
// that is not a whole number of 32 bits gets a warning saying what it became.
void warn_if_not_a_number(std::string const & option, std::string const & value)
{
    static char const * const numeric[] = {"-l", "-ss", "-sb", "-se", "-b", "-h"};
    if (std::find(std::begin(numeric), std::end(numeric), option) == std::end(numeric))
        return;
    char * end = nullptr;
    errno = 0;
    long long const number = std::strtoll(value.c_str(), &end, 10);
    bool const digits = end != value.c_str() && value.find_first_of("0123456789") != std::string::npos;
    std::string const read_as = "; read as " + std::to_string(as_integer(value));
    if (!digits || *end != '\0')
        print_warning("option " + option + ": '" + value + "' is not a whole number" + read_as);
    else if (errno == ERANGE || number < INT32_MIN || number > INT32_MAX)
        print_warning("option " + option + ": '" + value + "' does not fit in 32 bits" + read_as);
}

// Warnings for what the legacy options silently ignore: an argument that is
// neither an option nor a value, and a -p or -i that no later -m (or -t)
// uses.
void warn_about_ignored_arguments(std::vector<std::string> const & arguments, std::vector<bool> const & is_value)
{
    std::ptrdiff_t last[4] = {-1, -1, -1, -1};  // -p, -i, -m, -t
    char const * const placed[4] = {"-p", "-i", "-m", "-t"};
    for (std::size_t position = 0; position < arguments.size(); ++position)
    {
        std::string const & argument = arguments[position];
        bool known = takes_value(argument) || argument == "-r" || argument == "--gff3-all" ||
                     argument == "--reference-search" || argument == "--help" || argument == "--version" ||
                     argument == "--sensitive" || find_sensitive_option(argument) != nullptr ||
                     argument == std::string("--") + sensitive_seed_option;
        if (!known && !is_value[position])
            print_warning("argument '" + argument +
                          "' is not an option of mirsight; skipped (see mirsight help short)");
        for (int k = 0; k < 4; ++k)
            if (argument == placed[k] && position + 1 < arguments.size())
                last[k] = static_cast<std::ptrdiff_t>(position);
    }
    if (last[0] >= 0 && last[0] > last[2])
        print_warning("option -p '" + arguments[static_cast<std::size_t>(last[0]) + 1] +
                      "' comes after the last -m, so no file is written there; put -p before -m");
    if (last[1] >= 0 && last[1] > std::max(last[2], last[3]))
        print_warning("option -i '" + arguments[static_cast<std::size_t>(last[1]) + 1] +
                      "' comes after the last -m and -t, so no file is read from there; put -i before -m and -t");
}

bool takes_value(std::string const & option)
{
    static char const * const options[] = {"-s", "-l", "-ss", "-sb", "-se", "-b",
                                           "-p", "-i", "-m", "-t", "-h", "--threads",
                                           "--gff3", "--hairpin"};
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
    else if (option == "--threads")
        p.thread_count = as_thread_count(value);
    else if (option == "--gff3")
        p.gff3_file = value;
    else if (option == "--hairpin")
        p.hairpin_file = value;
}

// The mirGFF3 export needs both files: 0, or 2 after printing an error
// naming the option that is missing its partner or its file name.
int check_gff3_options(bool gff3_given, bool hairpin_given, run_parameters const & p)
{
    if (gff3_given && p.gff3_file.empty())
    {
        print_error("option --gff3 needs a file name");
        return 2;
    }
    if (hairpin_given && p.hairpin_file.empty())
    {
        print_error("option --hairpin needs a file name");
        return 2;
    }
    if (gff3_given && !hairpin_given)
    {
        print_error("option --gff3 needs --hairpin FILE (the precursor FASTA file)");
        return 2;
    }
    if (hairpin_given && !gff3_given)
    {
        print_error("option --hairpin needs --gff3 FILE (the mirGFF3 file to write)");
        return 2;
    }
    return 0;
}
}  // namespace

search_parameters to_search_parameters(run_parameters const & p)
{
    search_parameters search;
    search.min_tag_length = static_cast<uint32_t>(p.min_tag_length);
    search.tag_begin = static_cast<uint32_t>(p.tag_begin);
    search.begin_seed = static_cast<uint32_t>(p.begin_seed);
    search.end_seed = static_cast<uint32_t>(p.end_seed);
    search.seed_size = static_cast<uint32_t>(p.seed_size);
    search.sensitive = p.sensitive;
    return search;
}

int parse_command_line(std::vector<std::string> const & arguments, run_parameters & parameters)
{
    // A value is examined again as an argument in the next step, so a value
    // that equals an option string also acts as that option.
    bool gff3_given = false;
    bool hairpin_given = false;
    std::vector<bool> is_value(arguments.size(), false);
    for (std::size_t position = 0; position < arguments.size(); ++position)
    {
        std::string const & argument = arguments[position];
        sensitive_option const * const option = find_sensitive_option(argument);
        if (option != nullptr || argument == std::string("--") + sensitive_seed_option)
        {
            // Unlike the short options, these values are checked.
            if (position + 1 >= arguments.size())
            {
                print_error("option " + argument + " needs a value");
                return 2;
            }
            std::string const & value = arguments[position + 1];
            if (option == nullptr && !read_sensitive_seed(value, parameters.sensitive))
            {
                print_error(sensitive_seed_error(value));
                return 2;
            }
            if (option != nullptr && !read_sensitive_value(*option, value, parameters.sensitive))
            {
                print_error("option " + argument + " needs a whole number from " + std::to_string(option->min) +
                            " to " + std::to_string(option->max) + ", not '" + value + "'");
                return 2;
            }
            is_value[position + 1] = true;
        }
        else if (argument == "--sensitive")
        {
            parameters.sensitive.on = true;
        }
        else if (takes_value(argument))
        {
            if (position + 1 >= arguments.size())
            {
                print_error("option " + argument + " needs a value");
                return 2;
            }
            std::string const & value = arguments[position + 1];
            if ((argument == "-p" || argument == "-i") && value.empty())
            {
                print_error("option " + argument + " needs a folder name, not an empty one (use . for this folder)");
                return 2;
            }
            warn_if_not_a_number(argument, value);
            is_value[position + 1] = true;
            apply_option(argument, value, parameters);
            gff3_given = gff3_given || argument == "--gff3";
            hairpin_given = hairpin_given || argument == "--hairpin";
        }
        else if (argument == "-r")
        {
            parameters.rna_conversion = false;
        }
        else if (argument == "--gff3-all")
        {
            parameters.gff3_every_alignment = true;
        }
        else if (argument == "--reference-search")
        {
            parameters.reference_search = true;
        }
        else if (argument == "--help")
        {
            parameters.show_help = true;
        }
        else if (argument == "--version")
        {
            parameters.show_version = true;
        }
    }
    warn_about_ignored_arguments(arguments, is_value);
    if (parameters.seed_size == 0)
    {
        print_error("option -ss (seed size) must not be 0");
        return 2;
    }
    if (parameters.thread_count < 1 || parameters.thread_count > max_thread_count)
    {
        print_error("option --threads needs a whole number from 1 to " + std::to_string(max_thread_count));
        return 2;
    }
    return check_gff3_options(gff3_given, hairpin_given, parameters);
}
