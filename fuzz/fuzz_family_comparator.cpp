// The family comparison on two arbitrary names (split at the first NUL):
// the answer is 0 or 1, the same in both orders, and 0 for a name with itself.
#include "fuzz_support.hpp"
#include "report/family_comparator.hpp"

extern "C" int LLVMFuzzerTestOneInput(uint8_t const * data, std::size_t size)
{
    std::vector<std::string> const names = split_input(data, size, '\0', 2);
    char_string const a = names[0];
    char_string const b = names.size() > 1 ? names[1] : std::string();
    int32_t const ab = family_comparator(a, b);
    if ((ab != 0 && ab != 1) || ab != family_comparator(b, a) || family_comparator(a, a) != 0)
        std::abort();
    return 0;
}
