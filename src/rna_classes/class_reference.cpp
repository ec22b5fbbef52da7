#include "rna_classes/class_reference.hpp"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include <dirent.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <divsufsort.h>
#include <seqan/index.h>

#include "core/file_checksum.hpp"
#include "core/file_names.hpp"
#include "core/messages.hpp"
#include "core/parallel_chunks.hpp"
#include "core/text_input.hpp"

// The references' text: one byte per letter, A C G T as 0 to 3, the layout
// libdivsufsort sorts. Its suffix array positions fit 32 bits.
using class_text = seqan::String<seqan::Dna>;
namespace seqan
{
template <>
struct SAValue<class_text>
{
    typedef uint32_t Type;
};
}  // namespace seqan

// SeqAn saves and reads each string of an index through an external
// string, element by element, and its save reports no failed write (a full
// disk would leave a short file that the manifest then vouches for). These
// write and read the file whole, the string's elements as they lie in
// memory (as SeqAn's own files hold them), and fail when a write or read
// does. Found for every string of the index that SeqAn saves or opens,
// being the more specialised overloads.
// The index is read at random places all over: on huge pages (where the
// system gives them on request) far fewer of those reads miss the
// processor's table of pages. Asked before the memory is first written.
inline void ask_for_huge_pages(void * begin, std::size_t bytes)
{
    constexpr std::uintptr_t huge = std::uintptr_t(2) << 20;
    std::uintptr_t const first = (reinterpret_cast<std::uintptr_t>(begin) + huge - 1) / huge * huge;
    std::uintptr_t const end = reinterpret_cast<std::uintptr_t>(begin) + bytes;
    if (end > first + huge)
        madvise(reinterpret_cast<void *>(first), (end - first) / huge * huge, MADV_HUGEPAGE);
}

namespace seqan
{
template <typename TValue>
inline bool save(String<TValue, Alloc<>> const & string, char const * file_name, int)
{
    std::FILE * file = std::fopen(file_name, "wb");
    if (!file)
        return false;
    std::size_t const bytes = length(string) * sizeof(TValue);
    bool const written = bytes == 0 || std::fwrite(&string[0], 1, bytes, file) == bytes;
    return std::fclose(file) == 0 && written;
}

template <typename TValue>
inline bool open(String<TValue, Alloc<>> & string, char const * file_name, int)
{
    std::FILE * file = std::fopen(file_name, "rb");
    struct stat info;
    if (!file || fstat(fileno(file), &info) != 0 || uint64_t(info.st_size) % sizeof(TValue) != 0)
    {
        if (file)
            std::fclose(file);
        return false;
    }
    std::size_t const bytes = std::size_t(info.st_size);
    resize(string, bytes / sizeof(TValue), Exact());
    if (bytes > 0)
        ask_for_huge_pages(&string[0], bytes);
    bool const read_whole = bytes == 0 || std::fread(&string[0], 1, bytes, file) == bytes;
    std::fclose(file);
    return read_whole;
}
}  // namespace seqan

namespace
{
// Rank dictionaries with prefix sums (64-bit counts: with 32-bit ones SeqAn
// packs the 64-bit words of each block at addresses that are not multiples
// of 8, which UBSan reports); every tenth suffix array entry sampled.
using index_config = seqan::FastFMIndexConfig<void, uint64_t, 1, 1>;
using class_fm_index = seqan::Index<class_text, seqan::BidirectionalIndex<seqan::FMIndex<void, index_config>>>;

// What the index folder's manifest starts with, and the format it names:
// any change to the index's types, its files or the text's letters must
// change the number.
char const manifest_title[] = "mirsight class index";
constexpr uint32_t index_format = 2;

// The most letters a reference may have: libdivsufsort's 32-bit positions.
constexpr uint64_t max_letters = 0x7FFFFFFEu;
}  // namespace

struct class_index
{
    class_text text;                      // the records one after the other
    std::vector<uint32_t> record_starts;  // each record's first letter in `text`, then the text's length
    std::vector<uint32_t> n_positions;    // the letters of `text` that stand for an N, ascending
    std::unique_ptr<class_fm_index> fm;   // none when the text is empty
};

namespace
{
// ---------------------------------------------------------------------------
// The FASTA

// The letter an N of the reference stands as at `position`: spread over the
// four, so that a run of N is no run of one letter that tags would hit.
uint8_t letter_for_n(uint64_t position)
{
    return uint8_t(((position * 0x9E3779B97F4A7C15ull) >> 61) & 3u);
}

bool is_space(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

// The code of each byte of a sequence line: A C G T (U) of either case as 0
// to 3, blanks `skipped`, any other byte 4 (an N).
constexpr uint8_t skipped = 5;
std::array<uint8_t, 256> letter_codes()
{
    std::array<uint8_t, 256> codes;
    codes.fill(4);
    std::string const letters[4] = {"Aa", "Cc", "Gg", "TtUu"};
    for (uint8_t code = 0; code < 4; ++code)
        for (char const c : letters[code])
            codes[uint8_t(c)] = code;
    for (char const c : {' ', '\t', '\r', '\v', '\f'})
        codes[uint8_t(c)] = skipped;
    return codes;
}

bool is_blank(std::string const & line)
{
    return std::all_of(line.begin(), line.end(), is_space);
}

// The first word of a header line (after its '>').
std::string header_name(std::string const & line)
{
    std::size_t const first = std::min(line.size(), std::size_t(1));
    std::size_t begin = first;
    while (begin < line.size() && is_space(line[begin]))
        ++begin;
    std::size_t end = begin;
    while (end < line.size() && !is_space(line[end]))
        ++end;
    return line.substr(begin, end - begin);
}

// Reads the records of `path` into `index` (text, record starts, N
// positions) and their names into `names`. Returns 0, or -1 after an error
// naming the file (and line).
int32_t read_class_fasta(std::string const & path, std::string const & class_name, class_index & index,
                         std::vector<std::string> & names)
{
    std::ifstream in;
    std::string reason;
    std::string const what = "the reference FASTA of class '" + class_name + "' '" + path + "'";
    if (!open_for_reading(in, path, reason))
    {
        print_error("cannot open " + what + ": " + reason);
        return -1;
    }
    // The file's size is room enough for its letters: no copy as they grow.
    struct stat info;
    if (stat(path.c_str(), &info) == 0)
        seqan::reserve(index.text, uint64_t(info.st_size), seqan::Exact());
    std::array<uint8_t, 256> const codes = letter_codes();
    uint64_t letters = 0;
    uint64_t line_number = 0;
    std::string line;
    while (read_text_line(in, line))
    {
        ++line_number;
        if (is_blank(line))
            continue;
        auto const where = [&] { return path + ":" + std::to_string(line_number); };
        if (line[0] == '>')
        {
            names.push_back(header_name(line));
            if (names.back().empty())
            {
                print_error(where() + ": a FASTA header without a name");
                return -1;
            }
            index.record_starts.push_back(uint32_t(letters));
            continue;
        }
        if (names.empty())
        {
            print_error(where() + ": text before the first FASTA header (a record starts with '>')");
            return -1;
        }
        if (letters + line.size() > max_letters)
        {
            print_error(where() + ": the reference has more than " + std::to_string(max_letters) + " letters");
            return -1;
        }
        seqan::resize(index.text, letters + line.size());  // room for the line, cut to its letters below
        seqan::Dna * out = &index.text[0] + letters;
        for (char const c : line)
        {
            uint8_t code = codes[uint8_t(c)];
            if (code == skipped)
                continue;
            if (code == 4)
            {
                index.n_positions.push_back(uint32_t(letters));
                code = letter_for_n(letters);
            }
            *out++ = seqan::Dna(code);
            ++letters;
        }
        seqan::resize(index.text, letters);
    }
    if (in.bad())
    {
        print_error("cannot read " + what);
        return -1;
    }
    if (names.empty())
    {
        print_error(what + " holds no FASTA record (a record starts with '>')");
        return -1;
    }
    index.record_starts.push_back(uint32_t(letters));
    return 0;
}

// ---------------------------------------------------------------------------
// The index

// The suffix array of `text` (libdivsufsort), its LF table and sampled
// suffix array (SeqAn) into `fm`, one direction of the bidirectional index.
using direction_index = seqan::Index<class_text, seqan::FMIndex<void, index_config>>;

bool build_direction(direction_index & fm, class_text const & text)
{
    seqan::String<uint32_t> suffixes;
    seqan::resize(suffixes, seqan::length(text), seqan::Exact());
    auto const * bytes = reinterpret_cast<sauchar_t const *>(&text[0]);
    if (divsufsort(bytes, reinterpret_cast<saidx_t *>(&suffixes[0]), saidx_t(seqan::length(text))) != 0)
        return false;
    seqan::createLF(seqan::indexLF(fm), text, suffixes);
    seqan::setFibre(seqan::indexSA(fm), seqan::indexLF(fm), seqan::FibreLF());
    seqan::createCompressedSa(seqan::indexSA(fm), suffixes, 1);
    return true;
}

// Builds the index of `index.text`; false when the suffix sort fails.
bool build_index(class_index & index)
{
    index.fm.reset(new class_fm_index(index.text));  // copies the text, reversed, for the reverse direction
    bool const built = build_direction(index.fm->fwd, index.text) && build_direction(index.fm->rev, index.fm->revText);
    // A search reads only the forward text (to check matches).
    seqan::clear(index.fm->revText);
    seqan::shrinkToFit(index.fm->revText);
    return built;
}

bool save_fibres(class_fm_index const & fm, std::string const & folder)
{
    return seqan::save(seqan::indexLF(fm.fwd), (folder + "/fwd.lf").c_str()) &&
           seqan::save(seqan::indexSA(fm.fwd), (folder + "/fwd.sa").c_str()) &&
           seqan::save(seqan::indexLF(fm.rev), (folder + "/rev.lf").c_str()) &&
           seqan::save(seqan::indexSA(fm.rev), (folder + "/rev.sa").c_str());
}

bool open_fibres(class_index & index, std::string const & folder)
{
    index.fm.reset(new class_fm_index());
    class_fm_index & fm = *index.fm;
    seqan::setValue(fm.fwd.text, index.text);
    int const mode = seqan::OPEN_RDONLY;
    if (!seqan::open(seqan::indexLF(fm.fwd), (folder + "/fwd.lf").c_str(), mode) ||
        !seqan::open(seqan::indexSA(fm.fwd), (folder + "/fwd.sa").c_str(), mode) ||
        !seqan::open(seqan::indexLF(fm.rev), (folder + "/rev.lf").c_str(), mode) ||
        !seqan::open(seqan::indexSA(fm.rev), (folder + "/rev.sa").c_str(), mode))
        return false;
    seqan::setFibre(seqan::indexSA(fm.fwd), seqan::indexLF(fm.fwd), seqan::FibreLF());
    seqan::setFibre(seqan::indexSA(fm.rev), seqan::indexLF(fm.rev), seqan::FibreLF());
    return true;
}

// ---------------------------------------------------------------------------
// The index folder

// A checksum of a file's bytes, quick enough to check every index file at
// every load (64 bits, in hexadecimal); "" when it cannot be read.
std::string file_checksum(std::string const & path)
{
    std::FILE * file = std::fopen(path.c_str(), "rb");
    if (!file)
        return "";
    uint64_t sum = 0x84222325CBF29CE4ull;
    uint64_t count = 0;
    std::vector<unsigned char> buffer(1 << 20);
    std::size_t got = 0;
    while ((got = std::fread(buffer.data(), 1, buffer.size(), file)) > 0)
    {
        std::size_t i = 0;
        for (; i + 8 <= got; i += 8)
        {
            uint64_t word = 0;
            std::memcpy(&word, buffer.data() + i, 8);
            sum = (sum ^ word) * 0x100000001B3ull;
            sum ^= sum >> 29;
        }
        for (; i < got; ++i)
            sum = (sum ^ buffer[i]) * 0x100000001B3ull;
        count += got;
    }
    bool const failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed)
        return "";
    sum ^= count;
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(sum));
    return text;
}

// The regular files directly in `folder`.
std::vector<std::string> files_in(std::string const & folder)
{
    std::vector<std::string> names;
    DIR * listing = opendir(folder.c_str());
    if (!listing)
        return names;
    while (dirent * entry = readdir(listing))
    {
        std::string const file = entry->d_name;
        struct stat info;
        if (stat((folder + "/" + file).c_str(), &info) == 0 && S_ISREG(info.st_mode))
            names.push_back(file);
    }
    closedir(listing);
    std::sort(names.begin(), names.end());
    return names;
}

// Removes the files of `folder`, then the folder (an index folder has no
// subfolders).
void remove_folder(std::string const & folder)
{
    for (std::string const & file : files_in(folder))
        std::remove((folder + "/" + file).c_str());
    rmdir(folder.c_str());
}

// The manifest's lines that say what the index was made from.
std::string manifest_head(class_reference const & ref)
{
    return std::string(manifest_title) + "\nformat\t" + std::to_string(index_format) + "\nfasta_sha256\t" +
           ref.fasta_sha256 + "\nletters\t" + std::to_string(ref.letters) + "\nrecords\t" +
           std::to_string(ref.record_names.size()) + "\n";
}

// The manifest of the index files in `folder`: manifest_head, then a line
// "file NAME BYTES CHECKSUM" for each file but the manifest itself. "" when
// a file cannot be read.
std::string make_manifest(class_reference const & ref, std::string const & folder)
{
    std::string manifest = manifest_head(ref);
    for (std::string const & file : files_in(folder))
    {
        if (file == "manifest.txt")
            continue;
        struct stat info;
        std::string const checksum = file_checksum(folder + "/" + file);
        if (checksum.empty() || stat((folder + "/" + file).c_str(), &info) != 0)
            return "";
        manifest += "file\t" + file + "\t" + std::to_string(info.st_size) + "\t" + checksum + "\n";
    }
    return manifest;
}

// Why the index in `folder` cannot be used for `ref`: "" when it can,
// "stale" when it was made from another FASTA or in another format, or what
// is damaged. Its manifest is left in `manifest`.
std::string index_folder_problem(class_reference const & ref, std::string const & folder, std::string & manifest)
{
    std::ifstream in(folder + "/manifest.txt", std::ios::binary);
    if (!in)
        return "its manifest.txt cannot be read";
    manifest.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    std::string const head = manifest_head(ref);
    if (manifest.compare(0, head.size(), head) != 0)
    {
        std::string const title = std::string(manifest_title) + "\n";
        return manifest.compare(0, title.size(), title) == 0 ? "stale" : "its manifest.txt is not an index manifest";
    }
    if (make_manifest(ref, folder) != manifest)
        return "its files are missing, cut short or changed";
    return "";
}

// Writes `text` to `path`; false when it cannot be written whole.
bool write_whole_file(std::string const & path, std::string const & text)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    return !out.fail();
}

// Removes what builds of the index in `folder` that were killed left
// behind: the folders "<folder>.tmp-<pid>-<random>" (an index being
// written) and "<folder>.old-<pid>-<random>" (an earlier index being
// removed) whose process no longer runs on this machine.
void remove_abandoned_folders(std::string const & folder)
{
    std::string const parent = folder_of(folder);
    DIR * listing = opendir(parent.c_str());
    if (!listing)
        return;
    std::vector<std::string> abandoned;
    while (dirent * entry = readdir(listing))
    {
        std::string const name = entry->d_name;
        for (char const * kind : {".tmp-", ".old-"})
        {
            std::string const prefix = base_name_of(folder) + kind;
            if (name.compare(0, prefix.size(), prefix) != 0)
                continue;
            std::size_t const dash = name.find('-', prefix.size());
            std::string const digits = name.substr(prefix.size(), dash - prefix.size());
            if (dash == std::string::npos || digits.empty() || digits.size() > 9 ||
                digits.find_first_not_of("0123456789") != std::string::npos)
                continue;
            pid_t const pid = pid_t(std::stol(digits));
            if (kill(pid, 0) != 0 && errno == ESRCH)
                abandoned.push_back(parent + "/" + name);
        }
    }
    closedir(listing);
    for (std::string const & path : abandoned)
        remove_folder(path);
}

// Saves the index of `ref` into `folder`: into a new temporary folder
// beside it first, which is renamed into place once complete (replacing
// an index made from an earlier FASTA). Returns "" or why it could not.
std::string save_index(class_reference const & ref, class_index const & index, std::string const & folder)
{
    remove_abandoned_folders(folder);
    std::string pattern = folder + ".tmp-" + std::to_string(getpid()) + "-XXXXXX";
    if (!mkdtemp(&pattern[0]))
        return "cannot make a folder in '" + folder_of(folder) + "': " + std::strerror(errno);
    std::string const temporary = pattern;
    chmod(temporary.c_str(), 0755);  // readable by all, as the FASTA usually is (mkdtemp makes it 0700)
    bool const saved = !index.fm || save_fibres(*index.fm, temporary);
    std::string const manifest = saved ? make_manifest(ref, temporary) : "";
    if (manifest.empty() || !write_whole_file(temporary + "/manifest.txt", manifest))
    {
        remove_folder(temporary);
        return "cannot write the index files into '" + temporary + "'";
    }
    // The folder of an earlier index goes aside first: a folder is renamed
    // only onto a missing or empty one.
    struct stat info;
    std::string aside;
    if (lstat(folder.c_str(), &info) == 0)
    {
        aside = folder + ".old-" + std::to_string(getpid()) + "-XXXXXX";
        if (!mkdtemp(&aside[0]) || rename(folder.c_str(), aside.c_str()) != 0)
        {
            std::string const why = std::strerror(errno);
            rmdir(aside.c_str());
            remove_folder(temporary);
            return "cannot move the earlier index '" + folder + "' aside: " + why;
        }
    }
    if (rename(temporary.c_str(), folder.c_str()) != 0)
    {
        std::string const why = std::strerror(errno);
        remove_folder(temporary);
        return "cannot rename '" + temporary + "' to '" + folder + "': " + why;
    }
    if (!aside.empty())
        remove_folder(aside);
    return "";
}

// Whether a file's size, identity and modification time are the same.
bool same_file_state(struct stat const & a, struct stat const & b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
           a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
}

std::string describe(class_reference const & ref)
{
    return std::to_string(ref.record_names.size()) + " records, " + std::to_string(ref.letters) + " letters";
}
}  // namespace

std::string class_index_folder(std::string const & fasta, std::string const & index_dir)
{
    if (index_dir.empty())
        return fasta + ".mirsight-index";
    return index_dir + "/" + base_name_of(fasta) + ".mirsight-index";
}

std::string index_id(class_reference const & ref)
{
    return "mirsight-class-index-" + std::to_string(index_format) + ":" + ref.fasta_sha256;
}

namespace
{
// Reads the FASTA of `ref` (its name and path set) into `index` and its
// record names, with its SHA-256. Returns 0, or -1 after an error.
int32_t read_reference(class_reference & ref, class_index & index)
{
    // The checksum and the letters must be of the same file: one that
    // changes while it is read is refused.
    struct stat before;
    bool const stated = stat(ref.fasta.c_str(), &before) == 0;
    ref.fasta_sha256 = stated ? file_sha256(ref.fasta) : "";
    if (read_class_fasta(ref.fasta, ref.name, index, ref.record_names) != 0)
        return -1;
    struct stat after;
    if (ref.fasta_sha256.empty() || stat(ref.fasta.c_str(), &after) != 0 || !same_file_state(before, after))
    {
        print_error("cannot read the reference FASTA of class '" + ref.name + "' '" + ref.fasta + "'" +
                    (ref.fasta_sha256.empty() ? "" : ": it changed while it was read"));
        return -1;
    }
    ref.letters = seqan::length(index.text);
    return 0;
}

// Why the index saved in `folder` cannot be loaded into `index`: "" when it
// was loaded, "missing", "stale" (made from another FASTA or format), or
// what is damaged.
std::string load_saved_index(class_reference const & ref, class_index & index, std::string const & folder)
{
    struct stat info;
    if (stat(folder.c_str(), &info) != 0)
        return "missing";
    std::string manifest;
    std::string const problem = index_folder_problem(ref, folder, manifest);
    if (!problem.empty())
        return problem;
    if (ref.letters > 0 && !open_fibres(index, folder))
        return "its files cannot be read";
    // Another run may have replaced the folder since it was checked (after
    // the FASTA changed): the files read are the ones checked only if the
    // manifest is still the same (a folder is put in place complete).
    std::ifstream in(folder + "/manifest.txt", std::ios::binary);
    std::string const again((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return again == manifest ? "" : "stale";
}
}  // namespace

int32_t open_class_reference(std::string const & name, std::string const & fasta, std::string const & index_dir,
                             class_reference & out, std::ostream & log)
{
    class_reference ref;
    ref.name = name;
    ref.fasta = fasta;
    auto index = std::make_shared<class_index>();
    if (read_reference(ref, *index) != 0)
        return -1;
    std::string const folder = class_index_folder(fasta, index_dir);
    std::string const about = "class " + name + ": index of '" + fasta + "' (" + describe(ref) + ") ";

    std::string const problem = load_saved_index(ref, *index, folder);
    if (problem.empty())
    {
        ref.index_folder = folder;
        log << about << "loaded from '" << folder << "'\n";
    }
    else
    {
        if (problem != "missing" && problem != "stale")
            print_warning("the index '" + folder + "' of class '" + name + "' is damaged (" + problem + "): rebuilt");
        if (ref.letters > 0 && !build_index(*index))
        {
            print_error("cannot index the reference FASTA of class '" + name + "' '" + fasta + "'");
            return -1;
        }
        std::string const built = problem == "missing" ? "built"
                                  : problem == "stale" ? "rebuilt (the FASTA or the index format changed)"
                                                       : "rebuilt";
        std::string const unsaved = save_index(ref, *index, folder);
        if (unsaved.empty())
            ref.index_folder = folder;
        else
            print_warning("the index of class '" + name + "' is not saved (" + unsaved +
                          "): built in memory for this run");
        log << about << built << (unsaved.empty() ? " and saved in '" + folder + "'" : " in memory") << "\n";
    }
    ref.index = index;
    out = ref;
    return 0;
}

// ---------------------------------------------------------------------------
// The search

namespace
{
// Where a stretch of the text lies: the record that holds [position,
// position + length) whole, or -1 when it runs over a record's end.
int64_t record_holding(class_index const & index, uint32_t position, uint32_t length)
{
    auto const after = std::upper_bound(index.record_starts.begin(), index.record_starts.end(), position);
    auto const record = (after - index.record_starts.begin()) - 1;
    if (uint64_t(position) + length > *after)
        return -1;
    return record;
}

// Whether the text's [position, position + length) holds a letter that
// stands for an N.
bool holds_n(class_index const & index, uint32_t position, uint32_t length)
{
    auto const n = std::lower_bound(index.n_positions.begin(), index.n_positions.end(), position);
    return n != index.n_positions.end() && *n < uint64_t(position) + length;
}

// The substitutions between `tag` and the text at `position`, an N of
// either counted as one; stops counting past `limit`.
uint32_t substitutions_at(class_index const & index, tag_letters const & tag, uint32_t position, uint32_t limit)
{
    uint32_t count = 0;
    auto n = std::lower_bound(index.n_positions.begin(), index.n_positions.end(), position);
    for (uint32_t i = 0; i < tag.size() && count <= limit; ++i)
    {
        uint32_t const at = position + i;
        while (n != index.n_positions.end() && *n < at)
            ++n;
        bool const reference_n = n != index.n_positions.end() && *n == at;
        unsigned const letter = seqan::ordValue(tag[i]);
        if (letter > 3 || reference_n || seqan::ordValue(index.text[at]) != letter)
            ++count;
    }
    return count;
}

// The best match so far: fewest substitutions, then first position (records
// lie in file order in the text, so the first position is in the first record).
struct best_match
{
    bool found = false;
    uint32_t substitutions = 0;
    uint32_t position = 0;

    void offer(uint32_t subs, uint32_t at)
    {
        if (!found || subs < substitutions || (subs == substitutions && at < position))
        {
            found = true;
            substitutions = subs;
            position = at;
        }
    }
};

// Runs SeqAn's search for the needle with exactly `errors` substitutions
// and calls `on_range` with each place found (a node of the index).
// Without errors it walks down the index letter by letter from the
// needle's start and keeps in `exact_depth` how far it got; with errors it
// runs the optimal search schemes on the bidirectional index. With one
// error these are two: the needle's first half exact and one substitution
// in its second, then the reverse; the first is skipped when the walk
// without errors showed that the first half occurs nowhere (most tags
// that are in no reference end there).
template <typename TDelegate>
void search_with_errors(class_fm_index & fm, class_text const & needle, uint32_t errors, uint32_t & exact_depth,
                        TDelegate & on_range)
{
    using iterator = seqan::Iter<class_fm_index, seqan::VSTree<seqan::TopDown<>>>;
    switch (errors)
    {
        case 0:
        {
            iterator it(fm);
            exact_depth = 0;
            while (exact_depth < seqan::length(needle) && seqan::goDown(it, needle[exact_depth], seqan::Rev()))
                ++exact_depth;
            if (exact_depth == seqan::length(needle))
                on_range(it, needle, 0);
            break;
        }
        case 1:
        {
            auto schemes = seqan::OptimalSearchSchemes<1, 1>::VALUE;
            seqan::_optimalSearchSchemeComputeFixedBlocklength(schemes, uint32_t(seqan::length(needle)));
            // schemes[0] takes the first block (pi 1, 2) exactly, schemes[1] the second (pi 2, 1).
            if (exact_depth >= schemes[0].blocklength[0])
                seqan::_optimalSearchScheme(on_range, iterator(fm), needle, schemes[0], seqan::HammingDistance());
            seqan::_optimalSearchScheme(on_range, iterator(fm), needle, schemes[1], seqan::HammingDistance());
            break;
        }
        case 2: seqan::find<2, 2>(on_range, fm, needle, seqan::HammingDistance()); break;
        case 3: seqan::find<3, 3>(on_range, fm, needle, seqan::HammingDistance()); break;
        default: seqan::find<4, 4>(on_range, fm, needle, seqan::HammingDistance()); break;
    }
}
}  // namespace

class_match find_in_class(class_reference const & ref, tag_letters const & tag, uint32_t max_substitutions)
{
    class_match match;
    if (!ref.index || !ref.index->fm || tag.empty() || tag.size() > ref.letters)
        return match;
    class_index const & index = *ref.index;
    uint32_t const limit = std::min(max_substitutions, max_class_substitutions);
    uint32_t const length = uint32_t(tag.size());

    // The index knows only A C G T: an N of the tag is searched as A and
    // counted as a substitution when each place found is checked.
    class_text needle;
    seqan::resize(needle, length, seqan::Exact());
    uint32_t tag_ns = 0;
    for (uint32_t i = 0; i < length; ++i)
    {
        unsigned const letter = seqan::ordValue(tag[i]);
        tag_ns += letter > 3;
        needle[i] = seqan::Dna(letter > 3 ? 0 : letter);
    }
    if (tag_ns > limit)
        return match;

    // The index's distance never exceeds the true one (an N only adds
    // substitutions), so searching with 0, 1, ... errors in turn finds every
    // place; the true count of a place found with e errors is e or more, and
    // the search stops once a place with at most e is known.
    class_fm_index & fm = const_cast<class_fm_index &>(*index.fm);  // SeqAn's search takes it mutable; reads only
    auto const & suffixes = seqan::indexSA(fm.fwd);
    std::vector<std::pair<uint64_t, uint64_t>> ranges;
    uint32_t exact_depth = 0;
    best_match best;
    for (uint32_t errors = 0; errors <= limit; ++errors)
    {
        ranges.clear();
        auto on_range = [&ranges](auto const & it, class_text const &, unsigned) {
            auto const range = seqan::value(it.fwdIter).range;
            ranges.emplace_back(range.i1, range.i2);
        };
        search_with_errors(fm, needle, errors, exact_depth, on_range);
        for (auto const & range : ranges)
            for (uint64_t i = range.first; i < range.second; ++i)
            {
                uint32_t const position = uint32_t(suffixes[i]);
                if (record_holding(index, position, length) < 0)
                    continue;
                uint32_t const subs = tag_ns == 0 && !holds_n(index, position, length)
                                          ? errors
                                          : substitutions_at(index, tag, position, limit);
                if (subs <= limit)
                    best.offer(subs, position);
            }
        if (best.found && best.substitutions <= errors)
            break;
    }
    if (!best.found)
        return match;
    match.found = true;
    match.substitutions = best.substitutions;
    match.record = uint32_t(record_holding(index, best.position, length));
    match.position = best.position - index.record_starts[match.record];
    return match;
}

std::vector<class_match> find_all_in_class(class_reference const & ref, std::vector<tag_letters> const & tags,
                                           uint32_t max_substitutions, uint32_t thread_count)
{
    std::vector<class_match> matches(tags.size());
    uint64_t const pieces = piece_count(tags.size(), thread_count, 16);
    run_in_pieces(pieces, thread_count, [&](uint64_t piece) {
        uint64_t const last = chunk_begin(tags.size(), uint32_t(pieces), uint32_t(piece + 1));
        for (uint64_t i = chunk_begin(tags.size(), uint32_t(pieces), uint32_t(piece)); i < last; ++i)
            matches[i] = find_in_class(ref, tags[i], max_substitutions);
    });
    return matches;
}

std::vector<class_placement> place_in_classes(std::vector<class_reference> const & classes,
                                              std::vector<tag_letters> const & tags, uint32_t max_substitutions,
                                              uint32_t thread_count)
{
    std::vector<class_placement> placements(tags.size());
    uint64_t const pieces = piece_count(tags.size(), thread_count, 16);
    run_in_pieces(pieces, thread_count, [&](uint64_t piece) {
        uint64_t const last = chunk_begin(tags.size(), uint32_t(pieces), uint32_t(piece + 1));
        for (uint64_t i = chunk_begin(tags.size(), uint32_t(pieces), uint32_t(piece)); i < last; ++i)
            for (std::size_t c = 0; c < classes.size(); ++c)
            {
                class_match const match = find_in_class(classes[c], tags[i], max_substitutions);
                if (match.found)
                {
                    placements[i] = class_placement{int32_t(c), match};
                    break;
                }
            }
    });
    return placements;
}
