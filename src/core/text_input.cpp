#include "core/text_input.hpp"

#include <cerrno>
#include <cstring>

#include <sys/stat.h>

bool open_for_reading(std::ifstream & in, std::string const & path, std::string & reason)
{
    struct stat info;
    if (stat(path.c_str(), &info) != 0)
    {
        reason = std::strerror(errno);
        return false;
    }
    if (S_ISDIR(info.st_mode))
    {
        reason = "Is a directory";
        return false;
    }
    errno = 0;
    in.open(path, std::ios::in | std::ios::binary);
    if (!in.is_open())
    {
        reason = errno != 0 ? std::strerror(errno) : "cannot be opened";
        return false;
    }
    return true;
}

bool read_text_line(std::istream & in, std::string & line)
{
    if (!std::getline(in, line))
        return false;
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return true;
}
