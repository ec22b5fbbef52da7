#include "core/checked_file.hpp"

#include <cerrno>
#include <cstring>

#include "core/messages.hpp"

namespace
{
std::string errno_reason(int error, char const * fallback)
{
    return error != 0 ? std::strerror(error) : fallback;
}
}  // namespace

bool checked_file::open(output_staging & outputs)
{
    errno = 0;
    stream_.open(outputs.staged_path(path_), std::ios::out | std::ios::trunc | std::ios::binary);
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
