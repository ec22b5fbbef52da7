// Checks of a run's file names before anything is read or written: no output
// replaces an input, no two outputs are one file, and every output is, or
// becomes, a regular file.
#pragma once

#include <string>
#include <vector>

// A file of the run and what it is, for messages ("tag-count file", say).
struct named_file
{
    std::string what;
    std::string path;
};

// Returns 0; 2 after an error when an output is "-" (standard output) or two
// outputs name the same file (the same
// folder, through links, and the same name); 1 after an error when an output
// is an input (the same device and inode, through links) or exists and is
// not a regular file (a directory, a device, a pipe, a socket, or a link to
// one of them, or a name under /dev or /proc).
int check_output_names(std::vector<named_file> const & inputs, std::vector<named_file> const & outputs);

// Whether `path` can be opened for reading, opening it only when it is a
// regular file (a named pipe is opened once, by the reader). False with the
// reason when it does not exist, is a directory, or cannot be read.
bool input_is_readable(std::string const & path, std::string & reason);
