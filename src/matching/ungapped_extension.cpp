// Ungapped extension of one seed occurrence into scored, classified
// alignments of every miRNA stored under one (seed, species) entry.
//
// Each alignment stage is a Seed<Simple> whose horizontal positions lie on
// the miRNA and whose vertical positions lie on the tag. All position sums
// are formed in 64 bits, so that no user-given parameter can wrap them.
#include "matching/ungapped_extension.hpp"

#include <seqan/seeds.h>


namespace
{
using alignment_seed = seqan::Seed<seqan::Simple>;  // H: miRNA, V: tag

// The seed placed at mirna_begin on the miRNA and tag_begin_pos on the tag,
// grown without mismatch to the left and to the right. The seed symbols
// themselves are not compared. The caller guarantees that the placement lies
// inside both sequences.
alignment_seed exact_extension(mirna_letters_t const & mirna, tag_letters const & tag,
                               uint64_t mirna_begin, uint64_t tag_begin_pos, uint64_t seed_size)
{
    std::size_t const mirna_length = mirna.length;
    std::size_t const tag_length = tag.size();

    std::size_t begin_h = mirna_begin;
    std::size_t begin_v = tag_begin_pos;
    while (begin_h > 0 && begin_v > 0 && tag[begin_v - 1] == mirna.letters[begin_h - 1])
    {
        --begin_h;
        --begin_v;
    }

    std::size_t end_h = mirna_begin + seed_size;
    std::size_t end_v = tag_begin_pos + seed_size;
    while (end_v < tag_length && end_h < mirna_length && tag[end_v] == mirna.letters[end_h])
    {
        ++end_h;
        ++end_v;
    }
    return alignment_seed(begin_h, begin_v, end_h, end_v);
}

// The alignment lengthened to the right across at most one substitution:
// the walk stops at the second mismatch or a sequence end, and the run of
// mismatches it ended on is trimmed away. Returns the lengthened copy.
alignment_seed tolerant_extension(mirna_letters_t const & mirna, tag_letters const & tag,
                                  alignment_seed const & from)
{
    std::size_t const mirna_length = mirna.length;
    std::size_t const tag_length = tag.size();

    std::size_t h = seqan::endPositionH(from);
    std::size_t v = seqan::endPositionV(from);
    alignment_seed extended = from;
    if (v >= tag_length || h >= mirna_length)
        return extended;

    unsigned mismatches = 0;
    std::size_t trailing = 0;
    do
    {
        if (tag[v] == mirna.letters[h])
        {
            trailing = 0;
        }
        else
        {
            ++mismatches;
            ++trailing;
        }
        ++v;
        ++h;
    } while (h < mirna_length && v < tag_length && mismatches < 2);

    seqan::setEndPositionH(extended, h - trailing);
    seqan::setEndPositionV(extended, v - trailing);
    return extended;
}

std::size_t tag_span(alignment_seed const & s)
{
    return seqan::endPositionV(s) - seqan::beginPositionV(s);
}

// Substitution count, iso_snp / iso_multi_snp, and the 5' substitution rule.
// Returns the number of substitutions inside the aligned stretch.
uint32_t classify_substitutions(mirna_matched_vet_t & record)
{
    uint32_t substitutions = 0;
    if (record.size_ungapped_1 != record.size_ungapped)
    {
        record.iso_snp = true;
        substitutions = 1;
    }
    if (record.size_ungapped_2 != record.size_ungapped_1)
    {
        ++substitutions;
        record.iso_snp = false;
        record.iso_multi_snp = true;
    }
    // Same diagonal and a left extension that stopped before position 0:
    // the symbol just before the alignment is a 5' substitution. It is not
    // counted in the score, since it already lies outside the alignment.
    bool const five_prime_substitution =
        record.begin_ungapped_tag == record.begin_ungapped_mirna && record.begin_ungapped_tag != 0;
    if (five_prime_substitution)
    {
        if (!record.iso_snp && !record.iso_multi_snp)
        {
            record.iso_snp = true;
        }
        else if (record.iso_snp)
        {
            record.iso_snp = false;
            record.iso_multi_snp = true;
        }
    }
    return substitutions;
}

// Truncated percentage of the miRNA not covered by matching symbols.
int32_t alignment_score(uint64_t mirna_length, uint64_t size_ungapped_2, uint64_t substitutions)
{
    uint64_t const matching = size_ungapped_2 - substitutions;
    return static_cast<int32_t>((mirna_length - matching) * 100u / mirna_length);
}

// Site flags from the miRNA ends of the three stages, against end_seed.
void set_site_flags(mirna_matched_vet_t & record, uint64_t e0, uint64_t e1, uint64_t e2,
                    uint64_t end_seed)
{
    uint64_t const site_low = end_seed + 5;
    uint64_t const site_high = end_seed + 8;
    auto in_site = [&](uint64_t e) { return e >= site_low && e <= site_high; };

    record.offset_site = e0 != end_seed;
    record.central_site = e0 > site_high;
    record.suppl_compens_site = !in_site(e0) && !in_site(e1) && !in_site(e2);
}

// Tries one miRNA on the tag. Fills `record` and returns true when the
// alignment passes the placement, start and length tests.
bool align_mirna(mirna_letters_t const & mirna, tag_letters const & tag, search_parameters const & parameters,
                 uint32_t seed_begin, mirna_matched_vet_t & record)
{
    uint32_t const begin_seed = parameters.begin_seed;
    uint32_t const seed_size = parameters.seed_size;
    uint64_t const mirna_length = mirna.length;
    uint64_t const tag_length = tag.size();

    // A seed placement outside either sequence cannot be extended.
    if (uint64_t{begin_seed} + seed_size > mirna_length || uint64_t{seed_begin} + seed_size > tag_length)
        return false;

    alignment_seed const exact = exact_extension(mirna, tag, begin_seed, seed_begin, seed_size);
    if (seqan::beginPositionV(exact) >= parameters.tag_begin)
        return false;

    alignment_seed const first = tolerant_extension(mirna, tag, exact);
    if (tag_span(first) <= parameters.min_tag_length)
        return false;

    alignment_seed const second = tolerant_extension(mirna, tag, first);

    record.begin_ungapped_mirna = static_cast<uint32_t>(seqan::beginPositionH(exact));
    record.begin_ungapped_tag = static_cast<uint32_t>(seqan::beginPositionV(exact));
    record.size_ungapped = static_cast<uint32_t>(seqan::endPositionH(exact) - seqan::beginPositionH(exact));
    record.begin_ungapped_mirna_1 = record.begin_ungapped_mirna;
    record.begin_ungapped_tag_1 = record.begin_ungapped_tag;
    record.size_ungapped_1 = static_cast<uint32_t>(tag_span(first));
    record.begin_ungapped_mirna_2 = record.begin_ungapped_mirna;
    record.begin_ungapped_tag_2 = record.begin_ungapped_tag;
    record.size_ungapped_2 = static_cast<uint32_t>(tag_span(second));

    uint32_t const substitutions = classify_substitutions(record);
    // The length test guarantees size_ungapped_1 >= 1, hence mirna_length >= 1.
    record.align_score = alignment_score(mirna_length, record.size_ungapped_2, substitutions);
    record.mir_tag_size_diff =
        static_cast<int32_t>(static_cast<int64_t>(mirna_length) - static_cast<int64_t>(tag_length));

    record.iso_5p = seed_begin != begin_seed;
    record.iso_3p = !(seqan::endPositionH(second) == mirna_length &&
                      uint64_t{record.begin_ungapped_tag} + record.size_ungapped_2 == tag_length);
    set_site_flags(record, seqan::endPositionH(exact), seqan::endPositionH(first),
                   seqan::endPositionH(second), parameters.end_seed);
    return true;
}
}  // namespace

mirna_letters_t letters_of(mirna_vet_t const & mirna, uint32_t mirna_vet_index)
{
    return {seqan::begin(mirna.mirna_seq, seqan::Standard()), static_cast<uint32_t>(seqan::length(mirna.mirna_seq)),
            mirna_vet_index};
}

int32_t ungapped_extension(search_parameters const & parameters, seed_in_tag_vet_t const & occurrence,
                           mirna_letters_t const * first, mirna_letters_t const * last, uint32_t seed_index,
                           uint32_t specie_index, tag_letters const & tag, std::vector<mirna_matched_vet_t> & found)
{
    for (mirna_letters_t const * mirna = first; mirna != last; ++mirna)
    {
        mirna_matched_vet_t record;
        if (!align_mirna(*mirna, tag, parameters, occurrence.seed_begin, record))
            continue;
        record.seed_index = seed_index;
        record.specie_index = specie_index;
        record.mirna_vet_index = mirna->mirna_vet_index;
        found.push_back(record);
    }
    return 0;
}

int32_t ungapped_extension(search_parameters const & parameters, seed_in_tag_vet_t const & occurrence,
                           std::vector<seed_vet_t> const & seed_vet, uint32_t seed_index, uint32_t specie_index,
                           tag_letters const & tag, std::vector<mirna_matched_vet_t> & found)
{
    if (seed_index >= seed_vet.size() || specie_index >= seed_vet[seed_index].specie_vet.size())
        return 0;

    std::vector<mirna_vet_t> const & mirnas = seed_vet[seed_index].specie_vet[specie_index].mirna_vet;
    for (std::size_t m = 0; m < mirnas.size(); ++m)
    {
        mirna_letters_t const mirna = letters_of(mirnas[m], static_cast<uint32_t>(m));
        ungapped_extension(parameters, occurrence, &mirna, &mirna + 1, seed_index, specie_index, tag, found);
    }
    return 0;
}

int32_t ungapped_extension(search_parameters const & parameters, seed_in_tag_vet_t const & occurrence,
                           std::vector<seed_vet_t> const & seed_vet, uint32_t seed_index, uint32_t specie_index,
                           tag_vet_t & tag)
{
    std::vector<mirna_matched_vet_t> found;
    ungapped_extension(parameters, occurrence, seed_vet, seed_index, specie_index, tag.tag_sequence, found);
    for (mirna_matched_vet_t const & a : found)
        tag.mirna_matched_vet.push_back(a);
    return 0;
}
