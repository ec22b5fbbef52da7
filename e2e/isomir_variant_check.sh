#!/usr/bin/env bash
# One description of each isomiR, end to end with mirtop:
#
#   isomir_variant_check.sh BINARY PROJECT_ROOT
#
# Two samples of tags that combine changes (bench/simulate_tags.py --mix
# combined on the bundled example, two seeds, plus a tag holding N) are
# mapped with `mirsight map --sensitive --gff3 --hairpin` against the
# example's precursors with their first three letters cut off, so that
# 5'-extended tags run before their precursor's first letter; then
# `mirsight merge --gff3`, and
#   - mirtop validates the merged mirGFF3, and `mirtop counts` summed per
#     miRNA and sample equals the count matrix less the reads of the tag
#     holding N (e2e/mirgff3_check.py);
#   - every UID of isomir_counts.tsv has a Pass record in the mirGFF3 with
#     the same miRNA and the same Variant, and every record a row;
#   - the outputs hold iso_add5p variants and variants of three changes.
# Skipped (exit 77) without python3 or mirtop.
set -u
binary=$(realpath "$1")
root=$(realpath "$2")
source "$root/e2e/require_tools.sh"
require_tool python3 mirtop || exit 77
require_python_module mirtop || exit 77
work=$(mktemp -d /tmp/mirsight_variants_XXXXXX)
trap '[ -n "${KEEP:-}" ] || rm -rf "$work"' EXIT
failed=0
fail() { echo "FAIL: $*"; failed=1; }
cd "$work"

awk '/^>/ { print; next } { print substr($0, 4) }' "$root/Tests/hairpin_example.txt" > hairpin_cut.fa
for seed in 1 2; do
    python3 "$root/bench/simulate_tags.py" --mature "$root/Tests/mirna_example.txt" \
        --hairpin "$root/Tests/hairpin_example.txt" --out-dir "sim$seed" --tags 1500 --seed "$seed" --mix combined \
        --mature-out mature 2> /dev/null || { echo "FAIL: simulation"; exit 1; }
    printf 'TAGCTTATCNGACTGATGTTGA\t17\n' >> "sim$seed/sim.txt"
    "$binary" map --sensitive --mature "sim$seed/mature.txt" --tags "sim$seed/sim.txt" --sample "s$seed" \
        --outdir out --species hsa --gff3 --hairpin hairpin_cut.fa --quiet > "map$seed.log" 2> "map$seed.err" ||
        { fail "map s$seed: status $?"; cat "map$seed.err"; }
done
"$binary" merge --outdir merged --gff3 out > merge.log 2> merge.err || { fail "merge: status $?"; cat merge.err; }

python3 - <<'PY' || failed=1
import csv, collections, sys
def table(path):
    with open(path, newline="") as fh:
        return list(csv.DictReader(fh, delimiter="\t"))
problems = []
samples = ["s1", "s2"]
rows = table("merged/isomir_counts.tsv")
records = {}
with open("merged/mirna.gff3") as fh:
    for line in fh:
        if line.startswith("#"):
            continue
        attributes = dict(part.split("=", 1) for part in line.rstrip("\n").split("\t")[8].split("; "))
        if attributes["Filter"] == "Pass":
            records[attributes["UID"]] = attributes
n_reads = collections.Counter()
for r in rows:
    if r["uid"] == "NA":
        for s in samples:
            n_reads[(r["mirna"], s)] += int(r[s])
        continue
    record = records.pop(r["uid"], None)
    if record is None:
        problems.append("no mirGFF3 record for %s (%s)" % (r["uid"], r["variant"]))
    elif (record["Name"], record["Variant"]) != (r["mirna"], r["variant"]):
        problems.append("%s: %s %s in isomir_counts.tsv, %s %s in the mirGFF3"
                        % (r["uid"], r["mirna"], r["variant"], record["Name"], record["Variant"]))
problems += ["a mirGFF3 record without a row: %s" % uid for uid in records]
variants = [r["variant"] for r in rows]
if not any("iso_add5p" in v for v in variants):
    problems.append("no tag ran before its precursor's first letter (no iso_add5p): not a test")
if not any(v.count(",") >= 2 for v in variants):
    problems.append("no variant combines three changes: not a test")
if sum(n_reads.values()) != 34:
    problems.append("the tag holding N is not counted in both samples: %s" % dict(n_reads))
matrix = table("merged/mirna_counts.tsv")
with open("expected_gff3_counts.tsv", "w") as out:
    out.write("mirna\t" + "\t".join(samples) + "\n")
    for r in matrix:
        out.write(r["mirna"] + "".join("\t%d" % (int(r[s]) - n_reads[(r["mirna"], s)]) for s in samples) + "\n")
print("%d isomiR rows, %d with iso_add5p" % (len(rows), sum("iso_add5p" in v for v in variants)))
for p in problems[:20]:
    print("FAIL:", p)
sys.exit(1 if problems else 0)
PY

"$root/e2e/mirgff3_check.py" merged/mirna.gff3 --expect-counts expected_gff3_counts.tsv 2>&1 |
    grep -v -i 'deprecat\|warnings.warn'
[ "${PIPESTATUS[0]}" = 0 ] || fail "mirtop rejects merged/mirna.gff3 or counts differently from the matrix"

[ "$failed" = 0 ] && echo "PASS: isomir_counts.tsv and the mirGFF3 describe every tag alike, and mirtop counts the matrix"
exit "$failed"
