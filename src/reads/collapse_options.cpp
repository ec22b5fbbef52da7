#include "reads/collapse_options.hpp"

#include <algorithm>
#include <iterator>
#include <optional>

#include "core/messages.hpp"
#include "core/nearest_word.hpp"

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

std::string upper_cased(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; });
    return text;
}

// What the command line said, before the kit and the defaults are applied.
struct given_values
{
    trimming_options trimming;
    std::optional<uint64_t> threads;
};

char const * const number_options[] = {"-m", "--min-length", "--min-insert", "-M", "--max-length",
                                       "--max-insert", "--trim-5p", "--trim-3p", "--threads"};
char const * const text_options[] = {"-o", "--output", "--adapter", "--protocol", "--count", "--mature"};

bool is_number_option(std::string const & option)
{
    return std::find(std::begin(number_options), std::end(number_options), option) != std::end(number_options);
}

bool is_text_option(std::string const & option)
{
    return std::find(std::begin(text_options), std::end(text_options), option) != std::end(text_options);
}

// The long option nearest to an unknown one ("--outptu": "--output"), or ""
// when none is close.
std::string nearest_long_option(std::string const & argument)
{
    if (argument.compare(0, 2, "--") != 0)
        return "";
    std::vector<std::string> names = {"help", "version"};
    for (char const * option : number_options)
        if (option[1] == '-')
            names.emplace_back(option + 2);
    for (char const * option : text_options)
        if (option[1] == '-')
            names.emplace_back(option + 2);
    std::string const nearest = nearest_word(argument.substr(2), names);
    return nearest.empty() ? "" : "--" + nearest;
}

// Puts a value into its place; 0 or 2.
int take_number(std::string const & option, uint64_t number, given_values & given)
{
    if (option == "-m" || option == "--min-length" || option == "--min-insert")
        given.trimming.min_insert = number;
    else if (option == "-M" || option == "--max-length" || option == "--max-insert")
        given.trimming.max_insert = number;
    else if (option == "--trim-5p")
        given.trimming.cut_5p = number;
    else if (option == "--trim-3p")
        given.trimming.cut_3p = number;
    else if (option == "--threads")
    {
        if (number == 0 || number > 256)
        {
            print_error("option --threads needs a number from 1 to 256, not " + std::to_string(number));
            return 2;
        }
        given.threads = number;
    }
    return 0;
}

int take_text(std::string const & option, std::string const & value, collapse_options & options,
              given_values & given)
{
    if (option == "-o" || option == "--output")
    {
        if (value.empty())
        {
            print_error("option " + option + " needs a file name");
            return 2;
        }
        options.output_file = value;
    }
    else if (option == "--mature")
        options.mature_file = value;
    else if (option == "--adapter")
        given.trimming.adapter = value;
    else if (option == "--protocol")
        given.trimming.protocol = value;
    else if (option == "--count")
        given.trimming.count = value;
    return 0;
}

}  // namespace

int settle_trimming(trimming_options const & given, trim_request & request)
{
    trim_settings & settings = request.settings;
    if (given.adapter && *given.adapter != "auto" && *given.adapter != "none" &&
        !is_valid_adapter(upper_cased(*given.adapter)))
    {
        print_error("option --adapter needs auto, none or a sequence of A, C, G, T and N, not '" + *given.adapter +
                    "'");
        return 2;
    }
    if (given.protocol && !find_kit_layout(*given.protocol))
    {
        print_error("unknown kit '" + *given.protocol + "' for --protocol; the kits are " + kit_names());
        return 2;
    }
    if (given.count && *given.count != "reads" && *given.count != "molecules")
    {
        print_error("option --count needs reads or molecules, not '" + *given.count + "'");
        return 2;
    }
    if (given.protocol)
    {
        if (given.adapter && (*given.adapter == "none" || *given.adapter == "auto"))
        {
            print_error("--protocol " + *given.protocol + " and --adapter " + *given.adapter +
                        " cannot be given together");
            return 2;
        }
        request.mode = adapter_mode::given;
        request.kit_given = true;
        settings.layout = *find_kit_layout(*given.protocol);
    }
    if (given.adapter)
    {
        if (*given.adapter == "auto")
            request.mode = adapter_mode::detect;
        else if (*given.adapter == "none")
            request.mode = adapter_mode::none;
        else
        {
            request.mode = adapter_mode::given;
            if (!given.protocol)
                settings.layout.name = "given";
            settings.layout.adapter = upper_cased(*given.adapter);
        }
    }
    if (given.cut_5p)
    {
        request.cut_5p = static_cast<uint32_t>(std::min<uint64_t>(*given.cut_5p, UINT32_MAX));
        settings.layout.cut_5p = *request.cut_5p;
    }
    if (given.cut_3p)
    {
        request.cut_3p = static_cast<uint32_t>(std::min<uint64_t>(*given.cut_3p, UINT32_MAX));
        settings.layout.cut_3p = *request.cut_3p;
    }
    if (given.count)
    {
        settings.count_molecules = *given.count == "molecules";
        request.molecules_asked = settings.count_molecules;
    }
    if (given.min_insert)
    {
        settings.min_insert = *given.min_insert;
        request.untrimmed_min_length = *given.min_insert;
        if (!given.max_insert)
            settings.max_insert = std::max(settings.max_insert, *given.min_insert);
    }
    if (given.max_insert)
    {
        settings.max_insert = *given.max_insert;
        request.untrimmed_max_length = *given.max_insert;
    }
    if (settings.min_insert > settings.max_insert)
    {
        print_error("the minimum length (" + std::to_string(settings.min_insert) +
                    ") exceeds the maximum length (" + std::to_string(settings.max_insert) + ")");
        return 2;
    }
    return 0;
}
std::string collapse_usage()
{
    std::string kits;
    for (read_layout const & kit : kit_layouts())
    {
        std::string line = "    " + kit.name;
        line.resize(16, ' ');
        kits += line + layout_text(kit) + "\n";
    }
    return "Usage: mirsight-collapse [options] READS [READS ...]\n"
           "\n"
           "Collapses sequencing reads into the tag-count file that mirsight reads: one\n"
           "distinct insert, a tab, the number of reads (or molecules) that carried it; by\n"
           "decreasing count, then by sequence. READS are FASTQ or FASTA files, plain or\n"
           "gzip-compressed (told by their content), or \"-\" for standard input; several\n"
           "files are lanes of one sample, collapsed together.\n"
           "Letters are upper-cased; N and other letters stay as they are; blanks and\n"
           "control bytes inside a sequence become N.\n"
           "\n"
           "Each read's 3' adapter is removed with all that follows it: the adapter may\n"
           "start anywhere and may run past the read's end (at least 3 letters of it), with\n"
           "mismatches, insertions and deletions up to a tenth of its aligned length; N in\n"
           "the adapter matches anything. Reads without it are not kept.\n"
           "\n"
           "Options:\n"
           "  -o, --output FILE      write the tag-count file to FILE (default: standard\n"
           "                         output); FILE appears whole or not at all\n"
           "      --mature FILE      mature miRNAs (miRBase-style FASTA): with --adapter auto,\n"
           "                         the layout is told by what turns the reads into them\n"
           "      --adapter SEQ|auto|none\n"
           "                         the 3' adapter; auto (the default; needs --mature)\n"
           "                         tells each file's whole layout: every kit's, reads that\n"
           "                         are inserts already, and the layout read from the\n"
           "                         letters after known miRNAs are tried on the first\n"
           "                         50000 reads, and the one that turns the most into known\n"
           "                         miRNAs by a clear margin is kept (else an error listing\n"
           "                         them); none counts the reads as they are\n"
           "      --protocol NAME    the kit's adapter and layout:\n" +
           kits +
           "      --trim-5p N        cut N letters from the insert's 5' end (the layout's)\n"
           "      --trim-3p N        cut N letters from the insert's 3' end (the layout's)\n"
           "      --min-insert N     keep inserts of at least N letters (default 15; for\n"
           "                         reads already trimmed, 1)\n"
           "      --max-insert N     keep inserts of at most N letters (default 40; for\n"
           "                         reads already trimmed, no limit)\n"
           "  -m, --min-length N     the same as --min-insert\n"
           "  -M, --max-length N     the same as --max-insert\n"
           "      --count reads|molecules\n"
           "                         with a UMI, count each insert's molecules (default;\n"
           "                         reads, with a warning, when most UMIs are cut short)\n"
           "                         or its reads\n"
           "      --threads N        N threads in all: one reads (and trims when the others\n"
           "                         are behind), the others trim (default 1)\n"
           "      --help             print this text and exit\n"
           "      --version          print the version and the commit it was built from, and exit\n"
           "A long option's value is the next word, or follows '=' (--output=FILE).\n"
           "\n"
           "Standard error reports each file's layout, how it was told and the share of\n"
           "reads it explained (or that showed the adapter), then\n"
           "where the reads went: raw reads, without the adapter, too short for the UMI,\n"
           "adapter dimers, inserts too short, too long, and kept (these add up to the raw\n"
           "reads), then the molecules and the number of distinct sequences. Exit status:\n"
           "0 on success, 1 when a file cannot be read or written or no layout can be\n"
           "told, 2 for command-line errors.\n"
           "\n"
           "Examples:\n"
           "  mirsight-collapse --mature mature.fa -o sample.txt raw.fastq.gz\n"
           "  mirsight-collapse --protocol qiaseq -o sample.txt lane1.fastq.gz lane2.fastq.gz\n"
           "  mirsight-collapse --adapter none -m 15 -M 40 -o sample.txt trimmed.fastq.gz\n";
}

int parse_collapse_options(std::vector<std::string> const & arguments, collapse_options & options)
{
    given_values given;
    for (std::size_t i = 0; i < arguments.size(); ++i)
    {
        // "--name=value" is "--name value".
        std::size_t const equals = arguments[i].compare(0, 2, "--") == 0 ? arguments[i].find('=') : std::string::npos;
        std::string const argument = arguments[i].substr(0, equals);
        if (argument == "--help" || argument == "--version")
        {
            if (equals != std::string::npos)
            {
                print_error("option " + argument + " takes no value");
                return 2;
            }
            (argument == "--help" ? options.show_help : options.show_version) = true;
            return 0;
        }
        if (is_number_option(argument) || is_text_option(argument))
        {
            if (equals == std::string::npos ? i + 1 == arguments.size() : equals + 1 == arguments[i].size())
            {
                print_error("option " + argument + " needs a value");
                return 2;
            }
            std::string const value = equals != std::string::npos ? arguments[i].substr(equals + 1) : arguments[++i];
            int status = 0;
            if (is_text_option(argument))
                status = take_text(argument, value, options, given);
            else
            {
                uint64_t number = 0;
                if (!read_length(value, number))
                {
                    print_error("option " + argument + " needs a whole number, not '" + value + "'");
                    return 2;
                }
                status = take_number(argument, number, given);
            }
            if (status != 0)
                return status;
            continue;
        }
        if (argument.size() > 1 && argument[0] == '-')
        {
            std::string const nearest = nearest_long_option(argument);
            print_error("unknown option '" + argument + "'" +
                        (nearest.empty() ? " (see --help)" : "; did you mean '" + nearest + "'?"));
            return 2;
        }
        options.read_files.push_back(arguments[i]);
    }
    if (settle_trimming(given.trimming, options.trimming) != 0)
        return 2;
    if (given.threads)
        options.threads = static_cast<uint32_t>(*given.threads);
    if (options.read_files.empty())
    {
        print_error("no reads file given (see --help)");
        return 2;
    }
    if (options.trimming.mode == adapter_mode::detect && options.mature_file.empty())
    {
        print_error("--adapter auto (the default) tells the reads' layout by what maps: give the mature miRNAs "
                    "with --mature FILE, or name the layout with --protocol KIT (" + kit_names() +
                    "), --adapter SEQUENCE or --adapter none");
        return 2;
    }
    return 0;
}
