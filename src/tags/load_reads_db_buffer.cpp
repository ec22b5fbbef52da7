// Tag-count loading: the file is read whole, cut into line-aligned chunks,
// and the chunks are parsed in parallel straight into their places in the tag table.
#include "tags/load_reads_db_buffer.hpp"

#include <algorithm>
#include <atomic>
#include <csignal>
#include <array>
#include <cerrno>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <vector>

#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/messages.hpp"
#include "core/parallel_chunks.hpp"

namespace
{
constexpr uint64_t shown_warnings = 10;  // of each kind; the others are counted

enum class count_reading
{
    read,       // digits found and read
    trailing,   // digits read, followed by other text ("1e+05", "3,000")
    missing,    // no tab, or no digit after it
    too_large,  // more than 64 bits
};

bool is_white_space(char c)
{
    return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r' || c == '\n';
}

// Reads the read count in [text, end), the bytes after the tag's tab:
// optional white space, then decimal digits up to the first other character.
// A count that does not fit in 64 bits is reported as too large.
count_reading read_tag_count(char const * text, char const * end, uint64_t & count)
{
    count = 0;
    while (text != end && is_white_space(*text))
        ++text;
    if (text == end || *text < '0' || *text > '9')
        return count_reading::missing;
    constexpr uint64_t largest = std::numeric_limits<uint64_t>::max();
    count_reading result = count_reading::read;
    for (; text != end && *text >= '0' && *text <= '9'; ++text)
    {
        uint64_t const digit = static_cast<uint64_t>(*text - '0');
        if (count > (largest - digit) / 10)
        {
            count = 0;
            result = count_reading::too_large;
        }
        else if (result == count_reading::read)
        {
            count = count * 10 + digit;
        }
    }
    while (text != end && is_white_space(*text))
        ++text;
    if (result == count_reading::read && text != end)
        result = count_reading::trailing;
    return result;
}

// One line of the file, without its line feed and one carriage return.
struct line_view
{
    char const * begin = nullptr;
    char const * end = nullptr;
    char const * tab = nullptr;  // first tab, or end when there is none

    std::size_t tag_length() const { return static_cast<std::size_t>(tab - begin); }
};

// Calls visit(line) for every line in [text, end), which starts at a line
// start; a last line without a line feed counts when it is not empty.
template <typename Visit>
void for_each_line(char const * text, char const * end, Visit && visit)
{
    while (text != end)
    {
        auto const * feed = static_cast<char const *>(std::memchr(text, '\n', static_cast<std::size_t>(end - text)));
        char const * const next = feed ? feed + 1 : end;
        line_view line;
        line.begin = text;
        line.end = feed ? feed : end;
        if (line.end != line.begin && line.end[-1] == '\r')
            --line.end;
        auto const * tab = static_cast<char const *>(std::memchr(line.begin, '\t', static_cast<std::size_t>(line.end - line.begin)));
        line.tab = tab ? tab : line.end;
        visit(line);
        text = next;
    }
}

// Rna5 symbol values by byte: A, C, G, U in either case keep their letter,
// an upper-case T reads as U when converting, everything else is N.
std::array<unsigned char, 256> symbol_table(bool rna_conversion)
{
    std::array<unsigned char, 256> table;
    table.fill(4);
    table['A'] = table['a'] = 0;
    table['C'] = table['c'] = 1;
    table['G'] = table['g'] = 2;
    table['U'] = table['u'] = 3;
    if (rna_conversion)
        table['T'] = 3;
    return table;
}

// The bytes of the tag file, read into memory once (a pipe gives its bytes
// to one reader only). It is read rather than mapped: a mapped file cut
// short by another program while the run goes on would stop the run with
// SIGBUS.
// A regular tag file is mapped into memory, so that its bytes are read
// straight from the system's file cache. A file cut short while it is mapped
// makes every read of its lost pages raise SIGBUS: while a mapping is in use,
// a handler puts a page of zeros in place of such a page and notes it, and
// the load then reports the file as changed. This is process-wide state
// because signal handlers are; one file is mapped at a time.
struct mapped_file_guard
{
    static std::atomic<char const *> begin;
    static std::atomic<char const *> end;
    static std::atomic<bool> cut_short;
    static uintptr_t page_size;

    static void on_bus_error(int signal, siginfo_t * info, void *)
    {
        char const * const address = static_cast<char const *>(info->si_addr);
        if (address >= begin.load() && address < end.load())
        {
            void * const page = reinterpret_cast<void *>(reinterpret_cast<uintptr_t>(address) & ~(page_size - 1));
            if (mmap(page, page_size, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0) != MAP_FAILED)
            {
                cut_short.store(true);
                return;  // the read is made again, and finds zeros
            }
        }
        std::signal(signal, SIG_DFL);  // not ours: the default action
        std::raise(signal);
    }

    // Watches [first, first + length) until destroyed.
    mapped_file_guard(char const * first, std::size_t length)
    {
        page_size = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
        cut_short.store(false);
        begin.store(first);
        end.store(first + length);
        struct sigaction action = {};
        action.sa_sigaction = on_bus_error;
        action.sa_flags = SA_SIGINFO;
        sigemptyset(&action.sa_mask);
        sigaction(SIGBUS, &action, &previous_);
    }
    ~mapped_file_guard()
    {
        sigaction(SIGBUS, &previous_, nullptr);
        begin.store(nullptr);
        end.store(nullptr);
    }
    mapped_file_guard(mapped_file_guard const &) = delete;
    mapped_file_guard & operator=(mapped_file_guard const &) = delete;

private:
    struct sigaction previous_ = {};
};

std::atomic<char const *> mapped_file_guard::begin{nullptr};
std::atomic<char const *> mapped_file_guard::end{nullptr};
std::atomic<bool> mapped_file_guard::cut_short{false};
uintptr_t mapped_file_guard::page_size = 4096;

class file_text
{
public:
    enum class outcome
    {
        loaded,
        cannot_open,  // with the reason in `reason`
        cannot_read,
    };

    outcome load(std::string const & path, std::string & reason)
    {
        int const descriptor = open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (descriptor < 0)
        {
            reason = std::strerror(errno);
            return outcome::cannot_open;
        }
        struct stat info;
        bool const known = fstat(descriptor, &info) == 0;
        if (known && S_ISDIR(info.st_mode))
        {
            close(descriptor);
            reason = "Is a directory";
            return outcome::cannot_open;
        }
        if (known && S_ISREG(info.st_mode) && info.st_size > 0)
        {
            std::size_t const length = static_cast<std::size_t>(info.st_size);
            // MAP_POPULATE: the pages already in the file cache are mapped in
            // one step rather than one page fault at a time.
            void * const mapped = mmap(nullptr, length, PROT_READ, MAP_PRIVATE | MAP_POPULATE, descriptor, 0);
            if (mapped != MAP_FAILED)
            {
                close(descriptor);
                mapping_ = mapped;
                size_ = length;
                guard_ = std::make_unique<mapped_file_guard>(static_cast<char const *>(mapped), length);
                return outcome::loaded;
            }
            grow(length + 1);  // read into memory, as a pipe is
        }
        bool const read_all = read_blocks(descriptor);
        close(descriptor);
        return read_all ? outcome::loaded : outcome::cannot_read;
    }

    file_text() = default;
    file_text(file_text const &) = delete;
    file_text & operator=(file_text const &) = delete;
    ~file_text()
    {
        guard_.reset();  // before the mapping goes: no page of it is read after
        if (mapping_ != nullptr)
            munmap(mapping_, size_);
    }

    // True when the mapped file was cut short while it was read: some of
    // the bytes read were zeros put in place of the lost ones.
    bool cut_short() const { return mapping_ != nullptr && mapped_file_guard::cut_short.load(); }

    char const * data() const { return mapping_ != nullptr ? static_cast<char const *>(mapping_) : content_.get(); }
    std::size_t size() const { return size_; }

private:
    // Room for `capacity` bytes, the bytes read so far kept. The buffer is
    // not cleared: only the bytes read are ever looked at.
    void grow(std::size_t capacity)
    {
        std::unique_ptr<char[]> larger(new char[capacity]);
        if (size_ > 0)
            std::memcpy(larger.get(), content_.get(), size_);
        content_ = std::move(larger);
        capacity_ = capacity;
    }

    bool read_blocks(int descriptor)
    {
        while (true)
        {
            if (capacity_ - size_ < (1u << 16))
                grow(std::max<std::size_t>(capacity_ * 2, size_ + (1u << 20)));
            ssize_t const got = read(descriptor, content_.get() + size_, capacity_ - size_);
            if (got == 0)
                return true;
            if (got < 0)
            {
                if (errno == EINTR)
                    continue;
                return false;
            }
            size_ += static_cast<std::size_t>(got);
        }
    }

    void * mapping_ = nullptr;
    std::unique_ptr<mapped_file_guard> guard_;
    std::unique_ptr<char[]> content_;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};

// A line-aligned part of the file with what its lines produce.
struct file_chunk
{
    char const * begin = nullptr;
    char const * end = nullptr;
    uint64_t lines = 0;
    uint64_t kept = 0;
    uint64_t first_line = 0;  // lines before the chunk
    uint64_t first_tag = 0;   // position in tag_vet of its first kept tag
    uint64_t letters = 0;     // letters of its kept tags
    seqan::Rna5 * first_letter = nullptr;  // where they go in the letter store
    // Its first warnings of each kind, in line order, and how many there were.
    std::vector<std::pair<count_reading, std::string>> warnings;
    uint64_t warning_counts[2] = {0, 0};  // missing, trailing
    uint64_t first_too_large_line = 0;  // line of its first count beyond 64 bits, or 0
    uint64_t discarded_reads = 0;       // reads of the lines whose tag is too short
    std::vector<uint64_t> discarded_by_length;  // the same by the tag's length
    bool sum_too_large = false;         // those reads add up to more than 64 bits
};

// Cuts the content into `parts` chunks that start at line starts.
std::vector<file_chunk> cut_into_chunks(std::string_view content, uint32_t parts)
{
    std::vector<file_chunk> chunks(parts);
    char const * const text = content.data();
    char const * const end = text + content.size();
    char const * begin = text;
    for (uint32_t c = 0; c < parts; ++c)
    {
        char const * cut = text + chunk_begin(content.size(), parts, c + 1);
        if (cut != end && cut > begin)
        {
            // Move the cut to just after the line feed that ends the line it falls in.
            auto const * feed = static_cast<char const *>(std::memchr(cut - 1, '\n', static_cast<std::size_t>(end - cut + 1)));
            cut = feed ? feed + 1 : end;
        }
        if (cut < begin)
            cut = begin;
        chunks[c].begin = begin;
        chunks[c].end = cut;
        begin = cut;
    }
    return chunks;
}

// Counts the lines of a chunk and the tags it keeps (those longer than seed_size).
void count_chunk_lines(file_chunk & chunk, uint32_t seed_size)
{
    for_each_line(chunk.begin, chunk.end, [&](line_view const & line) {
        ++chunk.lines;
        if (line.tag_length() > seed_size)
        {
            ++chunk.kept;
            chunk.letters += line.tag_length();
            return;
        }
        uint64_t count = 0;
        if (line.tab == line.end)
            return;
        count_reading const reading = read_tag_count(line.tab + 1, line.end, count);
        if (reading != count_reading::read && reading != count_reading::trailing)
            return;
        if (__builtin_add_overflow(chunk.discarded_reads, count, &chunk.discarded_reads))
            chunk.sum_too_large = true;
        if (chunk.discarded_by_length.size() <= line.tag_length())
            chunk.discarded_by_length.resize(line.tag_length() + 1, 0);
        chunk.discarded_by_length[line.tag_length()] += count;
    });
}

// Notes an unreadable count on line `line_number`: a missing count is a
// warning (the count is 0), a count beyond 64 bits an error of the file.
void note_count_reading(file_chunk & chunk, std::string const & tag_file, uint64_t line_number,
                        count_reading reading, char const * count_begin, char const * count_end, uint64_t count)
{
    if (reading == count_reading::missing || reading == count_reading::trailing)
    {
        bool const missing = reading == count_reading::missing;
        if (chunk.warning_counts[missing ? 0 : 1]++ >= shown_warnings)
            return;
        std::string text = tag_file + ":" + std::to_string(line_number) + ": ";
        if (missing)
            text += "read count missing or not a number; count set to 0";
        else
            text += "read count '" + std::string(count_begin, std::min<std::size_t>(static_cast<std::size_t>(count_end - count_begin), 40)) +
                    "' has text after its digits; count read as " + std::to_string(count);
        chunk.warnings.emplace_back(reading, std::move(text));
    }
    else if (reading == count_reading::too_large && chunk.first_too_large_line == 0)
        chunk.first_too_large_line = line_number;
}

// Fills the chunk's tags into tag_vet from position first_tag on, their
// letters into the letter store from first_letter on.
void parse_chunk(file_chunk & chunk, std::string const & tag_file, std::array<unsigned char, 256> const & symbols,
                 uint32_t seed_size, std::vector<tag_vet_t> & tag_vet)
{
    quality_string const quality = "\xC3\xA8";  // the letter è in UTF-8
    uint64_t line_number = chunk.first_line;
    uint64_t position = chunk.first_tag;
    seqan::Rna5 * letters = chunk.first_letter;
    uint64_t letters_left = chunk.letters;
    uint64_t const last_tag = chunk.first_tag + chunk.kept;
    for_each_line(chunk.begin, chunk.end, [&](line_view const & line) {
        ++line_number;
        std::size_t const tag_length = line.tag_length();
        if (tag_length <= seed_size)
            return;  // only tags longer than the seed are kept
        // Lines the count did not see: the mapped file was cut short
        // between the two passes (zeros joined lines), which is reported.
        if (position == last_tag || tag_length > letters_left)
            return;
        letters_left -= tag_length;

        tag_vet_t & tag = tag_vet[position++];
        uint64_t count = 0;
        count_reading const reading =
            line.tab == line.end ? count_reading::missing : read_tag_count(line.tab + 1, line.end, count);
        if (line.tab != line.end)
            note_count_reading(chunk, tag_file, line_number, reading, line.tab + 1, line.end, count);
        else
            note_count_reading(chunk, tag_file, line_number, reading, line.end, line.end, count);

        for (std::size_t i = 0; i < tag_length; ++i)
        {
            seqan::Rna5 * const letter = ::new (static_cast<void *>(letters + i)) seqan::Rna5;
            letter->value = symbols[static_cast<unsigned char>(line.begin[i])];
        }
        tag.tag_sequence = tag_letters::viewing(letters, static_cast<uint32_t>(tag_length));
        letters += tag_length;
        tag.tag_quality = quality;
        tag.tag_count = count;
        tag.tag_index = static_cast<uint32_t>(line_number);  // at most 2^32-1 lines: see the loader
    });
}
}  // namespace

tag_load_report load_reads_db_buffer(std::string const & tag_file, bool rna_conversion, uint32_t seed_size,
                                     uint32_t thread_count, tag_table & tags)
{
    tag_load_report report;
    std::string reason;
    file_text content;
    switch (content.load(tag_file, reason))
    {
        case file_text::outcome::cannot_open:
            report.messages.push_back({true, "cannot open tag-count file '" + tag_file + "': " + reason});
            report.status = -2;
            return report;
        case file_text::outcome::cannot_read:
            report.messages.push_back({true, "cannot read tag-count file '" + tag_file + "'"});
            report.status = -1;
            return report;
        case file_text::outcome::loaded:
            break;
    }
    report = load_tags_from_text(std::string_view(content.data(), content.size()), tag_file, rna_conversion,
                                 seed_size, thread_count, tags);
    if (content.cut_short())
    {
        report.messages.push_back({true, "tag-count file '" + tag_file +
                                             "' was cut short while it was read; run again once it is written"});
        report.status = -1;
    }
    return report;
}

tag_load_report load_tags_from_text(std::string_view content, std::string const & tag_file, bool rna_conversion,
                                    uint32_t seed_size, uint32_t thread_count, tag_table & tags)
{
    tag_load_report report;
    std::vector<tag_vet_t> & tag_vet = tags.tag_vet;
    // Several chunks a thread, taken as the threads come free: a thread that
    // shares its core with the index being built takes fewer.
    std::vector<file_chunk> chunks = cut_into_chunks(content, piece_count(content.size(), thread_count, 8));
    run_in_pieces(chunks.size(), thread_count, [&](uint64_t c) { count_chunk_lines(chunks[c], seed_size); });

    // Line numbers and tag positions run on from chunk to chunk.
    uint64_t lines = 0;
    uint64_t kept = tag_vet.size();
    bool sum_too_large = false;
    uint64_t discarded_reads = tags.discarded_reads;
    for (file_chunk & chunk : chunks)
    {
        chunk.first_line = lines;
        chunk.first_tag = kept;
        lines += chunk.lines;
        kept += chunk.kept;
        sum_too_large = sum_too_large || chunk.sum_too_large ||
                        __builtin_add_overflow(discarded_reads, chunk.discarded_reads, &discarded_reads);
        std::vector<uint64_t> & by_length = tags.discarded_reads_by_length;
        if (by_length.size() < chunk.discarded_by_length.size())
            by_length.resize(chunk.discarded_by_length.size(), 0);
        for (std::size_t length = 0; length < chunk.discarded_by_length.size(); ++length)
            by_length[length] += chunk.discarded_by_length[length];
    }
    // tag_index and the line counters hold 32 bits.
    if (lines > std::numeric_limits<uint32_t>::max())
    {
        report.messages.push_back({true, tag_file + ": more than 4294967295 lines (" + std::to_string(lines) +
                                             "); mirsight numbers tags with 32 bits: split the file"});
        report.status = -1;
        return report;
    }
    tags.discarded_tag += static_cast<uint32_t>(lines - (kept - tag_vet.size()));
    tags.discarded_reads = discarded_reads;
    reserve_prefaulted(tag_vet, kept, thread_count);
    tag_vet.resize(kept);
    uint64_t letters = 0;
    for (file_chunk const & chunk : chunks)
        letters += chunk.letters;
    tags.letter_blocks.push_back(allocate_letter_store(letters));
    seqan::Rna5 * next_letter = tags.letter_blocks.back().get();
    prefault_in_chunks(next_letter, letters, thread_count);
    for (file_chunk & chunk : chunks)
    {
        chunk.first_letter = next_letter;
        next_letter += chunk.letters;
    }

    std::array<unsigned char, 256> const symbols = symbol_table(rna_conversion);
    run_in_pieces(chunks.size(), thread_count,
                  [&](uint64_t c) { parse_chunk(chunks[c], tag_file, symbols, seed_size, tag_vet); });

    // The first warnings of each kind in line order; the others counted.
    uint64_t shown[2] = {0, 0};
    uint64_t counted[2] = {0, 0};
    for (file_chunk & chunk : chunks)
    {
        for (auto & warning : chunk.warnings)
        {
            int const kind = warning.first == count_reading::missing ? 0 : 1;
            if (shown[kind]++ < shown_warnings)
                report.messages.push_back({false, std::move(warning.second)});
        }
        counted[0] += chunk.warning_counts[0];
        counted[1] += chunk.warning_counts[1];
    }
    char const * const kinds[2] = {"lines with a read count missing or not a number",
                                   "read counts with text after their digits"};
    for (int kind = 0; kind < 2; ++kind)
        if (counted[kind] > shown_warnings)
            report.messages.push_back({false, tag_file + ": " + std::to_string(counted[kind] - shown_warnings) +
                                                  " more " + kinds[kind] + " not shown (" +
                                                  std::to_string(counted[kind]) + " in all)"});
    for (file_chunk const & chunk : chunks)
        if (chunk.first_too_large_line != 0)
        {
            report.messages.push_back({true, tag_file + ":" + std::to_string(chunk.first_too_large_line)
                                                 + ": read count does not fit in 64 bits (at most 18446744073709551615)"});
            report.status = -1;
            return report;
        }
    uint64_t sum = discarded_reads;
    for (tag_vet_t const & tag : tag_vet)
        sum_too_large = sum_too_large || __builtin_add_overflow(sum, tag.tag_count, &sum);
    if (sum_too_large)
    {
        report.messages.push_back({true, tag_file + ": the read counts add up to more than "
                                                    "18446744073709551615 (2^64-1); no total can hold them"});
        report.status = -1;
        return report;
    }
    tags.tot_total_tag_count = static_cast<uint32_t>(lines);
    if (tag_vet.empty())
        report.messages.push_back({false, tag_file + ": no tag is longer than the seed ("
                                              + std::to_string(seed_size) + " letters); no tag can map"});
    return report;
}

int32_t print_tag_load_report(tag_load_report const & report)
{
    for (tag_load_report::message const & m : report.messages)
    {
        if (m.error)
            print_error(m.text);
        else
            print_warning(m.text);
    }
    return report.status;
}
