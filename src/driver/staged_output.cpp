#include "driver/staged_output.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>

#include <unistd.h>

#include "driver/globals.hpp"

namespace
{
bool staging = false;
std::vector<std::pair<std::string, std::string>> staged;  // final name, temporary name

std::string temporary_name(std::string const & final_path)
{
    return final_path + ".mirsight-" + std::to_string(getpid()) + ".tmp";
}
}  // namespace

void set_output_staging(bool on)
{
    staging = on;
}

std::string staged_path(std::string const & final_path)
{
    if (!staging)
        return final_path;
    for (auto const & file : staged)
        if (file.first == final_path)
            return file.second;
    staged.emplace_back(final_path, temporary_name(final_path));
    return staged.back().second;
}

std::string readable_path(std::string const & path)
{
    for (auto const & file : staged)
        if (file.first == path)
            return file.second;
    return path;
}

int32_t commit_staged_outputs()
{
    for (auto const & file : staged)
    {
        if (std::rename(file.second.c_str(), file.first.c_str()) != 0)
        {
            print_error("cannot move '" + file.second + "' to '" + file.first + "': " + std::strerror(errno));
            discard_staged_outputs();
            return -1;
        }
    }
    staged.clear();
    return 0;
}

void discard_staged_outputs()
{
    for (auto const & file : staged)
        std::remove(file.second.c_str());
    staged.clear();
}
