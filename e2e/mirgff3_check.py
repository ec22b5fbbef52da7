#!/usr/bin/python3
"""Checks a mirGFF3 file with mirtop itself (Debian packages python3-mirtop and mirtop).

    mirgff3_check.py FILE [--expect-total N] [--expect-counts MATRIX.tsv]

- `mirtop validate FILE` must succeed, and mirtop's format validator must
  find no error (the `mirtop validate` command of Debian's mirtop 0.4.25
  does not run that validator: it accepts any file, so the validator is
  called here as well; its list of variant types lacks iso_add5p, so a
  record whose Variant is iso_add5p alone is not counted as an error);
- every UID must decode to its record's Read;
- `mirtop stats` and `mirtop counts` must run; the total Expression that
  `mirtop counts` reports must equal N, and, with --expect-counts, its sums
  per miRNA and sample must equal the matrix (first column `mirna`, one
  column per sample; rows whose counts are all 0 may be absent from mirtop's).

Exit status 0 when all holds, 1 otherwise, 2 when mirtop is missing.
"""
import argparse
import collections
import csv
import glob
import io
import logging
import os
import subprocess
import sys
import tempfile


def validator_errors(path):
    from mirtop.gff import validator
    log = io.StringIO()
    handler = logging.StreamHandler(log)
    logging.getLogger().addHandler(handler)
    try:
        errors = validator._check_file(path)
    finally:
        logging.getLogger().removeHandler(handler)
    messages = [m for m in log.getvalue().splitlines() if m.strip()]
    # The validator's list of variant types lacks iso_add5p (letters before
    # the precursor's first), which mirtop's own tables name: a record whose
    # Variant holds only that is no error.
    with open(path) as fh:
        lines = fh.read().split("\n")
    only_add5p = [m for m in messages if m.startswith("INCORRECT VARIANT type in line ")
                  and all(v.startswith("iso_add5p:") for v in variant_of(lines[int(m.split()[-1]) - 1]).split(","))]
    if only_add5p:
        print(f"  validator: {len(only_add5p)} record(s) with the Variant iso_add5p alone, not in its list: accepted")
    for message in [m for m in messages if m not in only_add5p][:10]:
        print("  validator: " + message)
    return errors - len(only_add5p)


def variant_of(line):
    for part in line.split("\t")[-1].split("; "):
        if part.startswith("Variant="):
            return part[len("Variant="):]
    return ""


def mismatched_uids(path):
    from mirtop.gff.classgff import feature
    from mirtop.mirna.realign import read_id
    bad = 0
    with open(path) as fh:
        for line in fh:
            if line.startswith("#") or not line.strip():
                continue
            attributes = feature(line).attributes
            read = attributes.get("Read", "").upper().replace("U", "T")
            if not read or read_id(attributes.get("UID", "")) != read:
                bad += 1
    return bad


def mirtop_counts(path, folder):
    """Sums per (miRNA, sample) of what `mirtop counts` writes, or None."""
    for command in (["mirtop", "stats", "-o", folder, path], ["mirtop", "counts", "--gff", path, "-o", folder]):
        run = subprocess.run(command, capture_output=True, text=True, cwd=folder)
        if run.returncode != 0:
            print(f"{' '.join(command[:2])} failed ({run.returncode}): {run.stderr[-1500:]}")
            return None
    tables = glob.glob(os.path.join(folder, "*.tsv"))
    if not tables or not os.path.exists(os.path.join(folder, "mirtop_stats.txt")):
        print("mirtop wrote no counts or no stats")
        return None
    with open(tables[0]) as fh:
        rows = list(csv.reader(fh, delimiter="\t"))
    header = rows[0]
    first_sample = header.index("iso_snp") + 1
    sums = collections.Counter()
    for row in rows[1:]:
        for sample, value in zip(header[first_sample:], row[first_sample:]):
            sums[(row[header.index("miRNA")], sample)] += int(float(value))
    return sums


def read_matrix(path):
    with open(path, newline="") as fh:
        rows = list(csv.reader(fh, delimiter="\t"))
    return {(row[0], sample): int(value) for row in rows[1:] for sample, value in zip(rows[0][1:], row[1:])}


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("gff")
    parser.add_argument("--expect-total", type=int)
    parser.add_argument("--expect-counts")
    args = parser.parse_args()
    try:
        import mirtop  # noqa: F401
    except ImportError:
        print("mirtop is not installed: apt-get install python3-mirtop mirtop", file=sys.stderr)
        return 2

    # mirtop writes its logs (a log/ folder) into its output folder and its
    # working directory: both are a scratch folder, never the caller's.
    args.gff = os.path.abspath(args.gff)
    with tempfile.TemporaryDirectory() as folder:
        validate = subprocess.run(["mirtop", "validate", "-o", os.path.join(folder, "validate"), args.gff],
                                  capture_output=True, text=True, cwd=folder)
        if validate.returncode != 0:
            print(f"mirtop validate failed ({validate.returncode}): {validate.stderr[-1500:]}")
        problems = validator_errors(args.gff) + (validate.returncode != 0)
        bad = mismatched_uids(args.gff)
        if bad:
            print(f"{bad} UID(s) do not decode to their Read")
        problems += bad
        sums = mirtop_counts(args.gff, folder)
    if sums is None:
        return 1
    total = sum(sums.values())
    print(f"mirtop counts: total expression {total}, {len({m for m, _ in sums})} miRNAs")
    if args.expect_total is not None and total != args.expect_total:
        print(f"total expression {total}, expected {args.expect_total}")
        problems += 1
    if args.expect_counts:
        expected = read_matrix(args.expect_counts)
        differ = [(key, sums.get(key, 0), value) for key, value in expected.items() if sums.get(key, 0) != value]
        differ += [(key, value, 0) for key, value in sums.items() if key not in expected and value]
        for key, got, wanted in differ[:10]:
            print(f"{key[0]} in {key[1]}: mirtop counts {got}, the matrix {wanted}")
        problems += len(differ)
    print("OK" if problems == 0 else f"FAILED: {problems} problem(s)")
    return 0 if problems == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
