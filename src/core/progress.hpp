// Progress of a long command on standard error, when that is a terminal:
// the stage, what is done and the time since the start, on one line that
// each step overwrites. Nothing when standard error is not a terminal, or
// when quiet.
#pragma once

#include <chrono>
#include <string>

class progress_line
{
public:
    progress_line(std::string prefix, bool quiet);
    ~progress_line();  // ends the line
    void show(std::string const & step);
    // The step last shown (even when nothing is shown), for messages.
    std::string const & stage() const { return step_; }

private:
    std::string prefix_;
    std::string step_ = "starting";
    bool shown_;
    bool used_ = false;
    std::chrono::steady_clock::time_point start_;
};
