#include "driver/map_command.hpp"

#include <algorithm>
#include <iostream>

#include "reads/raw_reads.hpp"
#include "core/file_names.hpp"
#include "core/messages.hpp"
#include "core/run_state.hpp"
#include "driver/command_line.hpp"
#include "core/long_options.hpp"
#include "export/precursor_counts.hpp"
#include "report/tie_sharing.hpp"
#include "sample/error_folding.hpp"
#include "sample/sample_pipeline.hpp"

namespace
{
char const * const command = "mirsight map";

// The seven result tables are named <outdir>/<sample>.<name>.txt: they keep
// the legacy layout byte for byte, which is not a tidy table (earlier
// versions named them .tsv; a new run removes those).
char const * const sample_table_names[result_table_count] = {
    "unique", "ambigue", "tag_unique", "tag_ambigue", "tag_ambigue_selected", "unique_ambigue_selected",
    "ambigue_ambigue_selected"};

std::vector<long_option> const & map_options()
{
    static std::vector<long_option> const options_known = [] {
        std::vector<long_option> options = {
            {"mature", long_option::text, 0, 0, "FILE",
             "mature miRNAs, FASTA in miRBase style (U or T letters; a T is read as U)", "Inputs"},
            {"tags", long_option::text, 0, 0, "FILE",
             "a tag-count file (sequence, a tab, its reads per line), or raw reads: FASTQ or FASTA, trimmed and "
             "collapsed in memory (tag numbers are then the order of the collapsed tags: by decreasing count, "
             "then sequence); plain or gzip, told by content. Give --tags once per lane: the reads files of one "
             "sample are counted together",
             "", true},
            {"outdir", long_option::text, 0, 0, "DIR", "output folder, created when missing"},
            {"sample", long_option::text, 0, 0, "NAME",
             "sample name (default: the tag file's name without folder and .gz/.fastq/.fq/.fasta/.fa/.txt/.tsv "
             "endings)"},
            {"species", long_option::text, 0, 0, "CODES",
             "species codes to search, comma-separated, each exactly as in the miRNA file, or 'all' (required "
             "when the file holds several species)"},
            {"overwrite", long_option::flag, 0, 0, "",
             "replace the sample's files in DIR even when they were made from another tag file"},
            {"gff3", long_option::flag, 0, 0, "", "also write SAMPLE.gff3 (needs --hairpin)", "Options"},
            {"gff3-all", long_option::flag, 0, 0, "",
             "the same, with every alignment and locus (records not counted marked Filter=ambiguous or "
             "Filter=other_locus)"},
            {"hairpin", long_option::text, 0, 0, "FILE",
             "precursor FASTA (miRBase style): for the mirGFF3 file and, in the sensitive search, to accept "
             "costlier isomiRs that a precursor templates and drop tags that are precursor fragments"},
            {"threads", long_option::number, 1, max_thread_count, "N", "threads, 1 to 256 (1)"},
            {"index-dir", long_option::text, 0, 0, "DIR", "keep the miRNA index files there (default: not kept)"},
            {"min-length", long_option::number, 0, 1000, "N", "with --search seed: an alignment must be longer than N (10)"},
            {"seed-size", long_option::number, 1, 32, "N", "seed length, 1 to 32 (6)"},
            {"seed-begin", long_option::number, 0, 1000, "N", "seed start in each miRNA, from 0 (1)"},
            {"seed-end", long_option::number, 0, 1000, "N", "seed end on the miRNA, for the site flags (7)"},
            {"tag-begin", long_option::number, 0, 1000, "N",
             "with --search seed: the exact part must start within the first N tag letters (4)"},
            {"assign-below", long_option::number, -1, 101, "N",
             "with --search seed: assign an ambiguous tag to its best miRNA when that alignment's score is below "
             "N, -1 to 101 (14)"},
            {"keep-t", long_option::flag, 0, 0, "", "do not read T in tags as U (a T then counts as N)"},
            {"quiet", long_option::flag, 0, 0, "", "no progress on standard error"},
            {"search", long_option::text, 0, 0, "sensitive|seed",
             "sensitive (the default): a tag meets the miRNAs that share the seed's letters with it near its 5' "
             "end (--sensitive-seed), alignments may hold mismatches anywhere, an ambiguous tag goes to the "
             "alignment of lowest cost (letters of tag and miRNA left unmatched; then fewer mismatches, then a "
             "smaller length difference) and stays unassigned when miRNAs of different sequences tie; with "
             "--hairpin, the precursors vouch for costlier isomiRs and drop precursor fragments. seed: the "
             "miRNA's seed must occur exactly near the tag's 5' end, as the short options search (--min-length, "
             "--tag-begin and --assign-below apply to it alone)",
             "Search"},
            {"sensitive", long_option::flag, 0, 0, "", "the same as --search sensitive"},
            {"rna-class", long_option::text, 0, 0, "NAME=FASTA",
             "a reference of another small-RNA class (rRNA, tRNA, snoRNA, YRNA, piRNA...; NAME of letters, digits, "
             "'_' or '-'), repeatable, searched in the order given: a read whose whole insert the reference holds "
             "exactly (or, when no miRNA holds it, with up to --class-substitutions substitutions) is counted in "
             "the class, unless it is a miRNA exactly or lies in a precursor; its index is built once and kept "
             "beside the FASTA (or in --class-index-dir)",
             "Other RNA classes", true},
            {"class-index-dir", long_option::text, 0, 0, "DIR",
             "keep the classes' indexes in DIR (made when missing) rather than beside their FASTA files"},
            {"class-substitutions", long_option::number, 0, 4, "N",
             "substitutions a read may have in a class's reference when no miRNA holds it, 0 to 4 (1)"},
            {"ties", long_option::text, 0, 0, "unassigned|share",
             "an ambiguous tag whose best miRNAs tie: left unassigned (the default), or shared among them in "
             "proportion to their unambiguous reads (an expectation-maximisation over the sample's tied tags; "
             "each tag's reads split in whole reads), added to SAMPLE.mirna.tsv as reads_shared and to the "
             "study's matrices; the unshared counts stay in reads_unique and reads_assigned",
             "Counting"},
            {"fold-errors", long_option::flag, 0, 0, "",
             "a tag counted nowhere (on no miRNA, in no class, in no precursor) that is one substitution, inserted "
             "or dropped letter away from a tag on a miRNA with at least 5 times its reads is taken as that tag's "
             "sequencing error and counted with it (SAMPLE.folded.tsv lists them; the log says how many)"},
        };
        std::vector<long_option> const & raw = raw_read_options();
        options.insert(options.begin() + 6, raw.begin(), raw.end());  // after the inputs
        for (sensitive_option const & option : sensitive_options())
            options.push_back({option.name, long_option::number, option.min, option.max, "N", option.help,
                               option.name == sensitive_options().front().name ? "The sensitive search's limits" : ""});
        options.push_back({sensitive_seed_option, long_option::text, 0, 0, "PATTERN", sensitive_seed_help});
        return options;
    }();
    return options_known;
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

// Which search --search (or --sensitive) asks for, into `sensitive`; the
// options of the other search are refused. Returns 0, or 2 after an error.
int read_search_choice(parsed_options const & o, bool & sensitive)
{
    std::string const search = o.text("search", "sensitive");
    if (search != "sensitive" && search != "seed")
    {
        print_error(std::string(command) + ": option --search needs sensitive or seed, not '" + search + "'");
        return 2;
    }
    sensitive = search == "sensitive";
    if (o.has("sensitive") && !sensitive)
    {
        print_error(std::string(command) + ": options --sensitive and --search seed ask for different searches");
        return 2;
    }
    std::vector<std::string> others;
    if (sensitive)
    {
        for (char const * name : {"min-length", "tag-begin", "assign-below"})
            if (o.has(name))
                others.push_back(name);
    }
    else
    {
        for (sensitive_option const & option : sensitive_options())
            if (o.has(option.name))
                others.push_back(option.name);
        if (o.has(sensitive_seed_option))
            others.push_back(sensitive_seed_option);
    }
    if (others.empty())
        return 0;
    print_error(std::string(command) + ": option --" + others.front() + " belongs to the " +
                (sensitive ? "seed search: add --search seed" : "sensitive search: drop --search seed"));
    return 2;
}

// --rna-class NAME=FASTA (each name once, letters, digits, '_' or '-'),
// --class-index-dir and --class-substitutions into the request. Returns 0,
// or 2 after an error.
int read_rna_classes(parsed_options const & o, sample_request & r)
{
    for (std::string const & value : o.texts("rna-class"))
    {
        std::size_t const equals = value.find('=');
        std::string const name = value.substr(0, equals);
        bool const good_name = !name.empty() && name.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
                                                                       "0123456789_-") == std::string::npos;
        if (equals == std::string::npos || !good_name || equals + 1 == value.size())
        {
            print_error(std::string(command) + ": option --rna-class needs NAME=FASTA, the name of letters, digits, "
                        "'_' or '-' (such as rRNA=rrna.fa), not '" + value + "'");
            return 2;
        }
        for (class_request const & earlier : r.rna_classes)
            if (earlier.name == name)
            {
                print_error(std::string(command) + ": class '" + name + "' is given twice (--rna-class)");
                return 2;
            }
        r.rna_classes.push_back({name, value.substr(equals + 1)});
    }
    if (r.rna_classes.empty() && (o.has("class-index-dir") || o.has("class-substitutions")))
    {
        print_error(std::string(command) + ": options --class-index-dir and --class-substitutions need --rna-class");
        return 2;
    }
    r.class_index_dir = o.text("class-index-dir");
    r.class_substitutions = static_cast<uint32_t>(o.number("class-substitutions", 1));
    return 0;
}

// The options as a sample request. Returns 0, or 2 after an error.
int read_map_options(parsed_options const & o, sample_request & r)
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
    r.command = command;
    r.mature = {"miRNA file", o.text("mature")};
    for (std::string const & path : o.texts("tags"))
        r.tags.push_back({"tag file", path});
    r.tags_may_be_reads = true;
    r.molecules_by_mirna = true;
    if (read_raw_read_options(o, r.trim) != 0)
        return 2;
    for (long_option const & option : raw_read_options())
        if (o.has(option.name))
            r.raw_read_options_given[option.name] = o.text(option.name);
    r.letters = mature_letters::t_is_u;
    r.sample = o.text("sample", sample_of_file(r.tags.front().path));
    if (r.sample.empty() || r.sample.find_first_of("/,\t\n\r") != std::string::npos || r.sample[0] == '.')
    {
        print_error(std::string(command) + ": option --sample needs a name without '/', ',', tabs or a leading "
                    "'.', not '" + r.sample + "'");
        return 2;
    }
    r.species.exact = true;
    if (o.has("species"))
        r.species.codes = split_codes(o.text("species"));
    if (r.species.codes == std::vector<std::string>{"all"})
    {
        r.species.codes.clear();
        r.species.every_species = true;
    }
    r.refuse_doubtful_inputs = true;
    r.overwrite = o.has("overwrite");
    for (std::string const & code : r.species.codes)
        if (code.empty())
        {
            print_error(std::string(command) + ": option --species needs codes separated by commas, such as hsa,mmu");
            return 2;
        }
    bool const gff3 = o.has("gff3") || o.has("gff3-all");
    if (gff3 && o.text("hairpin").empty())
    {
        print_error(std::string(command) + ": option --gff3 needs --hairpin FILE (the precursor FASTA file)");
        return 2;
    }
    bool sensitive = true;
    if (int const status = read_search_choice(o, sensitive))
        return status;
    if (!gff3 && o.has("hairpin") && !sensitive)
    {
        print_error(std::string(command) + ": option --hairpin is used by the seed search only with --gff3; "
                    "add --gff3 to write SAMPLE.gff3");
        return 2;
    }
    std::string const prefix = o.text("outdir") + "/" + r.sample;
    if (gff3 || (sensitive && !o.text("hairpin").empty()))
        r.hairpin = {"hairpin file", o.text("hairpin")};
    if (gff3)
    {
        r.gff3_file = prefix + ".gff3";
        r.gff3_content = o.has("gff3-all") ? gff3_records::every_alignment : gff3_records::counted;
        r.gff3_order = tag_order::sequence;
    }
    r.thread_count = static_cast<uint32_t>(o.number("threads", 1));
    r.search.min_tag_length = static_cast<uint32_t>(o.number("min-length", 10));
    r.search.seed_size = static_cast<uint32_t>(o.number("seed-size", 6));
    r.search.begin_seed = static_cast<uint32_t>(o.number("seed-begin", 1));
    r.search.end_seed = static_cast<uint32_t>(o.number("seed-end", 7));
    r.search.tag_begin = static_cast<uint32_t>(o.number("tag-begin", 4));
    r.rule.align_score_threshold = static_cast<int32_t>(o.number("assign-below", 14));
    r.search.sensitive.on = sensitive;
    for (sensitive_option const & option : sensitive_options())
        if (o.has(option.name))
            read_sensitive_value(option, o.text(option.name), r.search.sensitive);  // range checked when parsed
    if (o.has(sensitive_seed_option) && !read_sensitive_seed(o.text(sensitive_seed_option), r.search.sensitive))
    {
        print_error(std::string(command) + ": " + sensitive_seed_error(o.text(sensitive_seed_option)));
        return 2;
    }
    r.rule.by_rank = r.search.sensitive.on;
    std::string const ties = o.text("ties", "unassigned");
    if (ties != "unassigned" && ties != "share")
    {
        print_error(std::string(command) + ": option --ties needs unassigned or share, not '" + ties + "'");
        return 2;
    }
    r.share_ties = ties == "share";
    r.fold_errors = o.has("fold-errors");
    if (int const status = read_rna_classes(o, r))
        return status;
    if (r.search.sensitive.on && !r.hairpin.path.empty())
        vouch_by_precursors(r.search.sensitive);
    else if (r.search.sensitive.on)
        std::cerr << command << ": note: no --hairpin: the cost limit stays at " << r.search.sensitive.max_unmatched
                  << " and precursor fragments are not told from isomiRs; give the precursor file to accept "
                     "costlier isomiRs\n";
    if (r.search.sensitive.on && gff3)
        r.gff3_header_notes.push_back(sensitive_mode_note(r.search.sensitive));
    r.rna_conversion = !o.has("keep-t");
    r.quiet = o.has("quiet");

    // The index files are kept only with --index-dir; otherwise they are
    // temporary files beside the sample's outputs.
    std::string const index_dir = o.text("index-dir");
    r.keep_index_files = !index_dir.empty();
    std::string const index_prefix =
        index_dir.empty() ? prefix + ".mirna_index" : index_dir + "/" + sample_of_file(r.mature.path);
    r.grouped_file = index_prefix + "_grouped.txt";
    r.sorted_grouped_file = index_prefix + "_grouped_sorted.txt";
    for (std::size_t i = 0; i < result_table_count; ++i)
        r.tables[i] = prefix + "." + sample_table_names[i] + ".txt";
    r.report_prefix = prefix;
    r.provenance_file = prefix + ".provenance.tsv";
    r.log_file = prefix + ".log";
    r.sample_files = report_file_names(prefix);
    for (std::size_t i = 0; i < result_table_count; ++i)
        for (char const * ending : {".txt", ".tsv"})
            r.sample_files.push_back(prefix + "." + sample_table_names[i] + ending);
    r.sample_files.push_back(prefix + ".gff3");
    r.sample_files.push_back(prefix + precursor_table_ending);
    r.sample_files.push_back(prefix + shared_table_ending);
    r.sample_files.push_back(prefix + folded_table_ending);
    r.sample_files.push_back(prefix + ".tag_lengths_mqc.json");  // an earlier version's MultiQC file
    r.sample_files.push_back(r.provenance_file);
    r.sample_files.push_back(r.log_file);
    return 0;
}
}  // namespace

std::string map_usage()
{
    return options_help("Usage: mirsight map --mature FILE --tags FILE --outdir DIR [options]\n",
                        "Maps one sample's tags (or reads) on mature miRNAs and writes its tables,\n"
                        "named by sample, into DIR.\n",
                        map_options(),
                        "Outputs, in DIR (SAMPLE as above):\n"
                        "  SAMPLE.summary.tsv       reads and tags: total, too short, unique,\n"
                        "                           ambiguous, assigned, unassigned, unmapped\n"
                        "  SAMPLE.mirna.tsv         per miRNA: reads unique / assigned / ambiguous, rpm\n"
                        "  SAMPLE.isomirs.tsv       per counted tag: sequence, UID, miRNA, class,\n"
                        "                           variant, reads (for mirsight merge)\n"
                        "  SAMPLE.provenance.tsv    what made them: version and commit, tag file, miRNA\n"
                        "                           file and its SHA-256, the raw-read options asked and\n"
                        "                           what was applied (each file's layout, the insert\n"
                        "                           limits, the unit counted), the search and every\n"
                        "                           option that changes counts\n"
                        "  SAMPLE.<table>.txt       the seven result tables in the legacy layout (unique, ambigue,\n"
                        "                           tag_unique, tag_ambigue, tag_ambigue_selected,\n"
                        "                           unique_ambigue_selected, ambigue_ambigue_selected)\n"
                        "  SAMPLE.*_mqc.json        MultiQC sections\n"
                        "  SAMPLE.gff3              with --gff3: mirGFF3, each read counted once\n"
                        "  SAMPLE.log               the log: the stages' counters and each reads file's\n"
                        "                           layout, as the short options print them\n"
                        "All appear together when the run succeeds, or none does; the sample's files\n"
                        "of an earlier run that this one does not write are removed. Standard output\n"
                        "gets a summary of the run: reads in, each file's layout, the read funnel,\n"
                        "the reads counted on miRNAs and where the files are.\n");
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
    sample_request request;
    if (int const status = read_map_options(options, request))
        return status;
    request.folders = {options.text("outdir")};
    if (request.keep_index_files)
        request.folders.push_back(options.text("index-dir"));
    if (!request.class_index_dir.empty())
        request.folders.push_back(request.class_index_dir);  // a cache folder named is made, as --outdir is
    run_state state;
    return run_sample(request, state);
}
