// Prints the insert of each read: one sequence per line on standard input,
// the read up to the 3' adapter ADAPTER on standard output (the whole read
// when the adapter is not found), for comparing the trimming with another
// trimmer read by read.
//
//   trim_each_read ADAPTER < sequences.txt
#include <iostream>
#include <string>

#include "reads/adapter_match.hpp"
#include "reads/collapse_reads.hpp"

int main(int argc, char * argv[])
{
    if (argc != 2)
    {
        std::cerr << "usage: trim_each_read ADAPTER < sequences.txt\n";
        return 2;
    }
    adapter_pattern const adapter = make_adapter_pattern(argv[1]);
    std::string read;
    std::string out;
    while (std::getline(std::cin, read))
    {
        upper_case_sequence(read);
        adapter_match const match = find_adapter(adapter, read);
        out.assign(read, 0, match.found ? static_cast<std::size_t>(match.read_start) : read.size());
        out += '\n';
        std::cout << out;
    }
    return std::cout.good() ? 0 : 1;
}
