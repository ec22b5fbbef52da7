#!/usr/bin/env python3
"""Reads of other small-RNA classes in their class, miRNA reads left alone,
and what the classes cost: `mirsight map --rna-class` on a generated library.

    class_bench.py MIRSIGHT [--reads N] [--big-mb M] [--runs R] [--keep DIR]

References of four classes (rRNA, tRNA, snoRNA, YRNA; about 1 MB in all,
random letters) are written, with 50 stretches of rRNA one substitution away
from a human mature miRNA. The reads (illumina layout, 75 letters, 0.1%
substitutions per letter, make_kit_reads.py's errors) are 65% miRNA-derived
(a mature, or a letter more or less at its 3' end), 30% fragments of the
classes (18 to 35 letters; rRNA 50%, tRNA 25%, snoRNA 15%, YRNA 5%, and 5%
from the miRNA-like rRNA stretches) and 5% random letters. `map` runs with
the precursors, once without classes and once with them.

It prints, per class, the reads counted in it against the reads made from
it (kept inserts: 15 to 40 letters); the miRNA-derived reads that left the
miRNAs' tables for a class (tags in a miRNA table without the classes and
in none with them); the reads taken from miRNA variants (the summary's
moved_from_mirna_reads, which the miRNA-like stretches should make); and
whether the funnel adds up. The goals: at least 99% of each class's reads
in it, at most 0.1% of the miRNA-derived reads moved.

With --runs R it then times `map` R times each, in turn, on the same reads
(--reads, 4,000,000 for the goal): without classes, with the four classes,
and with one class of --big-mb megabytes (random letters) whose index is
built first (timed, with its peak memory) and then reused: medians and
ratios to the map without classes. It does so on the library above (its
class reads cut at random places make about one distinct tag in three
reads, a hard case for the search) and on a miRNA library of the same
number of reads from make_kit_reads.py (illumina kit).

The miRNAs are miRBase 22's human matures and hairpins from Debian's
optimir package (apt-get install optimir).
"""
import argparse
import os
import random
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import make_kit_reads  # noqa: E402  (layouts and errors of raw reads)

FASTA = "/usr/lib/python3/dist-packages/optimir/resources/fasta"
CLASSES = [("rRNA", 200, 2000, 0.50), ("tRNA", 1000, 75, 0.25), ("snoRNA", 2000, 150, 0.15), ("YRNA", 100, 100, 0.05)]
DECOYS = 50
DECOY_SHARE = 0.05


def random_letters(rng, count):
    return "".join(rng.choice("ACGT") for _ in range(count))


def write_references(rng, mature, work):
    """The classes' FASTA files; the rRNA holds the miRNA-like stretches."""
    records = {}
    for name, count, length, _ in CLASSES:
        records[name] = [random_letters(rng, length) for _ in range(count)]
    decoys = []
    for d in range(DECOYS):
        mirna = rng.choice(mature)
        at = rng.randrange(8, len(mirna) - 4)
        decoy = mirna[:at] + rng.choice([b for b in "ACGT" if b != mirna[at]]) + mirna[at + 1:]
        record = records["rRNA"][d]
        records["rRNA"][d] = record[:300] + decoy + record[300 + len(decoy):]
        decoys.append(decoy)
    for name, sequences in records.items():
        with open(f"{work}/{name}.fa", "w") as out:
            for i, sequence in enumerate(sequences):
                out.write(f">{name}_{i} generated\n{sequence}\n")
    return records, decoys


def draw_insert(rng, mature, records, decoys):
    """One read's insert and its origin: a miRNA name, a class, or noise."""
    roll = rng.random()
    if roll < 0.65:
        insert, fate = make_kit_reads.choose_insert(rng, mature)
        return insert, ("mirna" if fate == "insert" else fate)
    if roll < 0.95:
        if rng.random() < DECOY_SHARE:
            return rng.choice(decoys), "rRNA"
        pick = rng.random()
        for name, _, _, share in CLASSES:
            pick -= share / (1 - DECOY_SHARE)
            if pick <= 0:
                break
        record = rng.choice(records[name])
        length = rng.randint(18, 35)
        start = rng.randrange(0, len(record) - length)
        return record[start:start + length], name
    return random_letters(rng, rng.randint(18, 30)), "noise"


def write_reads(rng, mature, records, decoys, count, path):
    """The reads (gzip FASTQ) and each origin's kept inserts' reads."""
    import gzip
    made = {}
    adapter = make_kit_reads.ADAPTERS["illumina"]
    with gzip.open(path, "wt", compresslevel=1) as out:
        for n in range(count):
            insert, origin = draw_insert(rng, mature, records, decoys)
            read, read_insert, _ = make_kit_reads.sequenced(rng, "illumina", adapter, insert, "-", 75, 0.5)
            out.write(f"@r{n}\n{read}\n+\n{'I' * len(read)}\n")
            if origin in ("dimer", "short") or not 15 <= len(read_insert) <= 40:
                continue
            made.setdefault(origin, {})
            made[origin][read_insert] = made[origin].get(read_insert, 0) + 1
    return made


def read_table(path):
    with open(path) as f:
        header = next(f).rstrip("\n").split("\t")
        return [dict(zip(header, line.rstrip("\n").split("\t"))) for line in f]


def mirna_table_tags(prefix):
    """The tags of the three tag tables (RNA letters as written there)."""
    tags = set()
    for name in ("tag_unique", "tag_ambigue"):
        for row in read_table(f"{prefix}.{name}.txt"):
            tags.add(row["tag_sequence"])
    return tags


def run(command):
    done = subprocess.run(command, capture_output=True, text=True)
    if done.returncode != 0:
        sys.exit(f"{' '.join(command)} exited with {done.returncode}: {done.stderr[-1500:]}")
    return done


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("mirsight")
    parser.add_argument("--reads", type=int, default=500000)
    parser.add_argument("--big-mb", type=int, default=100)
    parser.add_argument("--runs", type=int, default=0, help="time map this many times each (0: no timing)")
    parser.add_argument("--keep", help="work in this folder and keep it")
    parser.add_argument("--seed", type=int, default=1)
    args = parser.parse_args()
    mirsight = os.path.realpath(args.mirsight)
    mature_fa, hairpin_fa = f"{FASTA}/hsa_matures_miRBase_v22.fa", f"{FASTA}/hsa_hairpins_miRBase_v22.fa"
    if not os.path.exists(mature_fa):
        sys.exit("needs Debian's optimir package (miRBase 22's human files): apt-get install optimir")
    work = os.path.realpath(args.keep) if args.keep else tempfile.mkdtemp(prefix="class_bench_")
    os.makedirs(work, exist_ok=True)
    rng = random.Random(args.seed)
    mature = make_kit_reads.read_mature(mature_fa)
    records, decoys = write_references(rng, mature, work)
    reads = f"{work}/reads.fastq.gz"
    made = write_reads(rng, mature, records, decoys, args.reads, reads)
    classes = [x for name, *_ in CLASSES for x in ("--rna-class", f"{name}={work}/{name}.fa")]
    common = [mirsight, "map", "--mature", mature_fa, "--hairpin", hairpin_fa, "--species", "hsa", "--tags", reads,
              "--sample", "s", "--threads", "2", "--quiet", "--class-index-dir", f"{work}/indexes"]
    run(common[:-2] + ["--outdir", f"{work}/plain"])
    run(common + ["--outdir", f"{work}/classes"] + classes)

    summary = read_table(f"{work}/classes/s.summary.tsv")[0]
    counted = dict(pair.split(":") for pair in summary["class_reads"].split(", "))
    print(f"{args.reads} reads; summary: {summary['class_reads']}; taken from miRNA variants: "
          f"{summary['moved_from_mirna_reads']} reads")
    failures = []
    for name, *_ in CLASSES:
        true_reads = sum(made.get(name, {}).values())
        share = int(counted[name]) / true_reads if true_reads else 0.0
        print(f"  {name:7s} {counted[name]:>8s} counted of {true_reads:>8d} made: {100 * share:.2f}%")
        if share < 0.99:
            failures.append(f"{name}: {100 * share:.2f}% of its reads in it")
    before, after = mirna_table_tags(f"{work}/plain/s"), mirna_table_tags(f"{work}/classes/s")
    mirna_reads = sum(made.get("mirna", {}).values())
    moved = sum(n for insert, n in made.get("mirna", {}).items()
                if insert.replace("T", "U") in before and insert.replace("T", "U") not in after)
    print(f"  miRNA-derived reads moved out of the miRNA tables: {moved} of {mirna_reads} "
          f"({100 * moved / max(1, mirna_reads):.3f}%)")
    if moved > 0.001 * mirna_reads:
        failures.append(f"{100 * moved / mirna_reads:.3f}% of the miRNA-derived reads moved")
    parts = sum(int(summary[k]) for k in ("no_adapter_reads", "umi_too_short_reads", "adapter_dimer_reads",
                                          "too_short_insert_reads", "too_long_insert_reads", "kept_reads"))
    tags = sum(int(summary[k]) for k in ("too_short_reads", "unique_reads", "assigned_reads", "unassigned_reads",
                                         "unmapped_reads", "other_rna_reads"))
    funnel_ok = parts == int(summary["raw_reads"]) and tags == int(summary["total_reads"]) == int(summary["kept_reads"])
    print(f"  the funnel adds up: {'yes' if funnel_ok else 'no'}")
    if not funnel_ok:
        failures.append("the funnel does not add up")

    if args.runs:
        big = f"{work}/big.fa"
        with open(big, "w") as out:
            for i in range(args.big_mb):
                out.write(f">big_{i}\n{random_letters(rng, 1_000_000)}\n")
        start = time.time()
        built = subprocess.run(["/usr/bin/time", "-f", "%M"] + common + ["--outdir", f"{work}/big_build",
                               "--rna-class", f"big={big}"], capture_output=True, text=True)
        build_seconds = time.time() - start
        peak_kib = int(built.stderr.strip().splitlines()[-1]) if built.returncode == 0 else -1
        print(f"a map with a {args.big_mb} MB class, its index built on the way: {build_seconds:.1f} s, "
              f"peak {peak_kib / 1024:.0f} MiB")
        modes = {"no classes": [], "four classes": classes, f"{args.big_mb} MB class": ["--rna-class", f"big={big}"]}
        # The library above (a third of its reads from the classes, cut at
        # random places: about a third of its reads are distinct tags), and
        # a miRNA library of the illumina kit (make_kit_reads.py) as sparing
        # in distinct tags as most are.
        kit = f"{work}/kit.fastq.gz"
        subprocess.run([sys.executable, f"{HERE}/make_kit_reads.py", "--kit", "illumina", "--reads", str(args.reads),
                        "--seed", str(args.seed), "--mature", mature_fa, "--out", kit], check=True)
        for library, path in (("class library", reads), ("kit library", kit)):
            timed = [x if x != reads else path for x in common]
            times = {mode: [] for mode in modes}
            for round_number in range(args.runs):
                for mode, extra in list(modes.items())[round_number % 3:] + list(modes.items())[:round_number % 3]:
                    shutil.rmtree(f"{work}/timed", ignore_errors=True)
                    start = time.time()
                    run((timed if extra else timed[:-2]) + ["--outdir", f"{work}/timed"] + extra)
                    times[mode].append(time.time() - start)
            tags = read_table(f"{work}/timed/s.summary.tsv")[0]["total_tags"]
            print(f"{library}: {args.reads} reads, {int(tags):,} distinct kept tags")
            base = statistics.median(times["no classes"])
            for mode, values in times.items():
                median = statistics.median(values)
                print(f"  {mode:14s} median {median:6.2f} s  {median / base:5.2f} x  (runs: "
                      f"{' '.join(f'{v:.2f}' for v in values)})")
    for failure in failures:
        print("FAIL:", failure)
    if not args.keep and not failures:
        shutil.rmtree(work)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
