// The five numbers that shape the seed search and the ungapped extension.
#pragma once

#include <cstdint>

struct search_parameters
{
    uint32_t min_tag_length = 10;  // an alignment must be longer than this after one substitution
    uint32_t tag_begin = 4;        // its exact part must start before this tag position
    uint32_t begin_seed = 1;       // where the seed starts in each miRNA (0-based)
    uint32_t end_seed = 7;         // where it ends, for the site flags
    uint32_t seed_size = 6;
};
