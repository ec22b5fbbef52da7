// The precursor (hairpin) FASTA file: miRBase-style records whose sequences
// may be written with U or T.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One precursor record.
struct hairpin_record
{
    std::string name;         // header text after ">" up to the first blank
    std::string accession;    // the header's second word (empty when there is none)
    std::string specie_code;  // up to three characters after ">"
    std::string sequence;     // letters A, C, G, U, N; a T is read as U
};

// Precursor letters from FASTA text: T and t are U, and the other bytes are
// read as in the miRNA file (A, C, G, U in either case keep their letter,
// anything else is N).
std::string hairpin_letters(std::string const & text);

// Reads every record of the hairpin file into `hairpins`, in file order.
// Sequences may span several lines; blank lines and Windows line endings are
// accepted. A header without sequence, or without a name, is skipped with a
// warning. Returns 0; -2 when the file cannot be opened; -1 when text stands
// before the first header or the file cannot be read to its end (each
// reported on standard error, naming the file and line).
int32_t read_hairpin_file(std::string const & path, std::vector<hairpin_record> & hairpins);
