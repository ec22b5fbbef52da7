#!/usr/bin/env python3
"""Writes two more samples for the study example, as sequencing reads
(gzip FASTQ) carrying the 3' adapter TGGAATTCTCGGGTGCCAAGG like
Tests/reads_example.fastq.gz: Tests/reads_muscle.fastq.gz and, in two
files as from two lanes, Tests/reads_plasma_L1.fastq.gz and
Tests/reads_plasma_L2.fastq.gz. Each sample has its own expression profile
over the miRNAs of Tests/mirna_example.txt; the comment beside each tag says
what it is. The reads are shuffled with a fixed seed and gzip gets a fixed
time stamp, so the files are the same at every run.
Run from the repository root: python3 Tests/make_study_samples.py"""
import gzip
import random

from make_example_data import SEQ, dna, sub

ADAPTER = "TGGAATTCTCGGGTGCCAAGG"


def tags_muscle():
    m1, m206, l7a = SEQ["hsa-miR-1-3p"], SEQ["hsa-miR-206"], SEQ["hsa-let-7a-5p"]
    m143 = SEQ["hsa-miR-143-3p"]
    return [  # (tag in RNA letters, reads): what it shows
        (m1, 2600),                       # miR-1: ambiguous with miR-206
        (m1[:-1], 700),                   # miR-1 3' shortened, ambiguous
        (m1 + "U", 240),                  # miR-1 3' lengthened (non-templated U)
        (m206, 900),                      # exact miR-206, ambiguous with miR-1
        (m143, 1100),                     # exact miR-143
        (m143[:-2], 260),                 # miR-143 3' shortened by 2
        (m143[1:], 120),                  # miR-143 5' shifted
        (sub(m143, 10, "A"), 80),         # miR-143 one substitution
        (l7a, 900),                       # let-7a, ambiguous in its family
        (SEQ["hsa-miR-21-5p"], 420),      # exact miR-21
        (SEQ["hsa-miR-145-5p"], 380),     # exact miR-145
        (sub(sub(SEQ["hsa-miR-145-5p"], 8, "A"), 15, "C"), 30),  # two substitutions
        (SEQ["hsa-miR-30a-5p"], 150),     # exact miR-30a
        ("GAUUACAGAUUACAGAUUACA", 60),    # maps nowhere
        ("", 40),                         # adapter dimer: nothing left after trimming
        ("UAGCUUAUCA", 25),               # 10 nt after trimming: too short for cutadapt -m 15
    ]


def tags_plasma():
    m16, m15a, m21 = SEQ["hsa-miR-16-5p"], SEQ["hsa-miR-15a-5p"], SEQ["hsa-miR-21-5p"]
    return [
        (m16, 2200),                      # miR-16, ambiguous with miR-15a/15b/195
        (m16[:-1], 500),                  # miR-16 3' shortened
        (m15a, 300),                      # miR-15a
        (SEQ["hsa-miR-15b-5p"], 150),     # miR-15b
        (m21, 900),                       # exact miR-21
        (m21 + "A", 260),                 # miR-21 3' lengthened (non-templated A)
        ("C" + m21, 50),                  # miR-21 5' shifted: one extra base
        (sub(m21, 12, "U"), 70),          # miR-21 one substitution
        (SEQ["hsa-miR-155-5p"], 400),     # exact miR-155
        (SEQ["hsa-miR-17-5p"], 350),      # miR-17, ambiguous with miR-20a/106a
        (SEQ["hsa-miR-20a-5p"], 250),     # miR-20a
        (SEQ["hsa-miR-122-5p"], 600),     # exact miR-122
        (SEQ["hsa-let-7f-5p"], 300),      # let-7f, ambiguous
        (SEQ["hsa-miR-200c-3p"], 90),     # miR-200c, ambiguous with miR-200b
        ("CCCCCCCCCCCCCCCCCCCC", 45),     # maps nowhere
        ("", 60),                         # adapter dimer
    ]


def reads_of(tags, rng):
    reads = [dna(tag) + ADAPTER for tag, count in tags for _ in range(count)]
    rng.shuffle(reads)
    return reads


def write_fastq(path, reads, first):
    with open(path, "wb") as raw, gzip.GzipFile(fileobj=raw, mode="wb", mtime=0) as out:
        for number, read in enumerate(reads, first):
            out.write(("@read%d\n%s\n+\n%s\n" % (number, read, "I" * len(read))).encode())


if __name__ == "__main__":
    rng = random.Random(20261207)
    write_fastq("Tests/reads_muscle.fastq.gz", reads_of(tags_muscle(), rng), 1)
    plasma = reads_of(tags_plasma(), rng)
    half = len(plasma) // 2
    write_fastq("Tests/reads_plasma_L1.fastq.gz", plasma[:half], 1)
    write_fastq("Tests/reads_plasma_L2.fastq.gz", plasma[half:], half + 1)
