// Seed search by q-gram lookup: one walk over each tag's windows instead of
// one scan of the tag table per (seed, species) pass.
#include "matching/seed_lookup.hpp"

#include <algorithm>

#include <seqan/index.h>

#include "matching/ungapped_extension.hpp"
#include "core/parallel_chunks.hpp"

namespace
{
using seed_shape = seqan::Shape<seqan::Rna5, seqan::SimpleShape>;

// Hashes of words longer than this wrap in 64 bits (5^27 < 2^64 < 5^28).
constexpr uint32_t longest_exact_hash = 27;

// 5^exponent, or limit + 1 when it would exceed limit.
uint64_t table_size_for(uint32_t exponent, uint64_t limit)
{
    uint64_t size = 1;
    for (uint32_t e = 0; e < exponent; ++e)
    {
        if (size > limit / 5)
            return limit + 1;
        size *= 5;
    }
    return size;
}

// The number of windows, from the tag's start, that can lead to an accepted
// alignment. The exact part of an alignment reaches at most begin_seed
// symbols to the left of its seed occurrence and must start before
// tag_begin, so an occurrence at tag_begin + begin_seed or later yields
// nothing, and neither do the later occurrences that are never extended.
uint64_t useful_windows(search_parameters const & parameters)
{
    return uint64_t{parameters.tag_begin} + parameters.begin_seed;
}

// The searched seed first in the chain of hash `hash`, or no_seed.
uint32_t first_with_hash(seed_lookup_t const & lookup, uint64_t hash)
{
    if (!lookup.direct_table.empty())
        return lookup.direct_table[hash];
    auto const found = lookup.hash_table.find(hash);
    return found == lookup.hash_table.end() ? no_seed : found->second;
}

// True when the tag holds searched seed s at window `window`.
bool window_equals_seed(seed_lookup_t const & lookup, std::vector<seed_vet_t> const & seed_vet, uint32_t s,
                        tag_letters const & tag, std::size_t window)
{
    rna_string const & seed = seed_vet[lookup.searched_seed_index[s]].seed_seq;
    for (std::size_t i = 0; i < lookup.seed_size; ++i)
        if (tag[window + i] != seed[i])
            return false;
    return true;
}

// The leftmost occurrence of one searched seed in the current tag.
struct seed_found_t
{
    uint32_t searched_seed = 0;
    uint32_t seed_begin = 0;
};

// Working memory of one thread.
struct tag_scratch
{
    explicit tag_scratch(seed_lookup_t const & lookup)
        : found_in_tag(lookup.searched_seed_index.size(), 0)
    {
        seqan::resize(shape, lookup.seed_size);
    }

    seed_shape shape;
    // Per searched seed: 1 + position in tag_vet of the last tag it was found in.
    std::vector<uint32_t> found_in_tag;
    std::vector<seed_found_t> found;  // the current tag's seeds, as met
    std::vector<mirna_matched_vet_t> alignments;  // of the tags searched so far
    std::vector<uint32_t> alignments_end;         // per tag searched: the end of its alignments there
};

// Records window `window` of tag t as the occurrence of every searched seed
// with this hash that the tag holds there and that was not met before.
void record_window(seed_lookup_t const & lookup, std::vector<seed_vet_t> const & seed_vet, uint64_t hash,
                   tag_letters const & tag, uint32_t window, uint32_t t, tag_scratch & scratch)
{
    for (uint32_t s = first_with_hash(lookup, hash); s != no_seed; s = lookup.next_with_same_hash[s])
    {
        if (scratch.found_in_tag[s] == t + 1)
            continue;
        if (!lookup.exact_hash && !window_equals_seed(lookup, seed_vet, s, tag, window))
            continue;
        scratch.found_in_tag[s] = t + 1;
        scratch.found.push_back({s, window});
    }
}

// Finds the leftmost occurrence of every searched seed in tag t, then extends
// them pass by pass in seed, species entry, selected code order.
void search_tag(seed_lookup_t const & lookup, search_parameters const & parameters,
                std::vector<seed_vet_t> const & seed_vet, tag_vet_t const & tag_record, uint32_t t, tag_scratch & scratch)
{
    tag_letters const & tag = tag_record.tag_sequence;
    uint64_t const q = lookup.seed_size;
    uint64_t const length = tag.size();
    if (lookup.searched_seed_index.empty() || q == 0 || length < q)
        return;
    uint64_t const windows = std::min(length - q + 1, useful_windows(parameters));
    if (windows == 0)
        return;

    scratch.found.clear();
    seqan::Rna5 const * const letters = tag.begin();
    uint64_t hash = seqan::hash(scratch.shape, letters);
    for (uint32_t window = 0;;)
    {
        record_window(lookup, seed_vet, hash, tag, window, t, scratch);
        if (++window == windows)
            break;
        hash = seqan::hashNext(scratch.shape, letters + window);
    }

    std::sort(scratch.found.begin(), scratch.found.end(),
              [](seed_found_t const & a, seed_found_t const & b) { return a.searched_seed < b.searched_seed; });
    for (seed_found_t const & hit : scratch.found)
    {
        for (uint32_t p = lookup.first_pass[hit.searched_seed]; p < lookup.first_pass[hit.searched_seed + 1]; ++p)
        {
            seed_pass_t const & pass = lookup.passes[p];
            seed_in_tag_vet_t const occurrence{hit.seed_begin, hit.seed_begin + lookup.seed_size};
            mirna_letters_t const * const mirnas = lookup.pass_mirnas.data();
            ungapped_extension(parameters, occurrence, mirnas + lookup.first_pass_mirna[p],
                               mirnas + lookup.first_pass_mirna[p + 1], pass.seed_index, pass.specie_index, tag,
                               scratch.alignments);
        }
    }
}
}  // namespace

bool same_specie_code(char_string const & a, char_string const & b)
{
    if (seqan::length(a) != seqan::length(b))
        return false;
    for (std::size_t i = 0; i < seqan::length(a); ++i)
        if (a[i] != b[i])
            return false;
    return true;
}

std::vector<seed_pass_t> list_seed_passes(mirna_db_tables const & mirna_db)
{
    std::vector<seed_vet_t> const & seed_vet = mirna_db.seed_vet;
    std::vector<seed_pass_t> passes;
    for (uint32_t i = 0; i < seed_vet.size(); ++i)
    {
        if (seqan::empty(seed_vet[i].seed_seq))
            continue;
        std::vector<specie_vet_t> const & species = seed_vet[i].specie_vet;
        for (uint32_t j = 0; j < species.size(); ++j)
            for (char_string const & selected : mirna_db.species_to_check_vet)
                if (same_specie_code(species[j].specie_code, selected))
                    passes.push_back({i, j});
    }
    return passes;
}

bool lookup_applies(std::vector<seed_vet_t> const & seed_vet, std::vector<seed_pass_t> const & passes,
                    uint32_t seed_size)
{
    for (seed_pass_t const & pass : passes)
        if (seqan::length(seed_vet[pass.seed_index].seed_seq) != seed_size)
            return false;
    return true;
}

namespace
{
// Fills the pass miRNA table of `lookup` from the passes and seed_vet.
void gather_pass_mirnas(std::vector<seed_vet_t> const & seed_vet, seed_lookup_t & lookup)
{
    std::size_t letters = 0;
    for (seed_pass_t const & pass : lookup.passes)
        for (mirna_vet_t const & mirna : seed_vet[pass.seed_index].specie_vet[pass.specie_index].mirna_vet)
            letters += seqan::length(mirna.mirna_seq);
    lookup.mirna_letter_store.resize(letters);  // its room fixed before any miRNA points into it
    seqan::Rna5 * next = lookup.mirna_letter_store.data();
    for (seed_pass_t const & pass : lookup.passes)
    {
        lookup.first_pass_mirna.push_back(static_cast<uint32_t>(lookup.pass_mirnas.size()));
        std::vector<mirna_vet_t> const & mirnas = seed_vet[pass.seed_index].specie_vet[pass.specie_index].mirna_vet;
        for (std::size_t m = 0; m < mirnas.size(); ++m)
        {
            mirna_letters_t mirna = letters_of(mirnas[m], static_cast<uint32_t>(m));
            next = std::copy(mirna.letters, mirna.letters + mirna.length, next);
            mirna.letters = next - mirna.length;
            lookup.pass_mirnas.push_back(mirna);
        }
    }
    lookup.first_pass_mirna.push_back(static_cast<uint32_t>(lookup.pass_mirnas.size()));
}
}  // namespace

seed_lookup_t build_seed_lookup(std::vector<seed_vet_t> const & seed_vet, std::vector<seed_pass_t> passes,
                                uint32_t seed_size, uint64_t direct_table_limit)
{
    seed_lookup_t lookup;
    lookup.seed_size = seed_size;
    lookup.passes = std::move(passes);
    for (uint32_t p = 0; p < lookup.passes.size(); ++p)
    {
        if (p == 0 || lookup.passes[p].seed_index != lookup.passes[p - 1].seed_index)
        {
            lookup.searched_seed_index.push_back(lookup.passes[p].seed_index);
            lookup.first_pass.push_back(p);
        }
    }
    lookup.first_pass.push_back(static_cast<uint32_t>(lookup.passes.size()));
    gather_pass_mirnas(seed_vet, lookup);

    std::size_t const searched = lookup.searched_seed_index.size();
    lookup.next_with_same_hash.assign(searched, no_seed);
    lookup.exact_hash = seed_size <= longest_exact_hash;
    uint64_t const table_size = table_size_for(seed_size, direct_table_limit);
    bool const direct = table_size <= direct_table_limit;
    if (direct)
        lookup.direct_table.assign(table_size, no_seed);
    else
        lookup.hash_table.reserve(searched);

    // Linked from the last seed to the first, so that every chain ascends.
    seed_shape shape;
    seqan::resize(shape, seed_size);
    for (std::size_t s = searched; s-- > 0;)
    {
        rna_string const & seed = seed_vet[lookup.searched_seed_index[s]].seed_seq;
        uint64_t const hash = seqan::hash(shape, seqan::begin(seed, seqan::Standard()));
        uint32_t & head = direct ? lookup.direct_table[hash] : lookup.hash_table.emplace(hash, no_seed).first->second;
        lookup.next_with_same_hash[s] = head;
        head = static_cast<uint32_t>(s);
    }
    return lookup;
}

void store_alignment_block(std::vector<tag_vet_t> & tag_vet, uint32_t first_tag, uint32_t last_tag,
                           std::vector<mirna_matched_vet_t> & alignments, std::vector<uint32_t> const & ends,
                           std::vector<std::vector<mirna_matched_vet_t>> & blocks)
{
    if (alignments.empty())
        return;
    blocks.emplace_back(alignments.begin(), alignments.end());  // exactly the room they take
    std::vector<mirna_matched_vet_t> & block = blocks.back();
    uint32_t begin = 0;
    for (uint32_t t = first_tag; t < last_tag; ++t)
    {
        uint32_t const end = ends[t - first_tag];
        alignment_list & list = tag_vet[t].mirna_matched_vet;
        if (list.empty())
            list = alignment_list::viewing(block.data() + begin, end - begin);
        else  // alignments from before: the new ones follow them
            for (uint32_t k = begin; k < end; ++k)
                list.push_back(block[k]);
        begin = end;
    }
    alignments.clear();
}

void search_tag_range(seed_lookup_t const & lookup, search_parameters const & parameters,
                      std::vector<seed_vet_t> const & seed_vet, std::vector<tag_vet_t> & tag_vet,
                      uint32_t first_tag, uint32_t last_tag, std::vector<std::vector<mirna_matched_vet_t>> & blocks)
{
    tag_scratch scratch(lookup);
    for (uint32_t first = first_tag; first < last_tag;)
    {
        uint32_t const last = first + std::min(last_tag - first, tags_per_alignment_block);
        scratch.alignments_end.clear();
        for (uint32_t t = first; t < last; ++t)
        {
            search_tag(lookup, parameters, seed_vet, tag_vet[t], t, scratch);
            scratch.alignments_end.push_back(static_cast<uint32_t>(scratch.alignments.size()));
        }
        store_alignment_block(tag_vet, first, last, scratch.alignments, scratch.alignments_end, blocks);
        first = last;
    }
}

void search_all_tags(seed_lookup_t const & lookup, search_parameters const & parameters,
                     std::vector<seed_vet_t> const & seed_vet, tag_table & tags, uint32_t thread_count)
{
    // In many short pieces, so that the threads finish within a short piece
    // of one another: some parts of the table take longer to extend.
    std::vector<tag_vet_t> & tag_vet = tags.tag_vet;
    uint64_t const tag_count = tag_vet.size();
    uint32_t const pieces = piece_count(tag_count, thread_count, 64);
    std::vector<std::vector<std::vector<mirna_matched_vet_t>>> blocks(pieces);
    run_in_pieces(pieces, thread_count, [&](uint64_t piece) {
        auto const p = static_cast<uint32_t>(piece);
        search_tag_range(lookup, parameters, seed_vet, tag_vet,
                         static_cast<uint32_t>(chunk_begin(tag_count, pieces, p)),
                         static_cast<uint32_t>(chunk_begin(tag_count, pieces, p + 1)), blocks[p]);
    });
    for (auto & piece_blocks : blocks)
        for (std::vector<mirna_matched_vet_t> & block : piece_blocks)
            tags.alignment_blocks.push_back(std::move(block));  // the tags' views stay valid
}
