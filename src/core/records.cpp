#include "core/records.hpp"

bool is_mirna_exact(mirna_matched_vet_t const & a)
{
    return !a.iso_5p && !a.iso_snp && !a.iso_multi_snp && !a.iso_3p;
}

mirna_vet_t const & matched_mirna(std::vector<seed_vet_t> const & seed_vet, mirna_matched_vet_t const & a)
{
    return seed_vet[a.seed_index].specie_vet[a.specie_index].mirna_vet[a.mirna_vet_index];
}
