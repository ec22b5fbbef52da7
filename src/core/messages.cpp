#include "core/messages.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>

#include <poll.h>
#include <unistd.h>

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

namespace
{
// Why standard output could not be written, when the failed write's errno is
// gone (a stream that failed earlier writes no more): a pipe whose reader
// has closed it says so.
std::string write_failure()
{
    pollfd out = {STDOUT_FILENO, POLLOUT, 0};
    if (poll(&out, 1, 0) == 1 && (out.revents & POLLERR) != 0)
        return std::strerror(EPIPE);
    return "write failed";
}
}  // namespace

bool log_written()
{
    errno = 0;
    std::cout.flush();
    bool const written = std::cout.good() && std::fflush(stdout) == 0 && !std::ferror(stdout);
    if (!written)
        print_error(std::string("cannot write the log to standard output: ") +
                    (errno != 0 ? std::strerror(errno) : write_failure()));
    return written;
}
