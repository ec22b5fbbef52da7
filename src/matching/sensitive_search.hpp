// The search of the sensitive mode (bench/sensitive_mode.md): the seed
// pattern (parameters.sensitive.seed, such as 111010011101: 1 a letter
// that must match, 0 any letter) is placed at every start of every selected
// miRNA, and the letters under its 1s there (a "window") are indexed. A tag
// meets a miRNA where they share a window near the tag's 5' end; that
// diagonal is extended with a few mismatches, and an alignment is kept when
// it matches enough letters and leaves few unmatched. Each tag gets its
// best alignment per miRNA, in rank order.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "core/run_state.hpp"
#include "core/search_parameters.hpp"

// 128 bits: two bits for each of up to 64 letters (a GCC/Clang extension).
__extension__ typedef unsigned __int128 letter_bits;

// One selected miRNA of the window index, in mirna_index order.
struct indexed_mirna
{
    uint32_t seed_index = 0;
    uint32_t specie_index = 0;
    uint32_t mirna_vet_index = 0;
    rna_string const * sequence = nullptr;  // in the seed_vet the index was built from
    // Its letters and length, copied here so that a candidate is tested
    // without reading the sequence's own record.
    seqan::Rna5 const * letters = nullptr;
    int64_t length = 0;
    // Two bits per letter (letter i at bits 2i), when the sequence has at
    // most 64 letters and no N (`packed` true): for the overlap prefilter.
    letter_bits bits = 0;
    bool packed = false;
};

// One window occurrence: miRNA `mirna` (position in indexed_mirnas) holds
// the window at `position`. A tag window at `start` meets it on diagonal
// d = start - position, whose mark in the search's per-(miRNA, diagonal)
// table is at seen_base + start: seen_base is
// mirna * (2 * max_shift + 1) + max_shift - position, modulo 2^32.
struct window_entry
{
    uint32_t mirna = 0;
    uint32_t position = 0;
    uint32_t seen_base = 0;
};

// What the overlap prefilter reads of a miRNA, apart from its record:
// its first 32 letters' bits (as indexed_mirna::bits) and its length.
struct mirna_probe
{
    uint64_t bits = 0;
    uint32_t length = 0;
    // 1 when packed with at most 32 letters: all its bits lie in the low 64.
    uint32_t packed_short = 0;
};

// A window that holds N, by its code in base 5 (A0 C1 G2 U3 N4, the first
// letter the highest digit).
struct n_window_entry
{
    uint64_t code = 0;
    window_entry entry;
};

// A seed pattern ("111010011101": 1 a letter that must match, 0 any
// letter) as the search reads it.
struct seed_shape
{
    uint32_t span = 0;               // letters it covers
    std::vector<uint32_t> letters;   // the offsets of its 1s
    // Per 4 letters of a placement (its letters 4b to 4b + 3, two bits
    // each, as a byte): what they give to the key (seed_key).
    std::vector<std::array<uint32_t, 256>> key_of_byte;
};

// Every window of every selected miRNA. Windows of A, C, G and U only, by
// code (two bits a letter, the window's letter k, under the seed's k-th 1,
// at bits 2k): the entries
// of code c are entries[first[c] .. first[c + 1]), sorted by position,
// then miRNA. The windows that hold N (which only meet windows with N at
// the same places) in n_windows, sorted by code, position, miRNA.
struct window_index
{
    sensitive_parameters parameters;
    seed_shape seed;
    uint32_t end_seed = 7;
    std::vector<indexed_mirna> mirnas;
    std::vector<mirna_probe> probes;  // by position in mirnas
    std::vector<uint32_t> first;
    std::vector<window_entry> entries;
    std::vector<n_window_entry> n_windows;
};

// The index of the species entries of `mirna_db` whose code is selected
// (each entry once), for parameters.sensitive (a seed with 1 to 10 1s:
// 4^10 buckets at most).
window_index build_window_index(search_parameters const & parameters, mirna_db_tables const & mirna_db);

// Appends to each tag of tags.tag_vet its accepted alignments, the best one
// per miRNA, in rank order (lower cost T + L - 2M, fewer mismatches, smaller
// length difference, then mirna_index), on thread_count threads (0 counts as
// 1). The alignments lie in blocks added to tags.alignment_blocks, which the
// tags view (as after the seed search).
void sensitive_search_all_tags(window_index const & index, tag_table & tags, uint32_t thread_count);
