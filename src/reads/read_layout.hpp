// What stands around the insert in a raw read: random letters at either
// end, a poly-A tail, the 3' adapter and a UMI after it; and the layouts of
// the library kits.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct read_layout
{
    std::string name;         // a kit's name, "found" (read from the reads), "given" (--adapter SEQ), "none"
    std::string adapter;      // the 3' adapter (A, C, G, T, N); empty: the reads are the inserts
    uint32_t cut_5p = 0;      // letters cut from the insert's 5' end (a kit's random letters, --trim-5p)
    uint32_t cut_3p = 0;      // letters cut from the insert's 3' end (before a poly-A tail)
    bool poly_a = false;      // a poly-A tail ends the insert (before the adapter, when there is one)
    uint32_t umi_length = 0;  // UMI letters right after the adapter
};

bool operator==(read_layout const & a, read_layout const & b);

// The layout in words, from the read's 5' end: "4 random letters, insert, 4
// random letters, adapter TGGAATTCTCGGGTGCCAAGG"; "reads are inserts" without
// an adapter.
std::string layout_text(read_layout const & layout);

// The layout's name and words: "nextflex (4 random letters, insert, ...)".
std::string named_layout_text(read_layout const & layout);

// The known kits, in a fixed order: illumina, neb, nextflex, qiaseq, polya.
std::vector<read_layout> const & kit_layouts();

// The kit called `name`, if there is one.
std::optional<read_layout> find_kit_layout(std::string const & name);

// The names of the kits, comma-separated, for messages.
std::string kit_names();

// True when `letters` is a usable adapter: not empty, only A, C, G, T, N,
// not only N.
bool is_valid_adapter(std::string const & letters);
