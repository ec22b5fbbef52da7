// The mirGFF3 description of one tag on one precursor: its variant, its
// cigar and the read's license plate (UID).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// How a tag lies on a precursor.
struct isomir_description
{
    std::string variant;  // e.g. "iso_5p:-1,iso_3p:+2,iso_snv_seed", or "NA"
    std::string cigar;    // e.g. "11MA10M": M for a match, the precursor's letter for a mismatch
};

// Compares the whole `tag` with `precursor` (both in the letters A, C, G, U,
// N), the tag's first letter lying at precursor position `tag_start` and the
// mature at `mature_start` with `mature_length` letters (positions 0-based).
//
// Variant: the tag letters before the precursor's first (tag_start < 0)
// are non-templated 5' additions, "iso_add5p:N"; the templated part starts
// N letters upstream / downstream of the mature, "iso_5p:-N"/"iso_5p:+N";
// the trailing tag letters that do not match the precursor (or lie beyond
// its end) are non-templated additions, "iso_add3p:N"; the templated part
// then ends N letters after / before the mature's end,
// "iso_3p:+N"/"iso_3p:-N"; every other mismatch is a
// substitution named by its 1-based mature position: 2-7 "iso_snv_seed",
// 8 "iso_snv_central_offset", 9-12 "iso_snv_central", 13-17
// "iso_snv_central_supp", any other "iso_snv" (each name once). Written in
// the order iso_5p, iso_3p, iso_add3p, iso_add5p, substitutions,
// comma-separated; "NA" when there is no change.
//
// Cigar: runs of matches as "<n>M" ("M" for a single match), a mismatch as
// the precursor's letter in DNA letters (U written T), a letter before the
// precursor's start or beyond its end as "I".
isomir_description describe_isomir(std::string_view tag, std::string_view precursor, int64_t tag_start,
                                   uint64_t mature_start, uint64_t mature_length);
// The same into `description`, whose strings are reused (for writers that
// describe one tag after the other).
void describe_isomir(std::string_view tag, std::string_view precursor, int64_t tag_start, uint64_t mature_start,
                     uint64_t mature_length, isomir_description & description);

// The letters with U written as T (DNA letters).
std::string dna_letters(std::string const & letters);

// The read's license plate "iso-<length>-<code>": the read (A, C, G, U or T)
// in DNA letters is cut into 5-mers from the 5' end; a 5-mer with base-4
// value v (A=0, C=1, G=2, T=3, first letter most significant) gives the two
// letters ALPH[v/32] ALPH[v%32]; a last, shorter piece of L letters with value
// v gives n = 4 + 4^2 + ... + 4^(L-1) + v, written ALPH[n] when n < 32 and
// ALPH[n/32] ALPH[n%32] otherwise, with ALPH = "BD0EF1HI2JK3LM4NO5PQ6RS7UV8WX9YZ".
// Empty when the read holds any other letter.
std::string license_plate(std::string_view read);
// Appends the license plate to `out`; false (and `out` as it was) when the
// read has none.
bool append_license_plate(std::string & out, std::string_view read);
