#include "core/staged_output.hpp"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/file_names.hpp"
#include "core/messages.hpp"

namespace
{
// ---- temporary files a signal must remove ---------------------------------
// A signal handler can only look at plain memory, so the temporary names live
// in fixed slots; a slot is in use while its state is `ready`.
constexpr std::size_t slot_count = 256;
constexpr std::size_t slot_length = 4096;
enum slot_state : int
{
    free_slot = 0,
    filling = 1,
    ready = 2
};
struct temporary_slot
{
    std::atomic<int> state{free_slot};
    char path[slot_length];
};
temporary_slot temporary_slots[slot_count];
std::atomic<int> commits_under_way{0};
std::atomic<int> deferred_signal{0};

void remember_temporary(std::string const & path)
{
    if (path.size() >= slot_length)
        return;
    for (temporary_slot & slot : temporary_slots)
    {
        int expected = free_slot;
        if (slot.state.compare_exchange_strong(expected, filling))
        {
            std::memcpy(slot.path, path.c_str(), path.size() + 1);
            slot.state.store(ready);
            return;
        }
    }
}

void forget_temporary(std::string const & path)
{
    for (temporary_slot & slot : temporary_slots)
        if (slot.state.load() == ready && path == slot.path)
        {
            slot.state.store(free_slot);
            return;
        }
}

void remove_temporaries_and_exit(int signal_number)
{
    for (temporary_slot & slot : temporary_slots)
        if (slot.state.load() == ready)
            unlink(slot.path);
    _exit(128 + signal_number);
}

extern "C" void on_stop_signal(int signal_number)
{
    if (commits_under_way.load() > 0)
    {
        deferred_signal.store(signal_number);
        return;
    }
    remove_temporaries_and_exit(signal_number);
}

// ---- names ----------------------------------------------------------------
std::string hex_hash(std::string const & text)
{
    uint64_t hash = 1469598103934665603ULL;  // FNV-1a
    for (char c : text)
        hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
    char digits[17];
    std::snprintf(digits, sizeof digits, "%016llx", static_cast<unsigned long long>(hash));
    return digits;
}

// The first part of every temporary name of `final_path`: its name, cut and
// hashed when the whole temporary name would pass 255 bytes.
std::string temporary_stem(std::string const & final_path)
{
    constexpr std::size_t name_max = 255;
    constexpr std::size_t suffix_room = 40;  // ".mirsight-<pid>-XXXXXX.tmp" and more
    std::string name = base_name_of(final_path);
    if (name.size() + suffix_room > name_max)
        name = name.substr(0, name_max - suffix_room - 18) + "~" + hex_hash(name);
    std::string const folder = folder_of(final_path);
    return (final_path.find('/') == std::string::npos ? "" : (folder == "/" ? "/" : folder + "/")) + name +
           ".mirsight-";
}

mode_t file_creation_mode()
{
    static mode_t const mode = [] {
        mode_t const mask = umask(022);
        umask(mask);
        return static_cast<mode_t>(0666 & ~mask);
    }();
    return mode;
}

// A new empty file named after `final_path`; its name, or the pattern itself
// (which does not exist) when it cannot be created, so that the caller's
// open fails and reports why.
std::string make_temporary(std::string const & final_path)
{
    std::string name = temporary_name_pattern(final_path);
    std::vector<char> buffer(name.begin(), name.end());
    buffer.push_back('\0');
    int const descriptor = mkstemps(buffer.data(), 4);
    if (descriptor < 0)
        return name;
    fchmod(descriptor, file_creation_mode());
    close(descriptor);
    return std::string(buffer.data());
}

// ---- the lock and the sweep -----------------------------------------------
bool process_is_gone(long pid)
{
    return pid > 0 && kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

// Whether `name` is a temporary name "<stem>.mirsight-<pid>-<6 characters>.tmp";
// its stem and process id into `stem` and `pid`.
bool split_temporary_name(std::string const & name, std::string & stem, long & pid)
{
    std::string const marker = ".mirsight-";
    std::size_t const tail = 1 + 6 + 4;  // "-" and the random part, ".tmp"
    if (name.size() < marker.size() + 1 + tail || name.compare(name.size() - 4, 4, ".tmp") != 0 ||
        name[name.size() - tail] != '-')
        return false;
    std::size_t const digits_end = name.size() - tail;
    std::size_t const marker_at = name.rfind(marker, digits_end - 1);
    std::size_t const digits_begin = marker_at == std::string::npos ? 0 : marker_at + marker.size();
    if (marker_at == std::string::npos || digits_begin == digits_end ||
        name.find_first_not_of("0123456789", digits_begin) != digits_end)
        return false;
    stem = name.substr(0, marker_at);
    pid = std::strtol(name.substr(digits_begin, digits_end - digits_begin).c_str(), nullptr, 10);
    return true;
}

// Removes the temporaries of `final_path` left by runs that were killed:
// "<stem><pid>-<6 characters>.tmp" whose process is gone and that are older
// than `started`.
void sweep_leftovers(std::string const & final_path, std::time_t started)
{
    std::string const stem = base_name_of(temporary_stem(final_path));
    std::string const own_stem = stem.substr(0, stem.size() - std::string(".mirsight-").size());
    for (std::string const & path :
         temporary_files_in(folder_of(final_path), [&](std::string const & s) { return s == own_stem; }))
    {
        std::string stem_found;
        long pid = 0;
        split_temporary_name(base_name_of(path), stem_found, pid);
        struct stat info;
        if (pid == static_cast<long>(getpid()) || !process_is_gone(pid) || lstat(path.c_str(), &info) != 0 ||
            info.st_mtime >= started)
            continue;
        unlink(path.c_str());
    }
}

bool exists(std::string const & path)
{
    struct stat info;
    return lstat(path.c_str(), &info) == 0;
}
}  // namespace

folder_locks::folder_locks(std::vector<std::string> folders, bool exclusive)
{
    std::sort(folders.begin(), folders.end());
    folders.erase(std::unique(folders.begin(), folders.end()), folders.end());
    for (std::string const & folder : folders)
    {
        int const descriptor = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (descriptor < 0)
            continue;  // a folder we cannot open: the renames or reads fail and say so
        while (flock(descriptor, exclusive ? LOCK_EX : LOCK_SH) != 0 && errno == EINTR)
        {
        }
        descriptors_.push_back(descriptor);
    }
}

folder_locks::~folder_locks()
{
    for (int descriptor : descriptors_)
        close(descriptor);
}

std::vector<std::string> temporary_files_in(std::string const & folder,
                                            std::function<bool(std::string const &)> const & is_wanted)
{
    std::vector<std::string> paths;
    DIR * const listing = opendir(folder.c_str());
    if (listing == nullptr)
        return paths;
    while (dirent const * entry = readdir(listing))
    {
        std::string const name = entry->d_name;
        std::string stem;
        long pid = 0;
        struct stat info;
        std::string const path = folder + "/" + name;
        if (split_temporary_name(name, stem, pid) && is_wanted(stem) && lstat(path.c_str(), &info) == 0 &&
            S_ISREG(info.st_mode))
            paths.push_back(path);
    }
    closedir(listing);
    return paths;
}

std::string temporary_name_pattern(std::string const & final_path)
{
    return temporary_stem(final_path) + std::to_string(getpid()) + "-XXXXXX.tmp";
}

output_staging::output_staging(bool staging) : staging_(staging), started_(std::time(nullptr)) {}

std::string output_staging::staged_path(std::string const & final_path)
{
    if (!staging_)
        return final_path;
    for (auto const & file : staged_)
        if (file.first == final_path)
            return file.second;
    staged_.emplace_back(final_path, make_temporary(final_path));
    remember_temporary(staged_.back().second);
    return staged_.back().second;
}

std::string output_staging::readable_path(std::string const & path) const
{
    for (auto const & file : staged_)
        if (file.first == path)
            return file.second;
    return path;
}

int32_t output_staging::commit(std::function<bool()> const & still_allowed)
{
    if (staged_.empty() && removed_at_commit_.empty())
        return 0;
    commits_under_way.fetch_add(1);
    std::vector<std::string> folders;
    for (auto const & file : staged_)
        folders.push_back(folder_of(file.first));
    for (std::string const & path : removed_at_commit_)
        folders.push_back(folder_of(path));
    int32_t status = 0;
    {
        folder_locks const locks(folders, true);
        for (auto const & file : staged_)
            sweep_leftovers(file.first, started_);
        if (still_allowed && !still_allowed())
            status = -1;

        // Each replaced file is first moved aside, so that it can be put back.
        std::vector<std::pair<std::string, std::string>> done;  // final name, its old file or ""
        for (auto const & file : staged_)
        {
            if (status != 0)
                break;
            std::string aside;
            if (exists(file.first))
            {
                aside = make_temporary(file.first);
                if (std::rename(file.first.c_str(), aside.c_str()) != 0)
                {
                    print_error("cannot replace '" + file.first + "': " + std::strerror(errno));
                    unlink(aside.c_str());
                    status = -1;
                    break;
                }
            }
            if (std::rename(file.second.c_str(), file.first.c_str()) != 0)
            {
                print_error("cannot move '" + file.second + "' to '" + file.first + "': " + std::strerror(errno));
                if (!aside.empty())
                    std::rename(aside.c_str(), file.first.c_str());
                status = -1;
                break;
            }
            done.emplace_back(file.first, aside);
        }
        for (auto const & file : done)
        {
            if (status == 0)
                unlink(file.second.c_str());
            else if (file.second.empty())
                unlink(file.first.c_str());
            else
                std::rename(file.second.c_str(), file.first.c_str());
        }
        if (status == 0)
        {
            for (std::string const & path : removed_at_commit_)
                if (std::none_of(staged_.begin(), staged_.end(), [&](auto const & f) { return f.first == path; }))
                    unlink(path.c_str());
            for (auto const & file : staged_)
                forget_temporary(file.second);
            staged_.clear();
            removed_at_commit_.clear();
        }
    }
    if (status != 0)
        discard();
    commits_under_way.fetch_sub(1);
    if (int const signal_number = deferred_signal.load())
        remove_temporaries_and_exit(signal_number);
    return status;
}

void output_staging::remove_at_commit(std::string const & path)
{
    removed_at_commit_.push_back(path);
}

void output_staging::discard()
{
    for (auto const & file : staged_)
    {
        std::remove(file.second.c_str());
        forget_temporary(file.second);
    }
    staged_.clear();
    removed_at_commit_.clear();
}

void install_signal_cleanup()
{
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = on_stop_signal;
    sigemptyset(&action.sa_mask);
    for (int signal_number : {SIGINT, SIGTERM, SIGHUP})
        sigaction(signal_number, &action, nullptr);
    std::signal(SIGXFSZ, SIG_IGN);
    std::signal(SIGPIPE, SIG_IGN);
}
