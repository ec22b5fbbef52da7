#include "core/file_names.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <sys/stat.h>

#include "core/messages.hpp"

std::string sample_of_file(std::string const & path)
{
    std::size_t const slash = path.find_last_of('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    for (bool cut = true; cut;)
    {
        cut = false;
        for (char const * extension : {".gz", ".fastq", ".fq", ".fasta", ".fa", ".txt", ".tsv"})
        {
            std::size_t const length = std::strlen(extension);
            if (name.size() > length && name.compare(name.size() - length, length, extension) == 0)
            {
                name.erase(name.size() - length);
                cut = true;
            }
        }
    }
    std::replace(name.begin(), name.end(), ',', '_');
    return name;
}

std::string folder_of(std::string const & path)
{
    std::size_t const slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string base_name_of(std::string const & path)
{
    std::size_t const slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool make_folders(std::string const & path, std::string const & command)
{
    std::string const opening = command.empty() ? "" : command + ": ";
    for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1))
    {
        std::string const part = path.substr(0, slash);
        struct stat info;
        if (stat(part.c_str(), &info) != 0 && mkdir(part.c_str(), 0777) != 0 && errno != EEXIST)
        {
            print_error(opening + "cannot create output folder '" + part + "': " + std::strerror(errno));
            return false;
        }
        if (slash == std::string::npos)
            break;
    }
    struct stat info;
    if (stat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
    {
        print_error(opening + "output folder '" + path + "' is not a folder");
        return false;
    }
    return true;
}
