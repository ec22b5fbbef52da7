// Writing an output file with every failure reported once, naming the file
// as the user gave it (not its temporary name).
#pragma once

#include <cstdint>
#include <fstream>
#include <string>

#include "core/staged_output.hpp"

// One output file written through a stream.
class checked_file
{
public:
    // `what` names the kind of file in messages ("result file", say).
    checked_file(std::string path, std::string what) : path_(std::move(path)), what_(std::move(what)) {}

    // Creates (or truncates) the file under the name `outputs` gives it.
    // False after printing "cannot create <what> '<path>': <reason>".
    bool open(output_staging & outputs);

    // Appends `text` (buffered). False once the stream has failed.
    bool write(std::string const & text);

    // Prints "cannot write <what> '<path>': <reason>" for a failed write (the
    // reason of the first failed write(), else of errno now).
    void report_write_failure();

    // The stream itself, for writers that take a std::ostream.
    std::ostream & stream() { return stream_; }

    // Flushes and closes an open file. False when that failed, after printing
    // the failure when `report` is set.
    bool close(bool report);

    bool is_open() const { return stream_.is_open(); }
    bool failed() const { return !stream_; }
    std::string const & path() const { return path_; }

private:
    std::string path_;
    std::string what_;
    std::ofstream stream_;
    int write_error_ = 0;  // errno of the first failed write
};

// Writes `text` to `path` as a whole file. Returns 0, or -1 after printing
// the failure (see checked_file).
int32_t write_text_file(std::string const & path, std::string const & text, std::string const & what,
                        output_staging & outputs);
