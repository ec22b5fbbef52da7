// Tied reads shared by evidence. An ambiguous tag that the assignment rule
// leaves unassigned, because its best alignments tie on miRNAs of
// different sequences, is shared among those miRNAs in proportion to their
// abundance: an expectation-maximisation over the sample's tied tags, each
// miRNA's abundance starting from its unambiguous reads (unique and
// assigned) and growing by the shares it is given, until the shares settle.
// Each tag's reads are then split in whole reads (largest remainders, so
// that the tag's and the sample's totals are kept).
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/records.hpp"
#include "core/run_state.hpp"

// The reads of one tied tag given to one miRNA.
struct tied_share
{
    std::size_t tag = 0;  // result_tables::result_tag_ambig_vet index
    uint32_t mirna_index = 0;
    uint64_t reads = 0;
};

struct tie_shares
{
    std::vector<tied_share> shares;                      // by tag, then mirna_index; reads above 0
    std::unordered_map<uint32_t, uint64_t> reads_by_mirna;  // the shares summed by miRNA
    uint64_t tied_reads = 0;                             // the reads of the tags shared
    uint32_t rounds = 0;                                 // the rounds the abundances took to settle
};

// The shares of the ambiguous tags of `results` that are not assigned
// (their counted alignments decided under `rule`; `seed_vet` holds the
// miRNAs). A tag whose tied miRNAs have no evidence yet is shared evenly.
tie_shares share_tied_tags(std::vector<seed_vet_t> const & seed_vet, result_tables const & results,
                           assignment_rule const & rule);

// SAMPLE.shared.tsv: one line per tied tag and miRNA it was given reads:
// "sequence" (DNA letters), "mirna", "reads", by sequence, then miRNA.
inline constexpr char const * shared_table_ending = ".shared.tsv";
std::string shared_table_text(std::vector<seed_vet_t> const & seed_vet, result_tables const & results,
                              tie_shares const & shares);
