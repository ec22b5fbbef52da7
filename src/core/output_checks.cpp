#include "core/output_checks.hpp"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/messages.hpp"

namespace
{
std::string kind_of(mode_t mode)
{
    if (S_ISDIR(mode))
        return "a directory";
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return "a device";
    if (S_ISFIFO(mode))
        return "a named pipe";
    if (S_ISSOCK(mode))
        return "a socket";
    return "not a regular file";
}

// Where an output goes: its folder's device and inode and its name, or its
// text when the folder does not exist (the run then fails to create it).
struct output_place
{
    bool folder_known = false;
    dev_t device = 0;
    ino_t inode = 0;
    std::string name;
};

output_place place_of(std::string const & path)
{
    output_place place;
    std::size_t const slash = path.find_last_of('/');
    std::string const folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
    place.name = slash == std::string::npos ? path : path.substr(slash + 1);
    struct stat info;
    if (stat(folder.c_str(), &info) == 0)
    {
        place.folder_known = true;
        place.device = info.st_dev;
        place.inode = info.st_ino;
    }
    else
    {
        place.name = path;
    }
    return place;
}

bool same_place(output_place const & a, output_place const & b)
{
    return a.folder_known == b.folder_known && a.device == b.device && a.inode == b.inode && a.name == b.name;
}

bool under_system_folder(std::string const & path)
{
    return path.compare(0, 5, "/dev/") == 0 || path.compare(0, 6, "/proc/") == 0 || path == "/dev" ||
           path == "/proc";
}
}  // namespace

int check_output_names(std::vector<named_file> const & inputs, std::vector<named_file> const & outputs)
{
    std::vector<output_place> places;
    for (named_file const & output : outputs)
    {
        if (output.path == "-")
        {
            print_error("the " + output.what + " cannot be written to standard output ('-'), which holds the log; "
                        "name a file");
            return 2;
        }
        places.push_back(place_of(output.path));
    }
    for (std::size_t i = 0; i < outputs.size(); ++i)
        for (std::size_t j = 0; j < i; ++j)
            if (same_place(places[i], places[j]))
            {
                print_error("the " + outputs[i].what + " '" + outputs[i].path + "' and the " + outputs[j].what +
                            " '" + outputs[j].path + "' are the same file");
                return 2;
            }
    for (named_file const & output : outputs)
    {
        struct stat link_info;
        if (under_system_folder(output.path))
        {
            print_error(output.what + " '" + output.path + "' is a system file; refusing to replace it");
            return 1;
        }
        if (lstat(output.path.c_str(), &link_info) != 0)
            continue;  // a new file
        struct stat info;
        if (stat(output.path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        {
            bool const dangling = S_ISLNK(link_info.st_mode) && stat(output.path.c_str(), &info) != 0;
            print_error(output.what + " '" + output.path + "' exists and is " +
                        (dangling ? std::string("a broken link") : kind_of(info.st_mode)) +
                        "; refusing to replace it (outputs are regular files)");
            return 1;
        }
        for (named_file const & input : inputs)
        {
            struct stat input_info;
            if (input.path.empty() || stat(input.path.c_str(), &input_info) != 0)
                continue;
            if (input_info.st_dev == info.st_dev && input_info.st_ino == info.st_ino)
            {
                print_error(output.what + " '" + output.path + "' is the " + input.what + " '" + input.path +
                            "'; refusing to overwrite an input");
                return 1;
            }
        }
    }
    return 0;
}

bool input_is_readable(std::string const & path, std::string & reason)
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
    if (!S_ISREG(info.st_mode))
    {
        if (access(path.c_str(), R_OK) == 0)
            return true;
        reason = std::strerror(errno);
        return false;
    }
    int const descriptor = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0)
    {
        reason = std::strerror(errno);
        return false;
    }
    close(descriptor);
    return true;
}
