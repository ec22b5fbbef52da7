#!/usr/bin/env bash
# The mirGFF3 export end to end: runs the real binary on the bundled example
# with --gff3 and the bundled precursor file, checks that the export changes
# nothing else, that a failed run leaves no mirGFF3 file, and has mirtop
# itself (e2e/mirgff3_check.py) validate the file and count its total
# expression against the total our own tag tables imply.
#
#   gff3_check.sh BINARY PROJECT_ROOT
set -u
binary=$(realpath "$1")
root=$(realpath "$2")
checker=$root/e2e/mirgff3_check.py

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
grep -qF "mature miRNA 'mmu-let-7a-5p' is found in no precursor of species 'mmu'" "$work/with/.stderr" ||
    fail "no warning about the mouse miRNA without precursor"
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
hsa-let-7a-3${tab}miRBase${tab}ref_miRNA${tab}4${tab}25${tab}.${tab}+${tab}.${tab}Read=TGAGGTAGTAGGTTGTATAGTT; UID=iso-22-XKVLRYVPQ; Name=hsa-let-7a-5p; Parent=hsa-let-7a-3; Variant=NA; Cigar=22M; Expression=2500; Filter=Pass; Hits=10
LINES

# The total our tables imply: every alignment of every mapped tag without N
# (tag tables), times the precursors of its miRNA's species that hold its
# mature sequence (hairpin file, T read as U), times the tag's reads.
expected_total=$(cd "$work/with" && python3 - <<'PY'
def fasta(path):
    records, header = [], None
    for line in open(path, encoding="latin-1"):
        line = line.rstrip("\r\n")
        if line.startswith(">"):
            records.append([line, ""])
        elif line.strip():
            records[-1][1] += line.upper().replace("T", "U")
    return records
hairpins = fasta("Tests/hairpin_example.txt")
def precursors(header, mature):
    return sum(1 for h, s in hairpins if h[1:4] == header[1:4] and mature in s)
total = 0
for name, first, step in (("unique", 4, 19), ("ambigue", 4, 11)):
    lines = open("Tests/out_mature_tag_%s.txt" % name, encoding="latin-1").read().splitlines()[1:]
    for line in lines:
        f = line.split("\t")
        if "N" in f[1]:
            continue
        for k in range(first, len(f), step):
            if k + 2 < len(f):
                total += int(f[3]) * precursors(f[k + 1], f[k + 2])
print(total)
PY
)
echo "expected total expression: $expected_total"
[ -n "$expected_total" ] && [ "$expected_total" -gt 0 ] || fail "no expected total could be computed"

"$checker" "$work/with/out.gff" --expect-total "${expected_total:-0}" 2>&1 | grep -v -i 'deprecat\|warnings.warn'
[ "${PIPESTATUS[0]}" = 0 ] || fail "mirgff3_check.py rejected out.gff"

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
