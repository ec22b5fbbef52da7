// A library's verdict, in the spirit of miRTrace: pass, warn or fail, the
// worst of four checks, each with its thresholds:
//   miRNA reads      reads on miRNAs (unique, assigned, ambiguous) of the
//                    sample's reads: pass >= 25%, warn >= 10%, else fail
//   rRNA reads       (with a class named rRNA, any case) reads in it of the
//                    sample's reads: pass <= 20%, warn <= 40%, else fail
//   adapter dimers   (from raw reads) of the raw reads: pass <= 10%,
//                    warn <= 30%, else fail
//   complexity       the most abundant miRNA's share of the counted miRNA
//                    reads (with at least 100 of them): pass <= 50%,
//                    warn <= 80%, else fail
// docs/map-and-merge.md gives the same table.
#pragma once

#include <cstdint>

#include "report/multiqc_content.hpp"

// What the checks need beyond the summary: the reads of a class named rRNA
// (has_rrna_class false when no such class was searched).
struct verdict_inputs
{
    bool has_rrna_class = false;
    uint64_t rrna_reads = 0;
};

// Sets summary.qc_verdict ("pass", "warn", "fail") and summary.qc_reasons
// (the checks that did not pass, "; " between them, with their values, or
// "none").
void judge_library(sample_summary & summary, verdict_inputs const & inputs);
