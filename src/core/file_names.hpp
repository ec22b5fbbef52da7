// Names a run derives from file names, and the folders it creates.
#pragma once

#include <string>

// The sample a reads or tag file holds: its name without folder and without
// the endings .gz, .fastq, .fq, .fasta, .fa, .txt and .tsv (as often as they
// occur); a comma, which separates samples in mirGFF3 files, becomes "_".
std::string sample_of_file(std::string const & path);

// The folder part of `path` ("." when it has none, "/" for a file at the
// root) and its last part (the file's name).
std::string folder_of(std::string const & path);
std::string base_name_of(std::string const & path);

// Creates folder `path` and its missing parents. False after an error naming
// the folder (`command`, when not empty, opens the message).
bool make_folders(std::string const & path, std::string const & command);
