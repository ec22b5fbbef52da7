// The tag-count loader on arbitrary text: it either refuses the file (a
// count beyond 64 bits) or counts every line and keeps only tags longer
// than the seed.
#include "fuzz_support.hpp"
#include "tags/load_reads_db_buffer.hpp"

extern "C" int LLVMFuzzerTestOneInput(uint8_t const * data, std::size_t size)
{
    if (size < 1)
        return 0;
    uint32_t const seed_size = 1 + data[0] % 8;
    bool const rna_conversion = (data[0] & 0x80) == 0;
    write_file(fuzz_file("tags.txt"), std::string(reinterpret_cast<char const *>(data + 1), size - 1));
    tag_table tags;
    int32_t const status = load_reads_db_buffer(fuzz_file("tags.txt"), rna_conversion, seed_size, 1, tags).status;
    if (status == -1)  // a count beyond 64 bits
        return 0;
    if (status != 0)
        std::abort();
    if (tags.tot_total_tag_count != tags.tag_vet.size() + tags.discarded_tag)
        std::abort();
    for (tag_vet_t const & tag : tags.tag_vet)
        if (tag.tag_sequence.size() <= seed_size || tag.tag_index == 0)
            std::abort();
    return 0;
}
