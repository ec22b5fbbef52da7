#pragma once
#include <cstdint>
#include <string>

// Selects the database species named in the species string into
// species_to_check_vet and prints the species line (and a warning line when
// nothing was selected) on standard output. Returns 0.
int32_t check_specie_code(std::string specie_codes);
