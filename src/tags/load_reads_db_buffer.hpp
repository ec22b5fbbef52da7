// Loading the tag-count file: one tag per line, its sequence, a tab, its reads.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/run_state.hpp"

// What loading the tag file has to say, kept to be printed later.
struct tag_load_report
{
    struct message
    {
        bool error = false;  // an error, or else a warning
        std::string text;
    };
    int32_t status = 0;             // 0; -2 when the file cannot be opened, -1 when it cannot be read
    std::vector<message> messages;  // in the order they are printed
};

// Loads the tag-count file into `tags` (tag_vet, tot_total_tag_count and
// discarded_tag), the lines parsed by thread_count threads (0 counts as 1);
// the tags, counters and messages are the same for any count. Prints
// nothing: its warnings and errors are returned, to be printed with
// print_tag_load_report. Touches nothing but `tags`, so it may run while the
// miRNA file is indexed on another thread.
tag_load_report load_reads_db_buffer(std::string const & tag_file, bool rna_conversion, uint32_t seed_size,
                                     uint32_t thread_count, tag_table & tags);

// load_reads_db_buffer on tag-count text already in memory; `tag_file` names
// it in messages.
tag_load_report load_tags_from_text(std::string_view text, std::string const & tag_file, bool rna_conversion,
                                    uint32_t seed_size, uint32_t thread_count, tag_table & tags);

// Prints the report's messages on standard error, in order; returns its status.
int32_t print_tag_load_report(tag_load_report const & report);
