#pragma once
#include <cstdint>
#include <string>

// Loads the tag-count file into tag_vet and sets tot_total_tag_count and
// discarded_tag. Returns 0; -2 when the file cannot be opened, -1 when it
// cannot be read (both reported on standard error).
int32_t load_reads_db_buffer(std::string const & tag_file, bool rna_conversion, uint32_t seed_size);

// load_reads_db_buffer with the lines parsed by thread_count threads (0
// counts as 1). The tags, counters and warnings are the same for any count.
int32_t load_reads_db_buffer_threads(std::string const & tag_file, bool rna_conversion,
                                     uint32_t seed_size, uint32_t thread_count);
