// Sequencing errors folded back into their tags. A read with a substitution,
// an inserted or a dropped letter (or an N) inside its insert becomes a tag
// of its own, which, carrying one change more than the tag it was read
// from, may be counted on no miRNA. Such a tag (on no miRNA, in no class,
// and not lying letter for letter in a precursor, where it would be a
// molecule of its own) that is one such change away from a tag counted on
// a miRNA with at least `fold_ratio` times its reads is taken as that tag's
// error: its reads (and molecules) are added to it.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/run_state.hpp"
#include "export/precursor_location.hpp"
#include "sample/other_rna_classes.hpp"

inline constexpr uint64_t fold_ratio = 5;

// The tags to fold: for each, by tag_index, the tag_index of the tag it is
// an error of.
struct error_folds
{
    struct fold
    {
        uint32_t from = 0;  // positions in tag_vet, until the tags are folded
        uint32_t to = 0;
    };
    std::vector<fold> folds;                      // by position of the tag folded
    std::unordered_map<uint32_t, uint32_t> into;  // the same by tag_index
    uint64_t reads = 0;                           // the folded tags' reads
};

// The tags of `tags` (their alignments found, guarded and the classes'
// tags placed in `placed`) that are errors of another, as the header
// says; `precursors` (nullptr: none given) tells the tags lying in a
// precursor of the species `species`. Of several tags a tag is an error
// of, the one of most reads, then the first. Nothing is changed.
error_folds find_error_folds(tag_table const & tags, class_assignment const & placed,
                             precursor_catalogue const * precursors, std::vector<std::string> const & species,
                             uint32_t thread_count);

// SAMPLE.folded.tsv: one line per folded tag, "sequence", "into" (the tag
// it was folded into; DNA letters), "reads" (its reads), by sequence.
inline constexpr char const * folded_table_ending = ".folded.tsv";
std::string folded_table_text(error_folds const & folds, tag_table const & tags);  // before fold_errors

// Adds each folded tag's reads to the tag it is an error of and takes it
// out of `tags`.
void fold_errors(error_folds const & folds, tag_table & tags);

// Whether `a` and `b` are one substitution, insertion or deletion apart
// (an N a letter like the others).
bool one_change_apart(tag_letters const & a, tag_letters const & b);
