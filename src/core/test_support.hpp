// Helpers for the unit tests: scratch files.
#pragma once

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include <dirent.h>
#include <unistd.h>

// A fresh directory under /tmp, removed when the object goes out of scope.
class scratch_dir
{
public:
    scratch_dir()
    {
        char pattern[] = "/tmp/mirsight_test_XXXXXX";
        char * made = mkdtemp(pattern);
        path_ = made ? made : "";
    }
    ~scratch_dir()
    {
        if (!path_.empty())
            std::system(("rm -rf '" + path_ + "'").c_str());
    }
    scratch_dir(scratch_dir const &) = delete;
    scratch_dir & operator=(scratch_dir const &) = delete;

    std::string file(std::string const & name) const { return path_ + "/" + name; }
    std::string const & path() const { return path_; }

private:
    std::string path_;
};

inline void write_file(std::string const & path, std::string const & content)
{
    std::ofstream out(path, std::ios::binary);
    out << content;
}

inline std::string read_file(std::string const & path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The names in folder `path`, "." and ".." left out, sorted; none when it
// cannot be listed.
inline std::vector<std::string> names_in(std::string const & path)
{
    std::vector<std::string> names;
    DIR * listing = opendir(path.c_str());
    while (dirent * entry = listing ? readdir(listing) : nullptr)
        if (std::string(entry->d_name) != "." && std::string(entry->d_name) != "..")
            names.push_back(entry->d_name);
    if (listing)
        closedir(listing);
    std::sort(names.begin(), names.end());
    return names;
}
