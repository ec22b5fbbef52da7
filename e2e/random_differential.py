#!/usr/bin/env python3
"""Runs the tool and the reference model on random inputs and random options
and stops at the first difference in standard output, exit status or any
written file. A development aid; needs python3.

    python3 e2e/random_differential.py BINARY [ROUNDS] [SEED]"""
import filecmp
import os
import random
import shutil
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
MODEL = os.path.join(ROOT, "e2e", "reference_model.py")
NAMES = ["let-7a", "let-7b", "let-7", "miR-21", "miR-2", "miR-17", "miR-7a", "miR-103b", "lin-4"]


def random_mirnas(rng):
    seeds = ["".join(rng.choice("ACGU") for _ in range(9)) for _ in range(rng.randint(1, 4))]
    records = []
    for i in range(rng.randint(1, 12)):
        species = rng.choice(["hsa", "mmu", "rno"])
        seq = rng.choice("ACGU") + rng.choice(seeds) + "".join(
            rng.choice("ACGUN") for _ in range(rng.randint(0, 16)))
        if rng.random() < 0.1:
            seq = seq.lower()
        header = ">%s-%s-%d%s MIMAT%07d" % (species, rng.choice(NAMES), i % 3,
                                          rng.choice(["", "-5p", "-3p"]), i)
        records.append((header, seq))
    return records


def mutate(rng, seq):
    seq = list(seq)
    for _ in range(rng.choice([0, 0, 1, 1, 2, 3])):
        if seq:
            seq[rng.randrange(len(seq))] = rng.choice("ACGTN")
    text = "".join(seq)
    if rng.random() < 0.3:
        text = text[rng.randint(0, 3):]
    if rng.random() < 0.3:
        text = "".join(rng.choice("ACGT") for _ in range(rng.randint(1, 4))) + text
    if rng.random() < 0.4:
        text = text[:len(text) - rng.randint(0, 4)] + "".join(
            rng.choice("ACGT") for _ in range(rng.randint(0, 3)))
    if rng.random() < 0.2:
        text = text + text  # the seed twice
    return text


def random_tags(rng, records):
    lines = []
    for _ in range(rng.randint(0, 40)):
        if records and rng.random() < 0.8:
            tag = mutate(rng, rng.choice(records)[1].upper().replace("U", "T"))
        else:
            tag = "".join(rng.choice("ACGTN") for _ in range(rng.randint(0, 25)))
        lines.append("%s\t%d" % (tag, rng.choice([0, 1, 3, 10, 250])))
    return "\n".join(lines) + "\n"


def random_options(rng):
    options = []
    if rng.random() < 0.7:
        options += ["-s", rng.choice(["hsa", "hsa mmu", "mmu hsa rno", "rno", "x"])]
    for flag, values in [("-ss", ["5", "6", "7", "8"]), ("-sb", ["0", "1", "2"]),
                         ("-se", ["0", "5", "7", "9"]), ("-b", ["0", "2", "4", "6"]),
                         ("-l", ["8", "10", "12", "-1"]), ("-h", ["0", "14", "30", "101"])]:
        if rng.random() < 0.3:
            options += [flag, rng.choice(values)]
    if rng.random() < 0.2:
        options.append("-r")
    return options + ["-m", "db", "-t", "reads"]


def run(command, cwd):
    with open(os.path.join(cwd, ".stdout"), "wb") as out:
        status = subprocess.call(command, cwd=cwd, stdout=out, stderr=subprocess.DEVNULL)
    with open(os.path.join(cwd, ".status"), "w") as out:
        out.write(str(status))


def same_tree(a, b):
    names = sorted(set(os.listdir(a)) | set(os.listdir(b)))
    return all(os.path.exists(os.path.join(x, n)) for x in (a, b) for n in names) and \
        all(filecmp.cmp(os.path.join(a, n), os.path.join(b, n), shallow=False) for n in names)


def main():
    binary = os.path.abspath(sys.argv[1])
    rounds = int(sys.argv[2]) if len(sys.argv) > 2 else 200
    rng = random.Random(int(sys.argv[3]) if len(sys.argv) > 3 else 1)
    for round_number in range(rounds):
        records = random_mirnas(rng)
        fasta = "".join("%s\n%s\n" % r for r in records)
        tags = random_tags(rng, records)
        options = random_options(rng)
        work = tempfile.mkdtemp(prefix="mirsight_diff_")
        for side in ("tool", "model"):
            os.makedirs(os.path.join(work, side))
            with open(os.path.join(work, side, "db.txt"), "w") as out:
                out.write(fasta)
            with open(os.path.join(work, side, "reads.txt"), "w") as out:
                out.write(tags)
        run([binary] + options, os.path.join(work, "tool"))
        run(["python3", MODEL] + options, os.path.join(work, "model"))
        if not same_tree(os.path.join(work, "tool"), os.path.join(work, "model")):
            print("DIFFERENT in round %d with options %s; inputs kept in %s" % (round_number, options, work))
            return 1
        shutil.rmtree(work)
    print("%d rounds, no difference" % rounds)
    return 0


if __name__ == "__main__":
    sys.exit(main())
