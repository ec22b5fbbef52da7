#include "collapse/collapse_options.hpp"

#include "core/messages.hpp"

namespace
{
// Reads a whole decimal number that fits in 64 bits.
bool read_length(std::string const & text, uint64_t & value)
{
    if (text.empty() || text.size() > 19)
        return false;
    value = 0;
    for (char c : text)
    {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + static_cast<uint64_t>(c - '0');
    }
    return true;
}
}  // namespace

std::string collapse_usage()
{
    return "Usage: mirsight-collapse [options] READS [READS ...]\n"
           "\n"
           "Collapses sequencing reads into the tag-count file that mirsight reads: one\n"
           "distinct sequence, a tab, the number of reads that carried it; by decreasing\n"
           "count, then by sequence. READS are FASTQ or FASTA files, plain or gzip-\n"
           "compressed (told by their content), or \"-\" for standard input; several\n"
           "files are collapsed together.\n"
           "Letters are upper-cased; N and other letters stay as they are; blanks and\n"
           "control bytes inside a sequence become N.\n"
           "\n"
           "Options:\n"
           "  -o, --output FILE      write the tag-count file to FILE (default: standard\n"
           "                         output); FILE appears whole or not at all\n"
           "  -m, --min-length N     keep reads of at least N letters (default 1)\n"
           "  -M, --max-length N     keep reads of at most N letters (default: no limit)\n"
           "      --help             print this text and exit\n"
           "\n"
           "Standard error reports how many reads were read, kept, too short and too\n"
           "long, and the number of distinct sequences. Exit status: 0 on success, 1\n"
           "when a file cannot be read or written, 2 for command-line errors.\n"
           "\n"
           "Example:\n"
           "  mirsight-collapse -m 15 -M 40 -o sample.txt trimmed.fastq.gz\n";
}

int parse_collapse_options(std::vector<std::string> const & arguments, collapse_options & options)
{
    for (std::size_t i = 0; i < arguments.size(); ++i)
    {
        std::string const & argument = arguments[i];
        if (argument == "--help")
        {
            options.show_help = true;
            return 0;
        }
        bool const is_output = argument == "-o" || argument == "--output";
        bool const is_min = argument == "-m" || argument == "--min-length";
        bool const is_max = argument == "-M" || argument == "--max-length";
        if (is_output || is_min || is_max)
        {
            if (i + 1 == arguments.size())
            {
                print_error("option " + argument + " needs a value");
                return 2;
            }
            std::string const & value = arguments[++i];
            if (is_output)
            {
                if (value.empty())
                {
                    print_error("option " + argument + " needs a file name");
                    return 2;
                }
                options.output_file = value;
                continue;
            }
            uint64_t length = 0;
            if (!read_length(value, length))
            {
                print_error("option " + argument + " needs a whole number, not '" + value + "'");
                return 2;
            }
            if (is_min)
                options.limits.min_length = length;
            else
                options.limits.max_length = length;
            continue;
        }
        if (argument.size() > 1 && argument[0] == '-')
        {
            print_error("unknown option '" + argument + "' (see --help)");
            return 2;
        }
        options.read_files.push_back(argument);
    }
    if (options.limits.min_length > options.limits.max_length)
    {
        print_error("the minimum length (" + std::to_string(options.limits.min_length) +
                    ") exceeds the maximum length (" + std::to_string(options.limits.max_length) + ")");
        return 2;
    }
    if (options.read_files.empty())
    {
        print_error("no reads file given (see --help)");
        return 2;
    }
    return 0;
}
