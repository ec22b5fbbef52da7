#!/usr/bin/env python3
"""Molecule counts of mirsight-collapse --protocol qiaseq against a model.

    umi_molecules_check.py COLLAPSE_BINARY PROJECT_ROOT

Generated QIAseq-like reads are trimmed by cutadapt (its info file gives
each read's insert and what follows the adapter, whose first 12 bases are
the UMI); the model then clusters the UMIs of each insert pairwise by the
directional rule (an edge a -> b when they differ at one position and
count(a) >= 2 count(b) - 1; from the most frequent UMI not yet taken, a
cluster takes everything reachable) and counts clusters. The collapser's
tag counts (molecules, and reads with --count reads) and its read funnel
must equal the model's. Exit 77 when cutadapt is missing.
"""
import collections
import os
import shutil
import subprocess
import sys
import tempfile

ADAPTER = "AACTGTAGGCACCATCAAT"
UMI_LENGTH = 12


def directional_clusters(umi_reads):
    umis = sorted(umi_reads, key=lambda u: (-umi_reads[u], u))

    def one_apart(a, b):
        return sum(x != y for x, y in zip(a, b)) == 1

    edges = {a: [b for b in umis if one_apart(a, b) and umi_reads[a] >= 2 * umi_reads[b] - 1] for a in umis}
    taken = set()
    clusters = 0
    for start in umis:
        if start in taken:
            continue
        clusters += 1
        taken.add(start)
        queue = collections.deque([start])
        while queue:
            for b in edges[queue.popleft()]:
                if b not in taken:
                    taken.add(b)
                    queue.append(b)
    return clusters


def self_test():
    # 10 reads absorb a neighbour of 5 (10 >= 9) but not one of 6 (10 < 11);
    # absorbing goes on along the chain (5 >= 5 takes the 3, 5 < 7 leaves the 4);
    # UMIs of one read each join up both ways.
    assert directional_clusters({"AAAA": 10, "AAAC": 5}) == 1
    assert directional_clusters({"AAAA": 10, "AAAC": 6}) == 2
    assert directional_clusters({"AAAA": 10, "AAAC": 5, "AACC": 3}) == 1
    assert directional_clusters({"AAAA": 10, "AAAC": 5, "AACC": 4}) == 2
    assert directional_clusters({"AAAA": 1, "AAAC": 1, "AACC": 1}) == 1
    assert directional_clusters({"AAAA": 4, "CCCC": 4}) == 2


def model(info_file):
    funnel = collections.Counter()
    pairs = collections.defaultdict(collections.Counter)
    with open(info_file) as handle:
        for line in handle:
            fields = line.rstrip("\n").split("\t")
            funnel["reads_read"] += 1
            if fields[1] == "-1":
                funnel["reads_without_adapter"] += 1
                continue
            insert, after = fields[4].upper(), fields[6].upper()
            if len(after) < UMI_LENGTH:
                funnel["reads_too_short_for_umi"] += 1
            elif not insert:
                funnel["adapter_dimers"] += 1
            elif len(insert) < 15:
                funnel["reads_too_short"] += 1
            elif len(insert) > 40:
                funnel["reads_too_long"] += 1
            else:
                funnel["reads_kept"] += 1
                pairs[insert][after[:UMI_LENGTH]] += 1
    molecules = {insert: directional_clusters(umis) for insert, umis in pairs.items()}
    reads = {insert: sum(umis.values()) for insert, umis in pairs.items()}
    funnel["molecules_kept"] = sum(molecules.values())
    return funnel, molecules, reads


def tag_counts(path):
    with open(path) as handle:
        return {sequence: int(count) for sequence, count in (line.split("\t") for line in handle)}


def log_values(text):
    values = {}
    for line in text.splitlines():
        name, _, value = line.partition(" = ")
        if value.isdigit():
            values[name] = int(value)
    return values


def main():
    self_test()
    if shutil.which("cutadapt") is None:
        print("SKIP: cutadapt is not installed")
        return 77
    collapse, root = os.path.realpath(sys.argv[1]), os.path.realpath(sys.argv[2])
    failures = []
    with tempfile.TemporaryDirectory(prefix="umi_check_") as scratch:
        reads = os.path.join(scratch, "qiaseq.fastq.gz")
        subprocess.run([sys.executable, os.path.join(root, "bench", "make_kit_reads.py"), "--kit", "qiaseq",
                        "--reads", "40000", "--seed", "5", "--read-length", "54",
                        "--mature", os.path.join(root, "Tests", "mirna_example.txt"), "--out", reads], check=True)
        info = os.path.join(scratch, "info.tsv")
        subprocess.run(["cutadapt", "-a", ADAPTER, "-e", "0.1", "-O", "3", "-j", "1", "--quiet",
                        "--info-file", info, "-o", os.devnull, reads], check=True)
        funnel, molecules, read_counts = model(info)

        for count, expected in (("molecules", molecules), ("reads", read_counts)):
            out = os.path.join(scratch, count + ".txt")
            # Counting reads, on two trimming threads whose UMI tables are merged.
            threads = "2" if count == "reads" else "1"
            run = subprocess.run([collapse, "--protocol", "qiaseq", "--count", count, "--threads", threads, "-o", out,
                                  reads],
                                 capture_output=True, text=True)
            if run.returncode != 0:
                failures.append(f"--count {count}: exit status {run.returncode}: {run.stderr}")
                continue
            got = tag_counts(out)
            differing = [s for s in set(got) | set(expected) if got.get(s) != expected.get(s)]
            for sequence in sorted(differing)[:10]:
                print(f"  {count}: {sequence} collapser {got.get(sequence)} model {expected.get(sequence)}")
            if differing:
                failures.append(f"--count {count}: {len(differing)} of {len(expected)} inserts counted otherwise")
            logged = log_values(run.stderr)
            for box, value in sorted(funnel.items()):
                if logged.get(box, 0) != value:
                    failures.append(f"--count {count}: {box} is {logged.get(box)}, the model says {value}")
            boxes = sum(logged.get(box, 0) for box in ("reads_without_adapter", "reads_too_short_for_umi",
                                                       "adapter_dimers", "reads_too_short", "reads_too_long",
                                                       "reads_kept"))
            if boxes != logged.get("reads_read"):
                failures.append(f"--count {count}: the funnel's boxes add up to {boxes}, not {logged.get('reads_read')}")
        print(f"{funnel['reads_read']} reads, {funnel['reads_kept']} kept, {funnel['molecules_kept']} molecules "
              f"in {len(molecules)} inserts; too short for the UMI {funnel['reads_too_short_for_umi']}")
    for failure in failures:
        print("FAIL: " + failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
