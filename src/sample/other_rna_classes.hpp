// Reads of other small-RNA classes (rRNA, tRNA, snoRNA, YRNA, piRNA...),
// searched in the same pass as the miRNAs: every kept read ends in one box,
// a miRNA, one class, or unmapped. A tag goes to a class when the class's
// reference holds its whole sequence: exactly, or, for a tag no miRNA
// holds, with up to `max_substitutions` substitutions. A tag that is a
// miRNA exactly, or lies letter for letter in a precursor (a templated
// variant), stays a miRNA; a tag a miRNA holds only with changes goes to a
// class that holds it exactly (its reads are counted as moved). Among the
// classes, fewer substitutions first, then the classes' order.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/run_state.hpp"
#include "export/precursor_location.hpp"
#include "rna_classes/class_reference.hpp"

// A class as the command line names it: "rRNA=rrna.fa".
struct class_request
{
    std::string name;
    std::string fasta;
};

// Where the tags went, by class.
struct class_counts
{
    std::string name;
    std::vector<uint64_t> reads_by_record;  // by reference record, in file order
    uint64_t reads = 0;
    uint64_t tags = 0;
    uint64_t moved_reads = 0;  // of those, reads of tags a miRNA held only with changes
    uint64_t moved_tags = 0;
};

// The classes' tags: for each, its class and record, by tag_index.
struct class_assignment
{
    struct placed
    {
        uint32_t class_number = 0;
        uint32_t record = 0;
        bool moved = false;  // taken from a miRNA
    };
    std::unordered_map<uint32_t, placed> by_tag_index;
};

// Opens every class's reference (reading or building its index;
// open_class_reference). Returns 0, or 1 after an error naming the file.
int open_classes(std::vector<class_request> const & requests, std::string const & index_dir, std::ostream & log,
                 std::vector<class_reference> & classes);

// Places the tags of `tags` (their alignments found and guarded) in the
// classes, as the header says; a tag placed in a class loses its
// alignments. `precursors` (nullptr: none given) tells templated variants;
// `species` the species searched.
class_assignment assign_to_classes(std::vector<class_reference> const & classes, uint32_t max_substitutions,
                                   precursor_catalogue const * precursors, std::vector<std::string> const & species,
                                   uint32_t thread_count, tag_table & tags);

// Takes the placed tags out of `tags` (their counts as they are then: reads,
// or molecules) into each class's counts, in the classes' order.
std::vector<class_counts> take_class_tags(std::vector<class_reference> const & classes,
                                          class_assignment const & assignment, tag_table & tags);

// SAMPLE.class_<NAME>.tsv: "reference", "reads", one line per record with
// reads, by name; and the name's ending after the sample's prefix.
std::string class_table_ending(std::string const & name);
// The class tables of the sample `prefix` (DIR/SAMPLE) that are there now,
// of any class name (an earlier run's): PREFIX.class_<NAME>.tsv, NAME of
// letters, digits, '_' or '-'.
std::vector<std::string> class_tables_present(std::string const & prefix);
std::string class_table_header();
std::string class_table_text(class_reference const & reference, class_counts const & counts);
