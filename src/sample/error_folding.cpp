#include "sample/error_folding.hpp"

#include <algorithm>
#include <limits>
#include <tuple>

#include "core/parallel_chunks.hpp"
#include "core/sequence_text.hpp"
#include "export/isomir_description.hpp"

namespace
{
constexpr uint32_t none = std::numeric_limits<uint32_t>::max();
constexpr uint64_t multiplier = 0x9E3779B97F4A7C15ULL;

// A key: the hash of some letters, mixed with their number so that keys
// spread over the slots. Tags whose keys meet are compared letter by letter.
uint64_t mixed(uint64_t h, std::size_t length)
{
    h += length * 0xD6E8FEB86659FD93ULL;
    h ^= h >> 32;
    h *= 0xD6E8FEB86659FD93ULL;
    h ^= h >> 32;
    return h;
}

// The keys of a tag: its whole letters, then each of its letters left out.
// Two tags one change apart share a key: a substitution at i leaves both
// equal without letter i, a letter inserted or dropped makes one the other
// without it. `prefix` and `power` are working space kept between calls.
void keys_of(tag_letters const & tag, std::vector<uint64_t> & prefix, std::vector<uint64_t> & power,
             std::vector<uint64_t> & keys)
{
    std::size_t const n = tag.size();
    prefix.assign(n + 1, 0);
    for (std::size_t i = 0; i < n; ++i)
        prefix[i + 1] = prefix[i] * multiplier + seqan::ordValue(tag[i]) + 1;
    while (power.size() <= n)
        power.push_back(power.empty() ? 1 : power.back() * multiplier);
    keys.clear();
    keys.push_back(mixed(prefix[n], n));
    for (std::size_t i = 0; i < n; ++i)
    {
        // The letters after i, as a hash of their own.
        uint64_t const after = prefix[n] - prefix[i + 1] * power[n - i - 1];
        keys.push_back(mixed(prefix[i] * power[n - i - 1] + after, n - 1));
    }
}

// Keys to the tags that may be folded into: open addressing, each slot the
// first of its key's entries, which chain to the next.
struct key_index
{
    struct entry
    {
        uint64_t key = 0;
        uint32_t tag = 0;  // position in tag_vet
        uint32_t next = none;
    };
    std::vector<uint32_t> slots;  // an entry, or none
    std::vector<entry> entries;

    std::size_t slot_of(uint64_t key) const
    {
        std::size_t i = key & (slots.size() - 1);
        while (slots[i] != none && entries[slots[i]].key != key)
            i = (i + 1) & (slots.size() - 1);
        return i;
    }
    void add(uint64_t key, uint32_t tag)
    {
        uint32_t & slot = slots[slot_of(key)];
        entries.push_back({key, tag, slot});
        slot = static_cast<uint32_t>(entries.size() - 1);
    }
    uint32_t first(uint64_t key) const { return slots[slot_of(key)]; }
};

key_index index_of_targets(std::vector<tag_vet_t> const & tag_vet, std::vector<uint32_t> const & targets)
{
    std::size_t keys = 0;
    for (uint32_t p : targets)
        keys += tag_vet[p].tag_sequence.size() + 1;
    key_index index;
    std::size_t size = 16;
    while (size < 2 * keys)
        size *= 2;
    index.slots.assign(size, none);
    index.entries.reserve(keys);
    std::vector<uint64_t> prefix, power, tag_keys;
    for (uint32_t p : targets)
    {
        keys_of(tag_vet[p].tag_sequence, prefix, power, tag_keys);
        for (uint64_t key : tag_keys)
            index.add(key, p);
    }
    return index;
}
}  // namespace

bool one_change_apart(tag_letters const & a, tag_letters const & b)
{
    tag_letters const & longer = a.size() >= b.size() ? a : b;
    tag_letters const & shorter = a.size() >= b.size() ? b : a;
    std::size_t const n = shorter.size();
    if (longer.size() > n + 1)
        return false;
    std::size_t i = 0;
    while (i < n && longer[i] == shorter[i])
        ++i;
    if (longer.size() == n)  // one substitution: the rest equal
        return i < n && std::equal(shorter.begin() + i + 1, shorter.end(), longer.begin() + i + 1);
    return std::equal(shorter.begin() + i, shorter.end(), longer.begin() + i + 1);
}

error_folds find_error_folds(tag_table const & tags, class_assignment const & placed,
                             precursor_catalogue const * precursors, std::vector<std::string> const & species,
                             uint32_t thread_count)
{
    std::vector<tag_vet_t> const & tag_vet = tags.tag_vet;
    std::vector<uint32_t> targets, candidates;
    uint64_t most_reads = 0;
    for (uint32_t p = 0; p < tag_vet.size(); ++p)
    {
        tag_vet_t const & tag = tag_vet[p];
        if (!tag.mirna_matched_vet.empty())
        {
            if (tag.tag_count >= fold_ratio)
                targets.push_back(p);
            most_reads = std::max(most_reads, tag.tag_count);
        }
        else if (placed.by_tag_index.count(tag.tag_index) == 0)
            candidates.push_back(p);
    }
    candidates.erase(std::remove_if(candidates.begin(), candidates.end(),
                                    [&](uint32_t p) { return tag_vet[p].tag_count > most_reads / fold_ratio; }),
                     candidates.end());
    error_folds folds;
    if (targets.empty() || candidates.empty())
        return folds;
    key_index const index = index_of_targets(tag_vet, targets);

    std::vector<uint32_t> into(candidates.size(), none);
    run_in_chunks(candidates.size(), thread_count, [&](uint32_t, uint64_t first, uint64_t last) {
        std::vector<uint64_t> prefix, power, keys;
        for (uint64_t c = first; c < last; ++c)
        {
            tag_vet_t const & tag = tag_vet[candidates[c]];
            keys_of(tag.tag_sequence, prefix, power, keys);
            // Of the tags one change away with reads enough, the one of most reads, then the first.
            auto beats = [&](uint32_t p, uint32_t best) {
                return best == none || tag_vet[p].tag_count > tag_vet[best].tag_count ||
                       (tag_vet[p].tag_count == tag_vet[best].tag_count && p < best);
            };
            uint32_t best = none;
            for (uint64_t key : keys)
                for (uint32_t e = index.first(key); e != none; e = index.entries[e].next)
                {
                    uint32_t const p = index.entries[e].tag;
                    if (tag_vet[p].tag_count >= fold_ratio * tag.tag_count && beats(p, best) &&
                        one_change_apart(tag.tag_sequence, tag_vet[p].tag_sequence))
                        best = p;
                }
            if (best != none && !(precursors != nullptr &&
                                  lies_in_a_precursor(*precursors, rna5_to_text(tag.tag_sequence), species)))
                into[c] = best;
        }
    });
    for (std::size_t c = 0; c < candidates.size(); ++c)
        if (into[c] != none)
        {
            tag_vet_t const & tag = tag_vet[candidates[c]];
            folds.folds.push_back({candidates[c], into[c]});
            folds.into.emplace(tag.tag_index, tag_vet[into[c]].tag_index);
            folds.reads += tag.tag_count;
        }
    return folds;
}

std::string folded_table_text(error_folds const & folds, tag_table const & tags)
{
    auto dna_of = [&](uint32_t position) { return dna_letters(rna5_to_text(tags.tag_vet[position].tag_sequence)); };
    std::vector<std::tuple<std::string, std::string, uint64_t>> rows;
    for (error_folds::fold const & fold : folds.folds)
        rows.emplace_back(dna_of(fold.from), dna_of(fold.to), tags.tag_vet[fold.from].tag_count);
    std::sort(rows.begin(), rows.end());
    std::string text = "sequence\tinto\treads\n";
    for (auto const & [sequence, into, reads] : rows)
        text += sequence + '\t' + into + '\t' + std::to_string(reads) + '\n';
    return text;
}

void fold_errors(error_folds const & folds, tag_table & tags)
{
    if (folds.folds.empty())
        return;
    std::vector<bool> folded(tags.tag_vet.size(), false);
    for (error_folds::fold const & fold : folds.folds)
    {
        tags.tag_vet[fold.to].tag_count += tags.tag_vet[fold.from].tag_count;
        folded[fold.from] = true;
    }
    std::size_t kept = 0;
    for (std::size_t p = 0; p < tags.tag_vet.size(); ++p)
        if (!folded[p])
            tags.tag_vet[kept++] = std::move(tags.tag_vet[p]);
    tags.tag_vet.resize(kept);
}
