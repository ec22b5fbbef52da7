// The mirGFF3 (version 1.2) file: one record per tag, aligned miRNA and
// precursor that holds that miRNA's mature sequence.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/run_state.hpp"
#include "core/staged_output.hpp"
#include "export/hairpin_file.hpp"

// The sample name: the tag file's name without folder and extension (a
// comma, which would separate samples, becomes "_").
std::string sample_name(std::string const & tag_file);

// "miRBase" when every precursor has an accession "MI<digits>" and every
// mature miRNA of `seed_vet` one "MIMAT<digits>" (the header's second word),
// else "Custom".
std::string gff3_source(std::vector<hairpin_record> const & hairpins, std::vector<seed_vet_t> const & seed_vet);

// The four header lines, each ended by a line feed.
std::string gff3_header(std::string const & source, std::string const & sample);

// Reads the hairpin file and writes the mirGFF3 file `gff_path` (an output of
// `outputs`) for every alignment of result_tag_uniq_vet and
// result_tag_ambig_vet, tags in tag-file order, alignments in their stored
// order, precursors in file order. A tag holding N gets no record (counted in
// one warning); a mature found in no precursor of its species is warned
// about once. Returns 0; -2 when the hairpin file cannot be opened; -1 on any
// other failure (reported on standard error, naming the file).
int32_t gff3_export(std::string const & gff_path, std::string const & hairpin_path, std::string const & tag_file,
                    std::vector<seed_vet_t> const & seed_vet, result_tables const & results,
                    output_staging & outputs);
