#include "sample/sample_pipeline.hpp"

#include <algorithm>
#include <cstdio>
#include <future>
#include <iostream>
#include <sstream>
#include <sys/stat.h>
#include <system_error>

#include "core/checked_file.hpp"
#include "core/file_names.hpp"
#include "core/messages.hpp"
#include "core/parallel_chunks.hpp"
#include "core/progress.hpp"
#include "core/staged_output.hpp"
#include "export/hairpin_file.hpp"
#include "export/precursor_counts.hpp"
#include "export/precursor_location.hpp"
#include "matching/precursor_guard.hpp"
#include "mirna_db/check_specie_code.hpp"
#include "mirna_db/read_mirbase.hpp"
#include "report/ambiguous_selection.hpp"
#include "report/length_profile.hpp"
#include "report/multiqc_content.hpp"
#include "report/qc_verdict.hpp"
#include "report/result_aggregation.hpp"
#include "report/sample_report.hpp"
#include "sample/error_folding.hpp"
#include "sample/molecules_by_mirna.hpp"
#include "sample/other_rna_classes.hpp"
#include "sample/provenance.hpp"
#include "sample/run_summary.hpp"
#include "sample/tag_input.hpp"
#include "tags/load_reads_db_buffer.hpp"

namespace
{
std::string opening(sample_request const & r)
{
    return r.command.empty() ? "" : r.command + ": ";
}

// Every input file must open before anything is written.
bool inputs_readable(sample_request const & r)
{
    std::vector<named_file const *> inputs = {&r.mature, &r.hairpin};
    for (named_file const & tags : r.tags)
        inputs.push_back(&tags);
    std::vector<named_file> class_files;
    for (class_request const & rna_class : r.rna_classes)
        class_files.push_back({"RNA class '" + rna_class.name + "' file", rna_class.fasta});
    for (named_file const & file : class_files)
        inputs.push_back(&file);
    for (named_file const * input : inputs)
    {
        if (input->path.empty())
            continue;  // the hairpin file is only given with the mirGFF3 file or the sensitive mode
        std::string reason;
        if (!input_is_readable(input->path, reason))  // a named pipe is not opened: it gives its data once
        {
            print_error("cannot open " + input->what + " '" + input->path + "' for reading: " + reason);
            return false;
        }
    }
    return true;
}

// No output may replace an input or another output, or be anything but a
// regular file: 0, or the exit status after the error.
int check_outputs(sample_request const & r)
{
    std::vector<named_file> outputs;
    if (r.keep_index_files)
        outputs = {{"grouped miRNA file", r.grouped_file}, {"sorted grouped miRNA file", r.sorted_grouped_file}};
    for (std::string const & path : r.tables)
        outputs.push_back({"result file", path});
    if (!r.report_prefix.empty())
        for (std::string const & path : report_file_names(r.report_prefix))
            outputs.push_back({"result file", path});
    if (!r.gff3_file.empty())
        outputs.push_back({"mirGFF3 file", r.gff3_file});
    if (!r.provenance_file.empty())
        outputs.push_back({"result file", r.provenance_file});
    if (!r.log_file.empty())
        outputs.push_back({"log file", r.log_file});
    if (!r.report_prefix.empty())
        for (class_request const & rna_class : r.rna_classes)
            outputs.push_back({"result file", r.report_prefix + class_table_ending(rna_class.name)});
    std::vector<named_file> inputs = {r.mature, r.hairpin};
    for (class_request const & rna_class : r.rna_classes)
        inputs.push_back({"RNA class '" + rna_class.name + "' file", rna_class.fasta});
    inputs.insert(inputs.end(), r.tags.begin(), r.tags.end());
    return check_output_names(inputs, outputs);
}

// Formats and indexes the miRNA file into `mirna_db`. Returns 0, or 1 when a
// stage failed.
int build_seed_index(sample_request const & r, output_staging & index_files, mirna_db_tables & mirna_db)
{
    if (mirbase_file_formatter(r.mature.path, r.grouped_file, r.sorted_grouped_file, r.search, index_files,
                               r.letters) != 0)
        return 1;
    return read_mirbase(r.sorted_grouped_file, index_files, mirna_db) != 0 ? 1 : 0;
}

// build_seed_index on a thread of its own, when the run has more than one;
// otherwise (or when no thread can be started) nothing.
std::future<int> start_building_seed_index(sample_request const & r, output_staging & index_files,
                                           mirna_db_tables & mirna_db)
{
    if (r.thread_count <= 1)
        return {};
    try
    {
        return std::async(std::launch::async, build_seed_index, std::cref(r), std::ref(index_files),
                          std::ref(mirna_db));
    }
    catch (std::system_error const &)
    {
        return {};
    }
}

// The other RNA classes' references, opened (their indexes loaded or
// built) while the tags are loaded: they share nothing with the tags.
struct opened_classes
{
    int status = 0;
    std::vector<class_reference> classes;
    std::string log;  // the opening's lines, for the run's log in order
};

opened_classes open_class_references(sample_request const & r)
{
    opened_classes opened;
    std::ostringstream log;
    opened.status = open_classes(r.rna_classes, r.class_index_dir, log, opened.classes);
    opened.log = log.str();
    return opened;
}

// open_class_references on a thread of its own when there are classes and
// the run has more than one thread; otherwise (or when no thread can be
// started) nothing.
std::future<opened_classes> start_opening_classes(sample_request const & r)
{
    if (r.rna_classes.empty() || r.thread_count <= 1)
        return {};
    try
    {
        return std::async(std::launch::async, open_class_references, std::cref(r));
    }
    catch (std::system_error const &)
    {
        return {};
    }
}

// What a pass over reads found, when the tags come from reads.
struct reads_pass
{
    bool done = false;
    raw_read_result result;
    std::vector<std::string> inserts;  // with result.umi_pairs: each tag's insert, by line
};

// The tag file (or the reads, trimmed and collapsed) into state.tags; what
// the reads' pass found into `reads`.
tag_load_report load_tags(sample_request const & r, tag_table & tags, reads_pass & reads, int & status)
{
    std::string const & first = r.tags.front().path;
    if (!r.tags_may_be_reads)
        return load_reads_db_buffer(first, r.rna_conversion, r.search.seed_size, r.thread_count, tags);
    tag_input input;
    std::vector<std::string> paths;
    for (named_file const & file : r.tags)
        paths.push_back(file.path);
    // The miRNAs the reads' layout is told by (and checked against).
    known_mirnas known;
    if (read_known_mirnas(r.mature.path, r.species.codes, known) != 0)
    {
        status = 1;
        return {};
    }
    trim_request trim = r.trim;
    trim.known = &known;
    trim.molecules_by_mirna = r.molecules_by_mirna;
    if (read_tag_input(paths, trim, r.thread_count, input) != 0)
    {
        status = 1;
        return {};
    }
    reads.done = input.from_reads;
    if (input.from_reads)
    {
        reads.result = std::move(input.reads);
        reads.inserts = std::move(input.inserts);
    }
    return load_tags_from_text(input.text, first, r.rna_conversion, r.search.seed_size, r.thread_count, tags);
}

// What the summary says of each reads file, "; " between files.
std::string per_lane(raw_read_result const & reads, std::string (*say)(lane_layout const &))
{
    return each_file_text(reads, say, "; ");
}

std::string adapter_of(lane_layout const & lane)
{
    read_layout const & layout = lane.applied.layout;
    if (layout.adapter.empty())
        return lane.source == layout_source::inferred ? "none (already trimmed)" : "none";
    bool const named = lane.source == layout_source::kit || (lane.source == layout_source::inferred && layout.name != "found");
    return (named ? layout.name + " " : std::string()) + layout.adapter +
           (layout.umi_length > 0 ? " +UMI" + std::to_string(layout.umi_length) : "");
}

std::string told_by(lane_layout const & lane)
{
    return layout_source_name(lane.source);
}

std::string percent_of(uint64_t part, uint64_t whole)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", whole == 0 ? 0.0 : 100.0 * static_cast<double>(part) / static_cast<double>(whole));
    return text;
}

// The funnel of reads trimmed and collapsed into the summary's tags, and
// each file's layout.
void set_funnel_of_reads(raw_read_result const & reads, sample_summary & s)
{
    read_funnel const & f = reads.funnel;
    s.raw_reads = f.raw_reads;
    s.no_adapter_reads = f.no_adapter;
    s.umi_too_short_reads = f.umi_too_short;
    s.adapter_dimer_reads = f.adapter_dimers;
    s.too_short_insert_reads = f.too_short;
    s.too_long_insert_reads = f.too_long;
    s.kept_reads = f.kept;
    s.umi_duplicate_reads = reads.counts_molecules() ? f.kept - f.kept_molecules : 0;
    s.adapter = per_lane(reads, adapter_of);
    uint64_t sampled = 0;
    uint64_t holding = 0;
    uint64_t explained = 0;
    std::string warnings;
    std::string candidates;
    for (lane_layout const & lane : reads.lanes)
    {
        sampled += lane.sampled_reads;
        holding += lane.applied.layout.adapter.empty() ? 0 : static_cast<uint64_t>(lane.adapter_share * static_cast<double>(lane.sampled_reads) + 0.5);
        explained += lane.explained;
        if (!lane.warning.empty())
            warnings += (warnings.empty() ? "" : "; ") + (reads.lanes.size() > 1 ? lane.path + ": " : std::string()) + lane.warning;
        if (!lane.candidates.empty())
            candidates += (candidates.empty() ? "" : "; ") + candidates_text(lane);
    }
    s.adapter_share = percent_of(holding, sampled);
    s.adapter_warning = warnings.empty() ? "none" : warnings;
    s.layout = per_lane(reads, [](lane_layout const & lane) {
        return lane.applied.layout.name + ": " + layout_text(lane.applied.layout) +
               (lane.umi_set_aside ? " (UMI set aside: reads counted)" : "");
    });
    s.layout_told_by = per_lane(reads, told_by);
    s.explained_share = percent_of(explained, sampled);
    s.layout_candidates = candidates.empty() ? "none" : candidates;
}

int select_species(sample_request const & r, mirna_db_tables & mirna_db, std::ostream & log)
{
    if (!r.species.exact)
        return check_specie_code(r.species.text, mirna_db, log) != 0 ? 1 : 0;
    std::vector<std::string> const & all_codes = mirna_db.specie_code_vet;
    if (r.species.codes.empty() && all_codes.size() > 1 && r.refuse_doubtful_inputs && !r.species.every_species)
    {
        std::string listed;
        for (std::size_t i = 0; i < all_codes.size() && i < 6; ++i)
            listed += (i ? "," : "") + all_codes[i];
        print_error(opening(r) + "miRNA file '" + r.mature.path + "' holds " + std::to_string(all_codes.size()) +
                    " species (" + listed + (all_codes.size() > 6 ? ",..." : "") +
                    "): choose the sample's with --species (such as --species " + all_codes[0] +
                    "), or search them all with --species all");
        return 2;
    }
    if (r.species.codes.empty() && all_codes.size() > 1)
        std::cerr << "note: searching all " << all_codes.size() << " species of '" << r.mature.path
                  << "'; choose some with --species\n";
    return select_specie_codes(r.species.codes.empty() ? all_codes : r.species.codes, r.mature.path, mirna_db,
                               log) != 0
               ? 1
               : 0;
}

// A miRNA file whose records are mostly longer than any mature miRNA is a
// precursor file given in its place: 0, or 1 after the error.
int check_mature_lengths(sample_request const & r, mirna_db_tables const & mirna_db)
{
    std::vector<std::size_t> lengths;
    std::vector<bool> seen;  // by mirna_index: a miRNA under several seeds counts once
    for (seed_vet_t const & seed : mirna_db.seed_vet)
        for (specie_vet_t const & species : seed.specie_vet)
            for (mirna_vet_t const & mirna : species.mirna_vet)
            {
                if (seen.size() <= mirna.mirna_index)
                    seen.resize(mirna.mirna_index + 1, false);
                if (!seen[mirna.mirna_index])
                    lengths.push_back(seqan::length(mirna.mirna_seq));
                seen[mirna.mirna_index] = true;
            }
    if (lengths.empty())
        return 0;
    std::nth_element(lengths.begin(), lengths.begin() + static_cast<long>(lengths.size() / 2), lengths.end());
    std::size_t const median = lengths[lengths.size() / 2];
    if (median <= 30)
        return 0;
    print_error(opening(r) + "miRNA file '" + r.mature.path + "' holds records of " + std::to_string(median) +
                " letters (median), far longer than mature miRNAs (about 22): is it the precursor (hairpin) file? "
                "Give the mature miRNAs with --mature and the precursors with --hairpin");
    return 1;
}

// An earlier run of the sample in the same folder made from another tag file
// is not replaced unless asked: 0, or 1 after the error. Checked before the
// run, so that it is refused before any work, and again at the commit, under
// the folder's lock: of two runs of one sample from different inputs at
// once, the second to commit finds the first's and is refused.
int check_earlier_sample(sample_request const & r)
{
    if (r.provenance_file.empty() || r.overwrite)
        return 0;
    struct stat info;
    if (stat(r.provenance_file.c_str(), &info) != 0)
        return 0;
    provenance earlier;
    if (!read_provenance(r.provenance_file, earlier))
        return 1;
    std::string const earlier_tags = provenance_value(earlier, "tags_file");
    std::string const new_tags = tags_files_text(r);
    if (earlier_tags == new_tags)
        return 0;
    print_error(opening(r) + "sample '" + r.sample + "' was mapped from tag file '" + earlier_tags + "' (" +
                r.provenance_file + "); mapping '" + new_tags + "' would replace it: give another --sample or " +
                "--outdir, or --overwrite to replace it");
    return 1;
}

// The species codes the miRNAs were searched in.
std::vector<std::string> searched_species(mirna_db_tables const & mirna_db)
{
    std::vector<std::string> species;
    for (char_string const & code : mirna_db.species_to_check_vet)
        species.emplace_back(seqan::begin(code), seqan::end(code));
    return species;
}

// The classes' reads into the summary (shown only with classes) and what
// the verdict needs of them: a class named rRNA (any case).
void set_class_reads(std::vector<class_counts> const & class_reads, bool from_reads, sample_summary & summary,
                     verdict_inputs & verdict)
{
    if (class_reads.empty())
        return;
    summary.classes_searched = true;
    std::string listed;
    for (class_counts const & counts : class_reads)
    {
        summary.other_rna_reads += counts.reads;
        summary.moved_from_mirna_reads += counts.moved_reads;
        listed += (listed.empty() ? "" : ", ") + counts.name + ":" + std::to_string(counts.reads);
        std::string lower = counts.name;
        std::transform(lower.begin(), lower.end(), lower.begin(),
                       [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); });
        if (lower == "rrna")
        {
            verdict.has_rrna_class = true;
            verdict.rrna_reads += counts.reads;
        }
    }
    summary.class_reads = listed;
    summary.class_counts.clear();
    for (class_counts const & counts : class_reads)
        summary.class_counts.emplace_back(counts.name, counts.reads);
    summary.total_reads += summary.other_rna_reads;
    if (!from_reads)
    {
        // A tag-count file's reads are all raw and kept: theirs too.
        summary.raw_reads += summary.other_rna_reads;
        summary.kept_reads += summary.other_rna_reads;
    }
}

// The summary (also into `summary`), the tidy tables and the MultiQC files.
int write_sample_report(sample_request const & r, run_state const & state, raw_read_result const * reads,
                        length_profile const & lengths, precursor_catalogue const * precursors,
                        std::vector<class_reference> const & classes, std::vector<class_counts> const & class_reads,
                        output_staging & outputs, sample_summary & summary)
{
    std::string const & prefix = r.report_prefix;
    std::vector<seed_vet_t> const & seed_vet = state.mirna_db.seed_vet;
    tie_shares shares;
    if (r.share_ties)
        shares = share_tied_tags(seed_vet, state.results, r.rule);
    std::vector<mirna_reads> const mirnas =
        count_mirna_reads(seed_vet, state.results, r.share_ties ? &shares : nullptr);
    summary = summarize_sample(r.sample, state.tags, state.results, mirnas);
    summary.ties_shared = r.share_ties;
    summary.shared_reads = shares.tied_reads;
    if (reads != nullptr)
        set_funnel_of_reads(*reads, summary);
    summary.lengths = lengths;
    verdict_inputs verdict;
    set_class_reads(class_reads, reads != nullptr, summary, verdict);
    judge_library(summary, verdict);
    if (write_text_file(prefix + ".mirna.tsv", mirna_table_text(mirnas, r.share_ties), "miRNA table", outputs) != 0 ||
        write_text_file(prefix + length_table_ending, length_table_text(lengths), "length table", outputs) != 0 ||
        (r.share_ties && write_text_file(prefix + shared_table_ending,
                                         shared_table_text(seed_vet, state.results, shares), "shared table",
                                         outputs) != 0) ||
        write_text_file(prefix + ".summary.tsv", summary_table_text({summary}), "summary table", outputs) != 0 ||
        write_isomir_table(prefix + ".isomirs.tsv", seed_vet, state.results, precursors, outputs) != 0)
        return 1;
    for (auto const & file : multiqc_files(prefix, {summary}))
        if (write_text_file(file.first, file.second, "MultiQC file", outputs) != 0)
            return 1;
    for (std::size_t c = 0; c < classes.size(); ++c)
        if (write_text_file(prefix + class_table_ending(classes[c].name), class_table_text(classes[c], class_reads[c]),
                            "class table", outputs) != 0)
            return 1;
    if (precursors != nullptr)
    {
        std::vector<precursor_reads> const rows =
            count_precursor_reads(seed_vet, state.results, state.tags, *precursors, searched_species(state.mirna_db));
        if (write_text_file(prefix + precursor_table_ending, precursor_table_text(rows), "precursor table",
                            outputs) != 0)
            return 1;
    }
    return 0;
}

// Every insert's reads by length and outcome, before molecules are counted:
// the tags (on miRNAs, in a class, or unmapped) and the discarded ones, and,
// from raw reads, the inserts the length limits dropped and the adapter
// dimers.
length_profile profile_of_run(tag_table const & tags, read_funnel const * funnel,
                              std::vector<class_reference> const & classes, class_assignment const & placed,
                              error_folds const & folds)
{
    length_profile profile;
    for (tag_vet_t const & tag : tags.tag_vet)
    {
        auto const in_class = placed.by_tag_index.find(tag.tag_index);
        bool const on_mirna = !tag.mirna_matched_vet.empty() || folds.into.count(tag.tag_index) != 0;
        std::string const outcome = in_class != placed.by_tag_index.end() ? classes[in_class->second.class_number].name
                                    : on_mirna                          ? "mirna"
                                                                        : "unmapped";
        profile.add(outcome, tag.tag_sequence.size(), tag.tag_count);
    }
    profile.add_by_length("too_short", tags.discarded_reads_by_length);
    if (funnel == nullptr)
        return profile;
    profile.add_by_length("too_short", funnel->too_short_by_length);
    profile.add_by_length("too_long", funnel->too_long_by_length);
    if (funnel->adapter_dimers > 0)
        profile.add("dimer", 0, funnel->adapter_dimers);
    return profile;
}

// The sensitive mode's guard: tags that are fragments of a precursor rather
// than isomiRs of their best miRNA lose their alignments, and so do the
// costlier alignments no precursor vouches for.
void apply_precursor_guard(sample_request const & r, precursor_catalogue const & catalogue, run_state & state)
{
    std::vector<precursor_letters> precursors;
    precursors.reserve(catalogue.hairpins.size());
    for (hairpin_record const & hairpin : catalogue.hairpins)
        precursors.push_back({hairpin.specie_code, hairpin.sequence});
    precursor_rules rules;
    rules.max_cost = r.search.sensitive.max_unmatched;
    rules.max_mismatches = r.search.sensitive.max_mismatches;
    guard_with_precursors(build_precursor_index(std::move(precursors)), rules, state.mirna_db.seed_vet,
                          state.tags.tag_vet, r.thread_count);
}

// With UMIs, each tag's molecules counted by miRNA; the funnel's molecules
// (and so its PCR duplicates) become theirs, and the UMI pairs are let go.
void count_molecules(sample_request const & r, error_folds const & folds, reads_pass & reads, run_state & state)
{
    raw_read_result & result = reads.result;
    insert_umis const umis{result.umi_pairs, result.umi_length, reads.inserts, &folds.into};
    result.molecules = count_molecules_by_mirna(umis, r.rule, state.mirna_db.seed_vet, state.tags);
    result.funnel.kept_molecules = result.molecules;
    for (lane_layout const & lane : result.lanes)
        if (lane.applied.layout.umi_length == 0)
            result.funnel.kept_molecules += lane.funnel.kept;
    result.umi_pairs = sequence_counts{};
    std::vector<std::string>().swap(reads.inserts);
}

gff3_request gff3_request_of(sample_request const & r, precursor_catalogue const & precursors)
{
    gff3_request request;
    request.catalogue = &precursors;
    request.path = r.gff3_file;
    request.hairpin_path = r.hairpin.path;
    request.sample = r.sample;
    request.tag_file = r.tags.front().path;
    request.records = r.gff3_content;
    request.order = r.gff3_order;
    request.header_notes = r.gff3_header_notes;
    return request;
}

// Every stage once, in order, the stages' counters on `log`; what a pass
// over reads found into `reads`, the sample's summary into `summary`.
// Returns 0, or 1 when a stage failed.
int run_stages(sample_request const & r, run_state & state, output_staging & outputs, progress_line & progress,
               reads_pass & reads, sample_summary & summary, std::ostream & log)
{
    // With more than one thread the miRNA file is formatted and indexed while
    // the tags are loaded: the two stages share nothing. The loading prints
    // its messages once the index is built, so that standard error reads as
    // in a run of one stage after the other, and none when building the
    // index failed.
    output_staging temporary_index_files;
    output_staging & index_files = r.keep_index_files ? outputs : temporary_index_files;
    progress.show("indexing the miRNA file and loading the tag file");
    std::future<opened_classes> classes_opened = start_opening_classes(r);
    std::future<int> index_built = start_building_seed_index(r, index_files, state.mirna_db);
    if (!index_built.valid() && build_seed_index(r, index_files, state.mirna_db) != 0)
        return 1;
    int status = 0;
    tag_load_report const loaded = load_tags(r, state.tags, reads, status);
    if (index_built.valid() && index_built.get() != 0)
        return 1;
    if (status != 0 || print_tag_load_report(loaded) != 0)
        return 1;
    if (int const chosen = select_species(r, state.mirna_db, log))
        return chosen;
    if (r.refuse_doubtful_inputs && check_mature_lengths(r, state.mirna_db) != 0)
        return 1;

    progress.show("searching " + std::to_string(state.tags.tag_vet.size()) + " tags");
    mirna_finder(r.search, state.mirna_db, state.tags, state.search, r.thread_count, log, r.engine);
    // The precursors, read once for the guard, the isomiR table and the mirGFF3 file.
    precursor_catalogue precursors;
    if (!r.hairpin.path.empty())
    {
        std::vector<hairpin_record> hairpins;
        if (read_hairpin_file(r.hairpin.path, hairpins) != 0)
            return 1;
        precursors = make_precursor_catalogue(std::move(hairpins));
    }
    if (r.search.sensitive.on && !r.hairpin.path.empty())
        apply_precursor_guard(r, precursors, state);
    // Other RNA classes: their tags leave the miRNAs' tables (after their
    // molecules are counted, as their own).
    std::vector<class_reference> classes;
    class_assignment placed;
    if (!r.rna_classes.empty())
    {
        progress.show("opening the other RNA classes");
        opened_classes opened = classes_opened.valid() ? classes_opened.get() : open_class_references(r);
        log << opened.log;
        if (opened.status != 0)
            return 1;
        classes = std::move(opened.classes);
        progress.show("searching the other RNA classes");
        placed = assign_to_classes(classes, r.class_substitutions, r.hairpin.path.empty() ? nullptr : &precursors,
                                   searched_species(state.mirna_db), r.thread_count, state.tags);
    }
    // Tags that are sequencing errors of a tag on a miRNA join it.
    error_folds folds;
    if (r.fold_errors)
    {
        progress.show("folding sequencing errors");
        folds = find_error_folds(state.tags, placed, r.hairpin.path.empty() ? nullptr : &precursors,
                                 searched_species(state.mirna_db), r.thread_count);
    }
    length_profile const lengths = profile_of_run(state.tags, reads.done ? &reads.result.funnel : nullptr,
                                                  classes, placed, folds);
    if (r.fold_errors)
    {
        if (!r.report_prefix.empty() && write_text_file(r.report_prefix + folded_table_ending,
                                                        folded_table_text(folds, state.tags), "folded table",
                                                        outputs) != 0)
            return 1;
        fold_errors(folds, state.tags);
        log << "folded_error_tags = " << folds.into.size() << "\nfolded_error_reads = " << folds.reads << '\n';
    }
    if (reads.result.umi_pairs.distinct > 0)
    {
        progress.show("counting molecules by miRNA");
        count_molecules(r, folds, reads, state);
    }
    std::vector<class_counts> const class_reads = take_class_tags(classes, placed, state.tags);

    progress.show("writing the tables");
    std::vector<seed_vet_t> const & seed_vet = state.mirna_db.seed_vet;
    output_structures_generation(seed_vet, state.tags.tag_vet, r.thread_count, state.results);
    output_structures_updating(state.results);
    decide_counted_alignments(r.rule, seed_vet, r.thread_count, state.results);
    if (output_file_print(r.tables, r.thread_count, seed_vet, state.results, state.totals, outputs) != 0)
        return 1;
    if (!r.report_prefix.empty() &&
        write_sample_report(r, state, reads.done ? &reads.result : nullptr, lengths,
                            r.hairpin.path.empty() ? nullptr : &precursors, classes, class_reads, outputs,
                            summary) != 0)
        return 1;
    summary.errors_folded = r.fold_errors;
    summary.folded_error_reads = folds.reads;
    if (!r.gff3_file.empty())
    {
        progress.show("writing the mirGFF3 file");
        if (gff3_export(gff3_request_of(r, precursors), seed_vet, state.results, outputs) != 0)
            return 1;
    }
    if (!r.provenance_file.empty() &&
        write_text_file(r.provenance_file, provenance_text(provenance_of(r, reads.done ? &reads.result : nullptr)),
                        "provenance table", outputs) != 0)
        return 1;
    for (std::string const & path : r.sample_files)
        outputs.remove_at_commit(path);
    if (!r.report_prefix.empty())
        for (std::string const & path : class_tables_present(r.report_prefix))
            outputs.remove_at_commit(path);
    free_all_structures(state, r.thread_count);
    return 0;
}

void print_total(std::ostream & log, char const * label, uint64_t value)
{
    log << label << value << ";" << std::endl;
}

// The lines that close the log: the three totals, then each reads file's layout.
void print_closing_lines(mapped_totals const & totals, reads_pass const & reads, std::ostream & log)
{
    print_total(log, "uniq_mapped_total_tags_count = ", totals.uniq_mapped_total_tags_count);
    print_total(log, "ambigue_mapped_total_tag_count = ", totals.ambigue_mapped_total_tag_count);
    print_total(log, "ambigue_selected_mapped_total_tag_count = ", totals.ambigue_selected_mapped_total_tag_count);
    if (reads.done)
        for (lane_layout const & lane : reads.result.lanes)
            log << "layout = " << (reads.result.lanes.size() > 1 ? lane.path + ": " : std::string())
                << lane_layout_text(lane) << ";" << std::endl;
}

// Stages, then commits, the outputs: the log on `log`, or (with a log file)
// into a buffer written as that file with the other outputs. Returns the
// exit status.
int run_and_commit(sample_request const & r, run_state & state, reads_pass & reads, sample_summary & summary)
{
    // Output files appear under their names only once the whole run has
    // succeeded; a failed run removes what it wrote and leaves earlier
    // results in place.
    output_staging outputs;
    progress_line progress(r.command + (r.command.empty() ? "" : ": ") + r.sample, r.quiet);
    std::ostringstream buffer;
    std::ostream & log = r.log_file.empty() ? std::cout : buffer;
    int status = 1;
    try
    {
        status = run_stages(r, state, outputs, progress, reads, summary, log);
        if (status == 0 && !r.log_file.empty())
        {
            print_closing_lines(state.totals, reads, log);
            if (write_text_file(r.log_file, buffer.str(), "log file", outputs) != 0)
                status = 1;
        }
    }
    catch (std::bad_alloc const &)
    {
        print_error(opening(r) + "out of memory while " + progress.stage());
    }
    if (status == 0 && !log_written())
        status = 1;
    if (status == 0 && outputs.commit([&r] { return check_earlier_sample(r) == 0; }) != 0)
        status = 1;
    outputs.discard();
    return status;
}
}  // namespace

std::vector<std::string> report_file_names(std::string const & prefix)
{
    return {prefix + ".mirna.tsv",
            prefix + ".summary.tsv",
            prefix + ".isomirs.tsv",
            multiqc_general_stats_file(prefix),
            multiqc_read_classes_file(prefix),
            multiqc_insert_lengths_file(prefix),
            prefix + length_table_ending,
            multiqc_top_mirnas_file(prefix),
            multiqc_read_funnel_file(prefix),
            multiqc_read_layouts_file(prefix)};
}

int run_sample(sample_request const & r, run_state & state)
{
    if (!inputs_readable(r))
        return 1;
    for (std::string const & folder : r.folders)
        if (!make_folders(folder, ""))
            return 1;
    if (int const status = check_outputs(r))
        return status;
    if (check_earlier_sample(r) != 0)
        return 1;
    prepare_heap_growth();  // before the seed index is built on a thread of its own

    reads_pass reads;
    sample_summary summary;
    if (int const status = run_and_commit(r, state, reads, summary))
        return status;
    if (r.log_file.empty())
        print_closing_lines(state.totals, reads, std::cout);
    else
        std::cout << run_summary_text(r.command, summary, reads.done ? &reads.result : nullptr, r.report_prefix)
                  << std::flush;
    return log_written() ? 0 : 1;
}
