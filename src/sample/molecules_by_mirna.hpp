// Molecules counted by miRNA. The reads of one molecule share its UMI but
// may carry different inserts (a sequencing or PCR error in the insert
// makes a new tag), so the UMIs of every tag counted on one miRNA are
// clustered together (the directional rule of umi_clustering.hpp), and each
// molecule is counted once, on the tag most of its reads carry. A tag
// counted on no miRNA (unmapped, ambiguous and unassigned, too short) keeps
// the molecules of its own UMIs.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/records.hpp"
#include "core/run_state.hpp"
#include "reads/collapse_reads.hpp"

// The UMIs of a sample's inserts, as the raw-read pass hands them over.
struct insert_umis
{
    sequence_counts const & pairs;            // reads of each (UMI, insert): the UMI's letters, then the insert's
    uint32_t umi_length = 0;
    std::vector<std::string> const & inserts;  // each tag's insert, by line (tag_index - 1)
    // Tags folded into others as their sequencing errors (error_folding.hpp),
    // by tag_index: their UMIs count with those of the tag they were folded into.
    std::unordered_map<uint32_t, uint32_t> const * folded_into = nullptr;
};

// Sets the count of each tag of `tags` (whose alignments are found) to its
// molecules, counted by miRNA under `rule` (`seed_vet` holds the miRNAs),
// and leaves out the tags left with none; the discarded (too short) tags'
// reads become their molecules. Tag numbers stay those of the reads'
// order. Returns the molecules of every tag, discarded ones included.
uint64_t count_molecules_by_mirna(insert_umis const & umis, assignment_rule const & rule,
                                  std::vector<seed_vet_t> const & seed_vet, tag_table & tags);
