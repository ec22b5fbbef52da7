#include "matching/precursor_guard.hpp"

#include <algorithm>
#include <atomic>
#include <cstring>

#include "core/parallel_chunks.hpp"
#include "core/sequence_text.hpp"

namespace
{
// The two-bit code of each letter (A0 C1 G2 U3), 4 for any other byte.
struct letter_codes
{
    uint8_t code[256];
    letter_codes()
    {
        std::fill(std::begin(code), std::end(code), uint8_t{4});
        code[static_cast<unsigned char>('A')] = 0;
        code[static_cast<unsigned char>('C')] = 1;
        code[static_cast<unsigned char>('G')] = 2;
        code[static_cast<unsigned char>('U')] = 3;
    }
};

letter_codes const two_bit_codes;

// The two-bit code of letters[begin, begin + key_length), or false when
// the stretch holds a letter other than A, C, G, U.
bool stretch_key(std::string const & letters, std::size_t begin, uint32_t & key)
{
    key = 0;
    uint32_t others = 0;
    for (std::size_t i = begin; i < begin + precursor_index::key_length; ++i)
    {
        uint32_t const code = two_bit_codes.code[static_cast<unsigned char>(letters[i])];
        others |= code;
        key = key << 2 | (code & 3);
    }
    return others < 4;
}

bool same_code(std::string const & precursor_code, char_string const & mature_code)
{
    return precursor_code.size() == seqan::length(mature_code) &&
           std::equal(precursor_code.begin(), precursor_code.end(), seqan::begin(mature_code));
}

// Calls visit(precursor, position) for every occurrence of `letters` (at
// least key_length long) in a precursor of species `code`; stops when
// visit returns true, and returns whether it did.
template <typename Visit>
bool find_in_precursors(precursor_index const & index, std::string const & letters, char_string const & code,
                        Visit && visit)
{
    uint32_t key = 0;
    if (letters.size() < precursor_index::key_length || !stretch_key(letters, 0, key))
        return false;
    uint32_t const prefix = key >> (2 * (precursor_index::key_length - precursor_index::prefix_letters));
    auto const bucket_end = index.entries.begin() + index.first_with_prefix[prefix + 1];
    auto e = std::lower_bound(index.entries.begin() + index.first_with_prefix[prefix], bucket_end, key,
                              [](precursor_index::entry const & x, uint32_t k) { return x.key < k; });
    for (; e != bucket_end && e->key == key; ++e)
    {
        precursor_letters const & precursor = index.precursors[e->precursor];
        if (same_code(precursor.specie_code, code) &&
            precursor.letters.compare(e->position, letters.size(), letters) == 0 &&
            visit(precursor, int64_t{e->position}))
            return true;
    }
    return false;
}

// The guard's view of the miRNAs: their letters as text, by mirna_index.
struct guard_state
{
    std::vector<seed_vet_t> const & seed_vet;
    std::vector<std::string> mature_letters;
};

struct aligned_pair
{
    std::string const & tag;
    std::string const & mature;
    char_string const * code = nullptr;
    int64_t d = 0;  // tag letter i faces miRNA letter i - d
};

aligned_pair pair_of(std::string const & tag, guard_state const & g, mirna_matched_vet_t const & a)
{
    return {tag, g.mature_letters[matched_mirna(g.seed_vet, a).mirna_index],
            &g.seed_vet[a.seed_index].specie_vet[a.specie_index].specie_code,
            int64_t{a.begin_ungapped_tag} - int64_t{a.begin_ungapped_mirna}};
}

bool holds_at(std::string const & precursor, int64_t position, std::string const & letters)
{
    return position >= 0 && static_cast<uint64_t>(position) + letters.size() <= precursor.size() &&
           precursor.compare(static_cast<std::size_t>(position), letters.size(), letters) == 0;
}

// True when the tag lies letter for letter in a precursor of its best
// miRNA's species and no such place faces a copy of the best miRNA, or of
// any other miRNA it aligns to, on that alignment's diagonal.
bool is_precursor_fragment(precursor_index const & index, guard_state const & g, std::string const & letters,
                           std::vector<mirna_matched_vet_t> const & alignments)
{
    bool found = false;
    bool const at_mature = find_in_precursors(
        index, letters, *pair_of(letters, g, alignments[0]).code, [&](precursor_letters const & q, int64_t s) {
            found = true;
            return std::any_of(alignments.begin(), alignments.end(), [&](mirna_matched_vet_t const & a) {
                aligned_pair const p = pair_of(letters, g, a);
                return holds_at(q.letters, s + p.d, p.mature);
            });
        });
    return found && !at_mature;
}

// True when the tag laid on the precursor with its first letter at `start`
// has no letter before the precursor and at most max_mismatches mismatches
// before its last max_tail letters, which may be an untemplated tail. How
// many of those match does not matter: an untemplated letter matches the
// precursor by chance one time in four, so a tail letter that happens to
// match says nothing of the letters before it.
bool templated_on(std::string const & precursor, int64_t start, std::string const & tag, precursor_rules const & rules)
{
    if (start < 0)
        return false;
    int64_t const templated = std::max<int64_t>(0, static_cast<int64_t>(tag.size()) - rules.max_tail);
    int64_t mismatches = 0;
    for (int64_t i = 0; i < templated && mismatches <= rules.max_mismatches; ++i)
    {
        uint64_t const position = static_cast<uint64_t>(start + i);
        mismatches += position < precursor.size() && precursor[position] == tag[static_cast<std::size_t>(i)] ? 0 : 1;
    }
    return mismatches <= rules.max_mismatches;
}

bool vouched(precursor_index const & index, aligned_pair const & p, precursor_rules const & rules)
{
    return find_in_precursors(index, p.mature, *p.code, [&](precursor_letters const & q, int64_t c) {
        return templated_on(q.letters, c - p.d, p.tag, rules);
    });
}

int64_t cost_of(std::string const & tag, std::string const & mature, mirna_matched_vet_t const & a)
{
    char const * const t = tag.data() + a.begin_ungapped_tag;
    char const * const m = mature.data() + a.begin_ungapped_mirna;
    int64_t matched = 0;
    for (uint32_t j = 0; j < a.size_ungapped_2; ++j)
        matched += t[j] == m[j] ? 1 : 0;
    return static_cast<int64_t>(tag.size() + mature.size()) - 2 * matched;
}

// The tag's score on the best precursor copy of the miRNA, on the
// alignment's diagonal: 2 per mismatch of its templated part, 1 per letter
// of its untemplated 3' tail, and 1 for each end of the tag that is not the
// miRNA's end there (the 5' end elsewhere than the miRNA's first letter, the
// templated part ending elsewhere than its last), however far: a tag one
// letter off is hardly likelier than one two letters off, while one at the
// miRNA's own end is. The tag is split into templated part and tail where
// the score is lowest (as in templated_on, a tail letter may match the
// precursor by chance). -1 when no copy holds the whole tag's 5' end.
int64_t precursor_score(precursor_index const & index, aligned_pair const & p)
{
    int64_t best = -1;
    int64_t const mature_length = static_cast<int64_t>(p.mature.size());
    find_in_precursors(index, p.mature, *p.code, [&](precursor_letters const & q, int64_t c) {
        int64_t const start = c - p.d;
        if (start < 0)
            return false;
        auto const matches = [&](int64_t i) {
            uint64_t const position = static_cast<uint64_t>(start + i);
            return position < q.letters.size() && q.letters[position] == p.tag[static_cast<std::size_t>(i)];
        };
        int64_t const length = static_cast<int64_t>(p.tag.size());
        int64_t const five_prime = start != c ? 1 : 0;
        int64_t mismatched = 0;  // among the first `templated` letters
        for (int64_t templated = 0; templated <= length; ++templated)
        {
            if (templated > 0)
                mismatched += matches(templated - 1) ? 0 : 1;
            int64_t const score = 2 * mismatched + (length - templated) + five_prime +
                                  (start + templated != c + mature_length ? 1 : 0);
            if (best < 0 || score < best)
                best = score;
        }
        return false;
    });
    return best;
}

// The alignments whose cost is within rules.near_cost of the best (the
// first ones), when they are on miRNAs of different sequences, are scored
// on their precursors (precursor_score): the first with the lowest score
// goes first and is counted, unless an alignment of another sequence scores
// the same and does not cost more by at least that score (at least 1): a
// tag that differs more from its precursors needs a clearer lead, and one
// changed that much is as likely from either. Then the tag is not counted.
// When no precursor holds them the rank decides.
void let_precursors_decide(precursor_index const & index, precursor_rules const & rules, guard_state const & g,
                           std::string const & letters, std::vector<mirna_matched_vet_t> & alignments)
{
    std::vector<seed_vet_t> const & seed_vet = g.seed_vet;
    if (alignments.size() < 2)
        return;
    std::vector<int64_t> costs;
    for (mirna_matched_vet_t const & a : alignments)
    {
        aligned_pair const p = pair_of(letters, g, a);
        int64_t const cost = cost_of(p.tag, p.mature, a);
        if (!costs.empty() && cost > costs[0] + rules.near_cost)
            break;
        costs.push_back(cost);
    }
    std::size_t const close = costs.size();
    rna_string const & first_sequence = matched_mirna(seed_vet, alignments[0]).mirna_seq;
    bool all_one_sequence = true;
    for (std::size_t k = 1; k < close && all_one_sequence; ++k)
        all_one_sequence = matched_mirna(seed_vet, alignments[k]).mirna_seq == first_sequence;
    if (all_one_sequence)
        return;  // the rank decides, as without precursors
    int64_t lowest = -1;
    std::size_t winner = 0;
    std::vector<int64_t> scores(close);
    for (std::size_t k = 0; k < close; ++k)
    {
        scores[k] = precursor_score(index, pair_of(letters, g, alignments[k]));
        if (scores[k] >= 0 && (lowest < 0 || scores[k] < lowest))
        {
            lowest = scores[k];
            winner = k;
        }
    }
    if (lowest < 0)
        return;  // no precursor holds them: the rank decides
    rna_string const & winning = matched_mirna(seed_vet, alignments[winner]).mirna_seq;
    for (std::size_t k = winner + 1; k < close; ++k)
        if (scores[k] == lowest && costs[k] - costs[winner] < std::max<int64_t>(1, lowest) &&
            matched_mirna(seed_vet, alignments[k]).mirna_seq != winning)
        {
            alignments[0].verdict = precursor_verdict::tied;
            return;
        }
    std::rotate(alignments.begin(), alignments.begin() + static_cast<std::ptrdiff_t>(winner),
                alignments.begin() + static_cast<std::ptrdiff_t>(winner) + 1);
    alignments[0].verdict = precursor_verdict::chosen;
}

// Working memory of one chunk of tags, reused from tag to tag.
struct guard_scratch
{
    std::vector<mirna_matched_vet_t> alignments;
    std::string letters;
};

// True when `list` holds exactly `alignments`, byte for byte.
bool same_alignments(alignment_list const & list, std::vector<mirna_matched_vet_t> const & alignments)
{
    return list.size() == alignments.size() &&
           (alignments.empty() ||
            std::memcmp(list.begin(), alignments.data(), alignments.size() * sizeof(mirna_matched_vet_t)) == 0);
}

// Applies the guard to one tag; true when it lost every alignment.
bool guard_tag(precursor_index const & index, precursor_rules const & rules, guard_state const & g, tag_vet_t & tag,
               guard_scratch & scratch)
{
    // A working copy: the tag's list may view its table's store.
    std::vector<mirna_matched_vet_t> & alignments = scratch.alignments;
    alignments.assign(tag.mirna_matched_vet.begin(), tag.mirna_matched_vet.end());
    std::string & letters = scratch.letters;
    letters.clear();
    append_rna5_text(letters, tag.tag_sequence.begin(), tag.tag_sequence.size());
    if (is_precursor_fragment(index, g, letters, alignments))
    {
        tag.mirna_matched_vet.clear();
        return true;
    }
    auto const unvouched = [&](mirna_matched_vet_t const & a) {
        aligned_pair const p = pair_of(letters, g, a);
        return cost_of(p.tag, p.mature, a) > rules.max_cost && !vouched(index, p, rules);
    };
    alignments.erase(std::remove_if(alignments.begin(), alignments.end(), unvouched), alignments.end());
    let_precursors_decide(index, rules, g, letters, alignments);
    // Written back only when the guard changed them (a new block of the
    // tag's own otherwise, for the same alignments).
    if (!same_alignments(tag.mirna_matched_vet, alignments))
        tag.mirna_matched_vet = alignments;
    return alignments.empty();
}
}  // namespace

precursor_index build_precursor_index(std::vector<precursor_letters> precursors)
{
    precursor_index index;
    index.precursors = std::move(precursors);
    for (uint32_t p = 0; p < index.precursors.size(); ++p)
    {
        std::string const & letters = index.precursors[p].letters;
        for (std::size_t i = 0; i + precursor_index::key_length <= letters.size(); ++i)
        {
            uint32_t key = 0;
            if (stretch_key(letters, i, key))
                index.entries.push_back({key, p, static_cast<uint32_t>(i)});
        }
    }
    std::sort(index.entries.begin(), index.entries.end(),
              [](precursor_index::entry const & x, precursor_index::entry const & y) {
                  return x.key != y.key ? x.key < y.key
                                        : (x.precursor != y.precursor ? x.precursor < y.precursor
                                                                      : x.position < y.position);
              });
    uint32_t const shift = 2 * (precursor_index::key_length - precursor_index::prefix_letters);
    index.first_with_prefix.assign((std::size_t{1} << (2 * precursor_index::prefix_letters)) + 1, 0);
    for (precursor_index::entry const & e : index.entries)
        ++index.first_with_prefix[(e.key >> shift) + 1];
    for (std::size_t c = 1; c < index.first_with_prefix.size(); ++c)
        index.first_with_prefix[c] += index.first_with_prefix[c - 1];
    return index;
}

uint64_t guard_with_precursors(precursor_index const & index, precursor_rules const & rules,
                               std::vector<seed_vet_t> const & seed_vet, std::vector<tag_vet_t> & tag_vet,
                               uint32_t thread_count)
{
    guard_state g{seed_vet, {}};
    for (seed_vet_t const & seed : seed_vet)
        for (specie_vet_t const & species : seed.specie_vet)
            for (mirna_vet_t const & mirna : species.mirna_vet)
            {
                if (mirna.mirna_index >= g.mature_letters.size())
                    g.mature_letters.resize(mirna.mirna_index + 1);
                g.mature_letters[mirna.mirna_index] = rna5_to_text(mirna.mirna_seq);
            }
    std::atomic<uint64_t> cleared{0};
    run_in_chunks(tag_vet.size(), thread_count, [&](uint32_t, uint64_t first, uint64_t last) {
        uint64_t here = 0;
        guard_scratch scratch;
        for (uint64_t t = first; t < last; ++t)
            if (!tag_vet[t].mirna_matched_vet.empty() && guard_tag(index, rules, g, tag_vet[t], scratch))
                ++here;
        cleared += here;
    });
    return cleared;
}
