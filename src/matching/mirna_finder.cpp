// Seed search: every selected (seed, species) pair is searched in every tag,
// and the leftmost occurrence of the seed is handed to ungapped_extension.
// Two engines give the same alignments: the one-pass seed lookup, and the
// reference that scans the tag table once per pass with Horspool.
#include "matching/mirna_finder.hpp"

#include <algorithm>
#include <ostream>

#include <seqan/find.h>

#include "matching/seed_lookup.hpp"
#include "matching/sensitive_search.hpp"
#include "matching/ungapped_extension.hpp"

namespace
{
using seed_pattern = seqan::Pattern<rna_string, seqan::Horspool>;

// Finds the leftmost occurrence of the pattern's seed in the tag and stores
// its begin and end in `hit`. Returns false when the seed does not occur.
// Only the leftmost occurrence is ever extended, so the search stops there.
// The tag's letters are searched in `haystack`, a copy kept from tag to tag.
bool find_leftmost_seed(seed_pattern & pattern, tag_letters const & tag, rna_string & haystack, seed_in_tag_vet_t & hit)
{
    std::size_t const seed_length = seqan::length(seqan::needle(pattern));
    // The search would start reading at position seed_length - 1.
    if (tag.size() < seed_length)
        return false;

    seqan::resize(haystack, tag.size());
    std::copy(tag.begin(), tag.end(), seqan::begin(haystack, seqan::Standard()));
    seqan::Finder<rna_string const> finder(haystack);
    if (!seqan::find(finder, pattern))
        return false;

    std::size_t const end = seqan::endPosition(finder);
    hit.seed_begin = static_cast<uint32_t>(end - seed_length);
    hit.seed_end = static_cast<uint32_t>(end);
    return true;
}

// Searches the seed in every tag and extends each leftmost occurrence with
// the miRNAs of species entry j of seed i.
void scan_all_tags(seed_pattern & pattern, uint32_t i, uint32_t j, search_parameters const & parameters,
                   std::vector<seed_vet_t> const & seed_vet, std::vector<tag_vet_t> & tag_vet)
{
    rna_string haystack;
    for (tag_vet_t & tag : tag_vet)
    {
        seed_in_tag_vet_t hit;
        if (!find_leftmost_seed(pattern, tag.tag_sequence, haystack, hit))
            continue;
        ungapped_extension(parameters, hit, seed_vet, i, j, tag);
    }
}

void print_log_line(std::ostream & log, char const * label, uint64_t value)
{
    log << label << value << ";" << std::endl;
}

// The ten lines that close the search.
void print_search_lines(search_parameters const & p, mirna_db_tables const & mirna_db, tag_table const & tags,
                        search_counters const & counters, std::ostream & log)
{
    print_log_line(log, "min_tag_length = ", p.min_tag_length);
    print_log_line(log, "tag_begin = ", p.tag_begin);
    print_log_line(log, "begin_seed = ", p.begin_seed);
    print_log_line(log, "end_seed = ", p.end_seed);
    print_log_line(log, "seed_size = ", p.seed_size);
    print_log_line(log, "seed_vet.size() = ", mirna_db.seed_vet.size());
    print_log_line(log, "tag_vet.size() = ", tags.tag_vet.size());
    print_log_line(log, "tot_total_tag_count = ", tags.tot_total_tag_count);
    print_log_line(log, "discarded_tag = ", tags.discarded_tag);
    print_log_line(log, "mirna_elaborated = ", counters.mirna_elaborated);
}

// The line that records the sensitive mode's parameters.
void print_sensitive_line(sensitive_parameters const & s, std::ostream & log)
{
    log << "sensitive = seed " << s.seed << ", max_shift " << s.max_shift << ", max_mismatches "
              << s.max_mismatches << ", min_matched " << s.min_matched << ", max_unmatched " << s.max_unmatched;
    if (s.vouched_max_unmatched > 0)
        log << ", vouched_max_unmatched " << s.vouched_max_unmatched;
    log << ";" << std::endl;
}

// The reference search: every pass scans the whole tag table.
void search_pass_by_pass(search_parameters const & parameters, mirna_db_tables const & mirna_db,
                         tag_table & tags, search_counters & counters)
{
    std::vector<seed_vet_t> const & seed_vet = mirna_db.seed_vet;
    for (uint32_t i = 0; i < seed_vet.size(); ++i)
    {
        seed_vet_t const & seed = seed_vet[i];
        if (seqan::empty(seed.seed_seq))
            continue;  // nothing to search for

        seed_pattern pattern(seed.seed_seq);  // shift table built once per seed
        for (uint32_t j = 0; j < seed.specie_vet.size(); ++j)
        {
            for (char_string const & selected : mirna_db.species_to_check_vet)
            {
                if (!same_specie_code(seed.specie_vet[j].specie_code, selected))
                    continue;
                scan_all_tags(pattern, i, j, parameters, seed_vet, tags.tag_vet);
                ++counters.mirna_elaborated;
            }
        }
    }
}
}  // namespace

int32_t mirna_finder(search_parameters const & parameters, mirna_db_tables const & mirna_db, tag_table & tags,
                     search_counters & counters, uint32_t thread_count, std::ostream & log, seed_search search)
{
    if (parameters.sensitive.on)
    {
        // The passes are counted as the seed search would count them.
        counters.mirna_elaborated += static_cast<uint32_t>(list_seed_passes(mirna_db).size());
        sensitive_search_all_tags(build_window_index(parameters, mirna_db), tags, thread_count);
        print_search_lines(parameters, mirna_db, tags, counters, log);
        print_sensitive_line(parameters.sensitive, log);
        return 0;
    }
    std::vector<seed_pass_t> passes;
    if (search == seed_search::lookup)
        passes = list_seed_passes(mirna_db);
    if (search == seed_search::reference || !lookup_applies(mirna_db.seed_vet, passes, parameters.seed_size))
    {
        search_pass_by_pass(parameters, mirna_db, tags, counters);
    }
    else
    {
        counters.mirna_elaborated += static_cast<uint32_t>(passes.size());  // one per pass, tags or not
        seed_lookup_t const lookup = build_seed_lookup(mirna_db.seed_vet, std::move(passes), parameters.seed_size);
        search_all_tags(lookup, parameters, mirna_db.seed_vet, tags, thread_count);
    }
    print_search_lines(parameters, mirna_db, tags, counters, log);
    return 0;
}
