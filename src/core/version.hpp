#pragma once

#include <string>

// The tool's version, as "--version" prints it and the mirGFF3 header names it.
constexpr char const * mirsight_version = "1.0.0";

// The commit the program was built from ("git describe --always --dirty" of
// the source when it was a git checkout, "unknown" otherwise). Defined in
// the build folder's generated/build_commit.cpp, written at every build.
char const * mirsight_commit();

// What "--version" prints for `program`: "mirsight 1.0.0 (commit 57bbfb2)".
std::string version_line(std::string const & program);
