#include "core/long_options.hpp"

#include <charconv>

#include "core/messages.hpp"
#include "core/nearest_word.hpp"

std::string parsed_options::text(std::string const & name, std::string const & fallback) const
{
    auto const found = values.find(name);
    return found == values.end() ? fallback : found->second;
}

std::vector<std::string> parsed_options::texts(std::string const & name) const
{
    auto const found = repeated.find(name);
    return found == repeated.end() ? std::vector<std::string>{} : found->second;
}

int64_t parsed_options::number(std::string const & name, int64_t fallback) const
{
    auto const found = values.find(name);
    if (found == values.end())
        return fallback;
    int64_t value = 0;
    std::from_chars(found->second.data(), found->second.data() + found->second.size(), value);
    return value;
}

namespace
{
long_option const help_option = {"help", long_option::flag, 0, 0, "", "print this text and stop"};

long_option const * find_option(std::vector<long_option> const & options_known, std::string const & name)
{
    if (name == help_option.name)
        return &help_option;
    for (long_option const & option : options_known)
        if (name == option.name)
            return &option;
    return nullptr;
}

// The error for an unknown option `name`, with the known option nearest to
// it when one is close; returns 2.
int unknown_option_error(std::string const & command, std::string const & name,
                         std::vector<long_option> const & options_known)
{
    std::vector<std::string> names = {help_option.name, "version"};
    for (long_option const & option : options_known)
        names.emplace_back(option.name);
    std::string const nearest = nearest_word(name, names);
    print_error(command + ": unknown option '--" + name + "'" +
                (nearest.empty() ? " (see " + command + " --help)" : "; did you mean '--" + nearest + "'?"));
    return 2;
}

// An error about option `name`; returns 2.
int option_error(std::string const & command, std::string const & name, std::string const & what)
{
    print_error(command + ": option --" + name + " " + what + " (see " + command + " --help)");
    return 2;
}

bool is_whole_number(std::string const & text, int64_t & value)
{
    auto const read = std::from_chars(text.data(), text.data() + text.size(), value);
    return !text.empty() && read.ec == std::errc() && read.ptr == text.data() + text.size();
}
}  // namespace

namespace
{
constexpr std::size_t help_column = 23;
constexpr std::size_t line_width = 79;

// "  --name VALUE", then the help's words wrapped from help_column on.
void append_option_help(std::string & text, long_option const & option)
{
    std::string line = std::string("  --") + option.name + (*option.value ? std::string(" ") + option.value : "");
    std::string const help = option.help;
    std::size_t begin = 0;
    bool first_word = true;
    if (line.size() + 2 > help_column)
    {
        text += line + '\n';
        line.clear();
    }
    while (begin < help.size())
    {
        std::size_t end = help.find(' ', begin);
        if (end == std::string::npos)
            end = help.size();
        std::string const word = help.substr(begin, end - begin);
        begin = end + 1;
        if (!first_word && line.size() + 1 + word.size() > line_width)
        {
            text += line + '\n';
            line.clear();
            first_word = true;
        }
        if (first_word)
        {
            line.resize(help_column, ' ');
            line += word;
        }
        else
            line += ' ' + word;
        first_word = false;
    }
    text += line + '\n';
}
}  // namespace

std::string options_help(std::string const & usage, std::string const & about,
                         std::vector<long_option> const & options_known, std::string const & after)
{
    std::string text = usage + '\n' + about;
    for (long_option const & option : options_known)
    {
        if (*option.section)
            text += std::string("\n") + option.section + ":\n";
        append_option_help(text, option);
    }
    text += '\n';
    append_option_help(text, help_option);
    append_option_help(text, {"version", long_option::flag, 0, 0, "", "print the version and the commit it was built from, and stop"});
    return after.empty() ? text : text + '\n' + after;
}

int parse_long_options(std::string const & command, std::vector<std::string> const & arguments,
                       std::vector<long_option> const & options_known, parsed_options & parsed)
{
    for (std::size_t i = 0; i < arguments.size(); ++i)
    {
        std::string const & argument = arguments[i];
        if (argument == "--")
        {
            parsed.operands.insert(parsed.operands.end(), arguments.begin() + static_cast<std::ptrdiff_t>(i + 1),
                                   arguments.end());
            break;
        }
        if (argument.size() < 2 || argument[0] != '-' || argument == "-")
        {
            parsed.operands.push_back(argument);
            continue;
        }
        if (argument.compare(0, 2, "--") != 0)
        {
            print_error(command + ": unknown option '" + argument + "' (options are long: see " + command +
                        " --help)");
            return 2;
        }
        std::size_t const equals = argument.find('=');
        std::string const name = argument.substr(2, equals == std::string::npos ? std::string::npos : equals - 2);
        long_option const * option = find_option(options_known, name);
        if (option == nullptr)
            return unknown_option_error(command, name, options_known);
        if (parsed.has(name) && !option->repeatable && option->kind != long_option::flag)
            return option_error(command, name, "is given twice");
        if (option->kind == long_option::flag)
        {
            if (equals != std::string::npos)
                return option_error(command, name, "takes no value");
            parsed.values[name] = "";
            continue;
        }
        std::string value;
        if (equals != std::string::npos)
            value = argument.substr(equals + 1);
        else if (i + 1 < arguments.size())
            value = arguments[++i];
        else
            return option_error(command, name, "needs a value");
        if (value.empty())
            return option_error(command, name, "needs a value, not an empty text");
        if (option->kind == long_option::number)
        {
            int64_t number = 0;
            if (!is_whole_number(value, number))
                return option_error(command, name, "needs a whole number, not '" + value + "'");
            if (number < option->min || number > option->max)
                return option_error(command, name, "needs a number from " + std::to_string(option->min) + " to " +
                                                       std::to_string(option->max) + ", not " + value);
        }
        parsed.values[name] = value;
        parsed.repeated[name].push_back(value);
    }
    return 0;
}
