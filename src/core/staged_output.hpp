// Output files appear whole or not at all: while staging, every output file
// is written under a temporary name beside its final name, and the driver
// renames them all into place only when the run has succeeded. A run that
// fails removes them and leaves the files of an earlier run untouched.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// The outputs of one run. Not shared between threads: a stage that writes
// files takes it by reference, so at most one stage at a time does.
class output_staging
{
public:
    // With `staging` false every file is written under its final name at once.
    explicit output_staging(bool staging = true) : staging_(staging) {}
    output_staging(output_staging const &) = delete;
    output_staging & operator=(output_staging const &) = delete;
    // Removes the temporary files of a run that did not commit.
    ~output_staging() { discard(); }

    // The name to write the output `final_path` under: while staging, a
    // temporary name in the same folder, remembered for the commit.
    std::string staged_path(std::string const & final_path);

    // The name under which `path` can be read back now: its temporary name if
    // it is a staged output, else `path` itself.
    std::string readable_path(std::string const & path) const;

    // Renames every staged file to its final name, in the order they were
    // staged. Returns 0, or -1 after printing an error naming the file that
    // could not be renamed (the remaining temporary files are removed).
    int32_t commit();

    // Removes every staged temporary file and forgets them.
    void discard();

private:
    bool staging_;
    std::vector<std::pair<std::string, std::string>> staged_;  // final name, temporary name
};
