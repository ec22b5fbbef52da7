#include "reads/read_layout.hpp"

#include <tuple>

bool operator==(read_layout const & a, read_layout const & b)
{
    return std::tie(a.adapter, a.cut_5p, a.cut_3p, a.poly_a, a.umi_length) ==
           std::tie(b.adapter, b.cut_5p, b.cut_3p, b.poly_a, b.umi_length);
}

namespace
{
std::string random_letters(uint32_t count)
{
    return std::to_string(count) + (count == 1 ? " random letter" : " random letters");
}
}  // namespace

std::string layout_text(read_layout const & layout)
{
    if (layout.adapter.empty() && layout.cut_5p == 0 && layout.cut_3p == 0 && !layout.poly_a)
        return "reads are inserts";
    std::string text = layout.cut_5p > 0 ? random_letters(layout.cut_5p) + ", insert" : "insert";
    if (layout.cut_3p > 0)
        text += ", " + random_letters(layout.cut_3p);
    if (layout.poly_a)
        text += ", poly-A";
    if (!layout.adapter.empty())
        text += ", adapter " + layout.adapter;
    if (layout.umi_length > 0)
        text += ", " + std::to_string(layout.umi_length) + "-letter UMI";
    return text;
}

std::string named_layout_text(read_layout const & layout)
{
    return layout.name + " (" + layout_text(layout) + ")";
}

std::vector<read_layout> const & kit_layouts()
{
    static std::vector<read_layout> const kits = {
        {"illumina", "TGGAATTCTCGGGTGCCAAGG", 0, 0, false, 0},
        {"neb", "AGATCGGAAGAGCACACGTCT", 0, 0, false, 0},
        {"nextflex", "TGGAATTCTCGGGTGCCAAGG", 4, 4, false, 0},
        {"qiaseq", "AACTGTAGGCACCATCAAT", 0, 0, false, 12},
        {"polya", "AGATCGGAAGAGCACACGTCT", 3, 0, true, 0},
    };
    return kits;
}

std::optional<read_layout> find_kit_layout(std::string const & name)
{
    for (read_layout const & kit : kit_layouts())
        if (kit.name == name)
            return kit;
    return std::nullopt;
}

std::string kit_names()
{
    std::string names;
    for (read_layout const & kit : kit_layouts())
        names += (names.empty() ? "" : ", ") + kit.name;
    return names;
}

bool is_valid_adapter(std::string const & letters)
{
    return !letters.empty() && letters.find_first_not_of("ACGTN") == std::string::npos &&
           letters.find_first_not_of('N') != std::string::npos;
}
