// The mature-miRNA reader and formatter, then the loader of its sorted
// copy, on arbitrary FASTA text. The first two bytes choose the seed.
#include "fuzz_support.hpp"
#include "mirna_db/mirbase_file_formatter.hpp"
#include "mirna_db/read_mirbase.hpp"

extern "C" int LLVMFuzzerTestOneInput(uint8_t const * data, std::size_t size)
{
    if (size < 2)
        return 0;
    uint32_t const begin_seed = data[0] % 4;
    uint32_t const seed_size = 1 + data[1] % 9;
    reset_run_state();
    write_file(fuzz_file("mature.txt"), std::string(reinterpret_cast<char const *>(data + 2), size - 2));
    if (mirbase_file_formatter(fuzz_file("mature.txt"), fuzz_file("grouped.txt"), fuzz_file("sorted.txt"),
                               begin_seed, 7, seed_size) == 0)
        read_mirbase(fuzz_file("sorted.txt"));
    // Every seed the index holds must have the length asked for.
    for (seed_vet_t const & seed : seed_vet)
        if (!seqan::empty(seed.seed_seq) && seqan::length(seed.seed_seq) != seed_size)
            std::abort();
    reset_run_state();
    return 0;
}
