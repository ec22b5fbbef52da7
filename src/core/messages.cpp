#include "core/messages.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>
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

bool log_written()
{
    errno = 0;
    std::cout.flush();
    bool const written = std::cout.good() && std::fflush(stdout) == 0 && !std::ferror(stdout);
    if (!written)
        print_error(std::string("cannot write the log to standard output: ") +
                    (errno != 0 ? std::strerror(errno) : "write failed"));
    return written;
}
