#pragma once
#include <cstdint>
#include <string>

// Loads the sorted grouped file into seed_vet and specie_code_vet.
// Returns 0; -2 when the file cannot be opened (reported on standard error).
int32_t read_mirbase(std::string const & sorted_grouped_file);
