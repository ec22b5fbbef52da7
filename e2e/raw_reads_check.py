#!/usr/bin/env python3
"""mirsight map on raw reads of each kit, against the same reads' true inserts.

    raw_reads_check.py MIRSIGHT PROJECT_ROOT

For each kit (bench/make_kit_reads.py, fixed seeds) the reads go through
`map --protocol KIT` and `map` with the default --adapter auto, which tells
the layout by what maps. The true inserts of the same reads (15 to
40 letters) go through `map` as a tag-count file. Reads made without
sequencing errors must give, per miRNA, the counted reads (unique +
assigned) of their true inserts within 0.5% of the reads (qiaseq counted as
reads); reads with the generator's errors (which make some inserts
unmappable whoever trims them) must keep as many reads as there are true
inserts, within 0.5%. Every summary's funnel must add up to its raw
reads, and the MultiQC funnel bar to 100%; MultiQC's General Statistics
of the QIAseq reads counted as molecules give the raw reads, the molecules
and the duplication, and % kept of the raw reads. Then reads that are already
trimmed (the bundled reads through cutadapt) give the same tables with
--adapter auto as with --adapter none.
"""
import collections
import csv
import json
import os
import shutil
import subprocess
import sys
import tempfile

mirsight, root = os.path.realpath(sys.argv[1]), os.path.realpath(sys.argv[2])
mature = f"{root}/Tests/mirna_example.txt"
work = tempfile.mkdtemp(prefix="mirsight_raw_reads_")
problems = []


def run(*arguments):
    done = subprocess.run([mirsight, *arguments], cwd=work, capture_output=True, text=True)
    if done.returncode != 0:
        problems.append(f"{' '.join(arguments)} exited with {done.returncode}: {done.stderr[-400:]}")
    return done


def table(path):
    with open(path, newline="") as handle:
        return list(csv.DictReader(handle, delimiter="\t"))


def counted(prefix):
    return {row["mirna"]: int(row["reads_unique"]) + int(row["reads_assigned"]) for row in table(prefix + ".mirna.tsv")}


FUNNEL = ["no_adapter_reads", "umi_too_short_reads", "adapter_dimer_reads", "too_short_insert_reads",
          "too_long_insert_reads", "kept_reads"]
TAGS = ["unique_reads", "assigned_reads", "unassigned_reads", "unmapped_reads", "too_short_reads"]


def check_funnel(prefix):
    row = {k: v for k, v in table(prefix + ".summary.tsv")[0].items()}
    n = {k: int(row[k]) for k in FUNNEL + TAGS + ["raw_reads", "umi_duplicate_reads", "total_reads"]}
    if sum(n[k] for k in FUNNEL) != n["raw_reads"]:
        problems.append(f"{prefix}: the funnel's boxes do not sum to the raw reads: {n}")
    if n["umi_duplicate_reads"] + n["total_reads"] != n["kept_reads"] or sum(n[k] for k in TAGS) != n["total_reads"]:
        problems.append(f"{prefix}: the kept reads do not add up: {n}")
    with open(prefix + ".read_funnel_mqc.json") as handle:
        bar = json.load(handle)["data"]
    if sum(next(iter(bar.values())).values()) != n["raw_reads"]:
        problems.append(f"{prefix}: the MultiQC funnel does not sum to the raw reads")
    return row


for kit, seed, errors in (("illumina", 21, 0), ("neb", 22, 0), ("nextflex", 23, 0), ("qiaseq", 24, 0), ("polya", 25, 0),
                          ("illumina", 31, 1), ("neb", 32, 1), ("nextflex", 33, 1), ("qiaseq", 34, 1), ("polya", 35, 1)):
    name_of_set = f"{kit}_e{errors}"
    reads, truth = f"{work}/{name_of_set}.fastq.gz", f"{work}/{name_of_set}.truth.tsv"
    subprocess.run([sys.executable, f"{root}/bench/make_kit_reads.py", "--kit", kit, "--reads", "20000",
                    "--seed", str(seed), "--mature", mature, "--out", reads, "--truth", truth,
                    "--error-scale", str(errors)], check=True)
    inserts = collections.Counter()
    with open(truth) as handle:
        for line in handle:
            insert = line.rstrip("\n").split("\t")[1]
            if 15 <= len(insert) <= 40:
                inserts[insert] += 1
    with open(f"{work}/{name_of_set}_truth.txt", "w") as out:
        for insert, reads_of_insert in sorted(inserts.items(), key=lambda item: (-item[1], item[0])):
            out.write(f"{insert}\t{reads_of_insert}\n")
    run("map", "--mature", mature, "--tags", f"{name_of_set}_truth.txt", "--outdir", "truth", "--species", "hsa")
    expected = counted(f"{work}/truth/{name_of_set}_truth")
    true_inserts = sum(inserts.values())
    runs = [("protocol", ["--protocol", kit]), ("auto", [])]
    for name, options in runs:
        extra = ["--count", "reads"] if kit == "qiaseq" else []
        run("map", "--mature", mature, "--tags", reads, "--outdir", name, "--species", "hsa", *options, *extra)
        prefix = f"{work}/{name}/{name_of_set}"
        row = check_funnel(prefix)
        got = counted(prefix)
        differing = sum(abs(got.get(m, 0) - expected.get(m, 0)) for m in set(got) | set(expected))
        share = differing / max(1, sum(expected.values()))
        kept_apart = abs(int(row["kept_reads"]) - true_inserts) / max(1, true_inserts)
        print(f"{name_of_set} ({name}, adapter {row['adapter']}): {row['kept_reads']} reads kept of "
              f"{true_inserts} true inserts; {sum(got.values())} counted, {sum(expected.values())} from the true "
              f"inserts, {100 * share:.3f}% of reads apart per miRNA")
        if kept_apart > 0.005:
            problems.append(f"{name_of_set} ({name}): {100 * kept_apart:.2f}% more or fewer reads kept than true inserts")
        if errors == 0 and share > 0.005:
            problems.append(f"{name_of_set} ({name}): per-miRNA counts {100 * share:.2f}% of reads from the true inserts'")
    if kit == "qiaseq":
        run("map", "--mature", mature, "--tags", reads, "--outdir", "molecules", "--species", "hsa",
            "--protocol", kit)
        row = check_funnel(f"{work}/molecules/{name_of_set}")
        if not 0 < int(row["total_reads"]) < int(row["kept_reads"]):
            problems.append(f"qiaseq: molecules were not counted apart from reads: {row}")
        # General Statistics: raw reads, molecules, duplication (% of the kept reads), % kept of the raw reads.
        with open(f"{work}/molecules/{name_of_set}.general_stats_mqc.json") as handle:
            stats = json.load(handle)["data"][name_of_set]
        raw, kept, duplicates = (int(row[k]) for k in ("raw_reads", "kept_reads", "umi_duplicate_reads"))
        want = {"raw_reads": raw, "molecules": int(row["total_reads"]),
                "pct_duplication": round(100 * duplicates / kept, 2), "pct_kept": round(100 * kept / raw, 2)}
        got = {key: stats.get(key) for key in want}
        if got != want or "total_reads" in stats or not 0 < want["pct_kept"] < 100 or want["pct_duplication"] < 10:
            problems.append(f"{name_of_set}: General Statistics {stats}, want {want} and no reads column of molecules")

# Untrimmed reads counted as they are, and a kit's adapter the reads lack: warned
# about on standard error and in the summary.
for name, options, expected in (("none_raw", ["--adapter", "none"], "TGGAATTCTCGGGTGCCAAGG"),
                                ("wrong_kit", ["--protocol", "qiaseq"], "only 0.0% of the first")):
    done = run("map", "--mature", mature, "--tags", f"{root}/Tests/reads_example.fastq.gz", "--outdir", name,
               "--species", "hsa", *options)
    note = table(f"{work}/{name}/reads_example.summary.tsv")[0]["adapter_warning"]
    if expected not in done.stderr or expected not in note:
        problems.append(f"{name}: no warning holding '{expected}' (standard error: {done.stderr[-300:]!r}; "
                        f"summary: {note!r})")

# A molecule is counted once, on the miRNA its reads are counted to: reads
# of one UMI whose inserts differ by an error (in the insert) are one
# molecule, on the insert most of them carry; two UMIs are two molecules.
qiaseq_adapter = "AACTGTAGGCACCATCAAT"
mir21 = "TAGCTTATCAGACTGATGTTGA"
mir21_error = "TAGCTTATCAGTCTGATGTTGA"  # one letter off, in the middle
with open(f"{work}/umi.fastq", "w") as out:
    for number, (insert, umi) in enumerate([(mir21, "ACGTACGTACGT")] * 5 + [(mir21_error, "ACGTACGTACGT")] * 2 +
                                           [(mir21, "TTTTGGGGCCCC")] * 3):
        read = insert + qiaseq_adapter + umi + "AGATCGGAAGAGC"
        out.write(f"@m{number}\n{read}\n+\n{'I' * len(read)}\n")
run("map", "--mature", mature, "--tags", "umi.fastq", "--outdir", "umi", "--species", "hsa", "--protocol", "qiaseq")
isomirs = {row["sequence"]: int(row["reads"]) for row in table(f"{work}/umi/umi.isomirs.tsv")}
summary = table(f"{work}/umi/umi.summary.tsv")[0]
if isomirs != {mir21: 2} or (summary["total_reads"], summary["umi_duplicate_reads"]) != ("2", "8"):
    problems.append(f"molecules by miRNA: isomiRs {isomirs}, total {summary['total_reads']}, duplicates "
                    f"{summary['umi_duplicate_reads']} (expected one tag of 2 molecules, 8 duplicates)")

# With --fold-errors a read with a letter inserted (no ungapped alignment
# places it) carrying the first UMI joins that molecule: still 2 molecules,
# now 9 duplicates, and nothing left over as a molecule of its own.
mir21_inserted = "TAGCTTATCAGACTTGATGTTGA"
with open(f"{work}/umi.fastq") as source, open(f"{work}/umi_fold.fastq", "w") as out:
    read = mir21_inserted + qiaseq_adapter + "ACGTACGTACGT" + "AGATCGGAAGAGC"
    out.write(source.read() + f"@m10\n{read}\n+\n{'I' * len(read)}\n")
run("map", "--mature", mature, "--tags", "umi_fold.fastq", "--outdir", "umi", "--species", "hsa", "--protocol",
    "qiaseq", "--fold-errors")
isomirs = {row["sequence"]: int(row["reads"]) for row in table(f"{work}/umi/umi_fold.isomirs.tsv")}
summary = table(f"{work}/umi/umi_fold.summary.tsv")[0]
if isomirs != {mir21: 2} or (summary["total_reads"], summary["umi_duplicate_reads"]) != ("2", "9"):
    problems.append(f"molecules with errors folded: isomiRs {isomirs}, total {summary['total_reads']}, duplicates "
                    f"{summary['umi_duplicate_reads']} (expected one tag of 2 molecules, 9 duplicates)")

# Empty reads (adapter dimers trimmed elsewhere) are raw reads too: the same reads
# as reads or as a tag-count file give the same percentages.
let7 = "TGAGGTAGTAGGTTGTATAGTT"
with open(f"{work}/six.fastq", "w") as out:
    out.write(f"@r\n{let7}\n+\n{'I' * len(let7)}\n" * 6 + "@e\n\n+\n\n" * 4)
with open(f"{work}/six.txt", "w") as out:
    out.write(f"{let7}\t6\n\t4\n")
percents = {}
for name in ("six.fastq", "six.txt"):
    run("map", "--mature", mature, "--tags", name, "--outdir", "six", "--sample", name.replace(".", "_"),
        "--species", "hsa", "--adapter", "none")
    row = table(f"{work}/six/{name.replace('.', '_')}.summary.tsv")[0]
    percents[name] = (row["raw_reads"], row["pct_assigned"], row["pct_unmapped"])
if percents["six.fastq"] != percents["six.txt"] or percents["six.txt"][0] != "10":
    problems.append(f"empty reads: raw reads and percentages differ between reads and tag counts: {percents}")

# The library's verdict: a library of few miRNA reads fails on them, and
# says so; one of many dimers warns; a good one passes. The length table
# holds every insert: its reads are the funnel's, less the reads without one.
with open(f"{work}/poor.txt", "w") as out:
    out.write(f"{let7}\t6\nACGTTGCAACGTTGCAACGTTGCA\t94\n")
run("map", "--mature", mature, "--tags", "poor.txt", "--outdir", "verdict", "--species", "hsa")
poor = table(f"{work}/verdict/poor.summary.tsv")[0]
if (poor["qc_verdict"], poor["qc_reasons"]) != ("fail", "miRNA reads 6.0% (< 10%)"):
    problems.append(f"verdict of a poor library: {poor['qc_verdict']}, {poor['qc_reasons']}")
name_of_set = "illumina_e0"
good = table(f"{work}/auto/{name_of_set}.summary.tsv")[0]
lengths = table(f"{work}/auto/{name_of_set}.lengths.tsv")
inserts = sum(int(v) for row in lengths for k, v in row.items() if k != "length")
expected_inserts = int(good["raw_reads"]) - int(good["no_adapter_reads"]) - int(good["umi_too_short_reads"])
if good["qc_verdict"] != "pass" or inserts != expected_inserts or \
        sum(int(row["dimer"]) for row in lengths) != int(good["adapter_dimer_reads"]):
    problems.append(f"{name_of_set}: verdict {good['qc_verdict']} ({good['qc_reasons']}), {inserts} inserts in "
                    f"the length table, not {expected_inserts}")

# Reads already trimmed: auto trims nothing, so the tables are those of --adapter none.
if shutil.which("cutadapt"):
    subprocess.run(["cutadapt", "--quiet", "-a", "TGGAATTCTCGGGTGCCAAGG", "-m", "15", "-M", "40", "-o",
                    f"{work}/trimmed.fastq", f"{root}/Tests/reads_example.fastq.gz"], check=True, capture_output=True)
    for name, options in (("auto_trimmed", []), ("none_trimmed", ["--adapter", "none"])):
        run("map", "--mature", mature, "--tags", "trimmed.fastq", "--outdir", name, "--species", "hsa", *options)
    for suffix in (".mirna.tsv", ".isomirs.tsv", ".tag_ambigue.txt", ".unique.txt"):
        a, b = (open(f"{work}/{d}/trimmed{suffix}").read() for d in ("auto_trimmed", "none_trimmed"))
        if a != b:
            problems.append(f"trimmed reads: {suffix} differs between --adapter auto and none")
    print("already trimmed:", table(f"{work}/auto_trimmed/trimmed.summary.tsv")[0]["adapter"])
else:
    print("cutadapt is not installed: the already-trimmed case is left out")

for problem in problems:
    print("FAIL:", problem)
if not problems:
    shutil.rmtree(work)
sys.exit(1 if problems else 0)
