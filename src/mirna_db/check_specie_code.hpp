#pragma once
#include <cstdint>
#include <string>

#include "core/run_state.hpp"

// Selects the species of `mirna_db.specie_code_vet` named in the species
// string into `mirna_db.species_to_check_vet` and prints the species line
// (and a warning line when nothing was selected) on standard output.
// Returns 0.
int32_t check_specie_code(std::string const & specie_codes, mirna_db_tables & mirna_db);
