#include "report/result_line.hpp"

#include <charconv>
#include <cstdio>

#include "core/sequence_text.hpp"

void add_field(std::string & line, uint32_t value)
{
    add_field(line, static_cast<uint64_t>(value));
}

// Each field is appended in one step, its tab with it: the tables are made
// of millions of fields.
void add_field(std::string & line, uint64_t value)
{
    char text[24];
    text[0] = '\t';
    auto const written = std::to_chars(text + 1, text + sizeof text, value);
    line.append(text, static_cast<std::size_t>(written.ptr - text));
}

void add_field(std::string & line, int32_t value)
{
    add_field(line, static_cast<int64_t>(value));
}

void add_field(std::string & line, int64_t value)
{
    char text[24];
    text[0] = '\t';
    auto const written = std::to_chars(text + 1, text + sizeof text, value);
    line.append(text, static_cast<std::size_t>(written.ptr - text));
}

void add_field(std::string & line, bool flag)
{
    line.append(flag ? "\t1" : "\t0", 2);
}

namespace
{
// A tab and the letters A, C, G, U, N of [first, first + size), written in
// one step at the end of the line.
void add_letters(std::string & line, seqan::Rna5 const * first, std::size_t size)
{
    line += '\t';
    append_rna5_text(line, first, size);
}
}  // namespace

void add_field(std::string & line, rna_string const & seq)
{
    add_letters(line, seqan::begin(seq, seqan::Standard()), seqan::length(seq));
}

void add_field(std::string & line, tag_letters const & seq)
{
    add_letters(line, seq.begin(), seq.size());
}

void add_field(std::string & line, char_string const & text)
{
    line += '\t';
    line.append(seqan::begin(text, seqan::Standard()), seqan::length(text));
}

void add_field(std::string & line, quality_string const & text)
{
    line += '\t';
    line.append(seqan::begin(text, seqan::Standard()), seqan::length(text));
}

void add_percentage(std::string & line, float value)
{
    char text[48];
    int const size = std::snprintf(text, sizeof text, "%10.10g", static_cast<double>(value));
    line += '\t';
    if (size > 0)
        line.append(text, static_cast<std::size_t>(size));
}

std::string header_line(std::initializer_list<char const *> names)
{
    std::string line;
    for (char const * name : names)
    {
        if (!line.empty())
            line += '\t';
        line += name;
    }
    line += '\n';
    return line;
}

void append_tag_fields(std::string & line, tag_vet_t const & tag)
{
    append_unsigned(line, tag.tag_index);
    add_field(line, tag.tag_sequence);
    add_field(line, tag.tag_quality);
    add_field(line, tag.tag_count);
}

void add_mirna_alignment_fields(std::string & line, mirna_vet_t const & mirna, mirna_matched_vet_t const & a)
{
    add_field(line, mirna.mirna_index);
    add_field(line, mirna.mirna_info);
    add_field(line, mirna.mirna_seq);
    add_field(line, a.seed_index);
    add_field(line, a.begin_ungapped_mirna);
    add_field(line, a.begin_ungapped_tag);
    add_field(line, a.size_ungapped);
    add_field(line, a.size_ungapped_1);
    add_field(line, a.size_ungapped_2);
    add_field(line, a.align_score);
    add_field(line, a.mir_tag_size_diff);
}

void add_alignment_flags(std::string & line, mirna_matched_vet_t const & a)
{
    add_field(line, is_mirna_exact(a));
    add_field(line, a.iso_5p);
    add_field(line, a.iso_snp);
    add_field(line, a.iso_multi_snp);
    add_field(line, a.iso_3p);
    add_field(line, a.offset_site);
    add_field(line, a.suppl_compens_site);
    add_field(line, a.central_site);
}
