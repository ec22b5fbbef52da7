#include "core/checked_file.hpp"

#include <cerrno>
#include <cstring>

#include <sys/stat.h>

#include "core/messages.hpp"

namespace
{
std::string errno_reason(int error, char const * fallback)
{
    return error != 0 ? std::strerror(error) : fallback;
}

// How to open `path` for writing from its start: an empty regular file (a
// fresh temporary) is opened as it is, anything else truncated. The two are
// the same file, but ext4 writes a file out when it is closed after being
// truncated to nothing, which made closing the large tables wait for the disk.
std::ios::openmode write_mode(std::string const & path)
{
    struct stat info;
    bool const empty_file = stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && info.st_size == 0;
    return std::ios::binary | std::ios::out | (empty_file ? std::ios::in : std::ios::trunc);
}
}  // namespace

bool checked_file::open(output_staging & outputs)
{
    errno = 0;
    std::string const staged = outputs.staged_path(path_);
    std::ios::openmode const mode = write_mode(staged);
    stream_.open(staged, mode);
    if (!stream_.is_open() && (mode & std::ios::in))  // not readable (an odd umask): write-only, as before
    {
        errno = 0;
        stream_.clear();
        stream_.open(staged, std::ios::binary | std::ios::out | std::ios::trunc);
    }
    if (!stream_.is_open())
    {
        print_error("cannot create " + what_ + " '" + path_ + "': " + errno_reason(errno, "cannot be created"));
        return false;
    }
    return true;
}

bool checked_file::write(std::string const & text)
{
    if (!stream_)
        return false;
    errno = 0;
    stream_.write(text.data(), static_cast<std::streamsize>(text.size()));
    if (!stream_)
    {
        write_error_ = errno;
        return false;
    }
    return true;
}

void checked_file::report_write_failure()
{
    int const error = write_error_ != 0 ? write_error_ : errno;
    print_error("cannot write " + what_ + " '" + path_ + "': " + errno_reason(error, "write failed"));
}

bool checked_file::close(bool report)
{
    if (!stream_.is_open())
        return true;
    bool written = static_cast<bool>(stream_);
    errno = 0;
    if (written)
    {
        written = static_cast<bool>(stream_.flush());
        write_error_ = errno;
    }
    stream_.close();
    if (written && stream_.fail())
    {
        written = false;
        write_error_ = errno;
    }
    if (!written && report)
        report_write_failure();
    return written;
}

int32_t write_text_file(std::string const & path, std::string const & text, std::string const & what,
                        output_staging & outputs)
{
    checked_file file(path, what);
    if (!file.open(outputs))
        return -1;
    bool const written = file.write(text);
    return file.close(true) && written ? 0 : -1;
}
