// What the search of the sensitive mode (bench/sensitive_mode.md) costs in
// C++: a stand-alone program, not part of the tool, that runs the search,
// the acceptance rule and the choice of bench/sensitive_prototype.py over
// a miRNA file and a tag file and times them apart from the reading.
//
//   g++ -O3 -std=c++17 -o /tmp/sensitive_search_cost bench/sensitive_search_cost.cpp
//   /tmp/sensitive_search_cost MIRNA.txt TAGS.txt [SPECIES] [DECISIONS_OUT]
//
// Prints the time of the search and the counts of unique, ambiguous and
// assigned tags; DECISIONS_OUT gets one line per tag (sequence in U
// letters, "unique", "selected", "ambiguous" or "unmapped", the miRNA name)
// so that the decisions can be compared with the prototype's tables.
// The prototype's settings with --sensitive-window 7: window 7, shift 3, 2 mismatches, 14 letters
// matched, 5 letters unmatched; a tie between miRNAs of one sequence goes
// to the first of them.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

namespace {

constexpr int window = 7, max_shift = 3, max_mismatches = 2, min_matched = 14,
              max_unmatched = 5;

struct mirna_record
{
    std::string name;
    std::string seq;  // A, C, G, U, N
};

struct alignment
{
    uint32_t mirna = 0;
    int matched = 0, mismatches = 0, length_difference = 0, shift = 0;
};

uint8_t symbol_code(char c)
{
    switch (c) {
    case 'A': return 0;
    case 'C': return 1;
    case 'G': return 2;
    case 'U': return 3;
    default: return 4;
    }
}

std::string to_rna5(std::string const & text, bool t_is_u)
{
    std::string out(text.size(), 'N');
    for (size_t i = 0; i < text.size(); ++i) {
        char c = static_cast<char>(text[i] >= 'a' && text[i] <= 'z' ? text[i] - 32 : text[i]);
        if (t_is_u && text[i] == 'T')
            c = 'U';
        if (c == 'A' || c == 'C' || c == 'G' || c == 'U')
            out[i] = c;
    }
    return out;
}

std::vector<mirna_record> read_mirnas(char const * path, std::string const & species)
{
    std::ifstream in(path);
    std::vector<mirna_record> all;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty() && line[0] == '>')
            all.push_back({line.substr(1, line.find(' ') - 1), ""});
        else if (!all.empty())
            all.back().seq += to_rna5(line, false);
    }
    std::vector<mirna_record> selected;
    for (auto & m : all)
        if (m.name.compare(0, species.size(), species) == 0 && m.seq.size() >= window)
            selected.push_back(m);
    return selected;
}

// CSR index of every window of every miRNA by its base-5 code.
struct window_index
{
    std::vector<uint32_t> first;  // 5^window + 1
    std::vector<uint32_t> mirna;
    std::vector<uint8_t> position;
};

uint32_t power5(int n)
{
    uint32_t p = 1;
    while (n-- > 0)
        p *= 5;
    return p;
}

window_index build_index(std::vector<mirna_record> const & mirnas)
{
    uint32_t const keys = power5(window);
    window_index index;
    index.first.assign(keys + 1, 0);
    auto for_each_window = [&](auto && visit) {
        for (uint32_t m = 0; m < mirnas.size(); ++m) {
            std::string const & s = mirnas[m].seq;
            for (size_t q = 0; q + window <= s.size(); ++q) {
                uint32_t code = 0;
                for (int k = 0; k < window; ++k)
                    code = code * 5 + symbol_code(s[q + k]);
                visit(code, m, static_cast<uint8_t>(q));
            }
        }
    };
    for_each_window([&](uint32_t code, uint32_t, uint8_t) { ++index.first[code + 1]; });
    for (uint32_t k = 0; k < keys; ++k)
        index.first[k + 1] += index.first[k];
    index.mirna.resize(index.first[keys]);
    index.position.resize(index.first[keys]);
    std::vector<uint32_t> fill(index.first.begin(), index.first.end() - 1);
    std::vector<std::pair<uint8_t, uint32_t>> entries(index.mirna.size());
    for_each_window([&](uint32_t code, uint32_t m, uint8_t q) { entries[fill[code]++] = {q, m}; });
    // Within a window's entries, ascending position: a tag position scans
    // only the entries whose diagonal is within the shift.
    for (uint32_t k = 0; k < keys; ++k)
        std::sort(entries.begin() + index.first[k], entries.begin() + index.first[k + 1]);
    for (size_t e = 0; e < entries.size(); ++e) {
        index.position[e] = entries[e].first;
        index.mirna[e] = entries[e].second;
    }
    return index;
}

// Extension on diagonal d (tag letter j + d faces miRNA letter j), as
// extend_on_diagonal in the prototype. False when the rule rejects it.
bool extend(std::string const & tag, std::string const & mir, int d, alignment & a)
{
    int const T = static_cast<int>(tag.size()), L = static_cast<int>(mir.size());
    int j = std::max(0, -d);
    int const end = std::min(L, T - d);
    while (j < end && tag[j + d] != mir[j])
        ++j;
    int const a0 = j;
    int last_match_end = j, mismatches = 0, mismatches_before_end = 0;
    for (; j < end; ++j) {
        if (tag[j + d] == mir[j]) {
            last_match_end = j + 1;
            mismatches_before_end = mismatches;
        } else if (mismatches == max_mismatches) {
            break;
        } else {
            ++mismatches;
        }
    }
    a.mismatches = mismatches_before_end;
    a.matched = last_match_end - a0 - a.mismatches;
    a.length_difference = std::abs(L - T);
    a.shift = d;
    return a.matched >= min_matched && T + L - 2 * a.matched <= max_unmatched;
}

// Two bits per letter, letter i at bits 2i; false (nothing packed) for
// sequences longer than 64 letters or holding N.
bool pack(std::string const & seq, unsigned __int128 & bits)
{
    bits = 0;
    if (seq.size() > 64)
        return false;
    for (size_t i = 0; i < seq.size(); ++i) {
        uint8_t const c = symbol_code(seq[i]);
        if (c > 3)
            return false;
        bits |= static_cast<unsigned __int128>(c) << (2 * i);
    }
    return true;
}

struct packed_mirna
{
    unsigned __int128 bits = 0;
    int length = 0;
    bool usable = false;
};

int popcount128(unsigned __int128 x)
{
    return __builtin_popcountll(static_cast<uint64_t>(x)) +
           __builtin_popcountll(static_cast<uint64_t>(x >> 64));
}

// A necessary condition for extend() to accept diagonal d, without a walk:
// the letters matched lie in the overlap, so the overlap's matching
// letters must reach what the rule asks (at least min_matched, and
// T + L - 2 * matched <= max_unmatched).
bool may_pass(unsigned __int128 tag_bits, int T, packed_mirna const & m, int d)
{
    int const j0 = std::max(0, -d), j1 = std::min(m.length, T - d);
    int const overlap = j1 - j0;
    int const need = std::max(min_matched, (T + m.length - max_unmatched + 1) / 2);
    if (overlap < need)
        return false;
    unsigned __int128 x = (tag_bits >> (2 * (j0 + d))) ^ (m.bits >> (2 * j0));
    unsigned __int128 const low_bits = ~static_cast<unsigned __int128>(0) / 3;  // 0101...
    unsigned __int128 differs = (x | (x >> 1)) & low_bits;
    if (overlap < 64)
        differs &= (static_cast<unsigned __int128>(1) << (2 * overlap)) - 1;
    return overlap - popcount128(differs) >= need;
}

// Best first: more letters matched, fewer mismatches, smaller length difference.
bool better(alignment const & x, alignment const & y)
{
    if (x.matched != y.matched)
        return x.matched > y.matched;
    if (x.mismatches != y.mismatches)
        return x.mismatches < y.mismatches;
    return x.length_difference < y.length_difference;
}

bool same_rank(alignment const & x, alignment const & y)
{
    return !better(x, y) && !better(y, x);
}

}  // namespace

int main(int argc, char ** argv)
{
    if (argc < 3) {
        std::cerr << "usage: sensitive_search_cost MIRNA.txt TAGS.txt [SPECIES] [DECISIONS_OUT]\n";
        return 2;
    }
    std::string const species = argc > 3 ? argv[3] : "hsa";
    auto const t0 = std::chrono::steady_clock::now();
    std::vector<mirna_record> const mirnas = read_mirnas(argv[1], species);
    std::vector<std::string> tags;
    {
        std::ifstream in(argv[2]);
        std::string line;
        while (std::getline(in, line)) {
            std::string seq = line.substr(0, line.find('\t'));
            if (seq.size() > 6)
                tags.push_back(to_rna5(seq, true));
        }
    }
    auto const t1 = std::chrono::steady_clock::now();
    window_index const index = build_index(mirnas);
    std::vector<packed_mirna> packed(mirnas.size());
    for (size_t m = 0; m < mirnas.size(); ++m) {
        packed[m].usable = pack(mirnas[m].seq, packed[m].bits);
        packed[m].length = static_cast<int>(mirnas[m].seq.size());
    }
    int const diagonals = 2 * max_shift + 1;
    std::vector<uint32_t> stamp(mirnas.size() * diagonals, 0);
    std::vector<alignment> found;
    std::vector<int8_t> decision(tags.size(), 0);  // 0 unmapped, 1 unique, 2 selected, 3 ambiguous
    std::vector<uint32_t> chosen(tags.size(), 0);
    uint64_t extended = 0;
    uint32_t const high = power5(window - 1);
    for (uint32_t t = 0; t < tags.size(); ++t) {
        std::string const & tag = tags[t];
        int const T = static_cast<int>(tag.size());
        found.clear();
        unsigned __int128 tag_bits = 0;
        bool const tag_packable = pack(tag, tag_bits);
        uint32_t code = 0;
        for (int p = 0; p < T; ++p) {
            if (p >= window)
                code -= symbol_code(tag[p - window]) * high;
            code = code * 5 + symbol_code(tag[p]);
            if (p + 1 < window)
                continue;
            int const start = p + 1 - window;
            uint32_t e = index.first[code];
            uint32_t const e_end = index.first[code + 1];
            while (e < e_end && index.position[e] + max_shift < start)
                ++e;
            for (; e < e_end && index.position[e] <= start + max_shift; ++e) {
                int const d = start - index.position[e];
                uint32_t & s = stamp[index.mirna[e] * diagonals + (d + max_shift)];
                if (s == t + 1)
                    continue;
                s = t + 1;
                ++extended;
                alignment a;
                a.mirna = index.mirna[e];
                if (tag_packable && packed[a.mirna].usable &&
                    !may_pass(tag_bits, T, packed[a.mirna], d))
                    continue;
                if (!extend(tag, mirnas[a.mirna].seq, d, a))
                    continue;
                auto same = std::find_if(found.begin(), found.end(),
                                         [&](alignment const & x) { return x.mirna == a.mirna; });
                if (same == found.end())
                    found.push_back(a);
                else if (better(a, *same) ||
                         (same_rank(a, *same) && (std::abs(a.shift) < std::abs(same->shift) ||
                                                  (std::abs(a.shift) == std::abs(same->shift) &&
                                                   a.shift < same->shift))))
                    *same = a;
            }
        }
        if (found.empty())
            continue;
        if (found.size() > 1)
            std::sort(found.begin(), found.end(), [](alignment const & x, alignment const & y) {
                return better(x, y) || (same_rank(x, y) && x.mirna < y.mirna);
            });
        chosen[t] = found[0].mirna;
        if (found.size() == 1) {
            decision[t] = 1;
            continue;
        }
        bool tie_of_other_sequence = false;
        for (size_t k = 1; k < found.size() && same_rank(found[k], found[0]); ++k)
            tie_of_other_sequence |= mirnas[found[k].mirna].seq != mirnas[found[0].mirna].seq;
        decision[t] = tie_of_other_sequence ? 3 : 2;
    }
    auto const t2 = std::chrono::steady_clock::now();
    uint64_t counts[4] = {0, 0, 0, 0};
    for (int8_t d : decision)
        ++counts[d];
    auto seconds = [](auto a, auto b) { return std::chrono::duration<double>(b - a).count(); };
    std::printf("mirnas %zu, index entries %zu, tags %zu\n", mirnas.size(), index.mirna.size(),
                tags.size());
    std::printf("read %.3f s, search %.3f s (%.1f diagonals tested per tag)\n", seconds(t0, t1),
                seconds(t1, t2), tags.empty() ? 0.0 : double(extended) / tags.size());
    std::printf("unique %llu, selected %llu, ambiguous unassigned %llu, unmapped %llu\n",
                (unsigned long long)counts[1], (unsigned long long)counts[2],
                (unsigned long long)counts[3], (unsigned long long)counts[0]);
    if (argc > 4) {
        static char const * const names[4] = {"unmapped", "unique", "selected", "ambiguous"};
        std::FILE * out = std::fopen(argv[4], "w");
        for (size_t t = 0; t < tags.size(); ++t)
            std::fprintf(out, "%s\t%s\t%s\n", tags[t].c_str(), names[decision[t]],
                         decision[t] == 0 ? "-" : mirnas[chosen[t]].name.c_str());
        std::fclose(out);
    }
    return 0;
}
