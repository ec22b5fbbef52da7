#include "mirna_db/text_file_output.hpp"

#include <cerrno>
#include <cstring>
#include <fstream>

#include "driver/globals.hpp"
#include "driver/staged_output.hpp"

int32_t write_text_file(std::string const & path, std::string const & text, std::string const & what)
{
    errno = 0;
    std::ofstream out(staged_path(path), std::ios::out | std::ios::binary | std::ios::trunc);
    if (!out.is_open())
    {
        std::string const reason = errno != 0 ? std::strerror(errno) : "cannot be created";
        print_error("cannot create " + what + " '" + path + "': " + reason);
        return -1;
    }
    errno = 0;
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.close();  // flushes: a full disk shows here
    if (out.fail())
    {
        std::string const reason = errno != 0 ? std::strerror(errno) : "write failed";
        print_error("cannot write " + what + " '" + path + "': " + reason);
        return -1;
    }
    return 0;
}
