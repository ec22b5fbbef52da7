// Read collapsing: zlib decompresses (or passes plain files through), the
// library's sequence reader parses the records, a hash table counts them.
#include "collapse/collapse_reads.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <functional>
#include <istream>
#include <iterator>
#include <streambuf>
#include <string_view>
#include <utility>

#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <seqan/seq_io.h>

#include "core/messages.hpp"

namespace
{
// A read-only stream buffer over a file opened with zlib: gzip data
// (one or several members) are decompressed, anything else is read as it
// is. A damaged or cut-short gzip member is an error, kept in `error`.
class gzip_input_buffer : public std::streambuf
{
public:
    explicit gzip_input_buffer(gzFile file) : file_(file), buffer_(1u << 18) {}

    std::string const & error() const { return error_; }

protected:
    int_type underflow() override
    {
        if (gptr() < egptr())
            return traits_type::to_int_type(*gptr());
        if (!error_.empty())
            return traits_type::eof();
        // Keep the last bytes before the new data so that the reader can
        // step back over them.
        std::size_t kept = 0;
        if (eback() != nullptr)
        {
            kept = std::min<std::size_t>(putback_size, static_cast<std::size_t>(egptr() - eback()));
            std::memmove(buffer_.data(), egptr() - kept, kept);
        }
        int const got = gzread(file_, buffer_.data() + kept, static_cast<unsigned>(buffer_.size() - kept));
        if (got <= 0)
        {
            int code = Z_OK;
            char const * message = gzerror(file_, &code);
            if (got < 0 || (code != Z_OK && code != Z_STREAM_END))
                error_ = without_path(message != nullptr && *message != '\0' ? message : "read error");
            setg(buffer_.data(), buffer_.data() + kept, buffer_.data() + kept);
            return traits_type::eof();
        }
        setg(buffer_.data(), buffer_.data() + kept, buffer_.data() + kept + got);
        return traits_type::to_int_type(*gptr());
    }

private:
    // zlib starts its messages with "<path>: "; the caller names the file.
    std::string without_path(std::string const & message) const
    {
        std::size_t const cut = message.rfind(": ");
        return cut == std::string::npos ? message : message.substr(cut + 2);
    }

    static constexpr std::size_t putback_size = 16;
    gzFile file_;
    std::vector<char> buffer_;
    std::string error_;
};

// Closes a zlib file when it goes out of scope.
struct gzip_file_closer
{
    gzFile file;
    ~gzip_file_closer()
    {
        if (file != nullptr)
            gzclose(file);
    }
};

bool is_blank_or_control(unsigned char c)
{
    return c <= ' ' || c == 0x7F;
}

// The first byte of the stream that is not white space, or EOF.
std::streambuf::int_type first_visible_byte(std::streambuf & buffer)
{
    using traits = std::streambuf::traits_type;
    for (auto c = buffer.sgetc(); c != traits::eof(); c = buffer.snextc())
        if (!is_blank_or_control(static_cast<unsigned char>(traits::to_char_type(c))))
            return c;
    return traits::eof();
}
// Reports a record that cannot be read; damaged compressed data, the
// cause of the bad record, are named rather than the record's fault.
// Returns -1.
int32_t record_error(std::string const & path, uint64_t record, gzip_input_buffer const & buffer,
                     std::string const & reason)
{
    print_error("cannot read reads file '" + path + "', record " + std::to_string(record) + ": " +
                (buffer.error().empty() ? reason : buffer.error()));
    return -1;
}
// Doubles the slots of the table (at least 1024) and places every
// sequence again by its kept hash.
void grow_table(sequence_counts & counts)
{
    std::vector<counted_sequence> old_slots(std::max<std::size_t>(1024, counts.slots.size() * 2));
    old_slots.swap(counts.slots);
    std::size_t const mask = counts.slots.size() - 1;
    for (counted_sequence const & slot : old_slots)
    {
        if (slot.count == 0)
            continue;
        std::size_t i = static_cast<std::size_t>(slot.hash) & mask;
        while (counts.slots[i].count != 0)
            i = (i + 1) & mask;
        counts.slots[i] = slot;
    }
}

// Adds `reads` reads of `sequence`, whose hash is `hash`, to `counts`,
// which has a free slot.
void add_hashed_sequence(sequence_counts & counts, std::string const & sequence, uint64_t hash, uint64_t reads)
{
    std::size_t const mask = counts.slots.size() - 1;
    for (std::size_t i = static_cast<std::size_t>(hash) & mask;; i = (i + 1) & mask)
    {
        counted_sequence & slot = counts.slots[i];
        if (slot.count == 0)
        {
            slot = counted_sequence{hash, reads, counts.letters.size(), sequence.size()};
            counts.letters += sequence;
            ++counts.distinct;
            return;
        }
        if (slot.hash == hash && slot.length == sequence.size() &&
            counts.letters.compare(slot.offset, slot.length, sequence) == 0)
        {
            slot.count += reads;
            return;
        }
    }
}
}  // namespace

void upper_case_sequence(std::string & sequence)
{
    for (char & c : sequence)
    {
        unsigned char const byte = static_cast<unsigned char>(c);
        if (byte >= 'a' && byte <= 'z')
            c = static_cast<char>(byte - ('a' - 'A'));
        else if (is_blank_or_control(byte))
            c = 'N';
    }
}

namespace
{
// count_reads on at most read_batch_size reads.
void count_batch(std::string * reads, std::size_t read_count, length_limits const & limits, sequence_counts & counts,
                 collapse_summary & summary)
{
    // Room for every read of the batch, so that the slots fetched below
    // stay where they are.
    while ((counts.distinct + read_count) * 2 > counts.slots.size())
        grow_table(counts);
    std::size_t const mask = counts.slots.size() - 1;

    uint64_t hashes[read_batch_size];
    bool kept[read_batch_size];
    for (std::size_t i = 0; i < read_count; ++i)
    {
        ++summary.reads_read;
        uint64_t const length = reads[i].size();
        kept[i] = false;
        if (length < limits.min_length)
            ++summary.reads_too_short;
        else if (length > limits.max_length)
            ++summary.reads_too_long;
        else
            kept[i] = true;
        if (!kept[i])
            continue;
        ++summary.reads_kept;
        upper_case_sequence(reads[i]);
        hashes[i] = std::hash<std::string_view>{}(reads[i]);
        __builtin_prefetch(&counts.slots[static_cast<std::size_t>(hashes[i]) & mask]);
    }
    for (std::size_t i = 0; i < read_count; ++i)
    {
        if (!kept[i])
            continue;
        counted_sequence const & first = counts.slots[static_cast<std::size_t>(hashes[i]) & mask];
        if (first.count != 0 && first.hash == hashes[i])
            __builtin_prefetch(counts.letters.data() + first.offset);
    }
    for (std::size_t i = 0; i < read_count; ++i)
        if (kept[i])
            add_hashed_sequence(counts, reads[i], hashes[i], 1);
}
}  // namespace

void count_reads(std::vector<std::string> & reads, std::size_t read_count, length_limits const & limits,
                 sequence_counts & counts, collapse_summary & summary)
{
    for (std::size_t begin = 0; begin < read_count; begin += read_batch_size)
        count_batch(reads.data() + begin, std::min(read_batch_size, read_count - begin), limits, counts, summary);
}

void add_sequence(sequence_counts & counts, std::string const & sequence, uint64_t reads)
{
    if ((counts.distinct + 1) * 2 > counts.slots.size())
        grow_table(counts);
    add_hashed_sequence(counts, sequence, std::hash<std::string_view>{}(sequence), reads);
}

int32_t collapse_read_file(std::string const & path, length_limits const & limits, sequence_counts & counts,
                           collapse_summary & summary)
{
    return collapse_read_file_or_take(path, limits, counts, summary, nullptr);
}

int32_t collapse_read_file_or_take(std::string const & path, length_limits const & limits, sequence_counts & counts,
                                   collapse_summary & summary, std::string * other)
{
    bool const from_standard_input = path == "-";
    struct stat info;
    if (!from_standard_input && stat(path.c_str(), &info) != 0)
    {
        print_error("cannot open reads file '" + path + "': " + std::strerror(errno));
        return -2;
    }
    if (!from_standard_input && S_ISDIR(info.st_mode))
    {
        print_error("cannot open reads file '" + path + "': Is a directory");
        return -2;
    }
    errno = 0;
    gzip_file_closer closer{from_standard_input ? gzdopen(dup(0), "rb") : gzopen(path.c_str(), "rb")};
    if (closer.file == nullptr)
    {
        print_error("cannot open reads file '" + path + "': " +
                    (errno != 0 ? std::strerror(errno) : "cannot be opened"));
        return -2;
    }
    gzbuffer(closer.file, 1u << 18);
    gzip_input_buffer buffer(closer.file);
    std::istream stream(&buffer);

    auto const first = first_visible_byte(buffer);
    if (first == std::streambuf::traits_type::eof())
    {
        if (!buffer.error().empty())
        {
            print_error("cannot read reads file '" + path + "': " + buffer.error());
            return -1;
        }
        return 0;  // an empty file holds no reads
    }
    char const first_letter = std::streambuf::traits_type::to_char_type(first);
    if (first_letter != '@' && first_letter != '>' && other != nullptr)
    {
        other->assign(std::istreambuf_iterator<char>(&buffer), std::istreambuf_iterator<char>());
        if (!buffer.error().empty())
        {
            print_error("cannot read file '" + path + "': " + buffer.error());
            return -1;
        }
        return 1;
    }
    if (first_letter != '@' && first_letter != '>')
    {
        print_error("reads file '" + path + "' is neither FASTQ (starting with '@') nor FASTA (starting with '>')");
        return -1;
    }

    bool const is_fastq = first_letter == '@';
    uint64_t record = 0;
    try
    {
        seqan::SeqFileIn reads;
        if (!seqan::open(reads, stream))
        {
            print_error("reads file '" + path + "' is neither FASTQ nor FASTA");
            return -1;
        }
        seqan::CharString id;
        seqan::CharString letters;
        seqan::CharString qualities;
        std::vector<std::string> batch(read_batch_size);
        std::size_t batched = 0;
        while (!seqan::atEnd(reads))
        {
            ++record;
            seqan::readRecord(id, letters, qualities, reads);
            if (is_fastq && seqan::length(qualities) != seqan::length(letters))
                return record_error(path, record, buffer, "the quality line is shorter than the sequence");
            batch[batched++].assign(seqan::begin(letters, seqan::Standard()), seqan::end(letters, seqan::Standard()));
            if (batched == read_batch_size)
            {
                count_reads(batch, batched, limits, counts, summary);
                batched = 0;
            }
        }
        count_reads(batch, batched, limits, counts, summary);
    }
    catch (std::exception const & problem)
    {
        return record_error(path, record, buffer, problem.what());
    }
    if (!buffer.error().empty())
    {
        print_error("cannot read reads file '" + path + "': " + buffer.error());
        return -1;
    }
    return 0;
}

std::vector<tag_count> ordered_tags(sequence_counts const & counts)
{
    std::string_view const letters = counts.letters;
    std::vector<tag_count> tags;
    tags.reserve(counts.distinct);
    for (counted_sequence const & slot : counts.slots)
        if (slot.count != 0)
            tags.push_back(tag_count{letters.substr(slot.offset, slot.length), slot.count});
    std::sort(tags.begin(), tags.end(), [](tag_count const & a, tag_count const & b) {
        if (a.count != b.count)
            return a.count > b.count;
        return a.sequence < b.sequence;
    });
    return tags;
}

int32_t write_tag_counts(std::FILE * out, std::string const & name, std::vector<tag_count> const & tags)
{
    std::string chunk;
    chunk.reserve(1u << 20);
    bool failed = false;
    for (tag_count const & tag : tags)
    {
        chunk += tag.sequence;
        chunk += '\t';
        chunk += std::to_string(tag.count);
        chunk += '\n';
        if (chunk.size() >= (1u << 20) - 4096)
        {
            failed = failed || std::fwrite(chunk.data(), 1, chunk.size(), out) != chunk.size();
            chunk.clear();
        }
    }
    failed = failed || std::fwrite(chunk.data(), 1, chunk.size(), out) != chunk.size();
    failed = failed || std::fflush(out) != 0;
    if (failed)
    {
        print_error("cannot write tag-count file '" + name + "': " + std::strerror(errno));
        return -1;
    }
    return 0;
}

int32_t write_tag_counts(std::string const & path, std::string const & name, std::vector<tag_count> const & tags)
{
    errno = 0;
    std::FILE * out = std::fopen(path.c_str(), "wb");
    if (out == nullptr)
    {
        print_error("cannot write tag-count file '" + name + "': " + std::strerror(errno));
        return -1;
    }
    int32_t status = write_tag_counts(out, name, tags);
    if (std::fclose(out) != 0 && status == 0)
    {
        print_error("cannot write tag-count file '" + name + "': " + std::strerror(errno));
        status = -1;
    }
    return status;
}
