#pragma once
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "core/run_state.hpp"

// Selects the species of `mirna_db.specie_code_vet` named in the species
// string into `mirna_db.species_to_check_vet` and prints the species line
// (and a warning line when nothing was selected) on `log`. Returns 0.
int32_t check_specie_code(std::string const & specie_codes, mirna_db_tables & mirna_db, std::ostream & log);

// Selects exactly the species `codes` (whole codes of the miRNA file
// `mature_file`) into `mirna_db.species_to_check_vet`, in the file's order,
// and prints the species line on `log`. Returns 0; -1 after an error (on
// standard error) that lists the codes the file holds when a code is not
// among them.
int32_t select_specie_codes(std::vector<std::string> const & codes, std::string const & mature_file,
                            mirna_db_tables & mirna_db, std::ostream & log);
