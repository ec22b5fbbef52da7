#include "driver/run.hpp"

#include "core/file_names.hpp"

sample_request short_option_request(run_parameters const & p)
{
    sample_request r;
    r.sample = sample_of_file(p.tag_file);
    r.mature = {"mature-miRNA file", p.mature_file};
    r.tags = {{"tag-count file", p.tag_file}};
    r.hairpin = {"hairpin file", p.hairpin_file};
    r.species.text = p.specie_codes;
    r.search = to_search_parameters(p);
    if (!p.hairpin_file.empty())
        vouch_by_precursors(r.search.sensitive);
    r.rule.align_score_threshold = p.align_score_threshold;
    r.rule.by_rank = p.sensitive.on;
    r.rna_conversion = p.rna_conversion;
    r.thread_count = p.thread_count;
    r.engine = p.reference_search ? seed_search::reference : seed_search::lookup;
    r.grouped_file = p.grouped_file;
    r.sorted_grouped_file = p.sorted_grouped_file;
    r.tables = result_paths_with_prefix(p.output_prefix);
    r.gff3_file = p.gff3_file;
    r.gff3_content = p.gff3_every_alignment ? gff3_records::every_alignment : gff3_records::counted;
    if (p.sensitive.on && !p.gff3_file.empty())
        r.gff3_header_notes.push_back(sensitive_mode_note(r.search.sensitive));
    r.quiet = true;  // this interface has never shown progress
    return r;
}
