// The manual pages and the bash completion, made from the same help texts
// that "mirsight help COMMAND" prints (themselves made from the option
// tables), so that neither can drift from the program.
#pragma once

#include <string>
#include <vector>

// One option of a help text: "-o, --output FILE" and what it does.
struct help_option
{
    std::vector<std::string> names;  // "-o", "--output"
    std::string value;               // "FILE", "SEQ|auto|none"; "" for a flag
    std::string text;                // what it does, its lines joined by blanks
};

// The options of a help text: each line that starts, after at most eight
// blanks, with "-" opens one ("  --mature FILE   mature miRNAs..."), and the
// more deeply indented lines after it continue its text.
std::vector<help_option> help_options(std::string const & help_text);

// A command as the manual pages and the completion know it.
struct command_page
{
    std::string name;       // "map"; "" for mirsight itself
    std::string summary;    // one line: what it does
    std::string help_text;  // what "mirsight help NAME" prints
};

// The manual page (man(7) markup) of `page`, named `title` ("mirsight-map"):
// NAME, SYNOPSIS (the help's first line), DESCRIPTION (the rest of the help
// text: each option a tagged paragraph, each "Heading:" line a subsection,
// indented tables kept as they are) and SEE ALSO (`see_also`, page names).
std::string man_page(std::string const & title, command_page const & page, std::vector<std::string> const & see_also);

// A bash completion script for `program` ("mirsight") whose first word is
// one of `commands` (their options completed after it; with no command, the
// options of the page named ""), or for a program without commands when
// `commands` holds only the page named "". A value of a choice
// ("SEQ|auto|none") is completed from its lower-case words, FILE and
// FASTA values from file names, DIR values from folder names.
std::string bash_completion(std::string const & program, std::vector<command_page> const & commands);
