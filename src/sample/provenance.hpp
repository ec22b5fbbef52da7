// What made a sample's outputs: SAMPLE.provenance.tsv, a two-column table
// ("key", "value"; one line per key) that map writes beside the sample's
// other files and merge reads to refuse samples made differently.
#pragma once

#include <string>
#include <utility>
#include <vector>

struct sample_request;

using provenance = std::vector<std::pair<std::string, std::string>>;  // key, value, in file order

// The sample's provenance: its name, the mirsight version, the tag file, the
// miRNA file (path and SHA-256), the hairpin file with the mirGFF3 file, the
// mode and every option that changes counts.
provenance provenance_of(sample_request const & request);

// Its "tags_file" value: the tag or reads files (the sample's lanes) as
// absolute paths, comma-separated. Cheap: the checksums are not made.
std::string tags_files_text(sample_request const & request);

// The table's text, and the table read back; false after an error naming
// the file and line.
std::string provenance_text(provenance const & p);
bool read_provenance(std::string const & path, provenance & p);

// The value of `key` ("" when absent).
std::string provenance_value(provenance const & p, std::string const & key);

// The keys that tell a sample from another made the same way (its name, its
// input files' paths): not compared between the samples of a study.
bool is_sample_specific_key(std::string const & key);
