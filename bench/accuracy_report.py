#!/usr/bin/env python3
"""Accuracy of mirsight on a simulated tag set (bench/simulate_tags.py).

    python3 bench/accuracy_report.py --tool build/mirsight --data DIR \
        [--tags sim] [--mature mature] [--mode LABEL=ARGS]... \
        [--mode-command LABEL=COMMAND]... [--runs 1] [--tsv FILE]

Each mode is one run on DIR/TAGS.txt and DIR/MATURE.txt, into a folder of
its own, timed (wall clock; the smallest of --runs runs):

  --mode LABEL=ARGS           the tool with the legacy command line
                              (-s hsa -p OUT -i DIR -m MATURE -t TAGS) and
                              ARGS (shell words) after it, e.g.
                              --mode default= --mode "sensitive=--sensitive"
  --mode-command LABEL=CMD    CMD (shell words) instead of the tool, with
                              the same legacy command line after it, e.g.
                              --mode-command "prototype=python3 bench/sensitive_prototype.py"

Without any --mode, one mode "default" (no extra arguments) is run.

The tables read are OUT/out_result_MATURE_tag_unique.txt,
_tag_ambigue_selected.txt and _tag_ambigue.txt. Each tag of the truth
(DIR/TAGS_truth.tsv) is then:

  right       assigned (unique, or ambiguous and selected) to one of its
              true miRNAs, or to a miRNA with the same sequence as one
  wrong       assigned to another miRNA (for noise: to any miRNA)
  ambiguous   ambiguous and not assigned
  unmapped    in none of the tables

For each origin class, the percentages of tags and of reads in each
outcome, the modes side by side; then every miRNA-derived tag, all noise,
"noise assigned" (wrong among noise) and each mode's time.
--tsv writes the same numbers as one tab-separated line per mode, class
and outcome. Standard library only.
"""

import argparse
import os
import shlex
import subprocess
import sys
import tempfile
import time

OUTCOMES = ("right", "wrong", "ambiguous", "unmapped")


def read_fasta_sequences(path):
    seqs, name = {}, None
    with open(path) as f:
        for line in f:
            line = line.strip()
            if line.startswith(">"):
                name = line[1:].split()[0]
                seqs[name] = ""
            elif line and name is not None:
                seqs[name] += line
    return seqs


def read_truth(path):
    truth = []
    with open(path) as f:
        next(f)
        for line in f:
            seq, cls, mirnas, _, count = line.rstrip("\n").split("\t")
            truth.append((seq.replace("T", "U"), cls, [] if mirnas == "-" else mirnas.split(","),
                          int(count)))
    return truth


def read_assigned(path):
    """sequence -> (miRNA name, miRNA sequence) of a unique or selected table."""
    out = {}
    with open(path) as f:
        next(f)
        for line in f:
            fields = line.rstrip("\n").split("\t")
            out[fields[1]] = (fields[5].lstrip(">").split(" ")[0], fields[6])
    return out


def read_ambiguous(path):
    with open(path) as f:
        next(f)
        return {line.split("\t", 2)[1] for line in f}


def run_mode(command, extra, args, out_dir, runs):
    """Runs command + the legacy command line + extra `runs` times; the
    fastest wall time."""
    os.makedirs(out_dir, exist_ok=True)
    legacy = ["-s", args.species, "-p", out_dir, "-i", args.data, "-m", args.mature,
              "-t", args.tags]
    best = None
    for _ in range(runs):
        start = time.perf_counter()
        with open(os.path.join(out_dir, "log"), "w") as log, \
                open(os.path.join(out_dir, "stderr"), "w") as err:
            status = subprocess.call(command + legacy + extra, stdout=log, stderr=err)
        elapsed = time.perf_counter() - start
        if status != 0:
            sys.exit("accuracy_report: %s exited with %d (see %s/stderr)"
                     % (" ".join(command), status, out_dir))
        best = elapsed if best is None else min(best, elapsed)
    return best


def classify(truth, out_dir, mature_name, mature_seqs):
    prefix = os.path.join(out_dir, "out_result_" + mature_name)
    assigned = read_assigned(prefix + "_tag_unique.txt")
    assigned.update(read_assigned(prefix + "_tag_ambigue_selected.txt"))
    ambiguous = read_ambiguous(prefix + "_tag_ambigue.txt")
    outcomes = []
    for seq, _, mirnas, _ in truth:
        if seq in assigned:
            name, mseq = assigned[seq]
            ok = name in mirnas or any(mature_seqs.get(m) == mseq for m in mirnas)
            outcomes.append("right" if ok else "wrong")
        elif seq in ambiguous:
            outcomes.append("ambiguous")
        else:
            outcomes.append("unmapped")
    return outcomes


def tally(truth, outcomes):
    """{group: {outcome: [tags, reads]}} per class, all miRNA-derived, all noise."""
    table = {}
    for (_, cls, _, count), outcome in zip(truth, outcomes):
        groups = (cls, "all noise" if cls.startswith("noise") else "all miRNA-derived")
        for g in groups:
            row = table.setdefault(g, {o: [0, 0] for o in OUTCOMES})
            row[outcome][0] += 1
            row[outcome][1] += count
    return table


def percent(part, whole):
    return 100.0 * part / whole if whole else 0.0


def print_report(labels, tables, times, truth):
    classes = []
    for _, cls, _, _ in truth:
        if cls not in classes:
            classes.append(cls)
    classes = sorted(c for c in classes if not c.startswith("noise")) + ["all miRNA-derived"] + \
        sorted(c for c in classes if c.startswith("noise")) + ["all noise"]
    for unit, k in (("tags", 0), ("reads", 1)):
        print("\n%% of %s: right / wrong / ambiguous-unassigned / unmapped" % unit)
        head = "%-22s %9s" % ("class", unit)
        for label in labels:
            head += "  %-31s" % label
        print(head)
        for cls in classes:
            first = tables[labels[0]].get(cls)
            if first is None:
                continue
            total = sum(v[k] for v in first.values())
            line = "%-22s %9d" % (cls, total)
            for label in labels:
                row = tables[label][cls]
                line += "  " + " ".join("%7.2f" % percent(row[o][k], total) for o in OUTCOMES)
            print(line)
    print()
    for label in labels:
        noise = tables[label].get("all noise", {o: [0, 0] for o in OUTCOMES})
        n_tags = sum(v[0] for v in noise.values())
        n_reads = sum(v[1] for v in noise.values())
        print("%-12s noise assigned: %.2f%% of noise tags, %.2f%% of noise reads; time %.2f s"
              % (label, percent(noise["wrong"][0], n_tags), percent(noise["wrong"][1], n_reads),
                 times[label]))


def main():
    p = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    p.add_argument("--tool", default="build/mirsight")
    p.add_argument("--data", required=True, help="folder of the simulated set")
    p.add_argument("--tags", default="sim", help="tag file DATA/TAGS.txt and DATA/TAGS_truth.tsv")
    p.add_argument("--mature", default="mature", help="miRNA file DATA/MATURE.txt (U letters)")
    p.add_argument("--species", default="hsa")
    p.add_argument("--mode", action="append", default=[], help="LABEL=extra tool arguments")
    p.add_argument("--mode-command", action="append", default=[], help="LABEL=command to run")
    p.add_argument("--runs", type=int, default=1)
    p.add_argument("--work", default="", help="folder for the runs' outputs (default: temporary)")
    p.add_argument("--tsv", default="")
    args = p.parse_args()
    args.data = os.path.abspath(args.data)

    modes = []
    for mode in args.mode:
        label, _, extra = mode.partition("=")
        modes.append((label, [os.path.abspath(args.tool)], shlex.split(extra)))
    for mode in args.mode_command:
        label, _, command = mode.partition("=")
        modes.append((label, shlex.split(command), []))
    if not modes:
        modes = [("default", [os.path.abspath(args.tool)], [])]

    truth = read_truth(os.path.join(args.data, args.tags + "_truth.tsv"))
    mature_seqs = read_fasta_sequences(os.path.join(args.data, args.mature + ".txt"))
    work = args.work or tempfile.mkdtemp(prefix="accuracy_")
    tables, times = {}, {}
    for label, command, extra in modes:
        out_dir = os.path.join(os.path.abspath(work), label)
        times[label] = run_mode(command, extra, args, out_dir, args.runs)
        tables[label] = tally(truth, classify(truth, out_dir, args.mature, mature_seqs))
    labels = [label for label, _, _ in modes]
    print("data %s/%s.txt: %d tags; miRNA file %s.txt; outputs in %s"
          % (args.data, args.tags, len(truth), args.mature, work))
    print_report(labels, tables, times, truth)
    if args.tsv:
        with open(args.tsv, "w") as f:
            f.write("mode\tclass\toutcome\ttags\treads\tseconds\n")
            for label in labels:
                for cls, row in tables[label].items():
                    for o in OUTCOMES:
                        f.write("%s\t%s\t%s\t%d\t%d\t%.3f\n"
                                % (label, cls, o, row[o][0], row[o][1], times[label]))


if __name__ == "__main__":
    main()
