#include "matching/seed_lookup.hpp"

#include <random>
#include <sstream>

#include <gtest/gtest.h>

#include "matching/matching_test_support.hpp"
#include "matching/mirna_finder.hpp"

namespace
{
std::string const M = example_mirna;  // seed CAGGAC at position 1

// Every field of every alignment of every tag, one tag per line.
std::string alignments_text(std::vector<tag_vet_t> const & tag_vet)
{
    std::ostringstream text;
    for (tag_vet_t const & tag : tag_vet)
    {
        text << tag.tag_index << ':';
        for (mirna_matched_vet_t const & a : tag.mirna_matched_vet)
            text << " [" << a.seed_index << ' ' << a.specie_index << ' ' << a.mirna_vet_index << ' '
                 << a.size_ungapped << ' ' << a.begin_ungapped_mirna << ' ' << a.begin_ungapped_tag << ' '
                 << a.size_ungapped_1 << ' ' << a.begin_ungapped_mirna_1 << ' ' << a.begin_ungapped_tag_1 << ' '
                 << a.size_ungapped_2 << ' ' << a.begin_ungapped_mirna_2 << ' ' << a.begin_ungapped_tag_2 << ' '
                 << a.align_score << ' ' << a.mir_tag_size_diff << ' ' << flag_names(a) << ']';
        text << '\n';
    }
    return text.str();
}

void clear_alignments(std::vector<tag_vet_t> & tag_vet)
{
    for (tag_vet_t & tag : tag_vet)
        tag.mirna_matched_vet.clear();
}

// ---- random seed indices and tags ---------------------------------------

struct random_source
{
    std::mt19937 engine;
    uint32_t below(uint32_t n) { return static_cast<uint32_t>(engine() % n); }
    bool chance(uint32_t percent) { return below(100) < percent; }
    std::string letters(std::size_t n, std::string const & alphabet)
    {
        std::string text;
        for (std::size_t i = 0; i < n; ++i)
            text += alphabet[below(static_cast<uint32_t>(alphabet.size()))];
        return text;
    }
};

// A seed index of seeds `seed_size` long, shared by several species and
// sometimes repeated under a second seed entry, with the seed at begin_seed
// of every miRNA, into `seed_vet`; returns the miRNA sequences.
std::vector<std::string> fill_random_index(random_source & random, search_parameters const & s,
                                           std::vector<seed_vet_t> & seed_vet)
{
    std::vector<std::string> mirnas;
    std::vector<std::string> seeds;
    uint32_t const seed_count = 1 + random.below(12);
    uint32_t mirna_index = 0;
    for (uint32_t i = 0; i < seed_count; ++i)
    {
        std::string seed = random.letters(s.seed_size, random.chance(15) ? "ACGUN" : "ACGU");
        if (!seeds.empty() && random.chance(10))
            seed = seeds[random.below(static_cast<uint32_t>(seeds.size()))];  // same text, second entry
        seeds.push_back(seed);
        std::vector<specie_vet_t> species;
        for (std::string const code : {"hsa", "mmu", "rno"})
        {
            if (!random.chance(60))
                continue;
            std::vector<mirna_vet_t> members;
            for (uint32_t m = 1 + random.below(3); m > 0; --m)
            {
                std::string const mirna = random.letters(s.begin_seed, "ACGU") + seed +
                                          random.letters(random.below(16), random.chance(10) ? "ACGUN" : "ACGU");
                mirnas.push_back(mirna);
                members.push_back(make_mirna(mirna, ++mirna_index));
            }
            species.push_back(make_specie(code, members));
        }
        seed_vet.push_back(make_seed(seed, species));
    }
    return mirnas;
}

// A tag made from a miRNA with isomiR-like changes, a seed held twice, N
// letters, or plain random letters; some are shorter than the seed.
std::string random_tag(random_source & random, std::vector<std::string> const & mirnas)
{
    if (mirnas.empty() || random.chance(20))
        return random.letters(random.below(30), random.chance(20) ? "ACGUN" : "ACGU");
    std::string tag = mirnas[random.below(static_cast<uint32_t>(mirnas.size()))];
    for (uint32_t changes = random.below(3); changes > 0 && !tag.empty(); --changes)
        tag[random.below(static_cast<uint32_t>(tag.size()))] = random.letters(1, "ACGUN")[0];
    if (random.chance(30))
        tag = random.letters(1 + random.below(4), "ACGU") + tag;
    if (random.chance(30) && !tag.empty())
        tag.erase(0, random.below(3));
    if (random.chance(30))
        tag.resize(tag.size() - std::min<std::size_t>(tag.size(), random.below(5)));
    if (random.chance(15))
        tag += tag;  // the seed twice
    return tag;
}

// Runs one search with fresh counters; returns what it printed and the passes it counted.
std::pair<std::string, uint32_t> run_search(search_parameters const & s, mirna_db_tables const & index,
                                            tag_table & tags, seed_search search, uint32_t threads)
{
    search_counters counters;
    std::ostringstream log;
    mirna_finder(s, index, tags, counters, threads, log, search);
    return {log.str(), counters.mirna_elaborated};
}
}  // namespace

// The lookup gives every tag the alignments of the reference search, in the
// same order, on random seed indices and tags, for any thread count and with
// either table. Seeds of 28 letters and more have hashes that wrap.
TEST(SeedLookup, SameAlignmentsAsTheReferenceSearch)
{
    random_source random{std::mt19937(20240611)};
    uint32_t const seed_sizes[] = {1, 2, 3, 5, 6, 7, 8, 12, 28, 30};
    std::vector<std::vector<std::string>> const selections = {
        {"hsa"}, {"hsa", "mmu"}, {"rno", "mmu", "hsa"}, {"mmu", "hsa", "hsa"}, {"xyz"}};
    for (int round = 0; round < 400; ++round)
    {
        search_parameters const s{random.chance(20) ? 4294967295u : random.below(14), random.below(8),
                               random.below(4), random.below(12),
                               seed_sizes[random.below(sizeof seed_sizes / sizeof seed_sizes[0])], {}};
        std::vector<seed_vet_t> seeds;
        std::vector<std::string> const mirnas = fill_random_index(random, s, seeds);
        mirna_db_tables const index =
            make_index(std::move(seeds), selections[random.below(static_cast<uint32_t>(selections.size()))]);
        tag_table tags;
        for (uint32_t t = random.below(60); t > 0; --t)
            tags.tag_vet.push_back(
                make_tag(random_tag(random, mirnas), 1, static_cast<uint32_t>(tags.tag_vet.size() + 1)));
        SCOPED_TRACE("round " + std::to_string(round) + ", seed size " + std::to_string(s.seed_size) +
                     ", -sb " + std::to_string(s.begin_seed) + ", -b " + std::to_string(s.tag_begin));

        auto const reference_run = run_search(s, index, tags, seed_search::reference, 1);
        std::string const reference = alignments_text(tags.tag_vet);

        for (uint32_t threads : {1u, 2u, 5u})
        {
            clear_alignments(tags.tag_vet);
            EXPECT_EQ(reference_run, run_search(s, index, tags, seed_search::lookup, threads)) << threads << " threads";
            EXPECT_EQ(reference, alignments_text(tags.tag_vet)) << threads << " threads";
        }

        clear_alignments(tags.tag_vet);
        seed_lookup_t const hashed = build_seed_lookup(index.seed_vet, list_seed_passes(index), s.seed_size, 0);
        EXPECT_TRUE(hashed.direct_table.empty());
        search_all_tags(hashed, s, index.seed_vet, tags, 2);
        EXPECT_EQ(reference, alignments_text(tags.tag_vet)) << "hash table";
        if (HasFailure())
            break;
    }
}

// Only windows before tag_begin + begin_seed are searched: the exact part
// reaches at most begin_seed symbols left of the seed and must start before
// tag_begin. The last useful window still yields its alignment.
TEST(SeedLookup, TheLastUsefulWindowIsSearched)
{
    struct window_case
    {
        char const * description;
        std::string tag;
        int expected_tag_begin;  // -1: no alignment
    };
    // M[0] is U: a U before the seed extends the match one symbol to the left.
    std::vector<window_case> const cases = {
        {"seed at 4, match from 3", "GGGU" + M.substr(1), 3},
        {"seed at 5, match from 4", "GGGGU" + M.substr(1), -1},
        {"seed at 3, no left extension", "GGG" + M.substr(1), 3},
        {"seed at 4, no left extension", "GGGG" + M.substr(1), -1},
    };
    for (window_case const & c : cases)
    {
        SCOPED_TRACE(c.description);
        tag_table tags = make_tags({c.tag});

        run_search({}, make_index({make_seed("CAGGAC", {make_specie("hsa", {make_mirna(M, 1)})})}, {"hsa"}), tags,
                   seed_search::lookup, 1);

        alignment_list const & found = tags.tag_vet[0].mirna_matched_vet;
        if (c.expected_tag_begin < 0)
        {
            EXPECT_TRUE(found.empty());
            continue;
        }
        ASSERT_EQ(1u, found.size());
        EXPECT_EQ(static_cast<uint32_t>(c.expected_tag_begin), found[0].begin_ungapped_tag);
    }
}

// Passes follow seed, species entry and selected code; seeds without a
// selected species are not indexed; entries with one seed text share a hash.
TEST(SeedLookup, BuildsPassesAndTables)
{
    mirna_db_tables const index =
        make_index({make_seed("", {}), make_seed("AAAAAA", {make_specie("rno", {make_mirna("UAAAAAAGG", 1)})}),
                    make_seed("CAGGAC",
                              {make_specie("hsa", {make_mirna(M, 2)}), make_specie("mmu", {make_mirna(M, 3)})}),
                    make_seed("CAGGAC", {make_specie("mmu", {make_mirna(M, 4)})})},
                   {"mmu", "hsa", "mmu"});
    std::vector<seed_vet_t> const & seed_vet = index.seed_vet;

    std::vector<seed_pass_t> const passes = list_seed_passes(index);
    std::vector<std::pair<uint32_t, uint32_t>> listed;
    for (seed_pass_t const & pass : passes)
        listed.emplace_back(pass.seed_index, pass.specie_index);
    EXPECT_EQ((std::vector<std::pair<uint32_t, uint32_t>>{{2, 0}, {2, 1}, {2, 1}, {3, 0}, {3, 0}}), listed);
    EXPECT_TRUE(lookup_applies(seed_vet, passes, 6));
    EXPECT_FALSE(lookup_applies(seed_vet, passes, 5));

    for (uint64_t limit : {uint64_t{1} << 24, uint64_t{0}})
    {
        seed_lookup_t const lookup = build_seed_lookup(seed_vet, passes, 6, limit);
        EXPECT_EQ((std::vector<uint32_t>{2, 3}), lookup.searched_seed_index);
        EXPECT_EQ((std::vector<uint32_t>{0, 3, 5}), lookup.first_pass);
        EXPECT_EQ((std::vector<uint32_t>{1, no_seed}), lookup.next_with_same_hash);
        EXPECT_EQ(limit == 0, lookup.direct_table.empty());
        EXPECT_EQ(limit == 0 ? 1u : 0u, lookup.hash_table.size());
        EXPECT_TRUE(lookup.exact_hash);
    }
    EXPECT_FALSE(build_seed_lookup(seed_vet, {}, 28).exact_hash);
}
