#!/usr/bin/env python3
"""Compares the decisions of bench/sensitive_search_cost.cpp with a run's tables.

    python3 bench/compare_decisions.py OUT/out_result_MATURE_ DECISIONS.tsv MATURE.txt

OUT/out_result_MATURE_ is the prefix of a run's tables (the prototype's or,
later, the tool's sensitive mode); DECISIONS.tsv is the fourth argument of
sensitive_search_cost. A tag agrees when both call it unmapped, unique,
selected or ambiguous, and an assigned tag goes to miRNAs of the same
sequence in both. Prints the first differences and their number; exit
status 1 when there is one.
"""
import sys


def rows(path):
    with open(path) as f:
        next(f)
        for line in f:
            yield line.rstrip("\n").split("\t")


def main(prefix, decisions, mature):
    seq_of, name = {}, None
    for line in open(mature):
        line = line.strip()
        if line.startswith(">"):
            name = line[1:].split()[0]
        elif name is not None:
            seq_of[name] = line
    table = {f[1]: ("ambiguous", None) for f in rows(prefix + "tag_ambigue.txt")}
    table.update({f[1]: ("unique", f[6]) for f in rows(prefix + "tag_unique.txt")})
    table.update({f[1]: ("selected", f[6]) for f in rows(prefix + "tag_ambigue_selected.txt")})
    tags = differences = 0
    for line in open(decisions):
        seq, status, mirna = line.rstrip("\n").split("\t")
        tags += 1
        theirs = (status, seq_of.get(mirna) if status in ("unique", "selected") else None)
        ours = table.get(seq, ("unmapped", None))
        if ours != theirs:
            differences += 1
            if differences <= 5:
                print("%s: tables %s, decisions %s" % (seq, ours, theirs))
    print("tags %d, differences %d" % (tags, differences))
    return 1 if differences else 0


if __name__ == "__main__":
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    sys.exit(main(*sys.argv[1:]))
