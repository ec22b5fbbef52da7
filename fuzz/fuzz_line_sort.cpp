// The line sort on arbitrary text: the output must hold the input's lines,
// each ended by a line feed, in ascending byte order.
#include <algorithm>
#include <sstream>

#include "fuzz_support.hpp"
#include "mirna_db/sort_singlelinefile.hpp"

extern "C" int LLVMFuzzerTestOneInput(uint8_t const * data, std::size_t size)
{
    std::string const input(reinterpret_cast<char const *>(data), size);
    write_file(fuzz_file("unsorted.txt"), input);
    output_staging outputs(false);
    if (sort_singlelinefile(fuzz_file("unsorted.txt"), fuzz_file("sorted.txt"), outputs) != 0)
        std::abort();

    std::vector<std::string> lines;
    std::istringstream in(input);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    std::sort(lines.begin(), lines.end());
    std::string expected;
    for (std::string const & line : lines)
        expected += line + "\n";
    if (read_file(fuzz_file("sorted.txt")) != expected)
        std::abort();
    return 0;
}
