#pragma once

// The tool's version, as "--version" prints it and the mirGFF3 header names it.
constexpr char const * mirsight_version = "1.0.0";
