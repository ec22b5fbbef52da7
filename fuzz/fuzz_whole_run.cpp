// A whole run on a small miRNA file and tag file made from the input: the
// bytes up to the first NUL are options (blank-separated), then the miRNA
// file, then (after a second NUL) the tag file. The run must end with a
// status, never a crash.
#include <sstream>

#include "driver/command_line.hpp"
#include "driver/run.hpp"
#include "fuzz_support.hpp"

extern "C" int LLVMFuzzerTestOneInput(uint8_t const * data, std::size_t size)
{
    std::vector<std::string> const parts = split_input(data, size, '\0', 3);
    if (parts.size() < 3)
        return 0;
    write_file(fuzz_file("db.txt"), parts[1]);
    write_file(fuzz_file("reads.txt"), parts[2]);

    std::vector<std::string> arguments;
    std::istringstream options(parts[0]);
    for (std::string word; options >> word && arguments.size() < 16;)
        arguments.push_back(word);
    // The names given last win: every file stays in the scratch folder.
    arguments.insert(arguments.end(), {"-p", fuzz_dir(), "-i", fuzz_dir(), "-m", "db", "-t", "reads"});

    run_parameters parameters;
    std::ostringstream quiet;
    std::streambuf * const log = std::cout.rdbuf(quiet.rdbuf());
    if (parse_command_line(arguments, parameters) == 0)
    {
        run_state state;  // fresh for every input
        run_sample(short_option_request(parameters), state);
    }
    std::cout.rdbuf(log);
    return 0;
}
