// The command-line parser on arbitrary argument lists (split at NUL bytes).
#include "driver/command_line.hpp"
#include "fuzz_support.hpp"

extern "C" int LLVMFuzzerTestOneInput(uint8_t const * data, std::size_t size)
{
    std::vector<std::string> const arguments = split_input(data, size, '\0', 64);
    run_parameters parameters;
    int const status = parse_command_line(arguments, parameters);
    if (status != 0 && status != 2)
        std::abort();
    if (status == 0 && parameters.seed_size == 0)
        std::abort();
    return 0;
}
