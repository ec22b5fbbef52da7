// The SHA-256 checksum of a file, as `sha256sum` prints it, so that a user
// can check which file made a result.
#pragma once

#include <string>

// The lowercase hexadecimal SHA-256 of the file at `path`; "" when it cannot
// be read to its end.
std::string file_sha256(std::string const & path);
