#include "export/gff3_writer.hpp"

#include <algorithm>
#include <cctype>
#include <string_view>
#include <unordered_map>

#include "core/checked_file.hpp"
#include "core/number_text.hpp"
#include "core/messages.hpp"
#include "core/sequence_text.hpp"
#include "core/version.hpp"
#include "export/isomir_description.hpp"
#include "export/precursor_location.hpp"

namespace
{
// True when `word` is `prefix` followed by one or more digits.
bool is_accession(std::string const & word, std::string const & prefix)
{
    return word.size() > prefix.size() && word.compare(0, prefix.size(), prefix) == 0 &&
           std::all_of(word.begin() + static_cast<std::ptrdiff_t>(prefix.size()), word.end(),
                       [](char c) { return c >= '0' && c <= '9'; });
}

// The number of distinct miRNAs among a tag's alignments (`indices` is
// working memory).
std::size_t distinct_mirnas(std::vector<seed_vet_t> const & seed_vet, tag_vet_t const & tag,
                            std::vector<uint32_t> & indices)
{
    if (tag.mirna_matched_vet.size() <= 1)
        return tag.mirna_matched_vet.size();
    indices.clear();
    for (mirna_matched_vet_t const & a : tag.mirna_matched_vet)
        indices.push_back(matched_mirna(seed_vet, a).mirna_index);
    std::sort(indices.begin(), indices.end());
    return static_cast<std::size_t>(std::unique(indices.begin(), indices.end()) - indices.begin());
}

void append_signed(std::string & out, int64_t value)
{
    if (value < 0)
        out += '-';
    append_unsigned(out, static_cast<uint64_t>(value < 0 ? -value : value));
}

// `letters` with U written as T into `dna`.
void assign_dna_letters(std::string & dna, std::string_view letters)
{
    dna.assign(letters);
    std::replace(dna.begin(), dna.end(), 'U', 'T');
}

// What the records of one miRNA need, made once per miRNA.
struct mirna_text
{
    std::string mature;  // its letters A, C, G, U, N
    std::string name;
    bool located = false;
    std::vector<precursor_site> sites;  // once located: the one its records are counted on first
};

// Everything the records need while the tags are written.
struct export_state
{
    std::vector<seed_vet_t> const & seed_vet;
    precursor_catalogue const & catalogue;
    std::string source;
    std::string hairpin_path;
    std::unordered_map<uint32_t, mirna_text> mirnas;  // by mirna_index
    uint64_t tags_with_n = 0;
    bool warn = true;  // about matures found in no precursor
    // Working memory, reused from tag to tag.
    isomir_description description;
    std::vector<uint32_t> mirna_indices;
    std::string extended_mature;
};

// The letters and name of an aligned miRNA.
mirna_text & text_of(export_state & state, mirna_matched_vet_t const & a)
{
    mirna_vet_t const & mirna = matched_mirna(state.seed_vet, a);
    auto const made = state.mirnas.try_emplace(mirna.mirna_index);
    mirna_text & text = made.first->second;
    if (made.second)
    {
        text.mature = rna5_to_text(mirna.mirna_seq);
        text.name = mirna_name(mirna);
    }
    return text;
}

// An aligned miRNA with its precursors, located once per miRNA, the
// preferred one first; a miRNA found in none is warned about then.
mirna_text const & located(export_state & state, mirna_matched_vet_t const & a)
{
    mirna_text & text = text_of(state, a);
    if (text.located)
        return text;
    text.located = true;
    char_string const & code = state.seed_vet[a.seed_index].specie_vet[a.specie_index].specie_code;
    std::string const specie_code(seqan::begin(code), seqan::end(code));
    std::vector<precursor_site> sites = locate_mature_preferred(state.catalogue, text.mature, specie_code, text.name);
    if (sites.empty() && state.warn)
        print_warning(state.hairpin_path + ": mature miRNA '" + text.name + "' is found in no precursor of species '" +
                      specie_code + "'; its alignments get no mirGFF3 record");
    text.sites = std::move(sites);
    return text;
}

// What every record of one tag shares (reused from tag to tag).
struct tag_text
{
    std::string_view letters;  // A, C, G, U, N
    std::string read;          // DNA letters
    std::string uid;
    std::string tail;  // "; Expression=...; Filter=" up to the filter value
    std::string hits;  // "; Hits=...\n"
};

// The precursor position of the tag's first letter when alignment `a`
// lies on `site` (negative when the tag starts before the precursor): the
// tag lies on the alignment's diagonal; the mature itself on its own place.
int64_t tag_start_on(std::string_view letters, std::string const & mature, mirna_matched_vet_t const & a,
                     precursor_site const & site)
{
    if (letters == mature)
        return static_cast<int64_t>(site.position);
    return static_cast<int64_t>(site.position) + a.begin_ungapped_mirna - static_cast<int64_t>(a.begin_ungapped_tag);
}

// Appends the record of alignment `a` (of miRNA `mirna`) of the tag on precursor `site`.
void append_record(export_state & state, tag_text const & tag, mirna_text const & mirna, mirna_matched_vet_t const & a,
                   precursor_site const & site, char const * filter, std::string & out)
{
    bool const is_reference = tag.letters == mirna.mature;
    hairpin_record const & hairpin = state.catalogue.hairpins[site.hairpin];
    int64_t const start = tag_start_on(tag.letters, mirna.mature, a, site);
    isomir_description & d = state.description;
    describe_isomir(tag.letters, hairpin.sequence, start, site.position, mirna.mature.size(), d);
    // Letters before the precursor's first are additions (iso_add5p): the
    // record covers the templated part from the precursor's first letter.
    out += hairpin.name;
    out += '\t';
    out += state.source;
    out += is_reference ? "\tref_miRNA\t" : "\tisomiR\t";
    append_signed(out, std::max<int64_t>(start, 0) + 1);
    out += '\t';
    append_signed(out, start + static_cast<int64_t>(tag.letters.size()));
    out += "\t.\t+\t.\tRead=";
    out += tag.read;
    out += "; UID=";
    out += tag.uid;
    out += "; Name=";
    out += mirna.name;
    out += "; Parent=";
    out += hairpin.name;
    out += "; Variant=";
    out += d.variant;
    out += "; Cigar=";
    out += d.cigar;
    out += tag.tail;
    out += filter;
    out += tag.hits;
}

// Appends the records of one tag to `out`.
void append_tag_records(export_state & state, tag_vet_t const & tag, std::string_view letters, uint64_t reads,
                        mirna_matched_vet_t const * counted, gff3_records records, tag_text & text,
                        std::string & out)
{
    text.letters = letters;
    assign_dna_letters(text.read, letters);
    text.uid.clear();
    if (!append_license_plate(text.uid, text.read))
    {
        ++state.tags_with_n;
        return;
    }
    text.tail = "; Expression=";
    append_unsigned(text.tail, reads);
    text.tail += "; Filter=";
    text.hits = "; Hits=";
    append_unsigned(text.hits, distinct_mirnas(state.seed_vet, tag, state.mirna_indices));
    text.hits += '\n';
    if (counted != nullptr)
    {
        mirna_text const & mirna = located(state, *counted);
        for (std::size_t s = 0; s < mirna.sites.size() && (s == 0 || records == gff3_records::every_alignment); ++s)
            append_record(state, text, mirna, *counted, mirna.sites[s], s == 0 ? "Pass" : "other_locus", out);
    }
    if (records != gff3_records::every_alignment)
        return;
    for (mirna_matched_vet_t const & a : tag.mirna_matched_vet)
        if (&a != counted)
        {
            mirna_text const & mirna = located(state, a);
            for (precursor_site const & site : mirna.sites)
                append_record(state, text, mirna, a, site, "ambiguous", out);
        }
}

// A counted tag, or every mapped tag, with what it is counted on.
struct listed_tag
{
    tag_vet_t const * tag = nullptr;
    mirna_matched_vet_t const * counted = nullptr;
    uint64_t letters_at = 0;    // its letters A, C, G, U, N: tag_listing::letters from here on
    uint32_t letters_size = 0;
    uint32_t listed_at = 0;     // its place in the tag tables' order
    uint64_t sort_key = 0;      // sequence_key of its letters
    uint64_t reads = 0;  // of every tag with these letters
};

// Three bits per letter for the first 21 letters, in the letters' byte order
// (A 1, C 2, G 3, N 4, U 5; 0 past the end): keys compare as the letters
// do, except that equal keys of sequences longer than 21 letters say nothing.
uint64_t sequence_key(std::string_view letters)
{
    uint64_t key = 0;
    for (std::size_t i = 0; i < 21; ++i)
    {
        uint64_t rank = 0;
        if (i < letters.size())
            switch (letters[i])
            {
                case 'A': rank = 1; break;
                case 'C': rank = 2; break;
                case 'G': rank = 3; break;
                case 'N': rank = 4; break;
                default: rank = 5; break;  // U
            }
        key = key << 3 | rank;
    }
    return key;
}

// The listed tags, their letters one after the other in one string.
struct tag_listing
{
    std::string letters;
    std::vector<listed_tag> tags;
};

std::string_view letters_of(tag_listing const & listing, listed_tag const & entry)
{
    return std::string_view(listing.letters).substr(entry.letters_at, entry.letters_size);
}

// One entry per sequence: tags whose letters are the same (a tag-count file
// holding a sequence twice, or reads that differ only in case, T/U or '.')
// are one, at the place of the first in the tag file, with their reads
// summed. The entries are left in the order of their letters.
void join_same_letters(tag_listing & listing)
{
    std::vector<listed_tag> & tags = listing.tags;
    for (listed_tag & entry : tags)
        entry.sort_key = sequence_key(letters_of(listing, entry));
    std::sort(tags.begin(), tags.end(), [&](listed_tag const & a, listed_tag const & b) {
        if (a.sort_key != b.sort_key)
            return a.sort_key < b.sort_key;
        int const order = letters_of(listing, a).compare(letters_of(listing, b));
        return order != 0 ? order < 0 : a.listed_at < b.listed_at;
    });
    std::size_t joined = 0;
    for (std::size_t i = 0; i < tags.size(); ++joined)
    {
        listed_tag first = tags[i];
        std::size_t j = i + 1;
        for (; j < tags.size() && letters_of(listing, tags[j]) == letters_of(listing, first); ++j)
        {
            uint64_t const reads = first.reads + tags[j].reads;
            if (tags[j].tag->tag_index < first.tag->tag_index)
                first = tags[j];
            first.reads = reads;
        }
        tags[joined] = first;
        i = j;
    }
    tags.resize(joined);
}

// The counted tags of both tag tables (every mapped tag unless
// counted_only), in the order asked for.
tag_listing list_tags(result_tables const & results, tag_order order, bool counted_only)
{
    tag_listing listing;
    listing.tags.reserve(results.result_tag_uniq_vet.size() + results.result_tag_ambig_vet.size());
    auto list = [&](tag_vet_t const & tag, mirna_matched_vet_t const * counted) {
        if (counted == nullptr && counted_only)
            return;
        tag_letters const & letters = tag.tag_sequence;
        listing.tags.push_back({&tag, counted, listing.letters.size(), static_cast<uint32_t>(letters.size()),
                                static_cast<uint32_t>(listing.tags.size()), 0, tag.tag_count});
        append_rna5_text(listing.letters, letters.begin(), letters.size());
    };
    for (tag_vet_t const & tag : results.result_tag_uniq_vet)
        list(tag, counted_unique_alignment(tag));
    for (std::size_t t = 0; t < results.result_tag_ambig_vet.size(); ++t)
        list(results.result_tag_ambig_vet[t], counted_ambiguous_alignment(results, t));
    join_same_letters(listing);
    if (order == tag_order::tag_file)
        std::sort(listing.tags.begin(), listing.tags.end(), [](listed_tag const & a, listed_tag const & b) {
            return a.tag->tag_index < b.tag->tag_index;
        });
    return listing;
}

// Writes `text` out once it holds 64 KiB, or when `last`. False when writing failed.
bool flush_when_full(checked_file & file, std::string & text, bool last)
{
    if (!last && text.size() < (1u << 16))
        return true;
    bool const written = file.write(text);
    text.clear();
    return written;
}

// Appends the variant of a counted tag against the mature alone: the
// letters before the mature's 5' end are taken as templated, those past its
// 3' end as added.
void append_variant_on_mature(export_state & state, std::string_view tag, std::string const & mature,
                              mirna_matched_vet_t const & a, std::string & out)
{
    int64_t const offset = static_cast<int64_t>(a.begin_ungapped_mirna) - static_cast<int64_t>(a.begin_ungapped_tag);
    if (offset >= 0)
        describe_isomir(tag, mature, offset, 0, mature.size(), state.description);
    else
    {
        auto const upstream = static_cast<std::size_t>(-offset);
        state.extended_mature.assign(tag.substr(0, upstream));
        state.extended_mature += mature;
        describe_isomir(tag, state.extended_mature, 0, upstream, mature.size(), state.description);
    }
    out += state.description.variant;
}

// Appends the variant of a counted tag: on the precursor its mirGFF3 record
// lies on, when there are precursors and one holds the mature; else on the
// mature alone.
void append_counted_variant(export_state & state, std::string_view letters, mirna_text const & mirna,
                            mirna_matched_vet_t const & a, std::string & out)
{
    if (state.catalogue.hairpins.empty() || mirna.sites.empty())
    {
        append_variant_on_mature(state, letters, mirna.mature, a, out);
        return;
    }
    precursor_site const & site = mirna.sites[0];
    std::string const & precursor = state.catalogue.hairpins[site.hairpin].sequence;
    describe_isomir(letters, precursor, tag_start_on(letters, mirna.mature, a, site), site.position,
                    mirna.mature.size(), state.description);
    out += state.description.variant;
}
}  // namespace

namespace
{
// Codes as a list "a,b,c" (the first few).
std::string some_codes(std::vector<std::string> const & codes)
{
    std::string text;
    for (std::size_t i = 0; i < codes.size() && i < 6; ++i)
        text += (i ? "," : "") + codes[i];
    return codes.size() > 6 ? text + ",..." : text;
}
}  // namespace

bool shares_a_species(std::vector<hairpin_record> const & hairpins, std::vector<seed_vet_t> const & seed_vet,
                      std::string const & hairpin_path)
{
    std::vector<std::string> hairpin_codes, mature_codes;
    for (hairpin_record const & hairpin : hairpins)
        if (std::find(hairpin_codes.begin(), hairpin_codes.end(), hairpin.specie_code) == hairpin_codes.end())
            hairpin_codes.push_back(hairpin.specie_code);
    for (seed_vet_t const & seed : seed_vet)
        for (specie_vet_t const & species : seed.specie_vet)
        {
            std::string const code(seqan::begin(species.specie_code), seqan::end(species.specie_code));
            if (std::find(hairpin_codes.begin(), hairpin_codes.end(), code) != hairpin_codes.end())
                return true;
            if (std::find(mature_codes.begin(), mature_codes.end(), code) == mature_codes.end())
                mature_codes.push_back(code);
        }
    if (mature_codes.empty())
        return true;
    std::sort(hairpin_codes.begin(), hairpin_codes.end());
    std::sort(mature_codes.begin(), mature_codes.end());
    print_error("hairpin file '" + hairpin_path + "' holds no precursor of the miRNA file's species (hairpin file: " +
                (hairpin_codes.empty() ? std::string("none") : some_codes(hairpin_codes)) + "; miRNA file: " +
                some_codes(mature_codes) + "); species codes must be the same, case included");
    return false;
}

std::string gff3_source(std::vector<hairpin_record> const & hairpins, std::vector<seed_vet_t> const & seed_vet)
{
    if (hairpins.empty())
        return "Custom";
    for (hairpin_record const & hairpin : hairpins)
        if (!is_accession(hairpin.accession, "MI"))
            return "Custom";
    for (seed_vet_t const & seed : seed_vet)
        for (specie_vet_t const & species : seed.specie_vet)
            for (mirna_vet_t const & mirna : species.mirna_vet)
                if (!is_accession(mirna_accession(mirna), "MIMAT"))
                    return "Custom";
    return "miRBase";
}

std::string gff3_header(std::string const & source, std::string const & sample, std::vector<std::string> const & extra)
{
    std::string const ontology = source == "miRBase" ? "doi:10.25504/fairsharing.hmgte8" : "Custom.";
    std::string header = std::string("## mirGFF3. VERSION 1.2\n") + "## source-ontology: " + source + " " + ontology +
                         "\n" + "## TOOLS: mirsight " + mirsight_version + "\n";
    for (std::string const & line : extra)
        header += line + "\n";
    return header + "## COLDATA: " + sample + "\n";
}

int32_t gff3_export(gff3_request const & request, std::vector<seed_vet_t> const & seed_vet,
                    result_tables const & results, output_staging & outputs)
{
    precursor_catalogue read;
    if (request.catalogue == nullptr)
    {
        std::vector<hairpin_record> hairpins;
        int32_t const read_status = read_hairpin_file(request.hairpin_path, hairpins);
        if (read_status != 0)
            return read_status;
        read = make_precursor_catalogue(std::move(hairpins));
    }
    precursor_catalogue const & catalogue = request.catalogue != nullptr ? *request.catalogue : read;
    if (!shares_a_species(catalogue.hairpins, seed_vet, request.hairpin_path))
        return -1;
    export_state state{seed_vet, catalogue, {}, {}, {}, 0, true, {}, {}, {}};
    state.source = gff3_source(state.catalogue.hairpins, seed_vet);
    state.hairpin_path = request.hairpin_path;

    checked_file file(request.path, "mirGFF3 file");
    if (!file.open(outputs))
        return -1;
    std::string text = gff3_header(state.source, request.sample, request.header_notes);
    bool written = true;
    tag_listing const listing = list_tags(results, request.order, request.records == gff3_records::counted);
    tag_text tag;
    for (listed_tag const & listed : listing.tags)
    {
        append_tag_records(state, *listed.tag, letters_of(listing, listed), listed.reads, listed.counted,
                           request.records, tag, text);
        if (!(written = flush_when_full(file, text, false)))
            break;
    }
    written = written && flush_when_full(file, text, true);
    if (!file.close(true) || !written)
        return -1;
    if (state.tags_with_n > 0)
        print_warning(request.tag_file + ": " + std::to_string(state.tags_with_n) +
                      " mapped tag(s) hold N and get no mirGFF3 record (no UID can be made for them)");
    return 0;
}

int32_t write_isomir_table(std::string const & path, std::vector<seed_vet_t> const & seed_vet,
                           result_tables const & results, precursor_catalogue const * precursors,
                           output_staging & outputs)
{
    // With precursors, each tag is described as its mirGFF3 record
    // describes it (the mirGFF3 export warns about matures found in no precursor).
    precursor_catalogue const none;
    export_state state{seed_vet, precursors != nullptr ? *precursors : none, {}, {}, {}, 0, false, {}, {}, {}};
    checked_file file(path, "isomiR table");
    if (!file.open(outputs))
        return -1;
    std::string text = isomir_description_columns() + "\treads\n";
    bool written = true;
    tag_listing const listing = list_tags(results, tag_order::sequence, true);
    std::string read;
    for (listed_tag const & listed : listing.tags)
    {
        std::string_view const letters = letters_of(listing, listed);
        mirna_text const & mirna =
            state.catalogue.hairpins.empty() ? text_of(state, *listed.counted) : located(state, *listed.counted);
        assign_dna_letters(read, letters);
        text += read;
        text += '\t';
        if (!append_license_plate(text, read))
            text += "NA";
        text += '\t';
        text += mirna.name;
        text += '\t';
        text += alignment_class(*listed.counted);
        text += '\t';
        append_counted_variant(state, letters, mirna, *listed.counted, text);
        text += '\t';
        append_unsigned(text, listed.reads);
        text += '\n';
        if (!(written = flush_when_full(file, text, false)))
            break;
    }
    written = written && flush_when_full(file, text, true);
    return file.close(true) && written ? 0 : -1;
}

std::string isomir_description_columns()
{
    return "sequence\tuid\tmirna\tclass\tvariant";
}

std::string gff3_attribute(std::string const & record, std::string const & name)
{
    std::size_t const at = record.find("; " + name + "=");
    std::size_t begin = at == std::string::npos ? record.find("\t" + name + "=") : at;
    if (begin == std::string::npos)
        return "";
    begin = record.find('=', begin) + 1;
    std::size_t const end = record.find(';', begin);
    return record.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
}

std::string gff3_without_expression(std::string const & record)
{
    std::size_t const begin = record.find("; Expression=");
    if (begin == std::string::npos)
        return record;
    std::size_t const end = record.find(';', begin + 2);
    return record.substr(0, begin) + (end == std::string::npos ? "" : record.substr(end));
}

std::string gff3_with_expression(std::string const & record, std::string const & expression)
{
    std::size_t const filter = record.find("; Filter=");
    std::size_t const at = filter == std::string::npos ? record.size() : filter;
    return record.substr(0, at) + "; Expression=" + expression + record.substr(at);
}

std::string gff3_source_of_line(std::string const & line)
{
    return line.rfind("## source-ontology: miRBase ", 0) == 0 ? "miRBase" : "Custom";
}

std::string sensitive_mode_note(sensitive_parameters const & s)
{
    return "## MODE: sensitive seed=" + s.seed + ",max_shift=" + std::to_string(s.max_shift) +
           ",max_mismatches=" + std::to_string(s.max_mismatches) + ",min_matched=" + std::to_string(s.min_matched) +
           ",max_unmatched=" + std::to_string(s.max_unmatched) +
           (s.vouched_max_unmatched > 0 ? ",vouched_max_unmatched=" + std::to_string(s.vouched_max_unmatched) : "");
}
