#pragma once
#include <cstdint>
#include <string>

// Loads the tag-count file into tag_vet and sets tot_total_tag_count and
// discarded_tag. Returns 0; -2 when the file cannot be opened (reported on
// standard error).
int32_t load_reads_db_buffer(std::string const & tag_file, bool rna_conversion, uint32_t seed_size);
