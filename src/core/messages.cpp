#include "core/messages.hpp"

#include <iostream>

namespace
{
char const * program_name = "mirsight";  // set once by main, see set_program_name
}  // namespace

void set_program_name(char const * name)
{
    program_name = name;
}

void print_error(std::string const & message)
{
    std::cerr << program_name << ": error: " << message << '\n';
}

void print_warning(std::string const & message)
{
    std::cerr << program_name << ": warning: " << message << '\n';
}
