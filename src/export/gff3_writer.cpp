#include "export/gff3_writer.hpp"

#include <algorithm>
#include <unordered_map>

#include "core/checked_file.hpp"
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

// The header's word number `index` (0 = the name after ">").
std::string header_word(std::string const & header, std::size_t index)
{
    std::size_t begin = header.empty() || header[0] != '>' ? 0 : 1;
    for (std::size_t word = 0;; ++word)
    {
        begin = header.find_first_not_of(' ', begin);
        if (begin == std::string::npos)
            return "";
        std::size_t const end = std::min(header.find(' ', begin), header.size());
        if (word == index)
            return header.substr(begin, end - begin);
        begin = end;
    }
}

// The mature miRNA's name: its header after ">" up to the first blank.
std::string mature_name(mirna_vet_t const & mirna)
{
    std::string const header(seqan::begin(mirna.mirna_info), seqan::end(mirna.mirna_info));
    std::size_t const end = std::min(header.find(' ', 1), header.size());
    return header.size() > 1 ? header.substr(1, end - 1) : "";
}

// The number of distinct miRNAs among a tag's alignments.
std::size_t distinct_mirnas(std::vector<seed_vet_t> const & seed_vet, tag_vet_t const & tag)
{
    std::vector<uint32_t> indices;
    indices.reserve(tag.mirna_matched_vet.size());
    for (mirna_matched_vet_t const & a : tag.mirna_matched_vet)
        indices.push_back(matched_mirna(seed_vet, a).mirna_index);
    std::sort(indices.begin(), indices.end());
    return static_cast<std::size_t>(std::unique(indices.begin(), indices.end()) - indices.begin());
}

// Everything the records need while the tags are written.
struct export_state
{
    std::vector<seed_vet_t> const & seed_vet;
    precursor_catalogue catalogue;
    std::string source;
    std::string hairpin_path;
    std::unordered_map<uint32_t, std::vector<precursor_site>> sites_of_mirna;  // by mirna_index
    uint64_t tags_with_n = 0;
    uint64_t beyond_5p_end = 0;
};

// The precursors of an aligned miRNA, located once per miRNA; a miRNA found
// in none is warned about then.
std::vector<precursor_site> const & sites_of(export_state & state, mirna_matched_vet_t const & a)
{
    mirna_vet_t const & mirna = matched_mirna(state.seed_vet, a);
    auto const known = state.sites_of_mirna.find(mirna.mirna_index);
    if (known != state.sites_of_mirna.end())
        return known->second;
    char_string const & code = state.seed_vet[a.seed_index].specie_vet[a.specie_index].specie_code;
    std::string const specie_code(seqan::begin(code), seqan::end(code));
    std::vector<precursor_site> sites = locate_mature(state.catalogue, rna5_to_text(mirna.mirna_seq), specie_code);
    if (sites.empty())
        print_warning(state.hairpin_path + ": mature miRNA '" + mature_name(mirna) +
                      "' is found in no precursor of species '" + specie_code +
                      "'; its alignments get no mirGFF3 record");
    return state.sites_of_mirna.emplace(mirna.mirna_index, std::move(sites)).first->second;
}

// Appends the records of one tag to `out`.
void append_tag_records(export_state & state, tag_vet_t const & tag, std::string & out)
{
    std::string const letters = rna5_to_text(tag.tag_sequence);
    std::string const read = dna_letters(letters);
    std::string const uid = license_plate(read);
    if (uid.empty())
    {
        ++state.tags_with_n;
        return;
    }
    std::string const tail = "; Expression=" + std::to_string(tag.tag_count) +
                             "; Filter=Pass; Hits=" + std::to_string(distinct_mirnas(state.seed_vet, tag)) + "\n";
    for (mirna_matched_vet_t const & a : tag.mirna_matched_vet)
    {
        mirna_vet_t const & mirna = matched_mirna(state.seed_vet, a);
        std::string const mature = rna5_to_text(mirna.mirna_seq);
        bool const is_reference = letters == mature;
        for (precursor_site const & site : sites_of(state, a))
        {
            hairpin_record const & hairpin = state.catalogue.hairpins[site.hairpin];
            // The tag lies on the alignment's diagonal; the mature itself on its own place.
            int64_t const start = is_reference ? static_cast<int64_t>(site.position)
                                               : static_cast<int64_t>(site.position) + a.begin_ungapped_mirna -
                                                     static_cast<int64_t>(a.begin_ungapped_tag);
            if (start < 0)
            {
                ++state.beyond_5p_end;
                continue;
            }
            isomir_description const d = describe_isomir(letters, hairpin.sequence, static_cast<uint64_t>(start),
                                                         site.position, mature.size());
            out += hairpin.name;
            out += '\t';
            out += state.source;
            out += is_reference ? "\tref_miRNA\t" : "\tisomiR\t";
            out += std::to_string(start + 1) + '\t' + std::to_string(start + static_cast<int64_t>(letters.size()));
            out += "\t.\t+\t.\tRead=" + read + "; UID=" + uid + "; Name=" + mature_name(mirna) +
                   "; Parent=" + hairpin.name + "; Variant=" + d.variant + "; Cigar=" + d.cigar;
            out += tail;
        }
    }
}

// The records of every result tag, unique and ambiguous merged in tag-file
// order, handed to `write` in pieces of about 64 KiB. False as soon as
// `write` returns false.
bool write_records(export_state & state, result_tables const & results, checked_file & file)
{
    std::vector<tag_vet_t> const & unique = results.result_tag_uniq_vet;
    std::vector<tag_vet_t> const & ambiguous = results.result_tag_ambig_vet;
    std::string buffer;
    std::size_t u = 0;
    std::size_t m = 0;
    while (u < unique.size() || m < ambiguous.size())
    {
        bool const take_unique =
            m == ambiguous.size() || (u < unique.size() && unique[u].tag_index <= ambiguous[m].tag_index);
        append_tag_records(state, take_unique ? unique[u++] : ambiguous[m++], buffer);
        if (buffer.size() >= (1u << 16))
        {
            if (!file.write(buffer))
                return false;
            buffer.clear();
        }
    }
    return file.write(buffer);
}
}  // namespace

std::string sample_name(std::string const & tag_file)
{
    std::size_t const slash = tag_file.find_last_of('/');
    std::string name = slash == std::string::npos ? tag_file : tag_file.substr(slash + 1);
    std::size_t const dot = name.find_last_of('.');
    if (dot != std::string::npos && dot > 0)
        name.erase(dot);
    std::replace(name.begin(), name.end(), ',', '_');
    return name;
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
            {
                std::string const header(seqan::begin(mirna.mirna_info), seqan::end(mirna.mirna_info));
                if (!is_accession(header_word(header, 1), "MIMAT"))
                    return "Custom";
            }
    return "miRBase";
}

std::string gff3_header(std::string const & source, std::string const & sample)
{
    std::string const ontology = source == "miRBase" ? "doi:10.25504/fairsharing.hmgte8" : "Custom.";
    return std::string("## mirGFF3. VERSION 1.2\n") + "## source-ontology: " + source + " " + ontology + "\n" +
           "## TOOLS: mirsight " + mirsight_version + "\n" + "## COLDATA: " + sample + "\n";
}

int32_t gff3_export(std::string const & gff_path, std::string const & hairpin_path, std::string const & tag_file,
                    std::vector<seed_vet_t> const & seed_vet, result_tables const & results,
                    output_staging & outputs)
{
    std::vector<hairpin_record> hairpins;
    int32_t const read_status = read_hairpin_file(hairpin_path, hairpins);
    if (read_status != 0)
        return read_status;
    export_state state{seed_vet, {}, {}, {}, {}, 0, 0};
    state.source = gff3_source(hairpins, seed_vet);
    state.catalogue = make_precursor_catalogue(std::move(hairpins));
    state.hairpin_path = hairpin_path;

    checked_file file(gff_path, "mirGFF3 file");
    if (!file.open(outputs))
        return -1;
    bool const written = file.write(gff3_header(state.source, sample_name(tag_file)))
                         && write_records(state, results, file);
    if (!file.close(true) || !written)
        return -1;
    if (state.tags_with_n > 0)
        print_warning(tag_file + ": " + std::to_string(state.tags_with_n) +
                      " mapped tag(s) hold N and get no mirGFF3 record (no UID can be made for them)");
    if (state.beyond_5p_end > 0)
        print_warning(hairpin_path + ": " + std::to_string(state.beyond_5p_end) +
                      " tag alignment(s) would start before their precursor's first letter and get no "
                      "mirGFF3 record");
    return 0;
}
