#include "core/staged_output.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <unistd.h>

#include "core/messages.hpp"

namespace
{
std::string temporary_name(std::string const & final_path)
{
    return final_path + ".mirsight-" + std::to_string(getpid()) + ".tmp";
}
}  // namespace

std::string output_staging::staged_path(std::string const & final_path)
{
    if (!staging_)
        return final_path;
    for (auto const & file : staged_)
        if (file.first == final_path)
            return file.second;
    staged_.emplace_back(final_path, temporary_name(final_path));
    return staged_.back().second;
}

std::string output_staging::readable_path(std::string const & path) const
{
    for (auto const & file : staged_)
        if (file.first == path)
            return file.second;
    return path;
}

int32_t output_staging::commit()
{
    for (auto const & file : staged_)
    {
        if (std::rename(file.second.c_str(), file.first.c_str()) != 0)
        {
            print_error("cannot move '" + file.second + "' to '" + file.first + "': " + std::strerror(errno));
            discard();
            return -1;
        }
    }
    staged_.clear();
    return 0;
}

void output_staging::discard()
{
    for (auto const & file : staged_)
        std::remove(file.second.c_str());
    staged_.clear();
}
