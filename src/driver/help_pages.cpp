#include "driver/help_pages.hpp"

#include <cctype>
#include <sstream>

#include "core/version.hpp"

namespace
{
std::vector<std::string> lines_of(std::string const & text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

std::size_t indent_of(std::string const & line)
{
    std::size_t const first = line.find_first_not_of(' ');
    return first == std::string::npos ? line.size() : first;
}

bool is_blank(std::string const & line)
{
    return indent_of(line) == line.size();
}

// Whether `line` opens an option: at most eight blanks, then "-" and a letter
// or a second "-".
bool opens_option(std::string const & line)
{
    std::size_t const at = indent_of(line);
    return at >= 1 && at <= 8 && at + 1 < line.size() && line[at] == '-' &&
           (line[at + 1] == '-' || std::isalpha(static_cast<unsigned char>(line[at + 1])));
}

// A line without indent that ends with ':', after a blank line, names what
// follows ("Options:").
bool is_heading(std::vector<std::string> const & lines, std::size_t at)
{
    std::string const & line = lines[at];
    return !line.empty() && line[0] != ' ' && line.back() == ':' && (at == 0 || is_blank(lines[at - 1]));
}

std::vector<std::string> words_of(std::string const & text)
{
    std::vector<std::string> words;
    std::istringstream in(text);
    for (std::string word; in >> word;)
        words.push_back(word);
    return words;
}

// The option that line `at` opens, with its continuation lines; `next` is
// set to the first line after them.
help_option option_at(std::vector<std::string> const & lines, std::size_t at, std::size_t & next)
{
    std::string const & line = lines[at];
    std::size_t const begin = indent_of(line);
    std::size_t end = line.find("  ", begin);
    if (end == std::string::npos)
        end = line.size();
    help_option option;
    for (std::string word : words_of(line.substr(begin, end - begin)))
    {
        if (word[0] == '-')
        {
            if (word.back() == ',')
                word.pop_back();
            option.names.push_back(word);
        }
        else if (option.value.empty())
            option.value = word;
    }
    option.text = end < line.size() ? line.substr(indent_of(line.substr(end)) + end) : "";
    next = at + 1;
    while (next < lines.size() && !is_blank(lines[next]) && !opens_option(lines[next]) &&
           indent_of(lines[next]) > begin + 2)
    {
        option.text += (option.text.empty() ? "" : " ") + lines[next].substr(indent_of(lines[next]));
        ++next;
    }
    return option;
}

// Text for man(7): a backslash is "\e", a hyphen "\-" (a minus: options
// stay copyable), a line may not start with a control character.
std::string roff_text(std::string const & text)
{
    std::string escaped;
    for (char c : text)
    {
        if (c == '\\')
            escaped += "\\e";
        else if (c == '-')
            escaped += "\\-";
        else
            escaped += c;
    }
    if (!escaped.empty() && (escaped[0] == '.' || escaped[0] == '\''))
        escaped = "\\&" + escaped;
    return escaped;
}

std::string upper_cased(std::string text)
{
    for (char & c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// ".TP", the option's names in bold and its value in italics, then its text.
std::string man_option(help_option const & option)
{
    std::string term;
    for (std::string const & name : option.names)
        term += (term.empty() ? "" : ", ") + std::string("\\fB") + roff_text(name) + "\\fR";
    if (!option.value.empty())
        term += " \\fI" + roff_text(option.value) + "\\fR";
    return ".TP\n" + term + "\n" + roff_text(option.text) + "\n";
}

// The help text after its usage lines, in man(7) markup.
std::string man_body(std::vector<std::string> const & lines, std::size_t from)
{
    std::string body;
    bool paragraph_due = false;  // a blank line came: what follows opens a paragraph
    bool after_option = false;   // an indented block stays in the option's paragraph, text does not
    std::size_t i = from;
    while (i < lines.size())
    {
        std::string const & line = lines[i];
        if (is_blank(line))
        {
            paragraph_due = true;
            ++i;
        }
        else if (is_heading(lines, i))
        {
            body += ".SS \"" + roff_text(line.substr(0, line.size() - 1)) + "\"\n";
            paragraph_due = false;
            ++i;
        }
        else if (opens_option(line))
        {
            body += man_option(option_at(lines, i, i));
            paragraph_due = false;
            after_option = true;
            continue;
        }
        else if (line[0] == ' ')
        {
            // Indented lines (a table, an example) are kept as they are.
            body += std::string(paragraph_due ? ".PP\n" : ".sp 0\n") + ".nf\n";
            for (; i < lines.size() && !lines[i].empty() && lines[i][0] == ' ' && !opens_option(lines[i]); ++i)
                body += roff_text(lines[i]) + "\n";
            body += ".fi\n";
            paragraph_due = false;
        }
        else
        {
            body += (paragraph_due || after_option ? ".PP\n" : "") + roff_text(line) + "\n";
            paragraph_due = false;
            ++i;
        }
        after_option = false;
    }
    return body;
}

// A bash word list: the words separated by blanks.
std::string joined(std::vector<std::string> const & words)
{
    std::string text;
    for (std::string const & word : words)
        text += (text.empty() ? "" : " ") + word;
    return text;
}

// What completes an option's value: "-W 'a b'" for a choice of lower-case
// words, "-f" for a file, "-d" for a folder, "" for anything else (a
// number, a name: nothing to offer).
std::string value_completion(std::string const & value)
{
    if (value.find('|') != std::string::npos)
    {
        std::vector<std::string> choices;
        std::istringstream in(value);
        for (std::string choice; std::getline(in, choice, '|');)
            if (!choice.empty() && std::islower(static_cast<unsigned char>(choice[0])))
                choices.push_back(choice);
        return choices.empty() ? "" : "-W '" + joined(choices) + "'";
    }
    if (value == "DIR")
        return "-d";
    if (value.find("FILE") != std::string::npos || value.find("FASTA") != std::string::npos)
        return "-f";
    return "";
}

// The lines of the completion function's case over "COMMAND OPTION" for
// the options of `page` that take a value.
std::string value_cases(command_page const & page)
{
    std::string cases;
    for (help_option const & option : help_options(page.help_text))
    {
        if (option.value.empty())
            continue;
        std::string const how = value_completion(option.value);
        for (std::string const & name : option.names)
            cases += "        '" + page.name + " " + name + "') words=(" + how + ") ;;\n";
    }
    return cases;
}

std::string option_names(command_page const & page)
{
    std::vector<std::string> names;
    for (help_option const & option : help_options(page.help_text))
        for (std::string const & name : option.names)
            names.push_back(name);
    return joined(names);
}
}  // namespace

std::vector<help_option> help_options(std::string const & help_text)
{
    std::vector<std::string> const lines = lines_of(help_text);
    std::vector<help_option> options;
    std::size_t i = 0;
    while (i < lines.size())
    {
        if (opens_option(lines[i]))
            options.push_back(option_at(lines, i, i));
        else
            ++i;
    }
    return options;
}

std::string man_page(std::string const & title, command_page const & page, std::vector<std::string> const & see_also)
{
    std::vector<std::string> const lines = lines_of(page.help_text);
    std::string text = ".\\\" Made by \"mirsight help --man " + (page.name.empty() ? title : page.name) +
                       "\" from the program's own help.\n"
                       ".TH \"" + upper_cased(title) + "\" \"1\" \"\" \"mirsight " + mirsight_version +
                       "\" \"User Commands\"\n"
                       ".SH NAME\n" + roff_text(title) + " \\- " + roff_text(page.summary) + "\n"
                       ".SH SYNOPSIS\n.nf\n";
    // The first line ("Usage: ..."), and the lines that continue it.
    std::size_t i = 0;
    for (; i < lines.size() && !is_blank(lines[i]) && (i == 0 || lines[i][0] == ' '); ++i)
    {
        std::string usage = lines[i].substr(indent_of(lines[i]));
        if (usage.rfind("Usage: ", 0) == 0)
            usage.erase(0, 7);
        text += roff_text(usage) + "\n";
    }
    text += ".fi\n.SH DESCRIPTION\n" + man_body(lines, i);
    if (!see_also.empty())
    {
        text += ".SH SEE ALSO\n";
        for (std::size_t k = 0; k < see_also.size(); ++k)
            text += "\\fB" + roff_text(see_also[k]) + "\\fR(1)" + (k + 1 < see_also.size() ? ",\n" : "\n");
    }
    return text;
}

std::string bash_completion(std::string const & program, std::vector<command_page> const & commands)
{
    std::vector<std::string> command_names;
    std::string option_cases, values;
    for (command_page const & page : commands)
    {
        if (!page.name.empty())
            command_names.push_back(page.name);
        option_cases += "        '" + page.name + "') words=(" + option_names(page) + ") ;;\n";
        values += value_cases(page);
    }
    std::string function = "_" + program;
    for (char & c : function)
        if (c == '-')
            c = '_';
    std::string text = "# bash completion of " + program + "'s commands, options and their values. Made by \"" +
                       program + " help --completion\" from the program's own help.\n";
    text += function + "()\n{\n"
            "    local cur=${COMP_WORDS[COMP_CWORD]} prev= command= words=()\n"
            "    (( COMP_CWORD > 0 )) && prev=${COMP_WORDS[COMP_CWORD - 1]}\n";
    if (command_names.empty())
        text += "    command=\n";
    else
        text += "    if (( COMP_CWORD == 1 )) && [[ $cur != -* ]]; then\n"
                "        COMPREPLY=($(compgen -W '" + joined(command_names) + " help' -- \"$cur\"))\n"
                "        return\n"
                "    fi\n"
                "    # A first word that is an option: a run of the short options.\n"
                "    [[ ${COMP_WORDS[1]} == -* ]] || command=${COMP_WORDS[1]}\n"
                "    if [[ $command == help ]]; then\n"
                "        (( COMP_CWORD == 2 )) && COMPREPLY=($(compgen -W '" + joined(command_names) +
                " short' -- \"$cur\"))\n"
                "        return\n"
                "    fi\n";
    text += "    # The value of the option before: a choice, a file, a folder, or nothing to offer.\n"
            "    case \"$command $prev\" in\n" +
            values +
            "        *) words=(none) ;;\n"
            "    esac\n"
            "    if [[ ${words[0]} != none ]]; then\n"
            "        (( ${#words[@]} > 0 )) && COMPREPLY=($(compgen \"${words[@]}\" -- \"$cur\"))\n"
            "        [[ ${words[0]} == -[fd] ]] && compopt -o filenames 2>/dev/null\n"
            "        return\n"
            "    fi\n"
            "    if [[ $cur == -* ]]; then\n"
            "        case \"$command\" in\n" +
            option_cases +
            "        *) words=() ;;\n"
            "        esac\n"
            "        COMPREPLY=($(compgen -W \"${words[*]}\" -- \"$cur\"))\n"
            "        return\n"
            "    fi\n"
            "    # Operands are files.\n"
            "    COMPREPLY=($(compgen -f -- \"$cur\"))\n"
            "    compopt -o filenames 2>/dev/null\n"
            "}\n"
            "complete -F " + function + " " + program + "\n";
    return text;
}
