#!/usr/bin/env python3
"""How well `mirsight map` with no layout option (--adapter auto) counts reads
of many layouts, against a map of the same reads' true inserts.

    layout_bench.py MIRSIGHT [--reads N] [--mature FASTA] [--keep DIR]

Each case's reads are made by make_kit_reads.py (75 letters unless said,
the generator's sequencing errors): every kit (illumina, neb, nextflex,
qiaseq, polya), QIAseq at 51 letters (most UMIs cut short), an adapter of no
kit under a miRNA holding 60% of the reads, 36- and 100-letter reads, reads
trimmed already, two kits as two lanes of one sample, and reads no layout
explains (random letters, reads reversed). The truth is each read's insert
as sequenced (the generator's errors included: placing the insert is the
layout's job, not mending the sequencer's errors), of 15 to 40 letters,
counted in reads, mapped as a tag-count file. Where the layout counts
molecules (QIAseq at 75 letters) the layout's error is measured in reads
(`--count reads`), and the molecules counted with no option are compared
apart with the molecules as made: each molecule once, on its insert as
made (that error is the UMI counting's: UMI errors, and inserts with
errors, whose molecule is counted by miRNA).

For each case it prints the layout told, the share of the first reads it
explained, and the per-miRNA count error: the sum over miRNAs of |counted -
true| over the true total (unique + assigned reads of SAMPLE.mirna.tsv).
Beside it, where a kit names the layout, the same with --protocol KIT; and,
where Debian's dnapi is installed, its predicted 3' adapter trimmed by
cutadapt (-m 15 -M 40) and mapped with --adapter none. The reads no layout
explains must be refused (status 1, the candidates named).

The miRNAs are miRBase 22's human matures from Debian's optimir package when
installed (apt-get install optimir), else the bundled example's.
"""
import argparse
import collections
import csv
import os
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
MIRBASE = "/usr/lib/python3/dist-packages/optimir/resources/fasta/hsa_matures_miRBase_v22.fa"
MIR_122 = "TGGAGTGTGACAATGGTGTTTG"  # ends in TTTG, as the adapter-like tail of a dominant miRNA
OTHER_ADAPTER = "GTTCAGAGTTCTACAGTCCGACGATC"

# name, expected layout, per lane: generator options; count: how the truth counts
CASES = [
    ("illumina", "illumina", [["--kit", "illumina"]], "reads"),
    ("neb", "neb", [["--kit", "neb"]], "reads"),
    ("nextflex", "nextflex", [["--kit", "nextflex"]], "reads"),
    ("qiaseq 75", "qiaseq", [["--kit", "qiaseq"]], "molecules"),
    ("qiaseq 51", "qiaseq", [["--kit", "qiaseq", "--read-length", "51"]], "reads"),
    ("polya", "polya", [["--kit", "polya"]], "reads"),
    ("other adapter, miR-122 60%", "found",
     [["--kit", "illumina", "--adapter", OTHER_ADAPTER, "--dominant", MIR_122, "--dominant-share", "0.6"]], "reads"),
    ("illumina 36", "illumina", [["--kit", "illumina", "--read-length", "36"]], "reads"),
    ("illumina 100", "illumina", [["--kit", "illumina", "--read-length", "100"]], "reads"),
    ("trimmed", "none", [["--kit", "trimmed"]], "reads"),
    ("two lanes: illumina, neb", "illumina,neb", [["--kit", "illumina"], ["--kit", "neb"]], "reads"),
    ("random", None, [["--kit", "random"]], "reads"),
    ("reversed", None, [["--kit", "reverse"]], "reads"),
]


def read_table(path):
    with open(path, newline="") as handle:
        return list(csv.DictReader(handle, delimiter="\t"))


def counted(prefix):
    return {row["mirna"]: int(row["reads_unique"]) + int(row["reads_assigned"])
            for row in read_table(prefix + ".mirna.tsv")}


def count_error(got, truth):
    total = sum(truth.values())
    apart = sum(abs(got.get(m, 0) - truth.get(m, 0)) for m in set(got) | set(truth))
    return 100.0 * apart / max(1, total)


def true_tags(truth_files, count):
    """The inserts as sequenced, 15 to 40 letters, with their reads; or the
    molecules as made, on their inserts as made."""
    reads = collections.Counter()
    made = collections.defaultdict(set)
    for path in truth_files:
        with open(path) as handle:
            for line in handle:
                fields = line.rstrip("\n").split("\t")
                if fields[3] != "insert":
                    continue
                if 15 <= len(fields[4]) <= 40:
                    reads[fields[4]] += 1
                if 15 <= len(fields[1]) <= 40:
                    made[fields[1]].add(fields[5])
    if count == "molecules":
        return {insert: len(molecules) for insert, molecules in made.items()}
    return dict(reads)


def write_tags(path, tags):
    with open(path, "w") as out:
        for insert, n in sorted(tags.items(), key=lambda item: (-item[1], item[0])):
            out.write(f"{insert}\t{n}\n")


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("mirsight")
    parser.add_argument("--reads", type=int, default=100000, help="reads per lane (100000)")
    parser.add_argument("--mature", default=MIRBASE if os.path.exists(MIRBASE) else
                        os.path.join(HERE, "..", "Tests", "mirna_example.txt"))
    parser.add_argument("--keep", help="work in this folder and keep it")
    args = parser.parse_args()
    mirsight = os.path.realpath(args.mirsight)
    mature = os.path.realpath(args.mature)
    work = os.path.realpath(args.keep) if args.keep else tempfile.mkdtemp(prefix="layout_bench_")
    os.makedirs(work, exist_ok=True)
    dnapi = shutil.which("dnapi.py") if shutil.which("cutadapt") else None
    print(f"miRNAs: {mature}; {args.reads} reads per lane; dnapi: {'yes' if dnapi else 'not installed'}")

    def run_map(name, tags, *options):
        arguments = [mirsight, "map", "--mature", mature, "--species", "hsa", "--outdir", f"{work}/{name}",
                     "--sample", "s", "--quiet", "--threads", "2"]
        for path in tags:
            arguments += ["--tags", path]
        return subprocess.run(arguments + list(options), capture_output=True, text=True)

    failures = []
    notes = []
    rows = []
    for number, (name, expected, lanes, count) in enumerate(CASES, 1):
        reads, truths = [], []
        for lane, options in enumerate(lanes):
            reads.append(f"{work}/case{number}_{lane}.fastq.gz")
            truths.append(f"{work}/case{number}_{lane}.truth.tsv")
            subprocess.run([sys.executable, f"{HERE}/make_kit_reads.py", *options, "--reads", str(args.reads),
                            "--seed", str(100 + 10 * number + lane), "--mature", mature, "--out", reads[-1],
                            "--truth", truths[-1]], check=True)
        auto = run_map(f"auto{number}", reads)
        if expected is None:
            refused = auto.returncode == 1 and "cannot tell the reads' layout" in auto.stderr
            rows.append((name, "refused" if refused else f"status {auto.returncode}", "", "", "", ""))
            if not refused:
                failures.append(f"{name}: not refused: {auto.stderr[-300:]}")
            continue
        if auto.returncode != 0:
            failures.append(f"{name}: map exited with {auto.returncode}: {auto.stderr[-300:]}")
            continue
        summary = read_table(f"{work}/auto{number}/s.summary.tsv")[0]
        layouts = ",".join(part.split(":")[0].strip() for part in summary["layout"].split(";"))
        if layouts != expected:
            failures.append(f"{name}: layout {layouts}, not {expected}")
        if count == "molecules":
            # The molecules against those made; the layout's own error in reads (below).
            write_tags(f"{work}/made{number}.txt", true_tags(truths, "molecules"))
            run_map(f"made{number}", [f"{work}/made{number}.txt"])
            got, made = counted(f"{work}/auto{number}/s"), counted(f"{work}/made{number}/s")
            notes.append(f"{name}, molecules (no option): {sum(got.values())} counted on miRNAs, "
                         f"{sum(made.values())} made ({100 * (sum(got.values()) - sum(made.values())) / sum(made.values()):+.2f}%), "
                         f"per-miRNA error {count_error(got, made):.3f}%")
            run_map(f"auto{number}", reads, "--count", "reads")
        write_tags(f"{work}/truth{number}.txt", true_tags(truths, "reads"))
        if run_map(f"truth{number}", [f"{work}/truth{number}.txt"]).returncode != 0:
            failures.append(f"{name}: the map of the true inserts failed")
            continue
        truth = counted(f"{work}/truth{number}/s")
        error = count_error(counted(f"{work}/auto{number}/s"), truth)
        if error > 0.5:
            failures.append(f"{name}: per-miRNA counts {error:.3f}% apart from the true inserts'")
        given = ""
        kit = lanes[0][1] if len(lanes) == 1 and expected not in ("found", "none") else None
        if kit:
            run = run_map(f"given{number}", reads, "--protocol", kit,
                          *(["--count", "reads"] if count == "molecules" else []))
            given = f"{count_error(counted(f'{work}/given{number}/s'), truth):.3f}%" if run.returncode == 0 else "failed"
        peer = ""
        if dnapi and len(lanes) == 1:
            predicted = subprocess.run([dnapi, reads[0]], capture_output=True, text=True).stdout.split()
            adapter = predicted[0] if predicted else ""
            if adapter and set(adapter) <= set("ACGTN"):
                trimmed = f"{work}/dnapi{number}.fastq.gz"
                subprocess.run(["cutadapt", "-j", "1", "--quiet", "-a", adapter, "-m", "15", "-M", "40", "-o",
                                trimmed, reads[0]], check=True)
                run = run_map(f"dnapi{number}", [trimmed], "--adapter", "none")
                peer = (f"{adapter}: " + (f"{count_error(counted(f'{work}/dnapi{number}/s'), truth):.3f}%"
                                          if run.returncode == 0 else "map failed"))
            else:
                peer = f"no adapter ({' '.join(predicted)[:30]})"
        rows.append((name, summary["layout"].split(":")[0] if len(lanes) == 1 else layouts,
                     summary["pct_explained"] + "%", f"{error:.3f}%", given, peer))

    header = ("case", "layout told", "explained", "count error", "--protocol", "dnapi + cutadapt")
    widths = [max(len(str(row[i])) for row in rows + [header]) for i in range(len(header))]
    for row in [header] + rows:
        print("  ".join(str(cell).ljust(width) for cell, width in zip(row, widths)).rstrip())
    for note in notes:
        print(note)
    for failure in failures:
        print("FAIL:", failure)
    if not args.keep and not failures:
        shutil.rmtree(work)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
