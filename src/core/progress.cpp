#include "core/progress.hpp"

#include <cstdio>

#include <unistd.h>

progress_line::progress_line(std::string prefix, bool quiet)
    : prefix_(std::move(prefix)), shown_(!quiet && isatty(STDERR_FILENO) == 1), start_(std::chrono::steady_clock::now())
{
}

progress_line::~progress_line()
{
    if (used_)
        std::fputs("\n", stderr);
}

void progress_line::show(std::string const & step)
{
    step_ = step;
    if (!shown_)
        return;
    double const seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    std::fprintf(stderr, "\r%s: %s (%.1f s)\033[K", prefix_.c_str(), step.c_str(), seconds);
    std::fflush(stderr);
    used_ = true;
}
