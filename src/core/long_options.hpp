// Strict long options for the subcommands: "--name VALUE" or "--name=VALUE",
// flags without a value, every other word an operand. An unknown option, a
// missing value, a number that is not one or lies out of range: an error
// naming the option.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

struct long_option
{
    enum kind_t
    {
        flag,    // no value
        text,    // any value (not empty)
        number,  // a whole number within [min, max]
    };
    char const * name;  // without "--"
    kind_t kind;
    int64_t min = 0;
    int64_t max = 0;
    char const * value = "";    // the value's name in the help ("FILE", "N")
    char const * help = "";     // what it does, with its default
    char const * section = "";  // a heading printed before it, when it opens a group
    bool repeatable = false;    // may be given more than once (every value kept)
};

struct parsed_options
{
    std::map<std::string, std::string> values;  // by name; "" for a flag given
    std::map<std::string, std::vector<std::string>> repeated;  // every value of a repeatable option, in order
    std::vector<std::string> operands;          // the other words, in order

    bool has(std::string const & name) const { return values.count(name) != 0; }
    std::string text(std::string const & name, std::string const & fallback = "") const;
    int64_t number(std::string const & name, int64_t fallback) const;
    std::vector<std::string> texts(std::string const & name) const;
};

// The help text of a command: `usage` and `about` (each ended by a line
// feed), then every option of `options_known` under its section, its help
// wrapped beside it, then "--help" and "--version", then `after`.
std::string options_help(std::string const & usage, std::string const & about,
                         std::vector<long_option> const & options_known, std::string const & after = "");

// Parses `arguments` (after the subcommand) for the command `command`
// (named in errors: "mirsight map: ..."). Returns 0, or 2 after printing
// the error. "--" ends the options. An option given twice is an error
// unless it is repeatable. "--help" is known to every command
// (a flag named "help").
int parse_long_options(std::string const & command, std::vector<std::string> const & arguments,
                       std::vector<long_option> const & options_known, parsed_options & parsed);
