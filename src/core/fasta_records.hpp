// Reading a FASTA file into its records: used for the mature-miRNA file and
// the precursor (hairpin) file.
#pragma once

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

// One record of a FASTA file as read: its header and its joined sequence.
struct fasta_record
{
    std::string header;        // header line, ">" included, tabs made blanks
    std::string sequence;      // all sequence lines of the record, joined
    uint64_t header_line = 0;  // 1-based line number of the header
};

// Reads every record of the open file `in` (named `path`) in file order,
// records without sequence included. A line starting with ">" opens a
// record; the lines up to the next header are its sequence; blank lines are
// ignored and one carriage return is dropped from each line. Returns 0, or -1
// after printing an error when text stands before the first header (naming
// the line) or the file cannot be read to its end (naming it as `what`).
int32_t read_fasta_records(std::ifstream & in, std::string const & path, std::string const & what,
                           std::vector<fasta_record> & records);
