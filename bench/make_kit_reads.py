#!/usr/bin/env python3
"""Raw small-RNA reads as a library kit lays them out, with the true inserts.

    make_kit_reads.py --kit KIT --reads N --mature FASTA --out READS.fastq[.gz]
                      [--truth TRUTH.tsv] [--seed S] [--read-length L] [--adapter SEQ]
                      [--dominant SEQ --dominant-share F] [--error-scale F]

Kits: illumina and neb (insert, adapter), nextflex (4 random bases, insert,
4 random bases, adapter), qiaseq (insert, adapter, 12-base UMI, then the
TruSeq adapter of the library's other end), polya (3 random bases, insert, a
poly-A tail of 10 to 30 bases, neb's adapter). Layouts of no kit: trimmed
(the insert alone, as after trimming), random (random bases), reverse (the
reverse complement of an illumina read). --adapter replaces the kit's
adapter. After the layout the read runs on with more adapter-like sequence
and random bases up to its length. --dominant makes that sequence (U read
as T) the insert of a share of the reads (never a dimer, never changed). Inserts are mature sequences of FASTA (U read as T), some
with a base more or less at either end; a few reads are adapter dimers or
carry a fragment too short to be a miRNA. Substitutions (0.2% of bases),
insertions and deletions (0.01% each) and N calls (0.05%) are added over the
whole read (--error-scale multiplies these rates). With qiaseq, each molecule (insert, UMI) gives one or more
reads, and a few reads have one UMI base wrong.

TRUTH has one line per read: id, kit insert (empty for a dimer), UMI (or
"-"), the read's fate before length limits (insert, dimer, short; random for
random reads), the insert as sequenced (with the read's errors; cut where
the read ends; empty for reads of no layout), the UMI of the read's
molecule (before the read's own UMI error; "-" without UMIs), and the
letters that follow the adapter as sequenced, as long as the UMI ("-"
without UMIs).
"""
import argparse
import gzip
import random

ADAPTERS = {
    "illumina": "TGGAATTCTCGGGTGCCAAGG",
    "neb": "AGATCGGAAGAGCACACGTCT",
    "nextflex": "TGGAATTCTCGGGTGCCAAGG",
    "qiaseq": "AACTGTAGGCACCATCAAT",
    "polya": "AGATCGGAAGAGCACACGTCT",
    "trimmed": "",
    "random": "",
    "reverse": "TGGAATTCTCGGGTGCCAAGG",
}
AFTER_ADAPTER = "ATCTCGTATGCCGTCTTCTGCTTG"
# QIAseq reads run from the UMI into the adapter of the library's other end.
AFTER_UMI = "AGATCGGAAGAGCACACGTCTGAACTCCAGTCAC"
UMI_LENGTH = 12


def read_mature(path):
    sequences, current = [], []
    with open(path) as handle:
        for line in handle:
            line = line.strip()
            if line.startswith(">"):
                if current:
                    sequences.append("".join(current))
                current = []
            elif line:
                current.append(line.upper().replace("U", "T"))
    if current:
        sequences.append("".join(current))
    return sequences


def random_bases(rng, count):
    return "".join(rng.choice("ACGT") for _ in range(count))


def sequencing_errors(rng, read, scale):
    if scale <= 0:
        return read
    out = []
    for base in read:
        roll = rng.random() / scale
        if roll < 0.002:
            out.append(rng.choice([b for b in "ACGT" if b != base]))
        elif roll < 0.0021:
            out.append(base + rng.choice("ACGT"))
        elif roll < 0.0022:
            continue
        elif roll < 0.0027:
            out.append("N")
        else:
            out.append(base)
    return "".join(out)


def choose_insert(rng, mature, dominant=None, dominant_share=0.0):
    """The true insert and its fate: a miRNA (maybe a base longer or shorter), a dimer, a short fragment."""
    if dominant and rng.random() < dominant_share:
        return dominant, "insert"
    roll = rng.random()
    if roll < 0.03:
        return "", "dimer"
    mirna = rng.choice(mature)
    if roll < 0.06:
        start = rng.randrange(0, len(mirna) - 12)
        return mirna[start:start + rng.randint(3, 12)], "short"
    change = rng.choice([0, 0, 0, 1, -1])
    if change == 1:
        mirna = mirna + rng.choice("ACGT")
    elif change == -1:
        mirna = mirna[:-1]
    return mirna, "insert"


def pcr_copies(rng):
    """The reads one molecule gives: 1 + an exponential draw of mean 2, at most 21."""
    return 1 + min(int(rng.expovariate(0.5)), 20)


def umi_of_read(rng, umi):
    """The molecule's UMI as one of its reads carries it: 5% of reads have one
    letter of it wrong (before the read's sequencing errors)."""
    if rng.random() < 0.05:
        at = rng.randrange(len(umi))
        return umi[:at] + rng.choice([b for b in "ACGT" if b != umi[at]]) + umi[at + 1:]
    return umi


def reverse_complement(sequence):
    return sequence[::-1].translate(str.maketrans("ACGTN", "TGCAN"))


def flanks(rng, kit, adapter):
    """What stands before the insert in a read, and after it (with a UMI, up to the UMI)."""
    if kit == "nextflex":
        return random_bases(rng, 4), random_bases(rng, 4) + adapter + AFTER_ADAPTER
    if kit == "qiaseq":
        return "", adapter
    if kit == "polya":
        return random_bases(rng, 3), "A" * rng.randint(10, 30) + adapter + AFTER_ADAPTER
    if kit == "trimmed":
        return "", ""
    return "", adapter + AFTER_ADAPTER


def sequenced(rng, kit, adapter, insert, umi, read_length, error_scale):
    """The read as sequenced (errors in every part), its insert as sequenced
    and (with a UMI) the UMI's letters as sequenced."""
    if kit == "random":
        return sequencing_errors(rng, random_bases(rng, read_length), error_scale), "", "-"
    before, after = flanks(rng, kit, adapter)
    before = sequencing_errors(rng, before, error_scale)
    read_insert = sequencing_errors(rng, insert, error_scale)
    after = sequencing_errors(rng, after, error_scale)
    read_umi = "-"
    if kit == "qiaseq":
        rest = sequencing_errors(rng, umi + AFTER_UMI, error_scale)
        read_umi = rest[:UMI_LENGTH]
        after += rest
    read = before + read_insert + after
    if kit == "trimmed":
        return read, read_insert, read_umi
    if len(read) < read_length:
        read += random_bases(rng, read_length - len(read))
    read = read[:read_length]
    read_insert = read_insert[:max(0, read_length - len(before))]
    return (reverse_complement(read), "", "-") if kit == "reverse" else (read, read_insert, read_umi)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--kit", required=True, choices=sorted(ADAPTERS))
    parser.add_argument("--reads", type=int, required=True)
    parser.add_argument("--mature", required=True)
    parser.add_argument("--out", required=True)
    parser.add_argument("--truth")
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--read-length", type=int, default=75)
    parser.add_argument("--error-scale", type=float, default=1.0, help="multiplies every error rate")
    parser.add_argument("--adapter", help="the 3' adapter instead of the kit's")
    parser.add_argument("--dominant", help="a sequence that is the insert of --dominant-share of the reads")
    parser.add_argument("--dominant-share", type=float, default=0.0)
    args = parser.parse_args()
    adapter = args.adapter.upper() if args.adapter else ADAPTERS[args.kit]
    dominant = args.dominant.upper().replace("U", "T") if args.dominant else None

    rng = random.Random(args.seed)
    mature = read_mature(args.mature)
    opener = gzip.open if args.out.endswith(".gz") else open
    truth = open(args.truth, "w") if args.truth else None
    written = 0
    with opener(args.out, "wt") as out:
        while written < args.reads:
            insert, fate = choose_insert(rng, mature, dominant, args.dominant_share)
            umi = random_bases(rng, UMI_LENGTH) if args.kit == "qiaseq" else "-"
            copies = pcr_copies(rng) if args.kit == "qiaseq" else 1
            for _ in range(min(copies, args.reads - written)):
                read_umi = umi_of_read(rng, umi) if args.kit == "qiaseq" else umi
                read, read_insert, umi_as_read = sequenced(rng, args.kit, adapter, insert, read_umi,
                                                           args.read_length, args.error_scale)
                written += 1
                name = f"r{written}"
                out.write(f"@{name}\n{read}\n+\n{'I' * len(read)}\n")
                if truth:
                    shown = ("", "random") if args.kit == "random" else (insert, fate)
                    truth.write(f"{name}\t{shown[0]}\t{read_umi}\t{shown[1]}\t{read_insert}\t{umi}\t{umi_as_read}\n")
    if truth:
        truth.close()


if __name__ == "__main__":
    main()
