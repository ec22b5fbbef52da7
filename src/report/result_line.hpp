// Field writers for the tab-separated result files: each appends one value,
// in result-file form, to a line under construction.
#pragma once
#include <cstdint>
#include <initializer_list>
#include <string>

#include "core/number_text.hpp"
#include "core/records.hpp"

// Append a tab, then the value: integers in decimal ("-" before a negative
// value), flags as "1" or "0", nucleotides as the letters A, C, G, U, N,
// texts exactly as stored.
void add_field(std::string & line, uint32_t value);
void add_field(std::string & line, uint64_t value);
void add_field(std::string & line, int32_t value);
void add_field(std::string & line, int64_t value);
void add_field(std::string & line, bool flag);
void add_field(std::string & line, rna_string const & seq);
void add_field(std::string & line, tag_letters const & seq);
void add_field(std::string & line, char_string const & text);
void add_field(std::string & line, quality_string const & text);

// Appends a tab, then a percentage: 10 significant digits, general
// notation, right-aligned in 10 characters ("      12.5", "33.33333588").
void add_percentage(std::string & line, float value);

// The four values that open every tag line: tag_index (no tab before it),
// tag_sequence, tag_quality and the read count.
void append_tag_fields(std::string & line, tag_vet_t const & tag);

// The aligned miRNA (mirna_index, mirna_info, mirna_seq) and the alignment's
// seed_index, begins, sizes, align_score and mir_tag_size_diff.
void add_mirna_alignment_fields(std::string & line, mirna_vet_t const & mirna, mirna_matched_vet_t const & a);

// mirna_exact and the seven isoform and site flags.
void add_alignment_flags(std::string & line, mirna_matched_vet_t const & a);

// The header line made of the column names, tab-separated, with its line feed.
std::string header_line(std::initializer_list<char const *> names);


