// Errors and warnings on standard error, prefixed with the program's name.
#pragma once

#include <cstddef>
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

// Warnings of one kind, the first `shown` printed and the rest counted, for
// the count to be printed at the end ("... and N more such warnings").
class capped_warnings
{
public:
    explicit capped_warnings(std::size_t shown = 10) : shown_(shown) {}
    void warn(std::string const & message);
    // Prints "<kind>: N more warnings like these not shown" when some were held back.
    void print_held_back(std::string const & kind) const;

private:
    std::size_t shown_;
    std::size_t count_ = 0;
};
