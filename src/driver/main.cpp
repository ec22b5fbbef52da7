// mirsight: finds which small-RNA tags come from which mature miRNAs, and in
// which form (exact or isomiR), and writes per-miRNA and per-tag tables.
//
//   mirsight [short options]            one run, as the short options say
//   mirsight COMMAND [long options]     the commands of the table below
#include <algorithm>
#include <iostream>
#include <string>
#include <vector>

#include "reads/collapse_options.hpp"
#include "reads/run_collapse.hpp"
#include "core/messages.hpp"
#include "core/nearest_word.hpp"
#include "core/run_state.hpp"
#include "core/staged_output.hpp"
#include "core/version.hpp"
#include "driver/command_line.hpp"
#include "driver/help_pages.hpp"
#include "driver/map_command.hpp"
#include "driver/merge_command.hpp"
#include "driver/run.hpp"
#include "driver/usage.hpp"

namespace
{
struct command
{
    char const * name;
    char const * summary;
    int (*run)(std::vector<std::string> const & arguments);
    std::string (*help)();
};

int collapse_run(std::vector<std::string> const & arguments)
{
    set_program_name("mirsight collapse");
    return collapse_command(arguments);
}

std::vector<command> const & commands()
{
    static std::vector<command> const table = {
        {"map", "one sample's tags or reads on the miRNAs: its tables, named by sample", map_command, map_usage},
        {"merge", "the samples of a study into count matrices, a summary and one mirGFF3 file", merge_command,
         merge_usage},
        {"collapse", "reads (FASTQ or FASTA, plain or gzip) into a tag-count file", collapse_run, collapse_usage},
    };
    return table;
}

command const * find_command(std::string const & name)
{
    for (command const & c : commands())
        if (name == c.name)
            return &c;
    return nullptr;
}

std::string commands_text()
{
    std::string text = "Usage: mirsight COMMAND [options]    (mirsight help COMMAND: its options)\n"
                       "       mirsight [short options]       (mirsight help short: the short options)\n\n"
                       "Commands:\n";
    for (command const & c : commands())
        text += "  " + std::string(c.name) + std::string(10 - std::string(c.name).size(), ' ') + c.summary + "\n";
    return text + "  help      this list, or the options of one command\n";
}

// The names a first word may be: the commands and "help".
std::vector<std::string> command_names()
{
    std::vector<std::string> names;
    for (command const & c : commands())
        names.emplace_back(c.name);
    names.emplace_back("help");
    return names;
}

// The pages of the manual: mirsight itself (its commands and the short
// options), each command ("mirsight-map"), and mirsight-collapse, whose
// page is the collapse command's.
std::vector<command_page> manual_pages()
{
    std::vector<command_page> pages = {
        {"", "small-RNA sequencing reads on known mature miRNAs: counts and isomiRs",
         commands_text() + "\nShort options:\n" + usage_text().substr(usage_text().find('\n') + 1)}};
    for (command const & c : commands())
        pages.push_back({c.name, c.summary, c.help()});
    return pages;
}

std::string page_title(command_page const & page)
{
    return page.name.empty() ? "mirsight" : "mirsight-" + page.name;
}

// "mirsight help --man NAME": the manual page of mirsight ("mirsight") or
// of a command ("map"); made at build time (cmake/package.cmake).
int print_man_page(std::string const & name)
{
    std::vector<command_page> const pages = manual_pages();
    for (command_page const & page : pages)
    {
        if (name != page.name && name != page_title(page))
            continue;
        std::vector<std::string> see_also;
        for (command_page const & other : pages)
            if (other.name != page.name)
                see_also.push_back(page_title(other));
        std::cout << man_page(page_title(page), page, see_also) << std::flush;
        return 0;
    }
    print_error("help --man: no manual page '" + name + "'");
    return 2;
}

// "mirsight help --completion": bash completion of mirsight and of
// mirsight-collapse (the collapse command's options).
int print_completion()
{
    command const * collapse = find_command("collapse");
    std::cout << bash_completion("mirsight", manual_pages()) << '\n'
              << bash_completion("mirsight-collapse", {{"", collapse->summary, collapse->help()}}) << std::flush;
    return 0;
}

// "mirsight help [COMMAND]"; "mirsight help short": the short options.
int help_command(std::vector<std::string> const & arguments)
{
    if (arguments.size() == 2 && arguments[0] == "--man")
        return print_man_page(arguments[1]);
    if (arguments.size() == 1 && arguments[0] == "--completion")
        return print_completion();
    if (arguments.empty())
    {
        std::cout << commands_text() << std::flush;
        return 0;
    }
    if (arguments.size() == 1 && arguments[0] == "short")
    {
        std::cout << usage_text() << std::flush;
        return 0;
    }
    command const * c = find_command(arguments[0]);
    if (c == nullptr || arguments.size() > 1)
    {
        print_error("help: unknown command '" + arguments[0] + "'\n" + commands_text());
        return 2;
    }
    std::cout << c->help() << std::flush;
    return 0;
}

// Whether "--version" stands among the options (before any "--").
bool asks_for_version(std::vector<std::string> const & arguments)
{
    auto const end = std::find(arguments.begin(), arguments.end(), "--");
    return std::find(arguments.begin(), end, "--version") != end;
}

int short_option_run(int argc, char * argv[])
{
    run_parameters parameters;
    int const status = parse_command_line(BuildParameterList(argc, argv), parameters);
    if (status != 0)
        return status;
    if (parameters.show_help)
    {
        std::cout << usage_text() << std::flush;
        return 0;
    }
    if (parameters.show_version)
    {
        std::cout << version_line("mirsight") << std::endl;
        return 0;
    }
    run_state state;
    return run_sample(short_option_request(parameters), state);
}
}  // namespace

int main(int argc, char * argv[])
{
    set_program_name("mirsight");
    install_signal_cleanup();
    // "--help" or "-h" alone: the commands first, then where the short
    // options are told ("-h N" among other options is the threshold).
    if (argc == 2 && (std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h"))
    {
        std::cout << commands_text()
                  << "\nThe short options of a one-sample run (mirsight -s hsa -m ... -t ...): mirsight help short\n"
                  << std::flush;
        return 0;
    }
    // No word, or an option first: the short options.
    if (argc < 2 || argv[1][0] == '-')
        return short_option_run(argc, argv);
    std::string const name = argv[1];
    std::vector<std::string> const rest(argv + 2, argv + argc);
    if (name == "help")
        return help_command(rest);
    command const * c = find_command(name);
    if (c == nullptr)
    {
        std::string const nearest = nearest_word(name, command_names());
        print_error("unknown command '" + name + "'" +
                    (nearest.empty() ? " (see mirsight help)" : "; did you mean '" + nearest + "'?"));
        return 2;
    }
    if (asks_for_version(rest))
    {
        std::cout << version_line("mirsight") << std::endl;
        return 0;
    }
    return c->run(rest);
}
