// Errors and warnings on standard error, prefixed with the program's name.
#pragma once

#include <string>

// The name the messages start with ("mirsight" unless set). Each program's
// main sets it once, before any thread starts: it is the one piece of
// process-wide state the messages keep.
void set_program_name(char const * name);

// "<program>: error: <message>" and "<program>: warning: <message>".
void print_error(std::string const & message);
void print_warning(std::string const & message);

// Flushes standard output (the log). False after the error "cannot write the
// log to standard output" when it could not be written.
bool log_written();

