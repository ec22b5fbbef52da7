#include "core/version.hpp"

std::string version_line(std::string const & program)
{
    return program + " " + mirsight_version + " (commit " + mirsight_commit() + ")";
}
