// Output files appear whole or not at all: while staging, every output file
// is written under a temporary name beside its final name, and the driver
// renames them all into place only when the run has succeeded. A run that
// fails removes them and leaves the files of an earlier run untouched.
//
// Temporary names are `<name>.mirsight-<pid>-<random>.tmp`, the random part
// from mkstemp (unique across processes and hosts sharing a folder); a name
// too long for the file system's 255-byte limit is cut and given a hash of
// the whole name. The commit holds a lock (flock) on each output folder
// itself, so that two runs writing the same names commit one after
// the other and every final set is one run's. Under that lock it first
// removes the temporaries of earlier runs that were killed (same final
// names, process gone, older than this run), then moves each existing file
// aside, renames the new one into place, and on any failure puts every old
// file back.
#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <utility>
#include <vector>

// The outputs of one run. Not shared between threads: a stage that writes
// files takes it by reference, so at most one stage at a time does.
class output_staging
{
public:
    // With `staging` false every file is written under its final name at once.
    explicit output_staging(bool staging = true);
    output_staging(output_staging const &) = delete;
    output_staging & operator=(output_staging const &) = delete;
    // Removes the temporary files of a run that did not commit.
    ~output_staging() { discard(); }

    // The name to write the output `final_path` under: while staging, a new
    // temporary file in the same folder, remembered for the commit and
    // removed should the process be stopped by SIGINT or SIGTERM.
    std::string staged_path(std::string const & final_path);

    // The name under which `path` can be read back now: its temporary name if
    // it is a staged output, else `path` itself.
    std::string readable_path(std::string const & path) const;

    // Renames every staged file to its final name, in the order they were
    // staged, as described above. Returns 0, or -1 after printing an error
    // naming the file that could not be renamed; every file it had replaced
    // is then back and the temporary files are removed. `still_allowed`,
    // when given, is asked under the folders' locks before any rename: when
    // it says no (after its own error), nothing is renamed and -1 returned,
    // so that a check of what the folder holds and the commit are one step.
    int32_t commit(std::function<bool()> const & still_allowed = {});

    // Removes every staged temporary file and forgets them.
    void discard();

    // Removes `path` at the commit, under its lock, once every staged file
    // is in place, unless it is one of them: the files of an earlier run
    // that this run's set replaces.
    void remove_at_commit(std::string const & path);

private:
    bool staging_;
    std::time_t started_;
    std::vector<std::pair<std::string, std::string>> staged_;  // final name, temporary name
    std::vector<std::string> removed_at_commit_;
};

// Locks on folders (flock on each folder itself, taken in one order), held
// while the object lives: exclusive ones as a commit takes them, or shared
// ones, so that a reader of a folder sees no commit half done.
class folder_locks
{
public:
    folder_locks(std::vector<std::string> folders, bool exclusive);
    ~folder_locks();
    folder_locks(folder_locks const &) = delete;
    folder_locks & operator=(folder_locks const &) = delete;

private:
    std::vector<int> descriptors_;
};

// The temporary name `output_staging` would give `final_path`, with "XXXXXX"
// where mkstemp puts its random part (exposed for the tests).
std::string temporary_name_pattern(std::string const & final_path);

// The temporary files in `folder`, regular files named
// "<stem>.mirsight-<pid>-<random>.tmp" whose stem `is_wanted` accepts, as
// "folder/name" paths.
std::vector<std::string> temporary_files_in(std::string const & folder,
                                            std::function<bool(std::string const &)> const & is_wanted);

// Installs the handlers that remove every staged temporary file and exit
// with 128 + the signal on SIGINT, SIGTERM and SIGHUP, and ignores SIGXFSZ
// and SIGPIPE (a write past the file size limit, or into a pipe whose
// reader is gone, then fails and is reported like any failed write: a run
// never dies of it with its temporaries in place). A signal that arrives
// while a commit is under way takes effect after it.
void install_signal_cleanup();
