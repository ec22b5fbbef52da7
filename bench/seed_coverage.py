#!/usr/bin/env python3
"""Which alignments a seed of the sensitive search can find, against the
7-letter window.

    python3 bench/seed_coverage.py [PATTERN...] [--search WEIGHT]

Every match pattern of an alignment the search would keep with the
precursors' limits (tag of 18-26 letters, miRNA of 18-25, diagonal -3 to 3,
up to four mismatches anywhere in the overlap; extended as the search
extends, up to two mismatches inside; at least 14 letters matched, cost
T + L - 2M at most 10) is tested against each seed: a seed finds the
pattern when, placed somewhere in the overlap, every letter under its 1s
matches. Prints, per seed, the patterns it finds, those the window finds
and it misses, and those it finds and the window misses (each pattern
counted once, however likely). --search WEIGHT tries every seed of WEIGHT
1s and 9 to 13 letters and prints the ten that lose least. Standard
library only.
"""

import itertools
import sys


def extended_matches(pattern, max_mismatches=2):
    """Letters matched by the extension on one diagonal: from the first
    match, up to the (max_mismatches + 1)-th mismatch, trailing ones dropped."""
    j, n = 0, len(pattern)
    while j < n and not pattern[j]:
        j += 1
    a0 = a1 = j
    met = inside = 0
    for j in range(j, n):
        if pattern[j]:
            a1, inside = j + 1, met
        elif met == max_mismatches:
            break
        else:
            met += 1
    return a1 - a0 - inside


def kept_patterns():
    """(bits, overlap) of every match pattern the search would keep."""
    kept = []
    for T in range(18, 27):
        for L in range(18, 26):
            for d in range(-3, 4):
                overlap = min(L, T - d) - max(0, -d)
                if overlap < 14:
                    continue
                for k in range(5):
                    for mismatches in itertools.combinations(range(overlap), k):
                        pattern = [1] * overlap
                        for m in mismatches:
                            pattern[m] = 0
                        M = extended_matches(pattern)
                        if M >= 14 and T + L - 2 * M <= 10:
                            kept.append((sum(1 << i for i in range(overlap) if pattern[i]), overlap))
    return kept


def finds(seed, bits, overlap):
    mask = sum(1 << i for i, c in enumerate(seed) if c == "1")
    return any((bits >> s) & mask == mask for s in range(overlap - len(seed) + 1))


def compare(seed, kept, by_window):
    found = lost = gained = 0
    for (bits, overlap), window in zip(kept, by_window):
        hit = finds(seed, bits, overlap)
        found += hit
        lost += window and not hit
        gained += hit and not window
    return found, lost, gained


def main(argv):
    search = None
    if "--search" in argv:
        at = argv.index("--search")
        search = int(argv[at + 1])
        argv = argv[:at] + argv[at + 2:]
    kept = kept_patterns()
    by_window = [finds("1111111", bits, overlap) for bits, overlap in kept]
    print("kept patterns: %d; the 7-letter window finds %d" % (len(kept), sum(by_window)))
    seeds = argv or ["11111111", "111010011101"]
    if search:
        scored = []
        for span in range(9, 14):
            for inner in itertools.combinations(range(1, span - 1), search - 2):
                seed = "".join("1" if k in (0, span - 1) or k in inner else "0" for k in range(span))
                found, lost, gained = compare(seed, kept, by_window)
                scored.append((lost - gained, seed))
        seeds = [seed for _, seed in sorted(scored)[:10]]
    print("seed\tfound\tmissed (window finds)\tgained (window misses)")
    for seed in seeds:
        found, lost, gained = compare(seed, kept, by_window)
        print("%s\t%d\t%d\t%d" % (seed, found, lost, gained))


if __name__ == "__main__":
    main(sys.argv[1:])
