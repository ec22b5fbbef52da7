#!/usr/bin/env python3
"""Simulated small-RNA tags with known origin, for measuring accuracy.

    python3 bench/simulate_tags.py --mature MATURE.fa --hairpin HAIRPIN.fa \
        --out-dir DIR [--name sim] [--tags 100000] [--noise 0.25] [--seed 1] \
        [--species hsa] [--mature-out mature]

Reads a mature-miRNA FASTA and a hairpin FASTA (miRBase style, T or U
letters) and writes into DIR:

  NAME.txt            the tag-count file: distinct sequences in DNA letters,
                      a tab, a read count; by decreasing count, then sequence.
  NAME_truth.tsv      one line per tag, same order, with a header:
                      tag_sequence, class, mirna, details, count.
                      `mirna` is the miRNA the tag was made from ("-" for
                      noise); when several draws gave the same sequence it
                      lists every origin, comma-separated (first one drawn
                      first), and `details` lists their modifications.
  MATURE_OUT.txt      (with --mature-out) the matures of --species in U
                      letters, as the tool's miRNA file (-m MATURE_OUT).

Only matures of --species (prefix of the name, default hsa) are used, and
only those found letter for letter in a hairpin (the hairpin gives the
templated letters of 5' and 3' extensions and the fragments of noise).

Classes (share of the miRNA-derived tags by default, see --mix):
  exact                the mature sequence
  5p_trim              5' end trimmed by 1 or 2 letters
  5p_ext               5' end extended by 1 or 2 letters from the hairpin
  3p_trim              3' end trimmed by 1 to 4 letters (at least 16 left)
  3p_ext_templated     3' end extended by 1 to 3 letters from the hairpin
  3p_ext_nontemplated  1 to 3 letters added at the 3' end (A 50%, U 35%,
                       C or G 15%); the first differs from the hairpin's
  sub1                 one substitution, position uniform over the whole
                       mature (seed included)
  sub2                 two substitutions at two distinct positions
  mixed                (not in the default mix) one substitution and one
                       change of an end: 5' -1/+1 or 3' -2..+2 (templated)
  combined             (not in the default mix) changes drawn independently
                       and combined, at least two of the three kinds: the
                       5' end shifted (60%: -2, -1, +1 or +2, extensions
                       from the hairpin), the 3' end changed (70%: a trim of
                       1-3, a templated extension of 1-3, an untemplated
                       tail of 1-3, or a trim of 1-3 followed by a tail of
                       1-2), and 0, 1 or 2 substitutions (40/45/15%)
                       anywhere in what is left of the mature
--mix combined gives the combined-change set: half the miRNA-derived tags
combined, the other half the single-change classes above
(COMBINED_MIX below).
and noise (--noise of all tags, split in three equal parts):
  noise_hairpin        18-26 letters of a hairpin overlapping none of the
                       matures found in it
  noise_rna_like       18-30 letters, half a shuffled mature (miRNA letter
                       composition), half from a second-order Markov chain
                       trained on the hairpins
  noise_random         16-35 uniform random letters

Every tag is distinct. A draw that gives a sequence already made adds its
reads to that tag and, when it comes from another miRNA or class, its
origin to the truth; a noise draw equal to a miRNA-derived tag is dropped.
Each class is filled to its share of distinct tags; a class stops early
when 20,000 draws in a row give no new sequence (the exact class cannot
hold more than one tag per distinct mature), and what a class could not hold
goes to the substitution classes after it.

Read counts are skewed: each miRNA gets an expression level from a
Zipf-like law (rank^-1.1 over a random order), a tag's count is
1 + that level times a class factor times a log-normal draw; noise counts
are 1 + a Pareto draw.

The same --seed and arguments give the same bytes. Standard library only.
"""

import argparse
import math
import os
import random
import sys

DEFAULT_MIX = ("exact=0.03,5p_trim=0.06,5p_ext=0.06,3p_trim=0.12,"
               "3p_ext_templated=0.08,3p_ext_nontemplated=0.15,sub1=0.25,sub2=0.25")
COMBINED_MIX = ("exact=0.03,5p_trim=0.04,5p_ext=0.04,3p_trim=0.08,3p_ext_templated=0.06,"
                "3p_ext_nontemplated=0.10,sub1=0.10,sub2=0.05,combined=0.50")
CLASS_FACTOR = {"exact": 1.0, "5p_trim": 0.05, "5p_ext": 0.05, "3p_trim": 0.3,
                "3p_ext_templated": 0.1, "3p_ext_nontemplated": 0.1,
                "sub1": 0.02, "sub2": 0.005, "mixed": 0.01,
                "combined": 0.01}
NOISE_CLASSES = ("noise_hairpin", "noise_rna_like", "noise_random")
LETTERS = "ACGU"


def read_fasta(path):
    """(name, sequence in U letters) per record; name = header up to the first blank."""
    records = []
    with open(path) as f:
        for line in f:
            line = line.strip()
            if line.startswith(">"):
                records.append([line[1:].split()[0] if len(line) > 1 else "", "", line])
            elif line and records:
                records[-1][1] += line.upper().replace("T", "U")
    return records


def parse_mix(text):
    if text == "combined":
        text = COMBINED_MIX
    mix = {}
    for part in text.split(","):
        name, value = part.split("=")
        if name not in CLASS_FACTOR:
            sys.exit("simulate_tags: unknown class in --mix: %s" % name)
        mix[name] = float(value)
    total = sum(mix.values())
    return {k: v / total for k, v in mix.items()}


def substitute(rng, seq, positions):
    letters = list(seq)
    notes = []
    for p in positions:
        new = rng.choice([c for c in LETTERS if c != letters[p]])
        notes.append("%d:%s>%s" % (p + 1, letters[p], new))
        letters[p] = new
    return "".join(letters), ",".join(notes)


def draw_mirna_tag(rng, cls, mature, hairpin, start):
    """One tag of class cls from a mature found at hairpin[start:]; None when
    the hairpin cannot supply it. Returns (sequence, details)."""
    L = len(mature)
    end = start + L
    if cls == "exact":
        return mature, "-"
    if cls == "5p_trim":
        k = rng.choice((1, 2))
        return mature[k:], "5p=-%d" % k
    if cls == "5p_ext":
        k = rng.choice((1, 2))
        if start < k:
            return None
        return hairpin[start - k:start] + mature, "5p=+%d" % k
    if cls == "3p_trim":
        k = rng.choice((1, 2, 3, 4))
        if L - k < 16:
            return None
        return mature[:L - k], "3p=-%d" % k
    if cls == "3p_ext_templated":
        k = rng.choice((1, 2, 3))
        if end + k > len(hairpin):
            return None
        return mature + hairpin[end:end + k], "3p=+%d" % k
    if cls == "3p_ext_nontemplated":
        k = rng.choice((1, 1, 2, 2, 3))
        tail = "".join(rng.choices("AUCG", weights=(50, 35, 7.5, 7.5), k=k))
        if end < len(hairpin) and tail[0] == hairpin[end]:
            return None
        return mature + tail, "3p=+%s" % tail
    if cls == "sub1":
        seq, notes = substitute(rng, mature, [rng.randrange(L)])
        return seq, "sub=" + notes
    if cls == "sub2":
        seq, notes = substitute(rng, mature, sorted(rng.sample(range(L), 2)))
        return seq, "sub=" + notes
    if cls == "mixed":
        seq, notes = substitute(rng, mature, [rng.randrange(L)])
        end_change = rng.choice(("5p=-1", "5p=+1", "3p=-1", "3p=-2", "3p=+1", "3p=+2"))
        k = int(end_change[-1])
        if end_change == "5p=-1":
            seq = seq[1:]
        elif end_change == "5p=+1":
            if start < 1:
                return None
            seq = hairpin[start - 1] + seq
        elif end_change.startswith("3p=-"):
            seq = seq[:L - k]
        else:
            if end + k > len(hairpin):
                return None
            seq = seq + hairpin[end:end + k]
        return seq, "sub=%s;%s" % (notes, end_change)
    if cls == "combined":
        return draw_combined_tag(rng, mature, hairpin, start)
    raise ValueError(cls)


def untemplated_tail(rng, k, templated_next):
    """k letters (A 50%, U 35%, C or G 15%) whose first differs from the
    hairpin's next letter; None when it would not."""
    tail = "".join(rng.choices("AUCG", weights=(50, 35, 7.5, 7.5), k=k))
    return None if tail[0] == templated_next else tail


def draw_combined_tag(rng, mature, hairpin, start):
    """Changes of the 5' end, the 3' end and substitutions drawn
    independently, at least two kinds of them."""
    L = len(mature)
    while True:
        shift = rng.choice((-2, -1, 1, 2)) if rng.random() < 0.6 else 0
        end_kind = rng.choice(("trim", "templated", "tail", "trim+tail")) if rng.random() < 0.7 else ""
        subs = rng.choices((0, 1, 2), weights=(40, 45, 15))[0]
        if (shift != 0) + (end_kind != "") + (subs > 0) >= 2:
            break
    first, last = start + shift, start + L   # the templated part: hairpin[first:last]
    if first < 0:
        return None
    notes, tail = [], ""
    if shift:
        notes.append("5p=%+d" % -shift)  # + : letters before the mature
    if end_kind:
        k = rng.choice((1, 2, 3))
        if end_kind in ("trim", "trim+tail"):
            last -= k
            notes.append("3p=-%d" % k)
        if end_kind == "templated":
            last += k
            if last > len(hairpin):
                return None
            notes.append("3p=+%d" % k)
        if end_kind in ("tail", "trim+tail"):
            tail = untemplated_tail(rng, k if end_kind == "tail" else rng.choice((1, 2)),
                                    hairpin[last] if last < len(hairpin) else "")
            if tail is None:
                return None
            notes.append("add3p=%s" % tail)
    seq = hairpin[first:last]
    if len(seq) < 16:
        return None
    if subs:
        # Substitutions on the mature's own letters of the tag.
        inside = range(max(0, -shift), min(len(seq), start + L - first))
        seq, sub_notes = substitute(rng, seq, sorted(rng.sample(list(inside), subs)))
        notes.append("sub=" + sub_notes)
    return seq + tail, ";".join(notes)


class MarkovChain:
    """Second-order chain over A, C, G, U trained on the hairpins."""

    def __init__(self, sequences):
        self.counts = {}
        for s in sequences:
            for i in range(2, len(s)):
                if all(c in LETTERS for c in s[i - 2:i + 1]):
                    row = self.counts.setdefault(s[i - 2:i], [1, 1, 1, 1])
                    row[LETTERS.index(s[i])] += 1
        self.starts = [s[i:i + 2] for s in sequences for i in range(0, len(s) - 1, 7)
                       if all(c in LETTERS for c in s[i:i + 2])]

    def sample(self, rng, n):
        out = list(rng.choice(self.starts))
        while len(out) < n:
            row = self.counts.get("".join(out[-2:]), [1, 1, 1, 1])
            out.append(rng.choices(LETTERS, weights=row)[0])
        return "".join(out[:n])


def draw_noise(rng, cls, hairpins, free_windows, matures, chain):
    if cls == "noise_hairpin":
        n = rng.randint(18, 26)
        for _ in range(100):
            name, seq, free = rng.choice(free_windows)
            spans = [(a, b) for a, b in free if b - a >= n]
            if spans:
                a, b = rng.choice(spans)
                s = rng.randint(a, b - n)
                return seq[s:s + n], "%s:%d-%d" % (name, s + 1, s + n)
        return None
    if cls == "noise_rna_like":
        if rng.random() < 0.5:
            name, seq = rng.choice(matures)
            letters = list(seq)
            rng.shuffle(letters)
            return "".join(letters), "shuffled:" + name
        return chain.sample(rng, rng.randint(18, 30)), "markov2"
    if cls == "noise_random":
        return "".join(rng.choice(LETTERS) for _ in range(rng.randint(16, 35))), "uniform"
    raise ValueError(cls)


def free_spans(hairpin, matures_in_it):
    """Spans of the hairpin not covered by any of the matures found in it."""
    covered = [False] * len(hairpin)
    for m in matures_in_it:
        i = hairpin.find(m)
        while i >= 0:
            for k in range(i, i + len(m)):
                covered[k] = True
            i = hairpin.find(m, i + 1)
    spans, start = [], None
    for i, c in enumerate(covered + [True]):
        if not c and start is None:
            start = i
        elif c and start is not None:
            spans.append((start, i))
            start = None
    return spans


def simulate(args):
    rng = random.Random(args.seed)
    mix = parse_mix(args.mix)
    matures = [(n, s) for n, s, _ in read_fasta(args.mature) if n.startswith(args.species + "-")]
    hairpins = [(n, s) for n, s, _ in read_fasta(args.hairpin)]
    by_kmer = {}                      # 12-mer -> hairpin indices, to place matures fast
    for h, (_, s) in enumerate(hairpins):
        for i in range(len(s) - 11):
            by_kmer.setdefault(s[i:i + 12], set()).add(h)
    placed = []                       # (name, mature, hairpin seq, start)
    in_hairpin = {}                   # hairpin index -> matures found in it
    for name, m in matures:
        homes = sorted(h for h in by_kmer.get(m[:12], ()) if m in hairpins[h][1])
        for h in homes:
            in_hairpin.setdefault(h, []).append(m)
        if homes:
            h = homes[0]
            placed.append((name, m, hairpins[h][1], hairpins[h][1].find(m)))
    if not placed:
        sys.exit("simulate_tags: no mature of %s is found in a hairpin" % args.species)
    free_windows = [(hairpins[h][0], hairpins[h][1], free_spans(hairpins[h][1], in_hairpin.get(h, [])))
                    for h in range(len(hairpins))]
    chain = MarkovChain([s for _, s in hairpins])
    order = list(range(len(placed)))
    rng.shuffle(order)
    expression = [0.0] * len(placed)
    for rank, i in enumerate(order, start=1):
        expression[i] = 20000.0 * rank ** -1.1

    tags = {}                          # sequence -> [class, [names], [details], count]
    n_noise = int(round(args.tags * args.noise))
    n_mirna = args.tags - n_noise
    quotas = {c: int(round(n_mirna * f)) for c, f in mix.items()}
    quotas[max(quotas, key=quotas.get)] += n_mirna - sum(quotas.values())
    order_classes = [c for c in CLASS_FACTOR if c in quotas]
    pending = 0                        # distinct tags the classes before could not hold
    for cls in order_classes:
        want = quotas[cls]
        if cls == "sub1":
            want += pending // 2
            pending -= pending // 2
        elif cls == "sub2":
            want += pending
            pending = 0
        made, misses = 0, 0
        while made < want and misses < 20000:
            misses += 1
            i = rng.randrange(len(placed))
            name, mature, hairpin, start = placed[i]
            drawn = draw_mirna_tag(rng, cls, mature, hairpin, start)
            if drawn is None:
                continue
            seq, details = drawn
            count = 1 + int(expression[i] * CLASS_FACTOR[cls] * rng.lognormvariate(0, 1))
            if seq in tags:
                entry = tags[seq]
                entry[3] += count
                if name not in entry[1]:
                    entry[1].append(name)
                    entry[2].append("%s:%s:%s" % (name, cls, details))
                continue
            tags[seq] = [cls, [name], ["%s:%s:%s" % (name, cls, details)], count]
            made += 1
            misses = 0
        pending += want - made
        if made < want:
            sys.stderr.write("simulate_tags: class %s holds %d distinct tags, not %d\n"
                             % (cls, made, want))
    per_noise = [n_noise // 3 + (1 if k < n_noise % 3 else 0) for k in range(3)]
    for cls, want in zip(NOISE_CLASSES, per_noise):
        made = 0
        while made < want:
            drawn = draw_noise(rng, cls, hairpins, free_windows, matures, chain)
            if drawn is None:
                continue
            seq, details = drawn
            if seq in tags:
                if tags[seq][0] == cls:
                    tags[seq][3] += 1
                continue
            tags[seq] = [cls, ["-"], [details], 1 + int(rng.paretovariate(1.2))]
            made += 1
    return tags, matures


def write_outputs(args, tags, matures):
    os.makedirs(args.out_dir, exist_ok=True)
    rows = sorted(tags.items(), key=lambda kv: (-kv[1][3], kv[0]))
    with open(os.path.join(args.out_dir, args.name + ".txt"), "w") as f:
        for seq, (_, _, _, count) in rows:
            f.write("%s\t%d\n" % (seq.replace("U", "T"), count))
    with open(os.path.join(args.out_dir, args.name + "_truth.tsv"), "w") as f:
        f.write("tag_sequence\tclass\tmirna\tdetails\tcount\n")
        for seq, (cls, names, details, count) in rows:
            f.write("%s\t%s\t%s\t%s\t%d\n" % (seq.replace("U", "T"), cls, ",".join(names),
                                              ";".join(details), count))
    if args.mature_out:
        with open(os.path.join(args.out_dir, args.mature_out + ".txt"), "w") as f:
            for _, seq, header in read_fasta(args.mature):
                if header[1:].startswith(args.species + "-"):
                    f.write("%s\n%s\n" % (header, seq))


def main():
    p = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    p.add_argument("--mature", required=True, help="mature-miRNA FASTA")
    p.add_argument("--hairpin", required=True, help="hairpin FASTA")
    p.add_argument("--out-dir", required=True)
    p.add_argument("--name", default="sim", help="tag file DIR/NAME.txt, truth DIR/NAME_truth.tsv")
    p.add_argument("--tags", type=int, default=100000, help="distinct tags (100000)")
    p.add_argument("--noise", type=float, default=0.25, help="share of noise tags (0.25)")
    p.add_argument("--mix", default=DEFAULT_MIX,
                   help="shares of the miRNA-derived classes, or 'combined' for the combined-change set")
    p.add_argument("--species", default="hsa")
    p.add_argument("--seed", type=int, default=1)
    p.add_argument("--mature-out", default="", help="also write DIR/NAME.txt: the matures in U")
    args = p.parse_args()
    tags, matures = simulate(args)
    write_outputs(args, tags, matures)


if __name__ == "__main__":
    main()
