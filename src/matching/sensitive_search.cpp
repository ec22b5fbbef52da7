// The sensitive search, step by step as in bench/sensitive_mode.md: the
// window index (step 1), the candidates of a tag (2), the extension on one
// diagonal (3), the acceptance rule (4) and the rank order (5); the output
// columns as its section 6.
#include "matching/sensitive_search.hpp"

#include <algorithm>
#include <cstring>

#include "core/parallel_chunks.hpp"
#include "matching/seed_lookup.hpp"

namespace
{
uint32_t letter_code(seqan::Rna5 letter)
{
    return seqan::ordValue(letter);  // A0 C1 G2 U3 N4
}

// The letters of one 8-byte word of letter codes (one a byte, each 0 to
// 3; the first letter in the lowest byte) at two bits a letter, letter k
// at bits 2k: each step joins neighbouring groups.
uint64_t pack_eight_letters(uint64_t word)
{
    word = (word | word >> 6) & 0x000f000f000f000full;
    word = (word | word >> 12) & 0x000000ff000000ffull;
    return (word | word >> 24) & 0xffffull;
}

// Letters [i, i + 8) of sequence[0, length) as one word of letter codes,
// the first in the lowest byte; past the end, 0. When fewer than 8 are
// left, the 8 letters that end the sequence are read and shifted down.
[[gnu::always_inline]] inline uint64_t letter_word(seqan::Rna5 const * sequence, std::size_t length, std::size_t i)
{
    uint64_t word = 0;
    if (length - i >= 8)
        std::memcpy(&word, sequence + i, 8);
    else if (length >= 8)
    {
        std::memcpy(&word, sequence + length - 8, 8);
        word >>= 8 * (8 - (length - i));
    }
    else
        for (std::size_t k = 0; i + k < length; ++k)
            word |= uint64_t{seqan::ordValue(sequence[i + k])} << (8 * k);
    return word;
}

// Two bits per letter into `bits`; false when the sequence is longer than
// 64 letters or holds N. Eight letters at a time.
[[gnu::always_inline]] inline bool pack_letters(seqan::Rna5 const * sequence, std::size_t length, letter_bits & bits)
{
    static_assert(sizeof(seqan::Rna5) == 1, "one byte a letter");
    static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the first letter in a word's lowest byte");
    bits = 0;
    if (length > 64)
        return false;
    if (length <= 32)  // on 64 bits
    {
        uint64_t packed = 0;
        for (std::size_t i = 0; i < length; i += 8)
        {
            uint64_t const word = letter_word(sequence, length, i);
            if (word & 0xfcfcfcfcfcfcfcfcull)  // a code above 3: N
                return false;
            packed |= pack_eight_letters(word) << (2 * i);
        }
        bits = packed;
        return true;
    }
    for (std::size_t i = 0; i < length; i += 8)
    {
        uint64_t const word = letter_word(sequence, length, i);
        if (word & 0xfcfcfcfcfcfcfcfcull)
            return false;
        bits |= static_cast<letter_bits>(pack_eight_letters(word)) << (2 * i);
    }
    return true;
}

bool pack_letters(rna_string const & sequence, letter_bits & bits)
{
    return pack_letters(seqan::begin(sequence, seqan::Standard()), seqan::length(sequence), bits);
}

bool pack_letters(tag_letters const & sequence, letter_bits & bits)
{
    return pack_letters(sequence.begin(), sequence.size(), bits);
}

// The code in base 5 (A0 C1 G2 U3 N4, the first letter the highest
// digit) of the seed's letters at `sequence`.
uint64_t base5_code(seqan::Rna5 const * sequence, seed_shape const & seed)
{
    uint64_t code = 0;
    for (uint32_t offset : seed.letters)
        code = code * 5 + letter_code(sequence[offset]);
    return code;
}

// The key of the seed placed at letter 0 of `bits` (two bits a letter,
// letter k at bits 2k): the letters under its 1s, the i-th at bits 2i.
// Read 4 letters at a time through the seed's tables.
[[gnu::always_inline]] inline uint64_t seed_key(uint64_t bits, seed_shape const & seed)
{
    uint64_t key = 0;
    for (std::array<uint32_t, 256> const & key_of_byte : seed.key_of_byte)
    {
        key |= key_of_byte[bits & 255];
        bits >>= 8;
    }
    return key;
}

// For every placement of the seed in sequence[0, length), by start:
// visit(key, start) when the seed's letters are A, C, G and U (seed_key),
// visit_n(code, start) when one is N (base5_code).
template <typename Visit, typename VisitN>
void for_each_placement(seqan::Rna5 const * sequence, int64_t length, seed_shape const & seed, Visit && visit,
                        VisitN && visit_n)
{
    for (int64_t start = 0; start + int64_t{seed.span} <= length; ++start)
    {
        uint64_t key = 0;
        bool with_n = false;
        for (std::size_t i = 0; i < seed.letters.size(); ++i)
        {
            uint64_t const letter = letter_code(sequence[start + seed.letters[i]]);
            with_n = with_n || letter > 3;
            key |= (letter & 3) << (2 * i);
        }
        if (!with_n)
            visit(key, static_cast<uint32_t>(start));
        else
            visit_n(base5_code(sequence + start, seed), static_cast<uint32_t>(start));
    }
}

// What the extension on one diagonal found (miRNA positions).
struct extension
{
    int64_t a0 = 0;        // first letter aligned
    int64_t a1 = 0;        // one past the last matching letter
    int64_t mismatches = 0;  // inside [a0, a1)
    int64_t first_mismatch = 0, second_mismatch = 0;
    bool leading_mismatch = false;  // a mismatch was skipped before a0
    int64_t matched() const { return a1 - a0 - mismatches; }
};

// Step 3: miRNA letter j faces tag letter j + d.
extension extend(seqan::Rna5 const * tag, int64_t T, seqan::Rna5 const * mirna, int64_t L, int64_t d,
                 int64_t max_mismatches)
{
    extension e;
    int64_t j = std::max<int64_t>(0, -d);
    int64_t const end = std::min(L, T - d);
    while (j < end && tag[j + d] != mirna[j])
    {
        ++j;
        e.leading_mismatch = true;
    }
    e.a0 = j;
    e.a1 = j;
    int64_t met = 0;
    for (; j < end; ++j)
    {
        if (tag[j + d] == mirna[j])
        {
            e.a1 = j + 1;
            e.mismatches = met;
            continue;
        }
        if (met == max_mismatches)
            break;
        if (met == 0)
            e.first_mismatch = j;
        else if (met == 1)
            e.second_mismatch = j;
        ++met;
    }
    return e;
}

// Step 4.
bool accepted(sensitive_parameters const & p, int64_t T, int64_t L, int64_t matched)
{
    return matched >= p.min_matched && T + L - 2 * matched <= p.max_unmatched;
}

// The number of bits set in x, whose set bits all lie at even positions
// (one per letter): inline, where __builtin_popcountll without a popcount
// instruction in the target would be a library call.
[[gnu::always_inline]] inline int64_t count_letter_bits(uint64_t x)
{
    x = (x & 0x3333333333333333ull) + ((x >> 2) & 0x3333333333333333ull);
    x = (x + (x >> 4)) & 0x0f0f0f0f0f0f0f0full;
    return static_cast<int64_t>((x * 0x0101010101010101ull) >> 56);
}

// The prefilter of step 2: false when the letters of the overlap on
// diagonal d that match cannot reach what step 4 asks (both packed).
bool may_be_accepted(sensitive_parameters const & p, letter_bits tag_bits, int64_t T, letter_bits mirna_bits,
                     int64_t L, int64_t d)
{
    int64_t const j0 = std::max<int64_t>(0, -d);
    int64_t const j1 = std::min(L, T - d);
    int64_t const overlap = j1 - j0;
    int64_t const need = std::max<int64_t>(p.min_matched, (T + L - int64_t{p.max_unmatched} + 1) / 2);
    if (overlap < need || overlap <= 0)
        return false;
    letter_bits x = (tag_bits >> (2 * (j0 + d))) ^ (mirna_bits >> (2 * j0));
    letter_bits const low_bits = ~static_cast<letter_bits>(0) / 3;  // 0101...
    letter_bits differs = (x | (x >> 1)) & low_bits;
    if (overlap < 64)
        differs &= (static_cast<letter_bits>(1) << (2 * overlap)) - 1;
    int64_t const differing =
        count_letter_bits(static_cast<uint64_t>(differs)) + count_letter_bits(static_cast<uint64_t>(differs >> 64));
    return overlap - differing >= need;
}

// For a tag and a miRNA of at most 32 letters each, on 64 bits: one bit
// per letter of the overlap on diagonal d (miRNA letters j0 to j0 +
// overlap), at bit 2k for its letter k, set where tag and miRNA differ.
[[gnu::always_inline]] inline uint64_t overlap_differs(uint64_t tag_bits, uint64_t mirna_bits, int64_t j0, int64_t d,
                                                       int64_t overlap)
{
    uint64_t const x = (tag_bits >> (2 * (j0 + d))) ^ (mirna_bits >> (2 * j0));
    uint64_t const differs = (x | (x >> 1)) & 0x5555555555555555ull;
    return overlap < 32 ? differs & ((uint64_t{1} << (2 * overlap)) - 1) : differs;
}

// The same for a tag and a miRNA of at most 32 letters each, on 64 bits;
// `need` is what may_be_accepted computes as need. Inlined into the loop
// over the window entries, which it is the most of.
[[gnu::always_inline]] inline bool may_be_accepted_short(uint64_t tag_bits, int64_t T, uint64_t mirna_bits, int64_t L, int64_t d, int64_t need)
{
    int64_t const j0 = d < 0 ? -d : 0;
    int64_t const j1 = std::min(L, T - d);
    int64_t const overlap = j1 - j0;
    if (overlap < need || overlap <= 0)
        return false;
    return overlap - count_letter_bits(overlap_differs(tag_bits, mirna_bits, j0, d, overlap)) >= need;
}

// The same on the letters' bits, for a tag and a miRNA of at most 32
// letters each without N (diagonal d with an overlap).
extension extend_short(uint64_t tag_bits, int64_t T, uint64_t mirna_bits, int64_t L, int64_t d,
                       int64_t max_mismatches)
{
    extension e;
    int64_t const j0 = std::max<int64_t>(0, -d);
    int64_t const overlap = std::min(L, T - d) - j0;
    uint64_t const letters = overlap < 32 ? (uint64_t{1} << (2 * overlap)) - 1 : ~uint64_t{0};
    uint64_t const differs = overlap_differs(tag_bits, mirna_bits, j0, d, overlap);
    uint64_t const matches = ~differs & 0x5555555555555555ull & letters;
    if (matches == 0)
    {
        e.a0 = e.a1 = j0 + overlap;
        e.leading_mismatch = overlap > 0;
        return e;
    }
    int64_t const k0 = __builtin_ctzll(matches) / 2;
    e.leading_mismatch = k0 > 0;
    e.a0 = e.a1 = j0 + k0;
    // The mismatches from k0 on, in turn, up to the one that stops it.
    int64_t stop = overlap;
    int64_t met = 0;
    for (uint64_t rest = differs >> (2 * k0) << (2 * k0); rest != 0; rest &= rest - 1)
    {
        int64_t const k = __builtin_ctzll(rest) / 2;
        if (met == max_mismatches)
        {
            stop = k;
            break;
        }
        if (met == 0)
            e.first_mismatch = j0 + k;
        else if (met == 1)
            e.second_mismatch = j0 + k;
        ++met;
    }
    uint64_t const before_stop = stop < 32 ? (uint64_t{1} << (2 * stop)) - 1 : ~uint64_t{0};
    int64_t const last_match = (63 - __builtin_clzll(matches & before_stop)) / 2;
    e.a1 = j0 + last_match + 1;
    uint64_t const inside = (uint64_t{1} << (2 * last_match)) - (uint64_t{1} << (2 * k0));
    e.mismatches = count_letter_bits(differs & inside);
    return e;
}

// The best alignment of one miRNA on the current tag.
struct candidate
{
    uint32_t mirna = 0;  // position in index.mirnas
    int64_t d = 0;
    extension found;
    int64_t length_difference = 0;  // |L - T|
    int64_t cost = 0;               // T + L - 2M
};

// Rank (step 5), then shift, for the best alignment per miRNA.
bool ranks_before(candidate const & x, candidate const & y)
{
    if (x.cost != y.cost)
        return x.cost < y.cost;
    if (x.found.mismatches != y.found.mismatches)
        return x.found.mismatches < y.found.mismatches;
    return x.length_difference < y.length_difference;
}

bool better_on_same_mirna(candidate const & x, candidate const & y)
{
    if (ranks_before(x, y) || ranks_before(y, x))
        return ranks_before(x, y);
    if (std::abs(x.d) != std::abs(y.d))
        return std::abs(x.d) < std::abs(y.d);
    return x.d < y.d;
}

// The mark of one tag in the per-(miRNA, diagonal) table: a byte, so that
// the table takes little of the cache; of its own type, so that writing
// one is not taken to change what the search reads.
enum class tag_mark : uint8_t
{
    none = 0
};

// Working memory of one piece of tags.
struct search_scratch
{
    explicit search_scratch(window_index const & index)
        : seen(index.mirnas.size() * (2 * uint64_t{index.parameters.max_shift} + 1), tag_mark::none)
    {
    }

    // A mark for the next tag: 1 to 255 in turn, the table cleared when
    // they start over.
    tag_mark next_mark()
    {
        if (last_mark == 255)
        {
            std::fill(seen.begin(), seen.end(), tag_mark::none);
            last_mark = 0;
        }
        return static_cast<tag_mark>(++last_mark);
    }

    // Per (miRNA, diagonal): the mark of the last tag that met it.
    std::vector<tag_mark> seen;
    uint32_t last_mark = 0;
    std::vector<candidate> best;  // the current tag's, one per miRNA
    // The alignments of the tags searched since the last block was stored,
    // and where each tag's end.
    std::vector<mirna_matched_vet_t> alignments;
    std::vector<uint32_t> alignments_end;
};

// Keeps `c` when it is the first or a better alignment of its miRNA.
void keep_best(std::vector<candidate> & best, candidate const & c)
{
    for (candidate & kept : best)
    {
        if (kept.mirna != c.mirna)
            continue;
        if (better_on_same_mirna(c, kept))
            kept = c;
        return;
    }
    best.push_back(c);
}

// The alignment record of section 6.
mirna_matched_vet_t alignment_record(indexed_mirna const & m, candidate const & c, int64_t T, uint64_t end_seed)
{
    extension const & e = c.found;
    int64_t const L = m.length;
    mirna_matched_vet_t r;
    r.seed_index = m.seed_index;
    r.specie_index = m.specie_index;
    r.mirna_vet_index = m.mirna_vet_index;
    r.begin_ungapped_mirna = r.begin_ungapped_mirna_1 = r.begin_ungapped_mirna_2 = static_cast<uint32_t>(e.a0);
    r.begin_ungapped_tag = r.begin_ungapped_tag_1 = r.begin_ungapped_tag_2 = static_cast<uint32_t>(e.a0 + c.d);
    r.size_ungapped = static_cast<uint32_t>((e.mismatches >= 1 ? e.first_mismatch : e.a1) - e.a0);
    r.size_ungapped_1 = static_cast<uint32_t>((e.mismatches >= 2 ? e.second_mismatch : e.a1) - e.a0);
    r.size_ungapped_2 = static_cast<uint32_t>(e.a1 - e.a0);
    r.align_score = static_cast<int32_t>((L - e.matched()) * 100 / L);
    r.mir_tag_size_diff = static_cast<int32_t>(L - T);
    int64_t const substitutions = e.mismatches + (e.leading_mismatch && c.d == 0 ? 1 : 0);
    r.iso_5p = c.d != 0;
    r.iso_snp = substitutions == 1;
    r.iso_multi_snp = substitutions >= 2;
    r.iso_3p = !(e.a1 == L && e.a1 + c.d == T);

    uint64_t const e0 = static_cast<uint64_t>(e.a0) + r.size_ungapped;
    uint64_t const e1 = static_cast<uint64_t>(e.a0) + r.size_ungapped_1;
    uint64_t const e2 = static_cast<uint64_t>(e.a1);
    auto in_site = [&](uint64_t end) { return end >= end_seed + 5 && end <= end_seed + 8; };
    r.offset_site = e0 != end_seed;
    r.central_site = e0 > end_seed + 8;
    r.suppl_compens_site = !in_site(e0) && !in_site(e1) && !in_site(e2);
    return r;
}

// Step 4 for what the extension found on miRNA `mirna` (position in
// index.mirnas, L letters) on diagonal d: kept in scratch.best when
// accepted and the best on its miRNA yet.
void keep_if_accepted(sensitive_parameters const & p, int64_t T, int64_t L, uint32_t mirna, int64_t d,
                      extension const & found, search_scratch & scratch)
{
    if (!accepted(p, T, L, found.matched()))
        return;
    candidate c;
    c.found = found;
    c.mirna = mirna;
    c.d = d;
    c.length_difference = std::abs(L - T);
    c.cost = T + L - 2 * c.found.matched();
    keep_best(scratch.best, c);
}

// Steps 3 and 4 for miRNA `mirna` (position in index.mirnas) on diagonal d
// of the tag. Out of line, as few candidates get here: the loop over the
// window entries keeps its values in registers.
[[gnu::noinline]] void extend_candidate(window_index const & index, seqan::Rna5 const * tag, int64_t T,
                                        uint32_t mirna, int64_t d, search_scratch & scratch)
{
    indexed_mirna const & m = index.mirnas[mirna];
    keep_if_accepted(index.parameters, T, m.length, mirna, d,
                     extend(tag, T, m.letters, m.length, d, index.parameters.max_mismatches), scratch);
}

// The same for a tag and a miRNA of at most 32 letters without N, on their bits.
[[gnu::noinline]] void extend_candidate_short(window_index const & index, uint64_t tag_bits, int64_t T,
                                              uint32_t mirna, int64_t d, search_scratch & scratch)
{
    int64_t const L = index.probes[mirna].length;
    keep_if_accepted(index.parameters, T, L, mirna, d,
                     extend_short(tag_bits, T, index.probes[mirna].bits, L, d, index.parameters.max_mismatches),
                     scratch);
}

// Step 5: the tag's best alignments in rank order, appended to scratch.alignments.
[[gnu::noinline]] void store_best(window_index const & index, int64_t T, search_scratch & scratch)
{
    if (scratch.best.empty())
        return;
    std::sort(scratch.best.begin(), scratch.best.end(), [](candidate const & x, candidate const & y) {
        return ranks_before(x, y) || (!ranks_before(y, x) && x.mirna < y.mirna);
    });
    for (candidate const & c : scratch.best)
        scratch.alignments.push_back(alignment_record(index.mirnas[c.mirna], c, T, index.end_seed));
}

// Steps 2 to 5 for one tag.
void search_tag(window_index const & index, tag_vet_t const & tag_record, search_scratch & scratch)
{
    sensitive_parameters const & p = index.parameters;
    tag_letters const & sequence = tag_record.tag_sequence;
    int64_t const T = static_cast<int64_t>(sequence.size());
    seed_shape const & seed = index.seed;
    if (T < int64_t{seed.span})
        return;
    seqan::Rna5 const * const tag = sequence.begin();
    letter_bits tag_bits = 0;
    bool const tag_packed = pack_letters(sequence, tag_bits);
    bool const tag_short = tag_packed && T <= 32;
    auto const tag_bits_short = static_cast<uint64_t>(tag_bits);
    // What may_be_accepted computes as need, for a miRNA of length L:
    // max(min_matched, (need_base + L) / 2), where halving by a shift
    // gives the same (a negative half is below min_matched either way).
    int64_t const need_base = T - int64_t{p.max_unmatched} + 1;
    int64_t const min_matched = p.min_matched;
    int64_t const shift = p.max_shift;
    tag_mark const stamp = scratch.next_mark();
    scratch.best.clear();

    // Every entry is read through plain pointers and locals, which the
    // marks written to `seen` cannot alias.
    uint32_t const * const first = index.first.data();
    window_entry const * const entries = index.entries.data();
    mirna_probe const * const probes = index.probes.data();
    tag_mark * const seen = scratch.seen.data();
    auto visit_entry = [&](window_entry const & entry, int64_t start) {
        tag_mark & mark = seen[entry.seen_base + static_cast<uint32_t>(start)];
        if (mark == stamp)
            return;
        mark = stamp;
        int64_t const d = start - entry.position;
        mirna_probe const & m = probes[entry.mirna];
        int64_t const L = m.length;
        if (tag_short && m.packed_short)
        {
            int64_t const need = std::max<int64_t>(min_matched, (need_base + L) >> 1);
            if (may_be_accepted_short(tag_bits_short, T, m.bits, L, d, need))
                extend_candidate_short(index, tag_bits_short, T, entry.mirna, d, scratch);
            return;
        }
        else if (tag_packed && index.mirnas[entry.mirna].packed &&
                 !may_be_accepted(p, tag_bits, T, index.mirnas[entry.mirna].bits, L, d))
            return;
        extend_candidate(index, tag, T, entry.mirna, d, scratch);
    };
    // The entries of a window at `start` whose diagonal lies within the shift.
    auto visit_window = [&](uint64_t code, uint32_t start) {
        uint32_t e = first[code];
        uint32_t const e_end = first[code + 1];
        while (e < e_end && entries[e].position + shift < start)
            ++e;
        for (; e < e_end && entries[e].position <= start + shift; ++e)
            visit_entry(entries[e], start);
    };
    auto visit_n_window = [&](uint64_t code, uint32_t start) {
        auto it = std::lower_bound(index.n_windows.begin(), index.n_windows.end(), code,
                                   [](n_window_entry const & x, uint64_t c) { return x.code < c; });
        for (; it != index.n_windows.end() && it->code == code; ++it)
            if (it->entry.position + shift >= start && it->entry.position <= start + shift)
                visit_entry(it->entry, start);
    };
    if (tag_short)
    {
        // No N: the keys come from the tag's bits.
        for (int64_t start = 0; start + int64_t{seed.span} <= T; ++start)
            visit_window(seed_key(tag_bits_short >> (2 * start), seed), static_cast<uint32_t>(start));
    }
    else
        for_each_placement(tag, T, seed, visit_window, visit_n_window);
    store_best(index, T, scratch);
}
// The shape of a pattern of 1s and 0s (checked when parsed: it starts and
// ends with 1 and holds 1 to max_seed_letters 1s).
seed_shape seed_shape_of(std::string const & pattern)
{
    seed_shape seed;
    seed.span = static_cast<uint32_t>(pattern.size());
    for (uint32_t k = 0; k < seed.span; ++k)
        if (pattern[k] == '1')
            seed.letters.push_back(k);
    seed.key_of_byte.assign((seed.span + 3) / 4, {});
    for (std::size_t i = 0; i < seed.letters.size(); ++i)
    {
        uint32_t const byte = seed.letters[i] / 4;
        uint32_t const in_byte = 2 * (seed.letters[i] % 4);
        for (uint32_t value = 0; value < 256; ++value)
            seed.key_of_byte[byte][value] |= (value >> in_byte & 3) << (2 * i);
    }
    return seed;
}

}  // namespace

window_index build_window_index(search_parameters const & parameters, mirna_db_tables const & mirna_db)
{
    window_index index;
    index.parameters = parameters.sensitive;
    index.parameters.max_unmatched = search_cost_limit(parameters.sensitive);
    index.end_seed = parameters.end_seed;
    index.seed = seed_shape_of(parameters.sensitive.seed);

    std::vector<seed_vet_t> const & seed_vet = mirna_db.seed_vet;
    for (uint32_t i = 0; i < seed_vet.size(); ++i)
        for (uint32_t j = 0; j < seed_vet[i].specie_vet.size(); ++j)
        {
            specie_vet_t const & species = seed_vet[i].specie_vet[j];
            bool const selected = std::any_of(
                mirna_db.species_to_check_vet.begin(), mirna_db.species_to_check_vet.end(),
                [&](char_string const & code) { return same_specie_code(species.specie_code, code); });
            if (!selected)
                continue;
            for (uint32_t v = 0; v < species.mirna_vet.size(); ++v)
            {
                indexed_mirna m;
                m.seed_index = i;
                m.specie_index = j;
                m.mirna_vet_index = v;
                m.sequence = &species.mirna_vet[v].mirna_seq;
                m.letters = seqan::begin(*m.sequence, seqan::Standard());
                m.length = static_cast<int64_t>(seqan::length(*m.sequence));
                m.packed = pack_letters(*m.sequence, m.bits);
                index.mirnas.push_back(m);
                index.probes.push_back({static_cast<uint64_t>(m.bits), static_cast<uint32_t>(m.length),
                                        m.packed && m.length <= 32 ? 1u : 0u});
            }
        }

    // Counted, then placed (CSR); each bucket then sorted by position, miRNA.
    uint32_t const max_shift = index.parameters.max_shift;
    uint32_t const diagonals = 2 * max_shift + 1;
    auto entry_of = [&](uint32_t n, uint32_t position) {
        return window_entry{n, position, n * diagonals + max_shift - position};
    };
    uint64_t const buckets = uint64_t{1} << (2 * index.seed.letters.size());
    index.first.assign(buckets + 1, 0);
    for (uint32_t n = 0; n < index.mirnas.size(); ++n)
        for_each_placement(
            index.mirnas[n].letters, index.mirnas[n].length, index.seed,
            [&](uint64_t code, uint32_t) { ++index.first[code + 1]; },
            [&](uint64_t code, uint32_t position) { index.n_windows.push_back({code, entry_of(n, position)}); });
    for (uint64_t c = 0; c < buckets; ++c)
        index.first[c + 1] += index.first[c];
    index.entries.resize(index.first[buckets]);
    std::vector<uint32_t> fill(index.first.begin(), index.first.end() - 1);
    for (uint32_t n = 0; n < index.mirnas.size(); ++n)
        for_each_placement(
            index.mirnas[n].letters, index.mirnas[n].length, index.seed,
            [&](uint64_t code, uint32_t position) { index.entries[fill[code]++] = entry_of(n, position); },
            [](uint64_t, uint32_t) {});
    auto by_position = [](window_entry const & x, window_entry const & y) {
        return x.position != y.position ? x.position < y.position : x.mirna < y.mirna;
    };
    for (uint64_t c = 0; c < buckets; ++c)
        std::sort(index.entries.begin() + index.first[c], index.entries.begin() + index.first[c + 1], by_position);
    std::sort(index.n_windows.begin(), index.n_windows.end(), [&](n_window_entry const & x, n_window_entry const & y) {
        return x.code != y.code ? x.code < y.code : by_position(x.entry, y.entry);
    });
    return index;
}

void sensitive_search_all_tags(window_index const & index, tag_table & tags, uint32_t thread_count)
{
    std::vector<tag_vet_t> & tag_vet = tags.tag_vet;
    uint64_t const tag_count = tag_vet.size();
    uint32_t const pieces = piece_count(tag_count, thread_count, 64);
    std::vector<std::vector<std::vector<mirna_matched_vet_t>>> blocks(pieces);
    run_in_pieces(pieces, thread_count, [&](uint64_t piece) {
        auto const p = static_cast<uint32_t>(piece);
        search_scratch scratch(index);
        auto const last_tag = static_cast<uint32_t>(chunk_begin(tag_count, pieces, p + 1));
        for (auto first = static_cast<uint32_t>(chunk_begin(tag_count, pieces, p)); first < last_tag;)
        {
            uint32_t const last = first + std::min(last_tag - first, tags_per_alignment_block);
            scratch.alignments_end.clear();
            for (uint32_t t = first; t < last; ++t)
            {
                search_tag(index, tag_vet[t], scratch);
                scratch.alignments_end.push_back(static_cast<uint32_t>(scratch.alignments.size()));
            }
            store_alignment_block(tag_vet, first, last, scratch.alignments, scratch.alignments_end, blocks[p]);
            first = last;
        }
    });
    for (auto & piece_blocks : blocks)
        for (std::vector<mirna_matched_vet_t> & block : piece_blocks)
            tags.alignment_blocks.push_back(std::move(block));  // the tags' views stay valid
}
