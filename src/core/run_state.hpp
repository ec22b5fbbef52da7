// The state of one run: the seven tables and the counters, grouped by the
// stage that fills them. Each stage takes the groups it reads and writes as
// arguments; a fresh run state is `run_state{}`, and `state = {}` resets one.
//
// With --threads the seed index is built while the tags load: the index
// builder takes only `mirna_db_tables`, the tag loader only `tag_table`.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/records.hpp"

// The seed index and the species selection (filled by the miRNA-file stages).
struct mirna_db_tables
{
    std::vector<seed_vet_t> seed_vet;             // in ascending seed text order
    std::vector<std::string> specie_code_vet;     // every species code of the miRNA file
    std::vector<char_string> species_to_check_vet;  // the codes selected for the search
};

// Releases a block of allocate_letter_store.
struct letter_store_release
{
    void operator()(seqan::Rna5 * first) const;
};
using letter_store = std::unique_ptr<seqan::Rna5[], letter_store_release>;

// Room for `count` tag letters, not yet written: whoever fills it makes each
// letter (placement new) as it writes it, so that a large block is first
// touched by the threads filling it rather than cleared on one thread.
letter_store allocate_letter_store(std::size_t count);

// The tags and what loading them counted (filled by the tag loader; the
// search adds alignments to the tags).
struct tag_table
{
    std::vector<tag_vet_t> tag_vet;  // tags longer than the seed, in file order
    // The letters the tags of tag_vet (and their copies in the result
    // tables) view: one block per file loaded, its tags' letters one after
    // the other in file order.
    std::vector<letter_store> letter_blocks;
    // The alignments the tags view once the seed search has found them: one
    // block per piece of the table searched, its tags' alignments one after
    // the other in tag order.
    std::vector<std::vector<mirna_matched_vet_t>> alignment_blocks;
    uint32_t tot_total_tag_count = 0;  // lines of the tag-count file
    uint32_t discarded_tag = 0;        // lines whose tag was not longer than the seed
    uint64_t discarded_reads = 0;      // their reads
    std::vector<uint64_t> discarded_reads_by_length;  // the same by the tag's length
};

// What the seed search counted.
struct search_counters
{
    uint32_t mirna_elaborated = 0;  // (seed, selected species) passes
};

// The split of the mapped tags and the per-miRNA rows, with the read sums
// they are normalised by.
struct result_tables
{
    std::vector<result_mirna_uniq_ambig_vet_t> result_mirna_uniq_ambig_vet;  // in first-met tag order
    std::vector<tag_vet_t> result_tag_uniq_vet;   // tags with one alignment, in file order
    std::vector<tag_vet_t> result_tag_ambig_vet;  // tags with several, in file order
    uint64_t read_count_experiment = 0;           // reads of every kept tag
    uint64_t unique_reads_mapped_on_library = 0;
    uint64_t ambigue_reads_mapped_on_library = 0;
    // Decided once, after the split, by decide_counted_alignments: each
    // ambiguous tag's alignments are then in the order of the assignment
    // rule, and assigned[t] tells whether result_tag_ambig_vet[t] is counted
    // on its first alignment. Every table, the summary and the exports read
    // this decision; none makes it again.
    std::vector<uint8_t> assigned;  // 0 or 1 (bytes: threads fill neighbours)
};

// The alignment a unique tag is counted on (nullptr for a tag without one).
mirna_matched_vet_t const * counted_unique_alignment(tag_vet_t const & tag);

// The alignment ambiguous tag `t` of `results` is counted on: its first
// when it was assigned, else nullptr.
mirna_matched_vet_t const * counted_ambiguous_alignment(result_tables const & results, std::size_t t);

// The three totals of the log, summed while the tag tables are written.
struct mapped_totals
{
    uint64_t uniq_mapped_total_tags_count = 0;
    uint64_t ambigue_mapped_total_tag_count = 0;
    uint64_t ambigue_selected_mapped_total_tag_count = 0;
};

struct run_state
{
    mirna_db_tables mirna_db;
    tag_table tags;
    search_counters search;
    result_tables results;
    mapped_totals totals;
};

// Empties the seven tables and the tag table's stores (counters keep their
// values), the memory given back to the system as it is freed, on up to two
// of thread_count threads.
void free_all_structures(run_state & state, uint32_t thread_count);
