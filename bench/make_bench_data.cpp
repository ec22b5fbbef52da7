// make_bench_data: writes reproducible benchmark input for mirsight.
//
//   make_bench_data OUTDIR [--seed N] [SIZE ...]
//
// OUTDIR/mature.txt is a miRBase-style mature-miRNA file (RNA letters, one
// sequence line per record) of about 10,000 records: 2,656 human miRNAs in
// families whose members share nucleotides 2-8, and five more species that
// share many sequences with the human set. For every SIZE (a number with an
// optional k or M suffix; default 100k 1M 5M) OUTDIR/tags_<SIZE>.txt holds
// that many distinct tags in DNA letters (sequence, tab, read count): about a
// third are isomiRs of the miRNAs (5' shifts, 3' trims and extensions, one or
// two substitutions), the rest background (random sequences and fragments of
// other RNA, 15 to 40 nt). Read counts are heavy-tailed.
//
// The generator and every distribution are written out here, so the same
// seed gives the same bytes with any compiler and standard library. The
// miRNA file does not depend on the sizes asked for, and each tag file
// depends only on the seed and its own size.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>
#include <unordered_set>
#include <vector>

namespace
{
// ---------------------------------------------------------------- random numbers

// xoshiro256** state, seeded through splitmix64.
struct random_source
{
    uint64_t s[4];
};

uint64_t splitmix64(uint64_t & x)
{
    x += 0x9e3779b97f4a7c15ULL;
    uint64_t z = x;
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
}

random_source make_random_source(uint64_t seed)
{
    random_source r{};
    for (uint64_t & word : r.s)
        word = splitmix64(seed);
    return r;
}

uint64_t rotate_left(uint64_t x, int k)
{
    return (x << k) | (x >> (64 - k));
}

uint64_t next_u64(random_source & r)
{
    uint64_t const result = rotate_left(r.s[1] * 5, 7) * 9;
    uint64_t const t = r.s[1] << 17;
    r.s[2] ^= r.s[0];
    r.s[3] ^= r.s[1];
    r.s[1] ^= r.s[2];
    r.s[0] ^= r.s[3];
    r.s[2] ^= t;
    r.s[3] = rotate_left(r.s[3], 45);
    return result;
}

// A number in [0, bound), without modulo bias.
uint64_t uniform_below(random_source & r, uint64_t bound)
{
    uint64_t const threshold = (0 - bound) % bound;
    for (;;)
    {
        uint64_t const x = next_u64(r);
        if (x >= threshold)
            return x % bound;
    }
}

// A number in [low, high].
std::size_t uniform_between(random_source & r, std::size_t low, std::size_t high)
{
    return low + static_cast<std::size_t>(uniform_below(r, high - low + 1));
}

// A number in [0, 1).
double uniform_unit(random_source & r)
{
    return static_cast<double>(next_u64(r) >> 11) * 0x1.0p-53;
}

bool chance(random_source & r, double probability)
{
    return uniform_unit(r) < probability;
}

// A Pareto draw with minimum 1 and tail index `alpha`.
double pareto(random_source & r, double alpha)
{
    return std::pow(1.0 - uniform_unit(r), -1.0 / alpha);
}

// Cumulative weights of items 0..n-1, item i weighing 1 / (i + 1)^exponent.
std::vector<double> zipf_weights(std::size_t n, double exponent)
{
    std::vector<double> cumulative(n);
    double total = 0;
    for (std::size_t i = 0; i < n; ++i)
    {
        total += 1.0 / std::pow(static_cast<double>(i + 1), exponent);
        cumulative[i] = total;
    }
    return cumulative;
}

// An item index drawn with the weights of `cumulative`.
std::size_t pick_weighted(random_source & r, std::vector<double> const & cumulative)
{
    double const target = uniform_unit(r) * cumulative.back();
    std::size_t low = 0;
    std::size_t high = cumulative.size() - 1;
    while (low < high)
    {
        std::size_t const middle = (low + high) / 2;
        if (cumulative[middle] > target)
            high = middle;
        else
            low = middle + 1;
    }
    return low;
}

// 0..n-1 in random order (Fisher-Yates).
std::vector<std::size_t> random_order(random_source & r, std::size_t n)
{
    std::vector<std::size_t> order(n);
    for (std::size_t i = 0; i < n; ++i)
        order[i] = i;
    for (std::size_t i = n; i > 1; --i)
        std::swap(order[i - 1], order[static_cast<std::size_t>(uniform_below(r, i))]);
    return order;
}

// ---------------------------------------------------------------- sequences

char random_base(random_source & r)
{
    return "ACGU"[uniform_below(r, 4)];
}

std::string random_rna(random_source & r, std::size_t length)
{
    std::string s(length, 'A');
    for (char & c : s)
        c = random_base(r);
    return s;
}

// Replaces the base at `position` by one of the three others.
void substitute(random_source & r, std::string & s, std::size_t position)
{
    char replacement = s[position];
    while (replacement == s[position])
        replacement = random_base(r);
    s[position] = replacement;
}

// ---------------------------------------------------------------- miRNA database

// Nucleotides 2-8 (positions 1 to 7) are what family members share.
constexpr std::size_t family_seed_begin = 1;
constexpr std::size_t family_seed_end = 8;

struct mature_record
{
    std::string species;   // code such as "hsa"
    std::string name;      // name without the species, such as "miR-21a-5p"
    std::string sequence;  // RNA letters
    std::string flank5;    // precursor bases just before the 5' end
    std::string flank3;    // precursor bases just after the 3' end
};

struct species_plan
{
    char const * code;
    char const * latin_name;
    std::size_t records;
    double copied_exactly;      // share of records that repeat a human sequence
    double copied_with_change;  // share that repeat one with a change outside the seed
};

constexpr std::size_t human_records = 2656;

species_plan const other_species[] = {
    {"mmu", "Mus musculus", 2100, 0.60, 0.25},   {"rno", "Rattus norvegicus", 1300, 0.55, 0.25},
    {"gga", "Gallus gallus", 1250, 0.35, 0.25},  {"ptr", "Pan troglodytes", 1600, 0.80, 0.15},
    {"bta", "Bos taurus", 1100, 0.55, 0.25},
};

// A mature length between 20 and 24, mostly 22.
std::size_t mature_length(random_source & r)
{
    double const u = uniform_unit(r);
    if (u < 0.05)
        return 20;
    if (u < 0.20)
        return 21;
    if (u < 0.70)
        return 22;
    if (u < 0.90)
        return 23;
    return 24;
}

// The prototype arm of a family: `seed7` (random when empty) at positions
// 1-7, a first base that is U more often than not, random elsewhere.
std::string prototype_arm(random_source & r, std::string const & seed7)
{
    std::string arm = random_rna(r, mature_length(r));
    arm[0] = chance(r, 0.45) ? 'U' : random_base(r);
    std::string const seed = seed7.empty() ? random_rna(r, family_seed_end - family_seed_begin) : seed7;
    arm.replace(family_seed_begin, seed.size(), seed);
    return arm;
}

// A family member's arm: the prototype with 1-4 substitutions after the seed
// and sometimes one base more or less at the 3' end.
std::string member_arm(random_source & r, std::string const & prototype)
{
    std::string arm = prototype;
    std::size_t const changes = uniform_between(r, 1, 4);
    for (std::size_t i = 0; i < changes; ++i)
        substitute(r, arm, uniform_between(r, family_seed_end, arm.size() - 1));
    double const u = uniform_unit(r);
    if (u < 0.15)
        arm.pop_back();
    else if (u < 0.30)
        arm.push_back(random_base(r));
    return arm;
}

// Number of members of a new family: mostly 1, otherwise 2 to 10 with
// larger families rarer.
std::size_t family_size(random_source & r)
{
    if (chance(r, 0.70))
        return 1;
    static std::vector<double> const sizes = zipf_weights(9, 1.5);  // index 0 = 2 members
    return 2 + pick_weighted(r, sizes);
}

// Letters of family members: "", or a, b, c, ... (h skipped, as in let-7).
std::string member_letter(std::size_t member, std::size_t members)
{
    if (members == 1)
        return "";
    char letter = static_cast<char>('a' + member);
    if (letter >= 'h')
        ++letter;
    return std::string(1, letter);
}

// Adds `mirna` to `records` unless its species already has that sequence,
// in which case later bases are changed until it is new.
void add_distinct(random_source & r, std::unordered_set<std::string> & species_sequences,
                  mature_record mirna, std::vector<mature_record> & records)
{
    while (!species_sequences.insert(mirna.sequence).second)
        substitute(r, mirna.sequence, uniform_between(r, family_seed_end, mirna.sequence.size() - 1));
    records.push_back(std::move(mirna));
}

// Appends the mature miRNAs of one family named `stem` ("miR-123",
// "let-7"): each member is a precursor with a 5' arm, a 3' arm or both; the
// members' 5' arms share nucleotides 2-8 (`seed7`, random when empty), and
// about half of their 3' arms share those of the first member's 3' arm.
// Returns the family's 5' seed.
std::string add_family(random_source & r, std::string const & species, std::string const & stem,
                       std::size_t members, std::string const & seed7,
                       std::unordered_set<std::string> & species_sequences,
                       std::vector<mature_record> & records)
{
    std::string const prototype5 = prototype_arm(r, seed7);
    std::string const prototype3 = prototype_arm(r, "");
    for (std::size_t member = 0; member < members; ++member)
    {
        std::string const name = stem + member_letter(member, members);
        double const u = uniform_unit(r);
        bool const has5 = u < 0.85;
        bool const has3 = u < 0.45 || u >= 0.85;
        if (has5)
            add_distinct(r, species_sequences,
                         {species, name + "-5p", member == 0 ? prototype5 : member_arm(r, prototype5),
                          random_rna(r, 3), random_rna(r, 6)},
                         records);
        if (has3)
        {
            std::string const arm3 = member == 0       ? prototype3
                                     : chance(r, 0.5) ? member_arm(r, prototype3)
                                                      : prototype_arm(r, "");
            add_distinct(r, species_sequences, {species, name + "-3p", arm3, random_rna(r, 3), random_rna(r, 6)},
                         records);
        }
    }
    return prototype5.substr(family_seed_begin, family_seed_end - family_seed_begin);
}

// Appends families "miR-<n>" of `species`, numbered upward from
// `family_number` with gaps and skipping names already in `records`, until
// `records` holds `target` records; about one family in twelve takes the
// seed of an earlier family (as miR-15, miR-16 and miR-195 do).
void add_families(random_source & r, std::string const & species, std::size_t family_number,
                  std::size_t target, std::vector<std::string> & family_seeds,
                  std::unordered_set<std::string> & species_sequences,
                  std::vector<mature_record> & records)
{
    std::unordered_set<std::string> taken;
    for (mature_record const & record : records)
        taken.insert(record.name.substr(0, record.name.find_first_not_of("0123456789", 4)));
    while (records.size() < target)
    {
        family_number += chance(r, 0.3) ? uniform_between(r, 2, 20) : 1;
        if (taken.count("miR-" + std::to_string(family_number)) != 0)
            continue;
        std::string seed7;
        if (!family_seeds.empty() && chance(r, 0.08))
            seed7 = family_seeds[static_cast<std::size_t>(uniform_below(r, family_seeds.size()))];
        family_seeds.push_back(add_family(r, species, "miR-" + std::to_string(family_number),
                                          family_size(r), seed7, species_sequences, records));
    }
    records.resize(target);
}

// The human set: let-7a to let-7i and miR-98 sharing their seed, then
// families miR-1 upward.
std::vector<mature_record> human_mirnas(random_source & r)
{
    std::vector<mature_record> records;
    std::unordered_set<std::string> sequences;
    std::vector<std::string> family_seeds;
    family_seeds.push_back(add_family(r, "hsa", "let-7", 8, "", sequences, records));
    add_family(r, "hsa", "miR-98", 1, family_seeds.back(), sequences, records);
    add_families(r, "hsa", 0, human_records, family_seeds, sequences, records);
    return records;
}

// A copy of a human record for species `code`, with 1-2 substitutions after
// the seed or one base more or less at the 3' end when `changed`.
mature_record ortholog(random_source & r, mature_record const & human, std::string const & code, bool changed)
{
    mature_record copy = human;
    copy.species = code;
    if (!changed)
        return copy;
    if (chance(r, 0.25))
    {
        if (chance(r, 0.5))
            copy.sequence.pop_back();
        else
            copy.sequence.push_back(random_base(r));
        return copy;
    }
    std::size_t const changes = uniform_between(r, 1, 2);
    for (std::size_t i = 0; i < changes; ++i)
        substitute(r, copy.sequence, uniform_between(r, family_seed_end, copy.sequence.size() - 1));
    return copy;
}

// The records of one more species: copies of human records (in human
// order), some changed, then families of its own numbered above every
// human family.
std::vector<mature_record> species_mirnas(random_source & r, species_plan const & plan,
                                          std::vector<mature_record> const & human,
                                          std::size_t first_family_number)
{
    auto const exact = static_cast<std::size_t>(std::lround(static_cast<double>(plan.records) * plan.copied_exactly));
    auto const changed =
        static_cast<std::size_t>(std::lround(static_cast<double>(plan.records) * plan.copied_with_change));
    std::vector<std::size_t> order = random_order(r, human.size());
    std::vector<bool> copied(human.size(), false);
    std::vector<bool> with_change(human.size(), false);
    for (std::size_t i = 0; i < exact + changed; ++i)
    {
        copied[order[i]] = true;
        with_change[order[i]] = i >= exact;
    }

    std::vector<mature_record> records;
    std::unordered_set<std::string> sequences;
    for (std::size_t i = 0; i < human.size(); ++i)
        if (copied[i])
            add_distinct(r, sequences, ortholog(r, human[i], plan.code, with_change[i]), records);
    std::vector<std::string> family_seeds;
    add_families(r, plan.code, first_family_number, plan.records, family_seeds, sequences, records);
    return records;
}

// Highest family number among `records`' names ("miR-<n>...").
std::size_t highest_family_number(std::vector<mature_record> const & records)
{
    std::size_t highest = 0;
    for (mature_record const & record : records)
        if (record.name.compare(0, 4, "miR-") == 0)
            highest = std::max(highest, static_cast<std::size_t>(std::stoul(record.name.substr(4))));
    return highest;
}

// Every species' records, human first.
std::vector<mature_record> mirna_database(uint64_t seed)
{
    random_source r = make_random_source(seed ^ 0x6d61747572650000ULL);
    std::vector<mature_record> all = human_mirnas(r);
    std::vector<mature_record> const human = all;
    std::size_t next_family = (highest_family_number(human) / 1000 + 1) * 1000;
    for (species_plan const & plan : other_species)
    {
        std::vector<mature_record> const records = species_mirnas(r, plan, human, next_family);
        next_family = (highest_family_number(records) / 1000 + 1) * 1000;
        all.insert(all.end(), records.begin(), records.end());
    }
    return all;
}

char const * latin_name(std::string const & code)
{
    for (species_plan const & plan : other_species)
        if (code == plan.code)
            return plan.latin_name;
    return "Homo sapiens";
}

// ---------------------------------------------------------------- output

// Collects text and writes it to a file in large blocks.
struct output_file
{
    std::FILE * file = nullptr;
    std::string path;
    std::string buffer;
    bool failed = false;
};

bool open_output(output_file & out, std::string const & path)
{
    out.path = path;
    out.file = std::fopen(path.c_str(), "wb");
    out.buffer.reserve(1 << 21);
    return out.file != nullptr;
}

void flush_output(output_file & out)
{
    if (!out.buffer.empty() && std::fwrite(out.buffer.data(), 1, out.buffer.size(), out.file) != out.buffer.size())
        out.failed = true;
    out.buffer.clear();
}

void write_text(output_file & out, std::string const & text)
{
    out.buffer += text;
    if (out.buffer.size() >= (1 << 20))
        flush_output(out);
}

// Writes what is left and closes the file; false after any write error.
bool close_output(output_file & out)
{
    flush_output(out);
    bool const closed = std::fclose(out.file) == 0;
    out.file = nullptr;
    return closed && !out.failed;
}

bool write_mature_file(std::string const & path, std::vector<mature_record> const & records)
{
    output_file out;
    if (!open_output(out, path))
        return false;
    uint64_t accession = 0;
    random_source gaps = make_random_source(0x616363ULL);
    for (mature_record const & record : records)
    {
        accession += 1 + (chance(gaps, 0.1) ? uniform_between(gaps, 1, 50) : 0);
        char number[16];
        std::snprintf(number, sizeof number, "%07llu", static_cast<unsigned long long>(accession));
        write_text(out, ">" + record.species + "-" + record.name + " MIMAT" + number + " " +
                            latin_name(record.species) + " " + record.name + "\n" + record.sequence + "\n");
    }
    return close_output(out);
}

// ---------------------------------------------------------------- tags

constexpr std::size_t shortest_tag = 15;
constexpr std::size_t longest_tag = 40;
constexpr uint64_t highest_count = 20000000;

// Sequences already written to one tag file, packed two bits a base with
// the length (at most 40 bases) in an open-addressing table.
struct tag_set
{
    struct key
    {
        uint64_t low = 0;   // bases 0-31
        uint64_t high = 0;  // bases 32-39, and the length above bit 16; 0 = empty slot
    };
    std::vector<key> slots;
    std::size_t mask = 0;
};

tag_set make_tag_set(std::size_t expected)
{
    std::size_t capacity = 1024;
    while (capacity < expected + expected / 2)
        capacity *= 2;
    tag_set set;
    set.slots.resize(capacity);
    set.mask = capacity - 1;
    return set;
}

uint64_t base_code(char base)
{
    switch (base)
    {
    case 'C':
        return 1;
    case 'G':
        return 2;
    case 'U':
        return 3;
    default:
        return 0;
    }
}

// True when `sequence` (A, C, G, U; 15 to 40 bases) was not in the set; it
// is then added.
bool insert_tag(tag_set & set, std::string const & sequence)
{
    tag_set::key k;
    for (std::size_t i = 0; i < sequence.size(); ++i)
    {
        if (i < 32)
            k.low |= base_code(sequence[i]) << (2 * i);
        else
            k.high |= base_code(sequence[i]) << (2 * (i - 32));
    }
    k.high |= static_cast<uint64_t>(sequence.size()) << 16;
    uint64_t mixed = k.low ^ (k.high * 0x9e3779b97f4a7c15ULL);
    std::size_t slot = static_cast<std::size_t>(splitmix64(mixed)) & set.mask;
    while (set.slots[slot].high != 0)
    {
        if (set.slots[slot].low == k.low && set.slots[slot].high == k.high)
            return false;
        slot = (slot + 1) & set.mask;
    }
    set.slots[slot] = k;
    return true;
}

// Where tags come from: miRNAs weighted by a Zipf-like expression level
// (human ones mostly), and other RNA whose fragments are background.
struct tag_sources
{
    std::vector<mature_record const *> human;
    std::vector<double> human_weights;
    std::vector<mature_record const *> others;
    std::vector<double> other_weights;
    std::vector<std::string> other_rna;  // rRNA and tRNA first, then the rest
    std::vector<double> other_rna_weights;
};

// Transcripts standing for rRNA, tRNA, snoRNA and mRNA (about 2.7 Mb).
std::vector<std::string> other_rna_transcripts(random_source & r)
{
    std::vector<std::string> transcripts;
    std::size_t const ribosomal_lengths[] = {4700, 1870, 157, 120};
    for (std::size_t length : ribosomal_lengths)
        transcripts.push_back(random_rna(r, length));
    std::vector<std::string> rest;
    for (std::size_t i = 0; i < 400; ++i)
        transcripts.push_back(random_rna(r, uniform_between(r, 72, 90)));
    for (std::size_t i = 0; i < 600; ++i)
        rest.push_back(random_rna(r, uniform_between(r, 70, 300)));
    for (std::size_t i = 0; i < 1500; ++i)
        rest.push_back(random_rna(r, uniform_between(r, 400, 3000)));
    for (std::size_t i : random_order(r, rest.size()))
        transcripts.push_back(rest[i]);
    return transcripts;
}

tag_sources make_tag_sources(uint64_t seed, std::vector<mature_record> const & database)
{
    random_source r = make_random_source(seed ^ 0x736f757263650000ULL);
    tag_sources sources;
    std::vector<mature_record const *> human;
    std::vector<mature_record const *> others;
    for (mature_record const & record : database)
        (record.species == "hsa" ? human : others).push_back(&record);
    for (std::size_t i : random_order(r, human.size()))
        sources.human.push_back(human[i]);
    for (std::size_t i : random_order(r, others.size()))
        sources.others.push_back(others[i]);
    sources.human_weights = zipf_weights(sources.human.size(), 1.0);
    sources.other_weights = zipf_weights(sources.others.size(), 1.0);
    sources.other_rna = other_rna_transcripts(r);
    sources.other_rna_weights = zipf_weights(sources.other_rna.size(), 0.8);
    return sources;
}

// An isomiR of `mirna`: a 3' trim or extension (templated or an added A or
// U), a 5' shift either way, and 0, 1 or 2 substitutions, each drawn on its
// own; sometimes none of these (the mature sequence itself).
std::string isomir(random_source & r, mature_record const & mirna)
{
    std::string tag = mirna.sequence;
    double u = uniform_unit(r);
    if (u < 0.30)
        tag.resize(tag.size() - uniform_between(r, 1, 4));
    else if (u < 0.45)
        tag += mirna.flank3.substr(0, uniform_between(r, 1, 3));
    else if (u < 0.55)
        for (std::size_t i = uniform_between(r, 1, 2); i > 0; --i)
            tag += chance(r, 0.6) ? 'A' : 'U';
    u = uniform_unit(r);
    if (u < 0.10)
        tag.erase(0, uniform_between(r, 1, 2));
    else if (u < 0.18)
        tag.insert(0, mirna.flank5.substr(mirna.flank5.size() - uniform_between(r, 1, 2)));
    u = uniform_unit(r);
    std::size_t const substitutions = u < 0.60 ? 0 : u < 0.87 ? 1 : 2;
    std::size_t first = tag.size();
    for (std::size_t i = 0; i < substitutions; ++i)
    {
        std::size_t position = uniform_below(r, tag.size());
        while (position == first)
            position = uniform_below(r, tag.size());
        substitute(r, tag, position);
        first = position;
    }
    return tag;
}

// A background tag: a random sequence, or a piece of another RNA.
std::string background(random_source & r, tag_sources const & sources)
{
    std::size_t const length = uniform_between(r, shortest_tag, longest_tag);
    if (chance(r, 0.5))
        return random_rna(r, length);
    std::string const & transcript = sources.other_rna[pick_weighted(r, sources.other_rna_weights)];
    std::size_t const piece = std::min(length, transcript.size());
    return transcript.substr(uniform_below(r, transcript.size() - piece + 1), piece);
}

// A read count: Pareto-tailed, heavier for miRNA tags and much larger for a
// miRNA's mature sequence itself.
uint64_t read_count(random_source & r, bool from_mirna, bool mature_itself)
{
    double count = std::floor(pareto(r, from_mirna ? 1.0 : 1.6));
    if (mature_itself)
        count *= 50;
    return count > static_cast<double>(highest_count) ? highest_count : static_cast<uint64_t>(count);
}

struct tag_file_summary
{
    std::size_t from_mirnas = 0;
    std::size_t background = 0;
};

// Writes `count` distinct tags (DNA letters, tab, read count); one in three
// drawn from the miRNAs, the others background. A draw that repeats a
// written sequence is drawn again.
bool write_tag_file(std::string const & path, std::size_t count, uint64_t seed, tag_sources const & sources,
                    tag_file_summary & summary)
{
    output_file out;
    if (!open_output(out, path))
        return false;
    random_source r = make_random_source(seed ^ (0x7461677300000000ULL + count));
    tag_set written = make_tag_set(count);
    std::string line;
    for (std::size_t n = 0; n < count; ++n)
    {
        bool const wanted_from_mirna = chance(r, 1.0 / 3.0);
        std::string tag;
        bool from_mirna = false;
        bool mature_itself = false;
        for (std::size_t attempt = 0;; ++attempt)
        {
            from_mirna = wanted_from_mirna && attempt < 64;
            mature_itself = false;
            if (from_mirna)
            {
                mature_record const & mirna =
                    chance(r, 0.85) ? *sources.human[pick_weighted(r, sources.human_weights)]
                                    : *sources.others[pick_weighted(r, sources.other_weights)];
                tag = isomir(r, mirna);
                mature_itself = tag == mirna.sequence;
            }
            else
            {
                tag = background(r, sources);
            }
            if (tag.size() >= shortest_tag && tag.size() <= longest_tag && insert_tag(written, tag))
                break;
        }
        ++(from_mirna ? summary.from_mirnas : summary.background);
        line = tag;
        for (char & c : line)
            if (c == 'U')
                c = 'T';
        line += '\t';
        line += std::to_string(read_count(r, from_mirna, mature_itself));
        line += '\n';
        write_text(out, line);
    }
    return close_output(out);
}

// ---------------------------------------------------------------- command line

// "100k" -> 100000, "1M" -> 1000000, "2500" -> 2500; 0 when not a size.
std::size_t parse_size(std::string const & text)
{
    std::size_t digits = 0;
    while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9')
        ++digits;
    if (digits == 0 || digits > 9)
        return 0;
    std::size_t value = std::stoul(text.substr(0, digits));
    std::string const suffix = text.substr(digits);
    if (suffix == "k" || suffix == "K")
        return value * 1000;
    if (suffix == "M")
        return value * 1000000;
    return suffix.empty() ? value : 0;
}

// 100000 -> "100k", 1000000 -> "1M", 2500 -> "2500".
std::string size_label(std::size_t size)
{
    if (size % 1000000 == 0)
        return std::to_string(size / 1000000) + "M";
    if (size % 1000 == 0)
        return std::to_string(size / 1000) + "k";
    return std::to_string(size);
}

int usage()
{
    std::cerr << "usage: make_bench_data OUTDIR [--seed N] [SIZE ...]   (SIZE such as 100k, 1M, 5M, 2500)\n";
    return 2;
}
}  // namespace

int main(int argc, char * argv[])
{
    std::string out_dir;
    uint64_t seed = 20240501;
    std::vector<std::size_t> sizes;
    for (int i = 1; i < argc; ++i)
    {
        std::string const argument = argv[i];
        if (argument == "--seed" && i + 1 < argc)
            seed = std::stoull(argv[++i]);
        else if (out_dir.empty())
            out_dir = argument;
        else if (std::size_t const size = parse_size(argument); size > 0)
            sizes.push_back(size);
        else
            return usage();
    }
    if (out_dir.empty())
        return usage();
    if (sizes.empty())
        sizes = {100000, 1000000, 5000000};

    std::error_code error;
    std::filesystem::create_directories(out_dir, error);
    if (error)
    {
        std::cerr << "error: cannot create folder '" << out_dir << "': " << error.message() << "\n";
        return 1;
    }

    std::vector<mature_record> const database = mirna_database(seed);
    std::string const mature_path = out_dir + "/mature.txt";
    if (!write_mature_file(mature_path, database))
    {
        std::cerr << "error: cannot write '" << mature_path << "'\n";
        return 1;
    }
    std::size_t human = 0;
    for (mature_record const & record : database)
        if (record.species == "hsa")
            ++human;
    std::cout << mature_path << ": " << database.size() << " miRNAs, " << human << " human\n";

    tag_sources const sources = make_tag_sources(seed, database);
    for (std::size_t size : sizes)
    {
        std::string const path = out_dir + "/tags_" + size_label(size) + ".txt";
        tag_file_summary summary;
        if (!write_tag_file(path, size, seed, sources, summary))
        {
            std::cerr << "error: cannot write '" << path << "'\n";
            return 1;
        }
        std::cout << path << ": " << size << " distinct tags, " << summary.from_mirnas << " from miRNAs, "
                  << summary.background << " background\n";
    }
    return 0;
}
