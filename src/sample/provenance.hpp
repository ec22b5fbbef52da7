// What made a sample's outputs: SAMPLE.provenance.tsv, a two-column table
// ("key", "value"; one line per key) that map writes beside the sample's
// other files and merge reads to refuse samples made differently.
#pragma once

#include <string>
#include <utility>
#include <vector>

struct sample_request;
struct raw_read_result;

using provenance = std::vector<std::pair<std::string, std::string>>;  // key, value, in file order

// The sample's provenance: its name, the mirsight version and the commit it
// was built from, the tag file, the miRNA file (path and SHA-256), the
// raw-read options as asked and what was
// applied (`reads`: what the pass over raw reads found, each file's layout
// and the insert limits in force; null for a tag-count file, which nothing
// trims), the search and every option that changes counts, the hairpin
// file. Values hold no tab nor line end.
provenance provenance_of(sample_request const & request, raw_read_result const * reads);

// Its "tags_file" value: the tag or reads files (the sample's lanes) as
// absolute paths, comma-separated. Cheap: the checksums are not made.
std::string tags_files_text(sample_request const & request);

// The table's text, and the table read back; false after an error naming
// the file and line.
std::string provenance_text(provenance const & p);
bool read_provenance(std::string const & path, provenance & p);

// The value of `key` ("" when absent).
std::string provenance_value(provenance const & p, std::string const & key);

// What merge compares between the samples of a study: what changes counting
// across samples, never what is the sample's own (its name, its files'
// paths, its reads' layout, the options asked). Keys in a fixed order;
// the first ones are held by every sample ("" where its file lacks the key:
// version, commit, miRNA file checksum, species, search, T read as U, seed,
// hairpin file checksum), the others only by the samples they apply to, and are
// compared between those alone: the options of one search, the insert
// limits in force and the count rule for UMIs of samples made from reads
// (the limits of all its files, each once), the mirGFF3 records with
// `gff3`. An earlier version's mode "default" is "seed".
provenance compared_values(provenance const & p, bool gff3);
