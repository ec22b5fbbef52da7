#include "core/number_text.hpp"

#include <charconv>

void append_unsigned(std::string & out, uint64_t value)
{
    char digits[24];
    auto const written = std::to_chars(digits, digits + sizeof digits, value);
    out.append(digits, static_cast<std::size_t>(written.ptr - digits));
}
