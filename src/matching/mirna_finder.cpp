// Seed search: every selected (seed, species) pair is searched in every tag,
// and the leftmost occurrence of the seed is handed to ungapped_extension.
// Two engines give the same alignments: the one-pass seed lookup, and the
// reference that scans the tag table once per pass with Horspool.
#include "matching/mirna_finder.hpp"

#include <iostream>

#include <seqan/find.h>

#include "driver/globals.hpp"
#include "matching/seed_lookup.hpp"
#include "matching/ungapped_extension.hpp"

namespace
{
using seed_pattern = seqan::Pattern<rna_string, seqan::Horspool>;

// Finds the leftmost occurrence of the pattern's seed in the tag and stores
// its begin and end in `hit`. Returns false when the seed does not occur.
// Only the leftmost occurrence is ever extended, so the search stops there.
bool find_leftmost_seed(seed_pattern & pattern, rna_string const & tag, seed_in_tag_vet_t & hit)
{
    std::size_t const seed_length = seqan::length(seqan::needle(pattern));
    // The search would start reading at position seed_length - 1.
    if (seqan::length(tag) < seed_length)
        return false;

    seqan::Finder<rna_string const> finder(tag);
    if (!seqan::find(finder, pattern))
        return false;

    std::size_t const end = seqan::endPosition(finder);
    hit.seed_begin = static_cast<uint32_t>(end - seed_length);
    hit.seed_end = static_cast<uint32_t>(end);
    return true;
}

// Searches the seed in every tag and extends each leftmost occurrence with
// the miRNAs of species entry j of seed i.
void scan_all_tags(seed_pattern & pattern, uint32_t i, uint32_t j, uint32_t min_tag_length,
                   uint32_t tag_begin, uint32_t begin_seed, uint32_t end_seed, uint32_t seed_size)
{
    for (uint32_t t = 0; t < tag_vet.size(); ++t)
    {
        seed_in_tag_vet_t hit;
        if (!find_leftmost_seed(pattern, tag_vet[t].tag_sequence, hit))
            continue;
        ungapped_extension(min_tag_length, tag_begin, hit.seed_begin, hit.seed_end, i, j, t,
                           begin_seed, end_seed, seed_size);
    }
}

void print_log_line(char const * label, uint64_t value)
{
    std::cout << label << value << ";" << std::endl;
}

// The ten lines that close the search.
void print_search_lines(uint32_t min_tag_length, uint32_t tag_begin, uint32_t begin_seed,
                        uint32_t end_seed, uint32_t seed_size)
{
    print_log_line("min_tag_length = ", min_tag_length);
    print_log_line("tag_begin = ", tag_begin);
    print_log_line("begin_seed = ", begin_seed);
    print_log_line("end_seed = ", end_seed);
    print_log_line("seed_size = ", seed_size);
    print_log_line("seed_vet.size() = ", seed_vet.size());
    print_log_line("tag_vet.size() = ", tag_vet.size());
    print_log_line("tot_total_tag_count = ", tot_total_tag_count);
    print_log_line("discarded_tag = ", discarded_tag);
    print_log_line("mirna_elaborated = ", mirna_elaborated);
}
}  // namespace

int32_t mirna_finder(uint32_t min_tag_length, uint32_t tag_begin,
                     uint32_t begin_seed, uint32_t end_seed, uint32_t seed_size)
{
    return mirna_finder_threads(min_tag_length, tag_begin, begin_seed, end_seed, seed_size, 1);
}

int32_t mirna_finder_threads(uint32_t min_tag_length, uint32_t tag_begin,
                             uint32_t begin_seed, uint32_t end_seed, uint32_t seed_size,
                             uint32_t thread_count)
{
    std::vector<seed_pass_t> passes = list_seed_passes();
    if (!lookup_applies(passes, seed_size))
        return mirna_finder_reference(min_tag_length, tag_begin, begin_seed, end_seed, seed_size);

    mirna_elaborated += static_cast<uint32_t>(passes.size());  // one per pass, tags or not
    seed_lookup_t const lookup = build_seed_lookup(std::move(passes), seed_size);
    search_all_tags(lookup, {min_tag_length, tag_begin, begin_seed, end_seed, seed_size}, thread_count);

    print_search_lines(min_tag_length, tag_begin, begin_seed, end_seed, seed_size);
    return 0;
}

int32_t mirna_finder_reference(uint32_t min_tag_length, uint32_t tag_begin,
                               uint32_t begin_seed, uint32_t end_seed, uint32_t seed_size)
{
    for (uint32_t i = 0; i < seed_vet.size(); ++i)
    {
        seed_vet_t const & seed = seed_vet[i];
        if (seqan::empty(seed.seed_seq))
            continue;  // nothing to search for

        seed_pattern pattern(seed.seed_seq);  // shift table built once per seed
        for (uint32_t j = 0; j < seed.specie_vet.size(); ++j)
        {
            for (uint32_t k = 0; k < species_to_check_vet.size(); ++k)
            {
                if (!same_specie_code(seed.specie_vet[j].specie_code, species_to_check_vet[k]))
                    continue;
                scan_all_tags(pattern, i, j, min_tag_length, tag_begin, begin_seed, end_seed,
                              seed_size);
                ++mirna_elaborated;
            }
        }
    }

    print_search_lines(min_tag_length, tag_begin, begin_seed, end_seed, seed_size);
    return 0;
}
