#pragma once
#include <cstdint>
#include <string>
#include <vector>

// Loads the tag-count file into tag_vet and sets tot_total_tag_count and
// discarded_tag. Returns 0; -2 when the file cannot be opened, -1 when it
// cannot be read (both reported on standard error).
int32_t load_reads_db_buffer(std::string const & tag_file, bool rna_conversion, uint32_t seed_size);

// load_reads_db_buffer with the lines parsed by thread_count threads (0
// counts as 1). The tags, counters and warnings are the same for any count.
int32_t load_reads_db_buffer_threads(std::string const & tag_file, bool rna_conversion,
                                     uint32_t seed_size, uint32_t thread_count);

// What loading the tag file has to say, kept to be printed later.
struct tag_load_report
{
    struct message
    {
        bool error = false;  // an error, or else a warning
        std::string text;
    };
    int32_t status = 0;             // as load_reads_db_buffer returns it
    std::vector<message> messages;  // in the order they are printed
};

// load_reads_db_buffer_threads without printing: its messages are returned.
// Touches no table or counter but tag_vet, tot_total_tag_count and
// discarded_tag, so it may run while the miRNA file is being read.
tag_load_report load_reads_db_buffer_quietly(std::string const & tag_file, bool rna_conversion,
                                             uint32_t seed_size, uint32_t thread_count);

// Prints the report's messages on standard error, in order; returns its status.
int32_t print_tag_load_report(tag_load_report const & report);
