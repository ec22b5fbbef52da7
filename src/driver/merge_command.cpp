#include "driver/merge_command.hpp"

#include <iostream>

#include "core/messages.hpp"
#include "core/long_options.hpp"
#include "study/merge.hpp"

namespace
{
char const * const command = "mirsight merge";

std::vector<long_option> const & merge_options()
{
    static std::vector<long_option> const options_known = {
        {"outdir", long_option::text, 0, 0, "DIR", "output folder, created when missing", "Options"},
        {"gff3", long_option::flag, 0, 0, "", "also merge the samples' mirGFF3 files"},
        {"allow-mixed", long_option::flag, 0, 0, "",
         "merge samples mapped differently (another mirsight version, miRNA file, species, search or option "
         "that changes counts; see SAMPLE.provenance.tsv), which are refused otherwise; a warning names each "
         "difference and summary.tsv's column differs_from_first_sample shows it per sample"},
        {"quiet", long_option::flag, 0, 0, "", "no progress on standard error"},
    };
    return options_known;
}
}  // namespace

std::string merge_usage()
{
    return options_help("Usage: mirsight merge --outdir DIR [--gff3] INPUT...\n",
                        "Merges the outputs of \"mirsight map\" for several samples. Each INPUT is a\n"
                        "folder of map outputs (every SAMPLE.summary.tsv in it, by name) or one\n"
                        "sample's output prefix (DIR/SAMPLE). Samples keep the order given.\n",
                        merge_options(),
                        "Writes into DIR:\n"
                        "  mirna_counts.tsv   miRNA x sample: reads counted on each miRNA (unique plus\n"
                        "                     assigned ambiguous reads); rows by miRNA name, for\n"
                        "                     every miRNA counted in at least one sample\n"
                        "  mirna_rpm.tsv      the same as reads per million of the sample's counted reads\n"
                        "  isomir_counts.tsv  one row per tag counted in any sample (sequence, UID,\n"
                        "                     miRNA, class, variant), then its reads in each sample;\n"
                        "                     rows by sequence\n"
                        "  summary.tsv        one row per sample: the columns of SAMPLE.summary.tsv,\n"
                        "                     then differs_from_first_sample (the provenance keys\n"
                        "                     where it differs from the first sample, or none)\n"
                        "  provenance.tsv     sample, key, value: each sample's SAMPLE.provenance.tsv\n"
                        "  study.*_mqc.json   MultiQC sections over all samples\n"
                        "  mirna.gff3         with --gff3: one mirGFF3 file, COLDATA listing the\n"
                        "                     samples and Expression their reads in that order (each\n"
                        "                     sample needs SAMPLE.gff3 from \"mirsight map --gff3\")\n"
                        "DIR may not be a folder of samples' files. Samples mapped differently (in\n"
                        "what changes counts; each sample's read layout is its own) are refused with\n"
                        "every difference named (unless --allow-mixed), and so are tables cut short,\n"
                        "edited or holding a row twice. The input folders are read under a shared\n"
                        "lock, so a map committing there waits. Memory and open files stay bounded:\n"
                        "the tables are merged line by line (as map writes them sorted), at most 64\n"
                        "files at a time, through temporary partial matrices in DIR.\n");
}

int merge_command(std::vector<std::string> const & arguments)
{
    parsed_options options;
    if (int const status = parse_long_options(command, arguments, merge_options(), options))
        return status;
    if (options.has("help"))
    {
        std::cout << merge_usage() << std::flush;
        return 0;
    }
    if (!options.has("outdir") || options.operands.empty())
    {
        print_error(std::string(command) + ": " +
                    (options.has("outdir") ? "no INPUT given" : "option --outdir is required") + " (see " +
                    command + " --help)");
        return 2;
    }
    merge_request request;
    request.inputs = options.operands;
    request.outdir = options.text("outdir");
    request.gff3 = options.has("gff3");
    request.allow_mixed = options.has("allow-mixed");
    request.quiet = options.has("quiet");
    return run_merge(request);
}
