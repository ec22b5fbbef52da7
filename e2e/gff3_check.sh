#!/usr/bin/env bash
# The mirGFF3 export end to end: runs the real binary on the bundled example
# with --gff3 and the bundled precursor file, checks that the export changes
# nothing else, that a failed run leaves no mirGFF3 file, and has mirtop
# itself (e2e/mirgff3_check.py) validate the file and count its total
# expression against the total our own tag tables imply.
#
#   gff3_check.sh BINARY PROJECT_ROOT
# Skipped (exit 77) without Debian's mirtop and python3-mirtop.
set -u
binary=$(realpath "$1")
root=$(realpath "$2")
checker=$root/e2e/mirgff3_check.py
source "$root/e2e/require_tools.sh"
require_tool mirtop python3 || exit 77
require_python_module mirtop || exit 77

work=$(mktemp -d /tmp/mirsight_gff3_XXXXXX)
trap 'rm -rf "$work"' EXIT
failed=0
fail() { echo "FAIL: $*"; failed=1; }

mkdir -p "$work/with/Tests" "$work/without/Tests"
for dir in with without; do
    cp "$root/Tests/mirna_example.txt" "$root/Tests/tag_count_iso_exampl.txt" \
       "$root/Tests/hairpin_example.txt" "$work/$dir/Tests/"
done

# Human and mouse are searched: the mouse miRNAs have no precursor in the file.
(cd "$work/without" && "$binary" -s "hsa mmu" > .stdout 2> .stderr) || fail "run without --gff3 failed"
(cd "$work/with" && "$binary" -s "hsa mmu" --gff3 out.gff --hairpin Tests/hairpin_example.txt \
    > .stdout 2> .stderr)
status=$?
[ "$status" = 0 ] || { fail "exit status $status"; cat "$work/with/.stderr"; }
[ -s "$work/with/out.gff" ] || fail "out.gff was not written"

# The export adds a file and warnings, nothing else.
cmp -s "$work/without/.stdout" "$work/with/.stdout" || fail "standard output differs with --gff3"
for file in "$work"/without/Tests/out_mature_*; do
    cmp -s "$file" "$work/with/Tests/$(basename "$file")" || fail "$(basename "$file") differs with --gff3"
done
grep -qF "1 mapped tag(s) hold N and get no mirGFF3 record" "$work/with/.stderr" ||
    fail "no warning about the tag holding N"

# Header, and records checked by hand against Tests/hairpin_example.txt
# (hsa-miR-21-5p starts at letter 8 of hsa-mir-21 and the precursor goes on
# with C after it, so the mature followed by A has one added letter).
expected_header='## mirGFF3. VERSION 1.2
## source-ontology: miRBase doi:10.25504/fairsharing.hmgte8
## TOOLS: mirsight 1.0.0
## COLDATA: tag_count_iso_exampl'
[ "$(head -4 "$work/with/out.gff")" = "$expected_header" ] || fail "header differs: $(head -4 "$work/with/out.gff")"
tab=$'\t'
while IFS= read -r wanted; do
    grep -qxF -- "$wanted" "$work/with/out.gff" || fail "record missing: $wanted"
done <<LINES
hsa-mir-21${tab}miRBase${tab}ref_miRNA${tab}8${tab}29${tab}.${tab}+${tab}.${tab}Read=TAGCTTATCAGACTGATGTTGA; UID=iso-22-VIV6OYINL; Name=hsa-miR-21-5p; Parent=hsa-mir-21; Variant=NA; Cigar=22M; Expression=1200; Filter=Pass; Hits=2
hsa-mir-21${tab}miRBase${tab}isomiR${tab}8${tab}30${tab}.${tab}+${tab}.${tab}Read=TAGCTTATCAGACTGATGTTGAA; UID=iso-23-VIV6OYIND6; Name=hsa-miR-21-5p; Parent=hsa-mir-21; Variant=iso_add3p:1; Cigar=22MC; Expression=180; Filter=Pass; Hits=2
hsa-mir-21${tab}miRBase${tab}isomiR${tab}7${tab}29${tab}.${tab}+${tab}.${tab}Read=CTAGCTTATCAGACTGATGTTGA; UID=iso-23-4JYMFI5W0L; Name=hsa-miR-21-5p; Parent=hsa-mir-21; Variant=iso_5p:-1,iso_snv; Cigar=G22M; Expression=40; Filter=Pass; Hits=2
hsa-let-7a-1${tab}miRBase${tab}ref_miRNA${tab}6${tab}27${tab}.${tab}+${tab}.${tab}Read=TGAGGTAGTAGGTTGTATAGTT; UID=iso-22-XKVLRYVPQ; Name=hsa-let-7a-5p; Parent=hsa-let-7a-1; Variant=NA; Cigar=22M; Expression=2500; Filter=Pass; Hits=10
LINES

# The total our tables imply: each read counted once, that is the reads of
# every unique tag and every assigned ambiguous tag, but those holding N
# (which get no record).
expected_total=$(cd "$work/with" && python3 - <<'PY'
total = 0
for name in ("unique", "ambigue_selected"):
    lines = open("Tests/out_mature_tag_%s.txt" % name, encoding="latin-1").read().splitlines()[1:]
    for line in lines:
        f = line.split("\t")
        if "N" not in f[1]:
            total += int(f[3])
print(total)
PY
)
echo "expected total expression: $expected_total"
[ -n "$expected_total" ] && [ "$expected_total" -gt 0 ] || fail "no expected total could be computed"

"$checker" "$work/with/out.gff" --expect-total "${expected_total:-0}" 2>&1 | grep -v -i 'deprecat\|warnings.warn'
[ "${PIPESTATUS[0]}" = 0 ] || fail "mirgff3_check.py rejected out.gff"

# --gff3-all adds every other alignment and locus, marked as not counted:
# mirtop stats still counts the reads once.
(cd "$work/with" && "$binary" -s "hsa mmu" --gff3 all.gff --gff3-all --hairpin Tests/hairpin_example.txt \
    > /dev/null 2> .stderr_all) || fail "--gff3-all run failed"
[ "$(grep -c 'Filter=Pass' "$work/with/all.gff")" = "$(grep -vc '^#' "$work/with/out.gff")" ] ||
    fail "--gff3-all does not hold the same counted records"
grep -q 'Filter=ambiguous' "$work/with/all.gff" || fail "--gff3-all holds no ambiguous alignment"
grep -q 'Filter=other_locus' "$work/with/all.gff" || fail "--gff3-all holds no other locus"
grep -qF "mature miRNA 'mmu-let-7a-5p' is found in no precursor of species 'mmu'" "$work/with/.stderr_all" ||
    fail "no warning about the mouse miRNA without precursor"
(cd "$work/with" && mirtop stats -o stats_all all.gff > /dev/null 2>&1) || fail "mirtop stats rejects all.gff"
stats_total=$(awk -F, '$2 == "isomiR_sum" || $2 == "ref_miRNA_sum" { s += $4 } END { print s + 0 }' \
    "$work/with/stats_all/mirtop_stats.txt")
[ "$stats_total" = "$expected_total" ] || fail "mirtop stats on --gff3-all counts $stats_total reads, not $expected_total"

# A run that fails leaves no mirGFF3 file; a lone option is a command-line error.
(cd "$work/with" && rm -f out.gff &&
    "$binary" --gff3 out.gff --hairpin Tests/missing.txt > /dev/null 2> .stderr_missing)
status=$?
[ "$status" = 1 ] || fail "missing hairpin file: exit status $status, expected 1"
grep -qF "cannot open hairpin file 'Tests/missing.txt'" "$work/with/.stderr_missing" ||
    fail "missing hairpin file not named"
[ ! -e "$work/with/out.gff" ] || fail "out.gff written by a failed run"
(cd "$work/with" && "$binary" --gff3 out.gff > /dev/null 2> .stderr_alone)
status=$?
[ "$status" = 2 ] || fail "--gff3 alone: exit status $status, expected 2"
grep -qF -- "--gff3 needs --hairpin" "$work/with/.stderr_alone" || fail "--gff3 alone not named"
leftovers=$(find "$work" -name '*.mirsight-*.tmp')
[ -z "$leftovers" ] || fail "temporary files left behind: $leftovers"

[ "$failed" = 0 ] && echo "PASS: gff3_check"
exit "$failed"
