// The precursors' guard of the sensitive mode: a tag that lies letter for
// letter in a precursor, but not where a copy of its best miRNA would put
// it, is a fragment of that precursor (loop, flank, the other arm), not an
// isomiR, and loses its alignments.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/run_state.hpp"
#include "core/search_parameters.hpp"

// One precursor: its species code (up to three characters) and its letters
// (A, C, G, U, N).
struct precursor_letters
{
    std::string specie_code;
    std::string letters;
};

// The precursors with every position of each `key_length`-letter stretch
// (letters A, C, G, U only), sorted by the stretch's two-bit code.
struct precursor_index
{
    static constexpr uint32_t key_length = 12;
    struct entry
    {
        uint32_t key = 0;
        uint32_t precursor = 0;
        uint32_t position = 0;
    };
    std::vector<precursor_letters> precursors;
    std::vector<entry> entries;
    // The entries whose key's first prefix_letters letters have code c are
    // entries[first_with_prefix[c] .. first_with_prefix[c + 1]).
    static constexpr uint32_t prefix_letters = 8;
    std::vector<uint32_t> first_with_prefix;
};

precursor_index build_precursor_index(std::vector<precursor_letters> precursors);

// What the precursors accept: alignments of cost (T + L - 2M) up to
// max_cost as they are; costlier ones, up to the search's limit, only when
// vouched for: the tag laid on a precursor copy of the miRNA, on the
// alignment's diagonal, has at most max_mismatches mismatches before its
// last max_tail letters (which may be an untemplated 3' tail, whether or not
// some of them match the precursor), and no letter before the precursor's
// first.
struct precursor_rules
{
    int64_t max_cost = 7;
    int64_t max_mismatches = 2;
    int64_t max_tail = untemplated_tail_letters;
    // Alignments within a cost of near_cost of the best, on miRNAs of
    // different sequences, are scored on their precursors (2 per mismatch,
    // 1 per untemplated 3' letter, 1 per end of the tag that is not the
    // miRNA's): the one scored lowest is counted; when miRNAs of different
    // sequences score the same, the cheaper is counted only when it costs
    // less by at least that score (at least 1), else the tag is not.
    int64_t near_cost = precursor_near_cost;
};

// For every tag of `tag_vet` with alignments (the best first): when the tag
// occurs letter for letter in a precursor of its best miRNA's species and
// no occurrence has a copy of that miRNA on the alignment's diagonal, the
// tag is a precursor fragment and loses every alignment (unless a place
// faces a copy of another miRNA it aligns to); otherwise it loses the
// alignments costlier than rules.max_cost that no precursor vouches for
// (the others keep their order), and the precursors decide between near
// equal alignments (precursor_rules::near_cost; the verdict is set on the
// first alignment). Tags shorter than key_length are
// never fragments. Runs on thread_count threads; returns the number of
// tags that lost every alignment.
uint64_t guard_with_precursors(precursor_index const & index, precursor_rules const & rules,
                               std::vector<seed_vet_t> const & seed_vet, std::vector<tag_vet_t> & tag_vet,
                               uint32_t thread_count);
