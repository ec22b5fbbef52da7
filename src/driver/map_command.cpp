#include "driver/map_command.hpp"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iostream>

#include <sys/stat.h>

#include "core/checked_file.hpp"
#include "core/messages.hpp"
#include "core/output_checks.hpp"
#include "core/run_state.hpp"
#include "core/search_parameters.hpp"
#include "core/staged_output.hpp"
#include "core/text_input.hpp"
#include "driver/command_line.hpp"
#include "driver/long_options.hpp"
#include "driver/progress.hpp"
#include "driver/tag_input.hpp"
#include "export/gff3_writer.hpp"
#include "matching/mirna_finder.hpp"
#include "mirna_db/check_specie_code.hpp"
#include "mirna_db/mirbase_file_formatter.hpp"
#include "mirna_db/read_mirbase.hpp"
#include "report/multiqc_content.hpp"
#include "report/output_file_print.hpp"
#include "report/result_aggregation.hpp"
#include "report/sample_report.hpp"
#include "tags/load_reads_db_buffer.hpp"

namespace
{
char const * const command = "mirsight map";

struct map_parameters
{
    std::string mature_file;
    std::string tag_file;
    std::string outdir;
    std::string sample;
    std::vector<std::string> species;
    std::string hairpin_file;
    std::string index_dir;
    search_parameters search;
    assignment_rule rule;
    bool rna_conversion = true;
    uint32_t thread_count = 1;
    bool gff3 = false;
    bool gff3_all = false;
    bool quiet = false;
};

std::vector<long_option> const & map_options()
{
    static std::vector<long_option> const options_known = {
        {"mature", long_option::text},
        {"tags", long_option::text},
        {"outdir", long_option::text},
        {"sample", long_option::text},
        {"species", long_option::text},
        {"threads", long_option::number, 1, 256},
        {"gff3", long_option::flag},
        {"gff3-all", long_option::flag},
        {"hairpin", long_option::text},
        {"index-dir", long_option::text},
        {"min-length", long_option::number, 0, 1000},
        {"seed-size", long_option::number, 1, 32},
        {"seed-begin", long_option::number, 0, 1000},
        {"seed-end", long_option::number, 0, 1000},
        {"tag-begin", long_option::number, 0, 1000},
        {"assign-below", long_option::number, -1, 101},
        {"keep-t", long_option::flag},
        {"sensitive", long_option::flag},
        {"quiet", long_option::flag},
        {"help", long_option::flag},
    };
    static std::vector<long_option> const with_sensitive = [] {
        std::vector<long_option> all = options_known;
        for (sensitive_option const & option : sensitive_options())
            all.push_back({option.name, long_option::number, option.min, option.max});
        return all;
    }();
    return with_sensitive;
}

std::vector<std::string> split_codes(std::string const & text)
{
    std::vector<std::string> codes;
    std::size_t begin = 0;
    while (begin <= text.size())
    {
        std::size_t end = text.find(',', begin);
        if (end == std::string::npos)
            end = text.size();
        codes.push_back(text.substr(begin, end - begin));
        begin = end + 1;
    }
    return codes;
}

// The options into `p`. Returns 0, or 2 after an error.
int read_map_options(parsed_options const & o, map_parameters & p)
{
    for (char const * required : {"mature", "tags", "outdir"})
        if (!o.has(required))
        {
            print_error(std::string(command) + ": option --" + required + " is required (see " + command +
                        " --help)");
            return 2;
        }
    if (!o.operands.empty())
    {
        print_error(std::string(command) + ": unexpected argument '" + o.operands[0] + "' (see " + command +
                    " --help)");
        return 2;
    }
    p.mature_file = o.text("mature");
    p.tag_file = o.text("tags");
    p.outdir = o.text("outdir");
    p.sample = o.text("sample", sample_of_file(p.tag_file));
    if (p.sample.empty() || p.sample.find_first_of("/,\t\n\r") != std::string::npos || p.sample[0] == '.')
    {
        print_error(std::string(command) + ": option --sample needs a name without '/', ',', tabs or a leading "
                    "'.', not '" + p.sample + "'");
        return 2;
    }
    if (o.has("species"))
        p.species = split_codes(o.text("species"));
    for (std::string const & code : p.species)
        if (code.empty())
        {
            print_error(std::string(command) + ": option --species needs codes separated by commas, such as hsa,mmu");
            return 2;
        }
    p.gff3 = o.has("gff3") || o.has("gff3-all");
    p.gff3_all = o.has("gff3-all");
    p.hairpin_file = o.text("hairpin");
    if (p.gff3 && p.hairpin_file.empty())
    {
        print_error(std::string(command) + ": option --gff3 needs --hairpin FILE (the precursor FASTA file)");
        return 2;
    }
    p.index_dir = o.text("index-dir");
    p.thread_count = static_cast<uint32_t>(o.number("threads", 1));
    p.search.min_tag_length = static_cast<uint32_t>(o.number("min-length", 10));
    p.search.seed_size = static_cast<uint32_t>(o.number("seed-size", 6));
    p.search.begin_seed = static_cast<uint32_t>(o.number("seed-begin", 1));
    p.search.end_seed = static_cast<uint32_t>(o.number("seed-end", 7));
    p.search.tag_begin = static_cast<uint32_t>(o.number("tag-begin", 4));
    p.rule.align_score_threshold = static_cast<int32_t>(o.number("assign-below", 14));
    p.search.sensitive.on = o.has("sensitive");
    for (sensitive_option const & option : sensitive_options())
        if (o.has(option.name))
            read_sensitive_value(option, o.text(option.name), p.search.sensitive);  // range checked when parsed
    p.rule.by_rank = p.search.sensitive.on;
    p.rna_conversion = !o.has("keep-t");
    p.quiet = o.has("quiet");
    return 0;
}

bool readable(char const * what, std::string const & path)
{
    std::string reason;
    if (input_is_readable(path, reason))  // a named pipe is not opened: it gives its data once
        return true;
    print_error(std::string("cannot open ") + what + " '" + path + "' for reading: " + reason);
    return false;
}

// Creates `path` and its missing parents. False after an error naming it.
bool make_folder(std::string const & path)
{
    for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1))
    {
        std::string const part = path.substr(0, slash);
        struct stat info;
        if (stat(part.c_str(), &info) != 0 && mkdir(part.c_str(), 0777) != 0 && errno != EEXIST)
        {
            print_error("cannot create output folder '" + part + "': " + std::strerror(errno));
            return false;
        }
        if (slash == std::string::npos)
            break;
    }
    struct stat info;
    if (stat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
    {
        print_error("output folder '" + path + "' is not a folder");
        return false;
    }
    return true;
}

void print_total(char const * label, uint64_t value)
{
    std::cout << label << value << ";" << std::endl;
}

// The seven tables, named <outdir>/<sample>.<table>.tsv.
result_paths sample_result_paths(std::string const & prefix)
{
    static char const * const names[result_table_count] = {
        "unique", "ambigue", "tag_unique", "tag_ambigue", "tag_ambigue_selected",
        "unique_ambigue_selected", "ambigue_ambigue_selected"};
    result_paths paths;
    for (std::size_t i = 0; i < result_table_count; ++i)
        paths[i] = prefix + "." + names[i] + ".tsv";
    return paths;
}

// No output may replace an input or another output, or be anything but a
// regular file: 0, or the exit status after the error.
int check_map_outputs(map_parameters const & p)
{
    std::string const prefix = p.outdir + "/" + p.sample;
    std::vector<named_file> outputs;
    for (std::string const & path : sample_result_paths(prefix))
        outputs.push_back({"result file", path});
    for (char const * name : {".mirna.tsv", ".summary.tsv", ".isomirs.tsv", ".general_stats_mqc.json",
                              ".read_classes_mqc.json", ".tag_lengths_mqc.json", ".top_mirnas_mqc.json"})
        outputs.push_back({"result file", prefix + name});
    if (p.gff3)
        outputs.push_back({"mirGFF3 file", prefix + ".gff3"});
    if (!p.index_dir.empty())
        for (char const * name : {"_grouped.txt", "_grouped_sorted.txt"})
            outputs.push_back({"index file", p.index_dir + "/" + sample_of_file(p.mature_file) + name});
    return check_output_names({{"miRNA file", p.mature_file}, {"tag file", p.tag_file},
                               {"hairpin file", p.gff3 ? p.hairpin_file : ""}},
                              outputs);
}

// Every stage on `state`; the outputs staged in `outputs`. Returns 0 or 1.
int run_map(map_parameters const & p, run_state & state, output_staging & outputs, progress_line & progress)
{
    std::string const prefix = p.outdir + "/" + p.sample;
    progress.show("reading the tags");
    tag_input input;
    if (read_tag_input(p.tag_file, input) != 0)
        return 1;

    progress.show("indexing the miRNAs");
    // The index files are written only with --index-dir; otherwise they are
    // temporary files beside the sample's outputs, removed at the end.
    output_staging index_files;
    std::string const index_prefix =
        p.index_dir.empty() ? prefix + ".mirna_index" : p.index_dir + "/" + sample_of_file(p.mature_file);
    if (mirbase_file_formatter(p.mature_file, index_prefix + "_grouped.txt", index_prefix + "_grouped_sorted.txt",
                               p.search, index_files, mature_letters::t_is_u) != 0 ||
        read_mirbase(index_prefix + "_grouped_sorted.txt", index_files, state.mirna_db) != 0)
        return 1;

    progress.show("loading " + std::string(input.from_reads ? "the collapsed reads" : "the tags"));
    tag_load_report const loaded = load_tags_from_text(input.text, p.tag_file, p.rna_conversion, p.search.seed_size,
                                                       p.thread_count, state.tags);
    std::string().swap(input.text);
    if (print_tag_load_report(loaded) != 0)
        return 1;
    std::vector<std::string> const & all_codes = state.mirna_db.specie_code_vet;
    if (p.species.empty() && all_codes.size() > 1)
        std::cerr << "note: searching all " << all_codes.size() << " species of '" << p.mature_file
                  << "'; choose some with --species\n";
    if (select_specie_codes(p.species.empty() ? all_codes : p.species, p.mature_file, state.mirna_db) != 0)
        return 1;

    progress.show("searching " + std::to_string(state.tags.tag_vet.size()) + " tags");
    mirna_finder(p.search, state.mirna_db, state.tags, state.search, p.thread_count);
    progress.show("writing the tables");
    output_structures_generation(state.mirna_db.seed_vet, state.tags.tag_vet, p.thread_count, state.results);
    output_structures_updating(state.results);
    std::vector<seed_vet_t> const & seed_vet = state.mirna_db.seed_vet;
    if (output_file_print(sample_result_paths(prefix), p.rule, p.thread_count, seed_vet,
                          state.results, state.totals, outputs) != 0)
        return 1;

    std::vector<mirna_reads> const mirnas = count_mirna_reads(seed_vet, state.results, p.rule);
    sample_summary const summary =
        summarize_sample(p.sample, seed_vet, state.tags, state.results, mirnas, p.rule);
    if (write_text_file(prefix + ".mirna.tsv", mirna_table_text(mirnas), "miRNA table", outputs) != 0 ||
        write_text_file(prefix + ".summary.tsv", summary_table_text({summary}), "summary table", outputs) != 0 ||
        write_isomir_table(prefix + ".isomirs.tsv", seed_vet, state.results, p.rule, outputs) != 0)
        return 1;
    for (auto const & file : multiqc_files(prefix, {summary}))
        if (write_text_file(file.first, file.second, "MultiQC file", outputs) != 0)
            return 1;
    if (p.gff3)
    {
        progress.show("writing the mirGFF3 file");
        gff3_request request;
        request.path = prefix + ".gff3";
        request.hairpin_path = p.hairpin_file;
        request.sample = p.sample;
        request.tag_file = p.tag_file;
        request.records = p.gff3_all ? gff3_records::every_alignment : gff3_records::counted;
        request.order = tag_order::sequence;
        if (p.search.sensitive.on)
            request.header_notes.push_back(sensitive_mode_note(p.search.sensitive));
        if (gff3_export(request, seed_vet, state.results, p.rule, outputs) != 0)
            return 1;
    }
    if (!p.index_dir.empty() && index_files.commit() != 0)
        return 1;
    free_all_structures(state, p.thread_count);
    return 0;
}
}  // namespace

std::string sample_of_file(std::string const & path)
{
    std::size_t const slash = path.find_last_of('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    for (bool cut = true; cut;)
    {
        cut = false;
        for (char const * extension : {".gz", ".fastq", ".fq", ".fasta", ".fa", ".txt", ".tsv"})
        {
            std::size_t const length = std::strlen(extension);
            if (name.size() > length && name.compare(name.size() - length, length, extension) == 0)
            {
                name.erase(name.size() - length);
                cut = true;
            }
        }
    }
    return name;
}

std::string map_usage()
{
    return R"(Usage: mirsight map --mature FILE --tags FILE --outdir DIR [options]

Maps one sample's tags (or reads) on mature miRNAs and writes its tables,
named by sample, into DIR.

Inputs (any name or extension; plain or gzip, told by content):
  --mature FILE      mature miRNAs, FASTA in miRBase style (U or T letters;
                     a T is read as U)
  --tags FILE        a tag-count file (sequence, a tab, its reads per line),
                     or reads: FASTQ or FASTA, collapsed in memory (tag
                     numbers are then the order of the collapsed tags: by
                     decreasing count, then sequence)
  --outdir DIR       output folder, created when missing
  --sample NAME      sample name (default: the tag file's name without folder
                     and .gz/.fastq/.fq/.fasta/.fa/.txt/.tsv extensions)
  --species CODES    species codes to search, comma-separated, each exactly
                     as in the miRNA file (default: every species of the
                     file, with a note when it holds several)

Outputs, in DIR (SAMPLE as above):
  SAMPLE.summary.tsv       reads and tags: total, too short, unique,
                           ambiguous, assigned, unassigned, unmapped
  SAMPLE.mirna.tsv         per miRNA: reads unique / assigned / ambiguous, rpm
  SAMPLE.isomirs.tsv       per counted tag: sequence, UID, miRNA, class,
                           variant, reads (for mirsight merge)
  SAMPLE.<table>.tsv       the seven result tables (unique, ambigue,
                           tag_unique, tag_ambigue, tag_ambigue_selected,
                           unique_ambigue_selected, ambigue_ambigue_selected)
  SAMPLE.*_mqc.json        MultiQC sections
  SAMPLE.gff3              with --gff3: mirGFF3, each read counted once
All appear together when the run succeeds, or none does.

Options:
  --gff3             also write SAMPLE.gff3 (needs --hairpin)
  --gff3-all         the same, with every alignment and locus (records not
                     counted marked Filter=ambiguous or Filter=other_locus)
  --hairpin FILE     precursor FASTA (miRBase style) for the mirGFF3 file
  --threads N        threads, 1 to 256 (1)
  --index-dir DIR    keep the miRNA index files there (default: not kept)
  --min-length N     an alignment must be longer than N (10)
  --seed-size N      seed length, 1 to 32 (6)
  --seed-begin N     seed start in each miRNA, from 0 (1)
  --seed-end N       seed end on the miRNA, for the site flags (7)
  --tag-begin N      the exact part must start within the first N tag letters (4)
  --assign-below N   assign an ambiguous tag to its best miRNA when that
                     alignment's score is below N, -1 to 101 (14)
  --keep-t           do not read T in tags as U (a T then counts as N)
  --quiet            no progress on standard error
  --help             this text

Sensitive mode (off by default; each --sensitive-* option turns it on):
  --sensitive        every window of every miRNA is a seed, alignments may
                     hold mismatches anywhere; an ambiguous tag goes to the
                     alignment that matches the most tag letters (then fewer
                     mismatches, then a smaller length difference), and stays
                     unassigned when miRNAs of different sequences tie;
                     --min-length, --tag-begin and --assign-below are not used
  --sensitive-window N          window length, 1 to 10 (7)
  --sensitive-max-shift N       the tag's 5' end may lie up to N letters before
                                or after the miRNA's, 0 to 50 (3)
  --sensitive-max-mismatches N  mismatches in an alignment, 0 to 20 (2)
  --sensitive-min-matched N     letters an alignment matches, at least N,
                                0 to 1000 (14)
  --sensitive-max-unmatched N   letters of tag and miRNA together left
                                unmatched, at most N, 0 to 1000 (5)
)";
}

int map_command(std::vector<std::string> const & arguments)
{
    parsed_options options;
    if (int const status = parse_long_options(command, arguments, map_options(), options))
        return status;
    if (options.has("help"))
    {
        std::cout << map_usage() << std::flush;
        return 0;
    }
    map_parameters p;
    if (int const status = read_map_options(options, p))
        return status;
    if (!readable("miRNA file", p.mature_file) || !readable("tag file", p.tag_file) ||
        (p.gff3 && !readable("hairpin file", p.hairpin_file)) || !make_folder(p.outdir) ||
        (!p.index_dir.empty() && !make_folder(p.index_dir)))
        return 1;
    if (int const status = check_map_outputs(p))
        return status;

    progress_line progress(std::string(command) + ": " + p.sample, p.quiet);
    output_staging outputs;
    run_state state;
    try
    {
        if (run_map(p, state, outputs, progress) != 0)
            return 1;
    }
    catch (std::bad_alloc const &)
    {
        print_error(std::string(command) + ": out of memory while " + progress.stage());
        return 1;
    }
    if (!log_written() || outputs.commit() != 0)
        return 1;
    print_total("uniq_mapped_total_tags_count = ", state.totals.uniq_mapped_total_tags_count);
    print_total("ambigue_mapped_total_tag_count = ", state.totals.ambigue_mapped_total_tag_count);
    print_total("ambigue_selected_mapped_total_tag_count = ", state.totals.ambigue_selected_mapped_total_tag_count);
    return 0;
}
