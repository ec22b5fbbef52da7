#pragma once
#include <cstdint>
#include <string>

#include "core/run_state.hpp"
#include "core/staged_output.hpp"

// Loads the sorted grouped file (read back from `outputs`, which wrote it)
// into the seed_vet and specie_code_vet of `mirna_db`. Returns 0; -2 when the
// file cannot be opened (reported on standard error).
int32_t read_mirbase(std::string const & sorted_grouped_file, output_staging const & outputs,
                     mirna_db_tables & mirna_db);
