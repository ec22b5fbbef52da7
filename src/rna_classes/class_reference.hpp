// Reference sequences of the small-RNA classes other than miRNAs (rRNA,
// tRNA, snoRNA, snRNA, YRNA, piRNA, mRNA...), each class one FASTA file,
// indexed once and searched for whole tags, exactly or with a few
// substitutions.
//
// The index is SeqAn's bidirectional FM index of the class's records joined
// one after the other (in file order) in a text over A, C, G, T; its suffix
// arrays are sorted by libdivsufsort. A letter of the FASTA that is not A,
// C, G, T or U (any case) is an N: it stands in the text as some letter
// (chosen from its position, so that runs of N do not become runs of one
// letter) and is remembered, and every search counts it, like an N of the
// tag, as a substitution whatever letter faces it. A match lies within one
// record: a stretch across the end of one record and the start of the next
// is not a match.
//
// Only the forward strand of the references is searched: small-RNA reads
// are sense reads.
//
// The index is saved in a folder, `<fasta>.mirsight-index/` beside the FASTA
// or `<index_dir>/<FASTA's file name>.mirsight-index/`, whose manifest
// records the index format, the FASTA's SHA-256, its number of letters and
// records, and the size and checksum of every index file. It is loaded only
// when all of them match: an index made from another FASTA (the file
// changed) or of another format is rebuilt, and so is a damaged one (a file
// missing, cut short or changed), with a warning. A new index is written
// into a temporary folder beside the final one and renamed into place once
// complete, so that a build that is killed leaves no folder a later run
// would load.
#pragma once

#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "core/records.hpp"

// The most substitutions a search allows.
constexpr uint32_t max_class_substitutions = 4;

// The index of one class and what a search needs besides it (defined in
// class_reference.cpp): nobody outside this layer sees SeqAn's index types.
struct class_index;

// One class's reference, ready to search. A value: copies share the index,
// which is never changed once made.
struct class_reference
{
    std::string name;                       // the class's name, as the user gave it ("rRNA")
    std::string fasta;                      // the FASTA file's path
    std::string fasta_sha256;               // its SHA-256
    std::string index_folder;               // where the index was loaded from or saved; "" when in memory only
    std::vector<std::string> record_names;  // the first word of each FASTA header, in file order
    uint64_t letters = 0;                   // all records' letters
    std::shared_ptr<class_index const> index;
};

// Reads the FASTA `fasta` of the class `name` and loads its index from
// `index_dir` (or from beside the FASTA when `index_dir` is ""), or builds it
// and saves it there. When the index cannot be saved, the warning says why
// and the index is kept in memory for this run. Writes one line to `log`
// saying where the index came from. Returns 0, or -1 after an error naming
// the file (and the line): the FASTA cannot be read, has text before its
// first header, a header without a name, no record at all, or more than
// 2^31 - 2 letters.
int32_t open_class_reference(std::string const & name, std::string const & fasta, std::string const & index_dir,
                             class_reference & out, std::ostream & log);

// The folder the index of `fasta` is kept in, given `index_dir` as above.
std::string class_index_folder(std::string const & fasta, std::string const & index_dir);

// The index's identity for the provenance: its format and the SHA-256 of the
// FASTA it was made from (the same FASTA always gives the same index).
std::string index_id(class_reference const & ref);

// Where a tag lies in a class's reference.
struct class_match
{
    bool found = false;
    uint32_t substitutions = 0;  // the fewest found, N counted as a substitution
    uint32_t record = 0;         // in record_names: the first in file order among the best
    uint32_t position = 0;       // 0-based start of the match in that record (its first such start)

    bool exact() const { return found && substitutions == 0; }
};

// Whether the whole of `tag` occurs in some record of `ref` (forward strand)
// with at most `max_substitutions` substitutions (at most
// max_class_substitutions: more count as that many), and where: the fewest
// substitutions, then the first record, then the first position. An N of
// the tag or of the reference counts as a substitution. An empty tag matches
// nothing. Safe to call from several threads at once.
class_match find_in_class(class_reference const & ref, tag_letters const & tag, uint32_t max_substitutions);

// find_in_class for every tag, on thread_count threads (0 counts as 1); the
// result, one match per tag in the tags' order, is the same for any count.
std::vector<class_match> find_all_in_class(class_reference const & ref, std::vector<tag_letters> const & tags,
                                           uint32_t max_substitutions, uint32_t thread_count);

// A tag's class among several searched in order.
struct class_placement
{
    int32_t class_number = -1;  // the first class in which the tag was found; -1 in none
    class_match match;          // where in that class
};

// For every tag, the first of `classes` (in their order) in which
// find_in_class finds it, on thread_count threads; the same for any count.
std::vector<class_placement> place_in_classes(std::vector<class_reference> const & classes,
                                              std::vector<tag_letters> const & tags, uint32_t max_substitutions,
                                              uint32_t thread_count);
