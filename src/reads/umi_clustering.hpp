// Molecules from UMIs: reads of one insert that carry the same UMI, or a UMI
// one substitution away from a clearly more frequent one, come from one
// molecule.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

struct umi_count
{
    std::string_view umi;
    uint64_t reads = 0;
};

// The molecules among the distinct UMIs of one insert (all of one length),
// clustered by the directional rule: UMI a absorbs UMI b when they differ by
// one substitution and reads(a) >= 2 reads(b) - 1. From the most frequent
// UMI not yet in a cluster, each cluster takes every UMI reachable by such
// steps that is in no cluster yet; the clusters are the molecules.
uint64_t directional_molecules(std::vector<umi_count> const & umis);

// The same clusters: for each UMI of `umis` (in their order), the number of
// its cluster, from 0, clusters numbered in the order they are made.
std::vector<uint32_t> directional_clusters(std::vector<umi_count> const & umis);
