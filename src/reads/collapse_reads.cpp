// Read collapsing: ISA-L inflates gzip members (plain files pass through)
// into large chunks, the records are parsed in place (read_records.hpp), a
// hash table counts them.
#include "reads/collapse_reads.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <functional>
#include <istream>
#include <iterator>
#include <memory>
#include <new>
#include <streambuf>
#include <string_view>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <isa-l/igzip_lib.h>

#include "core/messages.hpp"

namespace
{
// What an ISA-L inflate error code means.
std::string inflate_error_text(int code)
{
    switch (code)
    {
    case ISAL_INVALID_BLOCK: return "damaged gzip data (invalid deflate block)";
    case ISAL_INVALID_SYMBOL: return "damaged gzip data (invalid deflate symbol)";
    case ISAL_INVALID_LOOKBACK: return "damaged gzip data (invalid distance too far back)";
    case ISAL_INVALID_WRAPPER: return "damaged gzip data (incorrect header)";
    case ISAL_UNSUPPORTED_METHOD: return "gzip data with an unknown compression method";
    case ISAL_INCORRECT_CHECKSUM: return "damaged gzip data (incorrect data check)";
    default: return "damaged gzip data";
    }
}

// A read-only stream buffer over a file descriptor: gzip data (one or
// several members) are decompressed with ISA-L, anything else is read as it
// is. A damaged or cut-short gzip member, or data after the last member
// that are not another member, is an error, kept in `error`.
class gzip_input_buffer : public std::streambuf
{
public:
    explicit gzip_input_buffer(int descriptor)
        : descriptor_(descriptor), state_(std::make_unique<inflate_state>()), input_(1u << 20), buffer_(1u << 16)
    {
    }
    ~gzip_input_buffer() override
    {
        if (descriptor_ >= 0)
            close(descriptor_);
    }
    gzip_input_buffer(gzip_input_buffer const &) = delete;
    gzip_input_buffer & operator=(gzip_input_buffer const &) = delete;

    std::string const & error() const { return error_; }

    // The first bytes of the file as they are on disk (before decompression).
    std::string const & first_raw_bytes() { fill_input(); return first_bytes_; }

protected:
    // Many bytes at once: what is buffered, then decompressed straight into `out`.
    std::streamsize xsgetn(char * out, std::streamsize count) override
    {
        std::streamsize done = std::min<std::streamsize>(count, egptr() - gptr());
        if (done > 0)
        {
            std::memcpy(out, gptr(), static_cast<std::size_t>(done));
            gbump(static_cast<int>(done));
        }
        while (done < count && error_.empty())
        {
            std::size_t const got = produce(out + done, static_cast<std::size_t>(count - done));
            if (got == 0)
                break;
            done += static_cast<std::streamsize>(got);
        }
        return done;
    }

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
        std::size_t const got = produce(buffer_.data() + kept, buffer_.size() - kept);
        setg(buffer_.data(), buffer_.data() + kept, buffer_.data() + kept + got);
        return got == 0 ? traits_type::eof() : traits_type::to_int_type(*gptr());
    }

private:
    // Reads more raw bytes when none are left; false at the end or on error.
    bool fill_input()
    {
        if (avail_in_ > 0)
            return true;
        if (at_end_)
            return false;
        ssize_t got = 0;
        do
            got = read(descriptor_, input_.data(), input_.size());
        while (got < 0 && errno == EINTR);
        if (got < 0)
        {
            error_ = std::strerror(errno);
            return false;
        }
        if (!started_)
        {
            started_ = true;
            first_bytes_.assign(input_.data(), static_cast<std::size_t>(std::min<ssize_t>(got, 8)));
            gzip_ = got >= 2 && static_cast<unsigned char>(input_[0]) == 0x1F &&
                    static_cast<unsigned char>(input_[1]) == 0x8B;
        }
        at_end_ = got == 0;
        next_in_ = reinterpret_cast<uint8_t *>(input_.data());
        avail_in_ = static_cast<std::size_t>(got);
        offset_ += static_cast<uint64_t>(got);
        return got > 0;
    }

    // Up to `room` bytes of content into `out`; 0 at the end or on error.
    std::size_t produce(char * out, std::size_t room)
    {
        if (!gzip_)
        {
            if (!fill_input())
                return 0;
            std::size_t const taken = std::min<std::size_t>(room, avail_in_);
            std::memcpy(out, next_in_, taken);
            next_in_ += taken;
            avail_in_ -= taken;
            return taken;
        }
        std::size_t produced = 0;
        while (produced == 0)
        {
            if (!inflating_)
            {
                // A new member must start with the gzip magic bytes.
                if (!fill_input())
                    return 0;  // the end of the file after a whole member
                if (avail_in_ < 2 && members_ > 0 && !wait_for_second_byte())
                    return 0;
                if (members_ > 0 && (next_in_[0] != 0x1F || next_in_[1] != 0x8B))
                {
                    error_ = "data after the end of the gzip stream (at byte " +
                             std::to_string(offset_ - avail_in_) + ") that are not gzip";
                    return 0;
                }
                isal_inflate_init(state_.get());
                state_->crc_flag = ISAL_GZIP;
                inflating_ = true;
            }
            // Inflate also with no input left: it may hold decoded bytes.
            bool const more = fill_input();
            if (!error_.empty())
                return 0;
            state_->next_in = next_in_;
            state_->avail_in = static_cast<uint32_t>(avail_in_);
            state_->next_out = reinterpret_cast<uint8_t *>(out);
            state_->avail_out = static_cast<uint32_t>(room);
            int const code = isal_inflate(state_.get());
            next_in_ = state_->next_in;
            avail_in_ = state_->avail_in;
            produced = room - state_->avail_out;
            if (code < 0)
            {
                error_ = inflate_error_text(code);
                return 0;
            }
            if (state_->block_state == ISAL_BLOCK_FINISH)
            {
                inflating_ = false;
                ++members_;
            }
            else if (!more && produced == 0)
            {
                error_ = "unexpected end of file";
                return 0;
            }
        }
        return produced;
    }

    // A second gzip member may start with one byte at the end of the buffer.
    bool wait_for_second_byte()
    {
        uint8_t const first = next_in_[0];
        ssize_t got = 0;
        do
            got = read(descriptor_, input_.data() + 1, input_.size() - 1);
        while (got < 0 && errno == EINTR);
        input_[0] = static_cast<char>(first);
        next_in_ = reinterpret_cast<uint8_t *>(input_.data());
        avail_in_ = 1 + static_cast<std::size_t>(std::max<ssize_t>(got, 0));
        offset_ += static_cast<uint64_t>(std::max<ssize_t>(got, 0));
        if (got <= 0)
        {
            at_end_ = true;
            error_ = "data after the end of the gzip stream (at byte " + std::to_string(offset_ - 1) +
                     ") that are not gzip";
            return false;
        }
        return true;
    }

    static constexpr std::size_t putback_size = 16;
    int descriptor_;
    std::unique_ptr<inflate_state> state_;
    std::vector<char> input_;
    std::vector<char> buffer_;
    uint8_t * next_in_ = nullptr;  // raw bytes read and not yet used
    std::size_t avail_in_ = 0;
    std::string error_;
    std::string first_bytes_;
    uint64_t offset_ = 0;   // raw bytes read so far
    uint64_t members_ = 0;  // gzip members read whole
    bool started_ = false;
    bool gzip_ = false;
    bool inflating_ = false;
    bool at_end_ = false;
};


bool is_blank_or_control(unsigned char c)
{
    return c <= ' ' || c == 0x7F;
}

// The first byte of the stream that is not white space, or EOF; the bytes
// passed over into `skipped`.
std::streambuf::int_type first_visible_byte(std::streambuf & buffer, std::string & skipped)
{
    using traits = std::streambuf::traits_type;
    for (auto c = buffer.sgetc(); c != traits::eof(); c = buffer.snextc())
    {
        char const byte = traits::to_char_type(c);
        if (!is_blank_or_control(static_cast<unsigned char>(byte)))
            return c;
        skipped += byte;
    }
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
// The text is taken in chunks this large (a record longer than that makes
// the chunk grow).
constexpr std::size_t text_chunk_size = std::size_t{1} << 22;

// Parses every record of `buffer` (the first at its next byte) into batches
// for `consume`; `record` counts them. False after the record `record`
// cannot be read, `error` saying why.
bool read_records(gzip_input_buffer & buffer, bool is_fastq, read_batch_consumer const & consume, uint64_t & record,
                  std::string & error)
{
    auto const parse = is_fastq ? parse_fastq_record : parse_fasta_record;
    std::vector<char> text(text_chunk_size);
    std::size_t kept = 0;  // text[0, kept): the start of a record not yet whole
    read_batch batch;
    batch.ends.reserve(reads_per_batch);
    for (bool last_chunk = false; !last_chunk;)
    {
        if (kept == text.size())
            text.resize(2 * text.size());
        std::size_t const room = text.size() - kept;
        std::size_t const got = static_cast<std::size_t>(buffer.sgetn(text.data() + kept,
                                                                      static_cast<std::streamsize>(room)));
        last_chunk = got < room;
        record_cursor cursor{text.data(), text.data() + kept + got, last_chunk};
        while (cursor.at < cursor.end)
        {
            ++record;
            parse_step const step = parse(cursor, batch, error);
            if (step == parse_step::error)
                return false;
            if (step == parse_step::need_more)
            {
                --record;
                break;
            }
            if (batch.size() == reads_per_batch || batch.letter_count() >= text_chunk_size / 4)
            {
                consume(batch);
                batch.clear();
            }
        }
        kept = static_cast<std::size_t>(cursor.end - cursor.at);
        std::memmove(text.data(), cursor.at, kept);
    }
    consume(batch);
    return true;
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
void add_hashed_sequence(sequence_counts & counts, std::string_view sequence, uint64_t hash, uint64_t reads)
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

std::string other_compression(std::string const & bytes)
{
    if (bytes.compare(0, 4, "\x28\xB5\x2F\xFD") == 0)
        return "zstd";
    if (bytes.compare(0, 3, "BZh") == 0)
        return "bzip2";
    if (bytes.compare(0, 6, std::string("\xFD\x37\x7A\x58\x5A\x00", 6)) == 0)
        return "xz";
    return "";
}

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
// count_sequences on at most read_batch_size reads.
void count_batch(std::string_view const * reads, std::size_t read_count, length_limits const & limits,
                 sequence_counts & counts, collapse_summary & summary)
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

void count_sequences(std::string_view const * sequences, std::size_t count, length_limits const & limits,
                     sequence_counts & counts, collapse_summary & summary)
{
    for (std::size_t begin = 0; begin < count; begin += read_batch_size)
        count_batch(sequences + begin, std::min(read_batch_size, count - begin), limits, counts, summary);
}

void count_reads(std::vector<std::string> & reads, std::size_t read_count, length_limits const & limits,
                 sequence_counts & counts, collapse_summary & summary)
{
    std::vector<std::string_view> sequences;
    sequences.reserve(read_count);
    for (std::size_t i = 0; i < read_count; ++i)
    {
        upper_case_sequence(reads[i]);
        sequences.emplace_back(reads[i]);
    }
    count_sequences(sequences.data(), read_count, limits, counts, summary);
}

void add_sequence(sequence_counts & counts, std::string_view sequence, uint64_t reads)
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
    std::vector<std::string_view> sequences;
    return read_sequence_batches(path, other, [&](read_batch & reads) {
        sequences.clear();
        for (std::size_t i = 0; i < reads.size(); ++i)
            sequences.push_back(reads.read(i));
        count_sequences(sequences.data(), sequences.size(), limits, counts, summary);
    }, [&] { return counts.distinct; });
}

int32_t read_sequence_batches(std::string const & path, std::string * other, read_batch_consumer const & consume,
                              std::function<std::size_t()> const & distinct_so_far)
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
    int const descriptor = from_standard_input ? dup(0) : open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0)
    {
        print_error("cannot open reads file '" + path + "': " +
                    (errno != 0 ? std::strerror(errno) : "cannot be opened"));
        return -2;
    }
    gzip_input_buffer buffer(descriptor);
    std::istream stream(&buffer);
    std::string const compression = other_compression(buffer.first_raw_bytes());
    if (!compression.empty())
    {
        print_error("reads file '" + path + "' is " + compression +
                    "-compressed, which mirsight does not read; decompress it, or compress it with gzip");
        return -1;
    }

    std::string skipped;  // a tag-count file's text may start with a tab: the empty tag
    auto const first = first_visible_byte(buffer, skipped);
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
        other->assign(skipped);
        other->append(std::istreambuf_iterator<char>(&buffer), std::istreambuf_iterator<char>());
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
    std::string parse_error;
    try
    {
        if (!read_records(buffer, is_fastq, consume, record, parse_error))
            return record_error(path, record, buffer, parse_error);
    }
    catch (std::bad_alloc const &)
    {
        print_error("out of memory while collapsing reads file '" + path + "', at record " + std::to_string(record) +
                    " (" + std::to_string(distinct_so_far()) + " distinct sequences so far)");
        return -1;
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
