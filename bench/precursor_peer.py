#!/usr/bin/env python3
"""The precursor-based peer for bench/accuracy_report.py: bowtie 1 maps the
tags to the hairpins (-v 2: up to two mismatches, every alignment of the
best stratum, forward strand), then mirtop annotates the alignments with the
matures' positions on the hairpins.

    python3 bench/precursor_peer.py --hairpin H.fa --gtf MIRBASE.gff3 \
        -s hsa -p OUT -i DIR -m MATURE -t TAGS

takes the tool's legacy command line (as accuracy_report.py's
--mode-command passes it) and writes OUT/out_result_MATURE_tag_unique.txt,
_tag_ambigue_selected.txt (empty) and _tag_ambigue.txt in the columns the
report reads: a tag whose mirtop records name one miRNA (or miRNAs of one
sequence) is assigned to it, one with records of several is ambiguous,
one without is unmapped. Needs the Debian packages bowtie, samtools (for
the BAM mirtop reads) and mirtop.
"""
import argparse
import os
import re
import subprocess
import sys
import tempfile


def read_fasta(path, species=None):
    records, name = [], None
    with open(path) as f:
        for line in f:
            line = line.strip()
            if line.startswith(">"):
                name = line[1:].split()[0]
                records.append([name, line, ""])
            elif line and records:
                records[-1][2] += line.upper().replace("T", "U")
    return [r for r in records if species is None or r[0].startswith(species + "-")]


def run(command, **kwargs):
    done = subprocess.run(command, capture_output=True, text=True, **kwargs)
    if done.returncode != 0:
        sys.exit("precursor_peer: %s failed: %s" % (command[0], done.stderr[-2000:]))
    return done


def main():
    p = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    p.add_argument("--hairpin", required=True)
    p.add_argument("--gtf", required=True, help="miRBase GFF3 of the matures and precursors")
    p.add_argument("-s", dest="species", required=True)
    p.add_argument("-p", dest="out", required=True)
    p.add_argument("-i", dest="data", required=True)
    p.add_argument("-m", dest="mature", required=True)
    p.add_argument("-t", dest="tags", required=True)
    args = p.parse_args()
    mature_seq = {n: s for n, _, s in read_fasta(os.path.join(args.data, args.mature + ".txt"))}
    tags = []
    with open(os.path.join(args.data, args.tags + ".txt")) as f:
        for line in f:
            seq, count = line.rstrip("\n").split("\t")
            tags.append((seq.upper(), int(count)))
    work = tempfile.mkdtemp(prefix="peer_", dir=args.out)
    hairpin_dna = os.path.join(work, "hairpin.fa")
    with open(hairpin_dna, "w") as f:
        for name, _, seq in read_fasta(args.hairpin, args.species):
            f.write(">%s\n%s\n" % (name, seq.replace("U", "T")))
    with open(os.path.join(work, "tags.fa"), "w") as f:
        for i, (seq, count) in enumerate(tags):
            f.write(">seq_%d_x%d\n%s\n" % (i, count, seq))
    run(["bowtie-build", "-q", hairpin_dna, os.path.join(work, "hairpin")])
    sam = os.path.join(work, "tags.sam")
    run(["bowtie", "-f", "-v", "2", "-a", "--best", "--strata", "--norc", "-p", "2", "-S", "--no-unal",
         os.path.join(work, "hairpin"), os.path.join(work, "tags.fa"), sam])
    bam = os.path.join(work, "tags.bam")
    run(["samtools", "sort", "-o", bam, sam])
    run(["mirtop", "gff", "--sps", args.species, "--hairpin", hairpin_dna, "--gtf", args.gtf,
         "-o", os.path.join(work, "mirtop"), bam], cwd=work)
    names = {}
    with open(os.path.join(work, "mirtop", "tags.gff")) as f:
        for line in f:
            if line.startswith("#"):
                continue
            # Debian's mirtop 0.4.25 writes the attributes as "Read SEQ; ... Name NAME;".
            attributes = line.rstrip("\n").split("\t")[8]
            read = re.search(r"Read[ =]([A-Za-z]+)", attributes).group(1)
            name = re.search(r"Name[ =]([^;]+)", attributes).group(1).strip()
            names.setdefault(read.upper().replace("T", "U"), set()).add(name)
    prefix = os.path.join(args.out, "out_result_" + args.mature)
    header = "tag_index\ttag_sequence\ttag_quality\t#count_tags\tmirna_id\tmirna_name\tmirna_seq\n"
    with open(prefix + "_tag_unique.txt", "w") as unique, open(prefix + "_tag_ambigue.txt", "w") as ambiguous:
        unique.write(header)
        ambiguous.write(header)
        for i, (seq, count) in enumerate(tags):
            found = sorted(names.get(seq.replace("T", "U"), ()))
            if not found:
                continue
            out = unique if len({mature_seq.get(n, n) for n in found}) == 1 else ambiguous
            out.write("%d\t%s\tx\t%d\t0\t>%s\t%s\n" % (i + 1, seq.replace("T", "U"), count, found[0],
                                                       mature_seq.get(found[0], "")))
    with open(prefix + "_tag_ambigue_selected.txt", "w") as selected:
        selected.write(header)


if __name__ == "__main__":
    main()
