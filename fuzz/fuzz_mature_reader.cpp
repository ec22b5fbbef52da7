// The mature-miRNA reader and formatter, then the loader of its sorted
// copy, on arbitrary FASTA text. The first two bytes choose the seed.
#include "fuzz_support.hpp"
#include "mirna_db/mirbase_file_formatter.hpp"
#include "mirna_db/read_mirbase.hpp"

extern "C" int LLVMFuzzerTestOneInput(uint8_t const * data, std::size_t size)
{
    if (size < 2)
        return 0;
    search_parameters parameters;
    parameters.begin_seed = data[0] % 4;
    parameters.seed_size = 1 + data[1] % 9;
    mirna_db_tables mirna_db;
    output_staging outputs(false);
    write_file(fuzz_file("mature.txt"), std::string(reinterpret_cast<char const *>(data + 2), size - 2));
    if (mirbase_file_formatter(fuzz_file("mature.txt"), fuzz_file("grouped.txt"), fuzz_file("sorted.txt"),
                               parameters, outputs) == 0)
        read_mirbase(fuzz_file("sorted.txt"), outputs, mirna_db);
    // Every seed the index holds must have the length asked for.
    for (seed_vet_t const & seed : mirna_db.seed_vet)
        if (!seqan::empty(seed.seed_seq) && seqan::length(seed.seed_seq) != parameters.seed_size)
            std::abort();
    return 0;
}
