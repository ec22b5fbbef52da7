#!/usr/bin/env python3
"""End-to-end accuracy from raw reads: a simulated tag set (simulate_tags.py)
laid out as a kit's raw reads, counted by `mirsight map` in several modes and
by the peers, and scored against the origin of every read.

    python3 bench/raw_accuracy.py --tool build/mirsight --data DIR \\
        [--kit illumina|neb|qiaseq] [--error-scale 0.5] [--seed 1] \\
        [--mode LABEL=OPTIONS]... [--peers bowtie,bowtie-mirtop,optimir|none] \\
        [--hairpin H.fa] [--gtf MIRBASE.gff3] [--work DIR] [--threads 2] [--tsv FILE]

The set: DIR/TAGS.txt, DIR/TAGS_truth.tsv and DIR/MATURE.txt as
simulate_tags.py writes them (--tags sim, --mature mature). Every read of
every tag becomes one raw read of the kit, laid out and given sequencing
errors by make_kit_reads.py (its `sequenced`): insert, adapter, then for
QIAseq a 12-letter UMI and the library's other adapter, cut at
--read-length letters (75). Its error rates times --error-scale (0.5 by
default): substitutions 0.1% per letter, insertions and deletions 0.005%
each, N calls 0.025%, in insert, adapter and UMI alike. With QIAseq a tag's
reads are molecules: each gets a random UMI and make_kit_reads.py's PCR
copies (1 + an exponential draw of mean 2, at most 21; the last molecule
takes what is left of the tag's reads), and 5% of the reads carry their
molecule's UMI with one letter wrong. The reads are shuffled (the layout is
told from the first reads) and written as WORK/reads.fq.gz, with
WORK/reads.truth.tsv: per read its id, its tag, the tag's class and true
miRNAs ("-" for noise), its molecule ("-" without UMIs) and its insert as
sequenced (with the read's errors).

Modes (--mode LABEL=OPTIONS, shell words after `mirsight map --mature
DIR/MATURE.txt --tags WORK/reads.fq.gz --outdir WORK/LABEL --sample s
--species hsa --threads N --quiet`); without --mode: seed=--search seed,
sensitive= (the default search, no precursors) and
sensitive-hairpin=--hairpin H. With UMIs each mode also runs with
`--count reads` appended, for the measures in reads; the measures in
molecules come from the run as given.

Peers, fed the reads trimmed by cutadapt with the kit's adapter (-a
ADAPTER -m 15 -M 40, as map keeps inserts of 15 to 40 letters), counted as
reads (no peer here deduplicates UMIs; QIAseq's UMI goes with the adapter):

  bowtie         bowtie 1 to the matures, -f -v 2 -a --best --strata --norc;
                 a tag whose best alignments are on one sequence is counted
                 there, one with several is ambiguous
  bowtie-mirtop  bowtie 1 to the hairpins, then mirtop (precursor_peer.py)
  optimir        OptimiR (Debian optimir) on the raw reads, trimming with
                 cutadapt itself (--adapt3 ADAPTER --readMin 15 --readMax 40),
                 its library made from the same miRBase files; a read it
                 shares among candidates counts by its weights (XW)

Scores per mode and peer, miRNAs of one sequence taken as one (no read can
tell them apart):
  per miRNA   L1: the sum over miRNAs of |counted - true| over the true
              total (mirsight: unique + assigned (+ shared) of s.mirna.tsv; a tag drawn
              from several miRNAs is true on the one its reads are counted
              on, the rest of its reads shared evenly among them), and
              Spearman's rank correlation over the miRNAs with any true or
              counted reads
  per read    right (counted on its true miRNA or one of the same sequence),
              wrong (counted on another miRNA), lost (miRNA-derived, not
              counted: ambiguous-unassigned or unmapped), as % of the
              miRNA-derived reads; noise counted on any miRNA, as % of the
              noise reads. mirsight writes no read's tag, so its read is
              looked up by its insert as sequenced (what a right trimming
              makes of it): a read trimmed otherwise is found lost, and its
              count shows in the per-miRNA L1, which is mirsight's own. A
              peer's read is looked up by its name in cutadapt's output (or
              OptimiR's BAM).
  per molecule (QIAseq) the molecules counted on miRNAs against the
              molecules made from miRNA-derived tags, total and per-miRNA L1

Prints one table, modes and peers side by side, their times and every
command run; --tsv writes the same numbers, one line per measure and
column. Standard library only, plus the peers' programs (Debian packages
cutadapt, bowtie, samtools, mirtop, optimir); a peer not installed is
skipped with a note.
"""

import argparse
import gzip
import multiprocessing
import os
import random
import shlex
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import accuracy_report  # noqa: E402  (read_truth, read_fasta_sequences)
import make_kit_reads  # noqa: E402  (the layouts and errors of the reads)

MIRBASE = "/usr/lib/python3/dist-packages/optimir/resources"
KITS = ("illumina", "neb", "qiaseq")
CHUNK = 100000  # reads per generation chunk; each has a random generator of its own


# --- The reads --------------------------------------------------------------

def plan_molecules(truth, with_umi, rng):
    """(tag index, UMI or "", copies) per molecule: without UMIs one per read."""
    molecules = []
    for index, (_, _, _, count) in enumerate(truth):
        if not with_umi:
            molecules.extend([(index, "", 1)] * count)
            continue
        left = count
        while left > 0:
            copies = min(make_kit_reads.pcr_copies(rng), left)
            molecules.append((index, make_kit_reads.random_bases(rng, make_kit_reads.UMI_LENGTH), copies))
            left -= copies
    return molecules


# Shared with the generation workers (set before they fork).
PLAN = {}


def write_chunk(chunk):
    """Writes reads [chunk * CHUNK, ...) of PLAN and their truth; returns
    the inserts as sequenced."""
    p = PLAN
    rng = random.Random(p["seed"] * 1000003 + chunk)
    first, last = chunk * CHUNK, min(len(p["order"]), (chunk + 1) * CHUNK)
    adapter = make_kit_reads.ADAPTERS[p["kit"]]
    inserts = []
    reads_path = "%s.%d" % (p["reads"], chunk)
    with gzip.open(reads_path, "wt", compresslevel=1) as reads, open(reads_path + ".truth", "w") as truth:
        for n in range(first, last):
            molecule = p["order"][n]
            tag, umi, _ = p["molecules"][molecule]
            read_umi = make_kit_reads.umi_of_read(rng, umi) if umi else "-"
            read, insert, _ = make_kit_reads.sequenced(rng, p["kit"], adapter, p["tags"][tag], read_umi,
                                                       p["read_length"], p["error_scale"])
            reads.write("@r%d\n%s\n+\n%s\n" % (n + 1, read, "I" * len(read)))
            _, cls, mirnas, _ = p["truth"][tag]
            truth.write("r%d\t%s\t%s\t%s\t%s\t%s\n" % (n + 1, p["tags"][tag], cls, ",".join(mirnas) or "-",
                                                      "m%d" % (molecule + 1) if umi else "-", insert))
            inserts.append(insert.replace("T", "U"))
    return inserts


def make_reads(args, truth, work):
    """Writes WORK/reads.fq.gz and WORK/reads.truth.tsv; returns the plan:
    molecules, the molecule of each read and each read's insert as sequenced."""
    rng = random.Random(args.seed)
    with_umi = args.kit == "qiaseq"
    molecules = plan_molecules(truth, with_umi, rng)
    order = [m for m, (_, _, copies) in enumerate(molecules) for _ in range(copies)]
    rng.shuffle(order)
    PLAN.update(seed=args.seed, kit=args.kit, order=order, molecules=molecules, truth=truth,
                tags=[seq.replace("U", "T") for seq, _, _, _ in truth], read_length=args.read_length,
                error_scale=args.error_scale, reads=os.path.join(work, "reads.fq.gz"))
    chunks = range((len(order) + CHUNK - 1) // CHUNK)
    with multiprocessing.get_context("fork").Pool(args.threads) as pool:
        parts = pool.map(write_chunk, chunks)
    with open(PLAN["reads"], "wb") as reads, open(os.path.join(work, "reads.truth.tsv"), "wb") as truth_out:
        truth_out.write(b"read\ttag\tclass\tmirna\tmolecule\tinsert_as_sequenced\n")
        for chunk in chunks:
            for part, out in (("", reads), (".truth", truth_out)):
                path = "%s.%d%s" % (PLAN["reads"], chunk, part)
                with open(path, "rb") as f:
                    shutil.copyfileobj(f, out)
                os.remove(path)
    return {"molecules": molecules, "order": order, "inserts": [s for part in parts for s in part],
            "with_umi": with_umi}


# --- Running -------------------------------------------------------------------

class Runner:
    """Runs commands, logs them and their wall times."""

    def __init__(self):
        self.commands = []

    def run(self, command, label, **kwargs):
        start = time.perf_counter()
        done = subprocess.run(command, capture_output=True, text=True, **kwargs)
        seconds = time.perf_counter() - start
        self.commands.append("%s (%.1f s)" % (shlex.join(command), seconds))
        if done.returncode != 0:
            sys.exit("raw_accuracy: %s: %s exited with %d: %s"
                     % (label, command[0], done.returncode, done.stderr[-2000:]))
        return seconds, done


def read_legacy_tables(prefix, mature_seqs):
    """sequence -> miRNA sequence (counted) or None (ambiguous, unassigned),
    from a run's three tag tables; with tied reads shared (SAMPLE.shared.tsv),
    a shared tag -> {miRNA sequence: share of its reads}; a tag folded into
    another (SAMPLE.folded.tsv) -> the other's outcome."""
    outcome = {}
    for name, counted in (("tag_ambigue", False), ("tag_unique", True), ("tag_ambigue_selected", True)):
        with open(prefix + name + ".txt") as f:
            next(f)
            for line in f:
                fields = line.rstrip("\n").split("\t")
                outcome[fields[1]] = fields[6] if counted else None
    if os.path.exists(prefix + "shared.tsv"):
        given = {}
        with open(prefix + "shared.tsv") as f:
            next(f)
            for line in f:
                sequence, mirna, reads = line.rstrip("\n").split("\t")
                given.setdefault(sequence.replace("T", "U"), {})[mature_seqs[mirna]] = int(reads)
        for sequence, shares in given.items():
            total = sum(shares.values())
            outcome[sequence] = {key: reads / total for key, reads in shares.items()}
    if os.path.exists(prefix + "folded.tsv"):  # a tag folded into another as its sequencing error
        with open(prefix + "folded.tsv") as f:
            next(f)
            for line in f:
                sequence, into, _ = line.rstrip("\n").split("\t")
                outcome[sequence.replace("T", "U")] = outcome[into.replace("T", "U")]
    return outcome


def read_mirna_counts(path, mature_seqs):
    """miRNA sequence -> counted (unique + assigned) of a SAMPLE.mirna.tsv."""
    counts = {}
    with open(path) as f:
        header = next(f).rstrip("\n").split("\t")
        at = {name: i for i, name in enumerate(header)}
        for line in f:
            fields = line.rstrip("\n").split("\t")
            key = mature_seqs[fields[at["mirna"]]]
            n = int(fields[at["reads_unique"]]) + int(fields[at["reads_assigned"]])
            if "reads_shared" in at:
                n += int(fields[at["reads_shared"]])
            counts[key] = counts.get(key, 0) + n
    return counts


def run_mode(runner, args, label, options, reads_path, work, with_umi):
    """One mode of map: its per-sequence outcome, its counts in reads and,
    with UMIs, in molecules; and its time."""
    def map_into(folder, extra):
        out = os.path.join(work, folder)
        shutil.rmtree(out, ignore_errors=True)
        command = [args.tool, "map", "--mature", args.mature_path, "--tags", reads_path, "--outdir", out,
                   "--sample", "s", "--species", args.species, "--threads", str(args.threads), "--quiet"]
        seconds, _ = runner.run(command + options + extra, label)
        return out, seconds

    out, seconds = map_into(label, [])
    result = {"seconds": seconds}
    if with_umi:
        result["molecules"] = read_mirna_counts(os.path.join(out, "s.mirna.tsv"), args.mature_seqs)
        out, _ = map_into(label + "-reads", ["--count", "reads"])
    result["by_sequence"] = read_legacy_tables(os.path.join(out, "s."), args.mature_seqs)
    result["reads"] = read_mirna_counts(os.path.join(out, "s.mirna.tsv"), args.mature_seqs)
    return result


def trim_with_cutadapt(runner, args, reads_path, work):
    """cutadapt's trimmed read of each read number (None when dropped)."""
    out = os.path.join(work, "trimmed.fastq")
    runner.run(["cutadapt", "-j", str(args.threads), "--quiet", "-a", make_kit_reads.ADAPTERS[args.kit],
                "-m", "15", "-M", "40", "-o", out, reads_path], "cutadapt")
    trimmed = [None] * args.read_count
    with open(out) as f:
        for i, line in enumerate(f):
            if i % 4 == 0:
                name = line[1:].split()[0]
            elif i % 4 == 1:
                trimmed[int(name[1:]) - 1] = line.strip().replace("T", "U")
    return out, trimmed


def collapse(trimmed):
    counts = {}
    for seq in trimmed:
        if seq is not None:
            counts[seq] = counts.get(seq, 0) + 1
    return sorted(counts.items(), key=lambda kv: (-kv[1], kv[0]))


def bowtie_to_matures(runner, args, tags, work):
    """sequence -> miRNA sequence or None, bowtie 1 on the matures."""
    folder = os.path.join(work, "bowtie")
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "matures.fa"), "w") as f:
        for name, seq in args.mature_seqs.items():
            f.write(">%s\n%s\n" % (name, seq.replace("U", "T")))
    with open(os.path.join(folder, "tags.fa"), "w") as f:
        for i, (seq, _) in enumerate(tags):
            f.write(">%d\n%s\n" % (i, seq.replace("U", "T")))
    index = os.path.join(folder, "matures")
    runner.run(["bowtie-build", "-q", os.path.join(folder, "matures.fa"), index], "bowtie")
    seconds, _ = runner.run(["bowtie", "-f", "-v", "2", "-a", "--best", "--strata", "--norc", "-p",
                             str(args.threads), index, os.path.join(folder, "tags.fa"),
                             os.path.join(folder, "hits.txt")], "bowtie")
    hits = {}
    with open(os.path.join(folder, "hits.txt")) as f:
        for line in f:
            fields = line.split("\t")
            hits.setdefault(int(fields[0]), set()).add(args.mature_seqs[fields[2]])
    outcome = {}
    for i, found in hits.items():
        outcome[tags[i][0]] = next(iter(found)) if len(found) == 1 else None
    return outcome, seconds


def bowtie_mirtop(runner, args, tags, work):
    """sequence -> miRNA sequence or None, bowtie 1 on the hairpins then mirtop."""
    folder = os.path.join(work, "bowtie-mirtop")
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "tags.txt"), "w") as f:
        for seq, count in tags:
            f.write("%s\t%d\n" % (seq.replace("U", "T"), count))
    shutil.copyfile(args.mature_path, os.path.join(folder, "mature.txt"))
    seconds, _ = runner.run([sys.executable, os.path.join(HERE, "precursor_peer.py"), "--hairpin", args.hairpin,
                             "--gtf", args.gtf, "-s", args.species, "-p", folder, "-i", folder, "-m", "mature",
                             "-t", "tags"], "bowtie-mirtop")
    return read_legacy_tables(os.path.join(folder, "out_result_mature_")), seconds


def optimir(runner, args, reads_path, work):
    """read number -> {miRNA sequence: weight}, OptimiR on the raw reads."""
    folder = os.path.join(work, "optimir")
    shutil.rmtree(folder, ignore_errors=True)
    seconds, _ = runner.run(["optimir", "process", "-i", reads_path, "-o", folder, "--adapt3",
                             make_kit_reads.ADAPTERS[args.kit], "--readMin", "15", "--readMax", "40",
                             "--maturesFasta", os.path.join(MIRBASE, "fasta", "hsa_matures_miRBase_v22.fa"),
                             "--hairpinsFasta", args.hairpin, "--gff3", args.gtf, "--quiet"], "optimir")
    bam = os.path.join(folder, "OptimiR_tmp", "3_PostProcess", "reads.Isotyped.bam")
    view = subprocess.Popen(["samtools", "view", bam], stdout=subprocess.PIPE, text=True)
    weights = {}
    for line in view.stdout:
        fields = line.rstrip("\n").split("\t")
        read = int(fields[0].lstrip("@")[1:]) - 1
        weight = next((float(f[5:]) for f in fields[11:] if f.startswith("XW:Z:")), 1.0)
        key = args.mature_seqs.get(fields[2])
        if key is not None:
            shares = weights.setdefault(read, {})
            shares[key] = shares.get(key, 0.0) + weight
    view.wait()
    return weights, seconds


# --- Scoring ---------------------------------------------------------------------

def true_keys(truth, mature_seqs):
    """Per tag, the sequences of its true miRNAs (empty for noise)."""
    return [sorted({mature_seqs[m] for m in mirnas}) for _, _, mirnas, _ in truth]


def l1_error(counted, true):
    total = sum(true.values())
    apart = sum(abs(counted.get(k, 0) - true.get(k, 0)) for k in set(counted) | set(true))
    return 100.0 * apart / total if total else 0.0


def ranks(values):
    """Ranks from 1, ties on their mean rank."""
    order = sorted(range(len(values)), key=lambda i: values[i])
    out = [0.0] * len(values)
    i = 0
    while i < len(order):
        j = i
        while j + 1 < len(order) and values[order[j + 1]] == values[order[i]]:
            j += 1
        for k in range(i, j + 1):
            out[order[k]] = (i + j) / 2.0 + 1
        i = j + 1
    return out


def spearman(counted, true):
    keys = sorted(k for k in set(counted) | set(true) if counted.get(k, 0) > 0 or true.get(k, 0) > 0)
    if len(keys) < 2:
        return float("nan")
    a = ranks([counted.get(k, 0) for k in keys])
    b = ranks([true.get(k, 0) for k in keys])
    mean = (len(keys) + 1) / 2.0
    cov = sum((x - mean) * (y - mean) for x, y in zip(a, b))
    var_a = sum((x - mean) ** 2 for x in a)
    var_b = sum((y - mean) ** 2 for y in b)
    return cov / (var_a * var_b) ** 0.5 if var_a and var_b else float("nan")


def score_reads(plan, truth_keys, outcome_of_read):
    """Per read: right, wrong, ambiguous, unmapped (miRNA-derived), noise
    counted, noise; the counts on miRNAs that the outcomes give; and, per
    tag of several true miRNAs, its reads counted on each of them."""
    tally = dict.fromkeys(("right", "wrong", "ambiguous", "unmapped", "noise_counted", "mirna", "noise"), 0.0)
    counted = {}
    on_origins = {}
    for n, molecule in enumerate(plan["order"]):
        tag = plan["molecules"][molecule][0]
        keys = truth_keys[tag]
        outcome = outcome_of_read(n)
        tally["mirna" if keys else "noise"] += 1
        if not outcome:
            if keys:
                tally["unmapped" if outcome is None else "ambiguous"] += 1
            continue
        for key, weight in outcome.items():
            counted[key] = counted.get(key, 0.0) + weight
            if not keys:
                tally["noise_counted"] += weight
            elif key in keys:
                tally["right"] += weight
                if len(keys) > 1:
                    shares = on_origins.setdefault(tag, {})
                    shares[key] = shares.get(key, 0.0) + weight
            else:
                tally["wrong"] += weight
    return tally, counted, on_origins


def origin_shares(truth, keys, on_origins):
    """Per tag, the share of its reads and molecules each true miRNA gets:
    a tag of several true miRNAs (the same sequence drawn from several)
    cannot be told apart, so its reads counted on one of them are true
    there, and the rest is shared evenly."""
    shares = []
    for tag, tag_keys in enumerate(keys):
        if len(tag_keys) < 2:
            shares.append({k: 1.0 for k in tag_keys})
            continue
        counted = on_origins.get(tag, {})
        reads = truth[tag][3]
        left = 1.0 - sum(counted.values()) / reads
        shares.append({k: counted.get(k, 0.0) / reads + left / len(tag_keys) for k in tag_keys})
    return shares


AMBIGUOUS = ()  # the outcome of a read whose tag stayed ambiguous (falsy, not None)


def by_sequence_outcome(table, sequence_of_read):
    def outcome(n):
        seq = sequence_of_read(n)
        if seq is None or seq not in table:
            return None
        key = table[seq]
        if isinstance(key, dict):
            return key  # a tied tag shared among its miRNAs
        return AMBIGUOUS if key is None else {key: 1.0}
    return outcome


def score_column(plan, truth, keys, outcome_of_read, counted_reads=None, counted_molecules=None):
    tally, from_reads, on_origins = score_reads(plan, keys, outcome_of_read)
    shares = origin_shares(truth, keys, on_origins)
    true_reads = {}
    for tag_shares, (_, _, _, count) in zip(shares, truth):
        for key, share in tag_shares.items():
            true_reads[key] = true_reads.get(key, 0.0) + share * count
    counted = counted_reads if counted_reads is not None else from_reads
    row = {
        "miRNA L1 %": l1_error(counted, true_reads),
        "miRNA Spearman": spearman(counted, true_reads),
        "reads right %": 100.0 * tally["right"] / tally["mirna"],
        "reads wrong %": 100.0 * tally["wrong"] / tally["mirna"],
        "reads lost: ambiguous %": 100.0 * tally["ambiguous"] / tally["mirna"],
        "reads lost: unmapped %": 100.0 * tally["unmapped"] / tally["mirna"],
        "noise reads counted %": 100.0 * tally["noise_counted"] / tally["noise"] if tally["noise"] else 0.0,
    }
    for name in ("right", "wrong", "ambiguous", "unmapped", "noise_counted", "mirna", "noise"):
        row["reads " + name] = tally[name]
    if plan["with_umi"] and counted_molecules is not None:
        made = {}
        for tag, _, _ in plan["molecules"]:
            for key, share in shares[tag].items():
                made[key] = made.get(key, 0.0) + share
        row["molecules counted / made"] = sum(counted_molecules.values()) / sum(made.values())
        row["molecules L1 %"] = l1_error(counted_molecules, made)
    return row


MEASURES = ("miRNA L1 %", "miRNA Spearman", "reads right %", "reads wrong %", "reads lost: ambiguous %",
            "reads lost: unmapped %", "noise reads counted %", "molecules counted / made", "molecules L1 %",
            "seconds")


def print_table(columns, rows):
    width = max(12, max(len(c) for c in columns))
    print("%-26s" % "measure" + "".join("  %*s" % (width, c) for c in columns))
    for measure in MEASURES:
        if not any(measure in rows[c] for c in columns):
            continue
        cells = []
        for c in columns:
            value = rows[c].get(measure)
            cells.append("  %*s" % (width, "-" if value is None else
                                    ("%.4f" % value if measure in ("miRNA Spearman", "molecules counted / made")
                                     else "%.3f" % value)))
        print("%-26s" % measure + "".join(cells))


def main():
    p = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    p.add_argument("--tool", default="build/mirsight")
    p.add_argument("--data", required=True, help="folder of a simulate_tags.py set")
    p.add_argument("--tags", default="sim")
    p.add_argument("--mature", default="mature", help="miRNA file DATA/MATURE.txt")
    p.add_argument("--species", default="hsa")
    p.add_argument("--kit", default="illumina", choices=KITS)
    p.add_argument("--read-length", type=int, default=75)
    p.add_argument("--error-scale", type=float, default=0.5,
                   help="times make_kit_reads.py's error rates (0.5: 0.1%% substitutions per letter)")
    p.add_argument("--seed", type=int, default=1)
    p.add_argument("--mode", action="append", default=[], help="LABEL=map options (shell words)")
    p.add_argument("--peers", default="bowtie,bowtie-mirtop,optimir", help="comma-separated, or none")
    p.add_argument("--hairpin", default=os.path.join(MIRBASE, "fasta", "hsa_hairpins_miRBase_v22.fa"))
    p.add_argument("--gtf", default=os.path.join(MIRBASE, "coordinates", "hsa_miRBase_v22.gff3"))
    p.add_argument("--threads", type=int, default=2)
    p.add_argument("--work", default="", help="folder for reads and outputs (default: temporary)")
    p.add_argument("--tsv", default="")
    args = p.parse_args()
    args.tool = os.path.abspath(args.tool)
    args.data = os.path.abspath(args.data)
    args.mature_path = os.path.join(args.data, args.mature + ".txt")
    args.mature_seqs = accuracy_report.read_fasta_sequences(args.mature_path)
    modes = [m.partition("=") for m in args.mode] or [
        ("seed", "", "--search seed"), ("sensitive", "", ""),
        ("sensitive-hairpin", "", "--hairpin " + shlex.quote(args.hairpin))]
    peers = [] if args.peers == "none" else args.peers.split(",")
    work = os.path.abspath(args.work or tempfile.mkdtemp(prefix="raw_accuracy_"))
    os.makedirs(work, exist_ok=True)

    truth = accuracy_report.read_truth(os.path.join(args.data, args.tags + "_truth.tsv"))
    keys = true_keys(truth, args.mature_seqs)
    start = time.perf_counter()
    plan = make_reads(args, truth, work)
    args.read_count = len(plan["order"])
    reads_path = os.path.join(work, "reads.fq.gz")
    print("%s/%s: %d tags, %d reads%s of kit %s, %d letters, error scale %g (substitutions %.3f%% per letter); "
          "made in %.1f s; in %s" % (args.data, args.tags, len(truth), args.read_count,
                                      " (%d molecules)" % len(plan["molecules"]) if plan["with_umi"] else "",
                                      args.kit, args.read_length, args.error_scale, 0.2 * args.error_scale,
                                      time.perf_counter() - start, work))

    runner = Runner()
    rows, columns, notes = {}, [], []
    inserts = plan["inserts"]
    for label, _, options in modes:
        result = run_mode(runner, args, label, shlex.split(options), reads_path, work, plan["with_umi"])
        rows[label] = score_column(plan, truth, keys, by_sequence_outcome(result["by_sequence"], inserts.__getitem__),
                                   result["reads"], result.get("molecules"))
        rows[label]["seconds"] = result["seconds"]
        columns.append(label)

    wanted = [peer for peer in peers if peer in ("bowtie", "bowtie-mirtop")]
    if wanted and shutil.which("cutadapt"):
        _, trimmed = trim_with_cutadapt(runner, args, reads_path, work)
        tags = collapse(trimmed)
        for peer, programs, run in (("bowtie", ("bowtie",), bowtie_to_matures),
                                    ("bowtie-mirtop", ("bowtie", "samtools", "mirtop"), bowtie_mirtop)):
            if peer not in wanted:
                continue
            missing = [program for program in programs if not shutil.which(program)]
            if missing:
                notes.append("%s skipped: %s not installed" % (peer, ", ".join(missing)))
                continue
            table, seconds = run(runner, args, tags, work)
            rows[peer] = score_column(plan, truth, keys, by_sequence_outcome(table, trimmed.__getitem__))
            rows[peer]["seconds"] = seconds
            columns.append(peer)
    elif wanted:
        notes.append("bowtie peers skipped: cutadapt not installed")
    if "optimir" in peers:
        missing = [program for program in ("optimir", "cutadapt", "bowtie2", "samtools") if not shutil.which(program)]
        if missing:
            notes.append("optimir skipped: %s not installed" % ", ".join(missing))
        else:
            weights, seconds = optimir(runner, args, reads_path, work)
            rows["optimir"] = score_column(plan, truth, keys, lambda n: weights.get(n))
            rows["optimir"]["seconds"] = seconds
            columns.append("optimir")

    print()
    print_table(columns, rows)
    for note in notes:
        print("note:", note)
    print("\ncommands:")
    for command in runner.commands:
        print("  " + command)
    if args.tsv:
        with open(args.tsv, "w") as f:
            f.write("column\tmeasure\tvalue\n")
            for c in columns:
                for measure, value in rows[c].items():
                    f.write("%s\t%s\t%.6f\n" % (c, measure, value))


if __name__ == "__main__":
    main()
