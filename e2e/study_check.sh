#!/usr/bin/env bash
# A study with the subcommands, end to end, with the real consumers:
#
#   study_check.sh BINARY PROJECT_ROOT
#
# cutadapt trims the three bundled samples, `mirsight map` maps each (reads
# in directly, one of them from two lane files gzip-concatenated) into one
# folder, `mirsight merge --gff3` merges them; then
#   - the count matrix is the sum of the isomiR matrix per miRNA, and of the
#     samples' tidy tables; the summaries add up;
#   - mirtop validates the merged mirGFF3, and `mirtop counts` summed per
#     miRNA and sample equals the count matrix less the tags holding N
#     (which have no UID, hence no record); `mirtop stats` counts each read once;
#   - Python's csv and pandas read the tidy tables without options;
#   - map's standard output is a summary a person reads, with the numbers of
#     its summary table; its log of counters is SAMPLE.log (for the seed
#     search, byte for byte the short-option run's log);
#   - two samples in one folder stay intact when one is run again;
#   - tied reads shared by evidence (--ties share) in the matrices;
#   - other RNA classes (--rna-class): where the rules place tags, the
#     index built once and reused, the class matrix;
#   - bad command lines and inputs give their status and message.
# Skipped (exit 77) without cutadapt, mirtop or pandas.
set -u
binary=$(realpath "$1")
root=$(realpath "$2")
source "$root/e2e/require_tools.sh"
require_tool cutadapt mirtop || exit 77
require_python_module pandas mirtop || exit 77
work=$(mktemp -d /tmp/mirsight_study_XXXXXX)
trap 'rm -rf "$work"' EXIT
failed=0
fail() { echo "FAIL: $*"; failed=1; }
cd "$work"

adapter=TGGAATTCTCGGGTGCCAAGG
cutadapt -a $adapter -m 15 -o liver.fastq.gz "$root/Tests/reads_example.fastq.gz" > /dev/null 2>&1 &&
cutadapt -a $adapter -m 15 -o muscle.fastq.gz "$root/Tests/reads_muscle.fastq.gz" > /dev/null 2>&1 &&
zcat "$root/Tests/reads_plasma_L1.fastq.gz" "$root/Tests/reads_plasma_L2.fastq.gz" |
    cutadapt -a $adapter -m 15 -o plasma.fastq.gz - > /dev/null 2>&1 || { echo "FAIL: cutadapt"; exit 1; }

for sample in liver muscle plasma; do
    "$binary" map --mature "$root/Tests/mirna_example.txt" --tags "$work/$sample.fastq.gz" --outdir out \
        --species hsa --gff3 --hairpin "$root/Tests/hairpin_example.txt" > "map_$sample.log" 2> "map_$sample.err" ||
        { fail "map $sample: status $?"; cat "map_$sample.err"; }
done
# map's standard output: the summary for a person, with the summary table's
# numbers; the counters in SAMPLE.log, as the short options print them.
/usr/bin/python3 - "$work" <<'PY' || failed=1
import csv, re, sys
work = sys.argv[1]
problems = []
for s in ("liver", "muscle", "plasma"):
    with open(f"{work}/out/{s}.summary.tsv", newline="") as fh:
        row = next(csv.DictReader(fh, delimiter="\t"))
    with open(f"{work}/map_{s}.log") as fh:
        text = fh.read()
    lines = text.splitlines()
    # "  Label    12,345   12.3%": the count, and its share when shown.
    shown = {}
    for line in lines:
        m = re.match(r" +(\S.*?) {2,}([\d,]+)(?: +([\d.]+)%)?", line)
        if m:
            shown[m.group(1)] = (int(m.group(2).replace(",", "")), m.group(3))
    raw, kept = int(row["raw_reads"]), int(row["kept_reads"])
    want = {"Reads in": (raw, None), "No adapter": (int(row["no_adapter_reads"]), None),
            "Adapter dimers": (int(row["adapter_dimer_reads"]), None),
            "Insert too short": (int(row["too_short_insert_reads"]), None),
            "Insert too long": (int(row["too_long_insert_reads"]), None),
            "Kept": (kept, "%.1f" % (100.0 * kept / raw)),
            "unique": (int(row["unique_reads"]), "%.1f" % (100.0 * int(row["unique_reads"]) / int(row["total_reads"]))),
            "assigned": (int(row["assigned_reads"]), None),
            "ambiguous-unassigned": (int(row["unassigned_reads"]), None),
            "unmapped": (int(row["unmapped_reads"]), None), "miRNAs detected": (int(row["mirnas_detected"]), None)}
    for label, (count, share) in want.items():
        got = shown.get(label)
        if got is None or got[0] != count or (share is not None and got[1] != share):
            problems.append(f"{s}: map's summary shows {label} {got}, its summary table ({count}, {share})")
    if lines[:1] != [f"mirsight map: sample {s}"] or not 10 <= len(lines) <= 20:
        problems.append(f"{s}: map's summary opens with {lines[:1]} and has {len(lines)} lines")
    layout_name = row["layout"].split(":")[0]
    if not any(line.split()[:2] == ["Layout", layout_name + ":"] for line in lines) or "auto, told by what maps" not in text:
        problems.append(f"{s}: map's summary does not give the layout {row['layout']!r} and how it was told")
    if f" out/{s}.*" not in text:
        problems.append(f"{s}: map's summary does not say where the files are")
    with open(f"{work}/out/{s}.log") as fh:
        log = fh.read()
    # The counters, in the short options' order: species, the search, the sensitive mode, the totals, the layout.
    counters = (r"specie_codes = hsa\n(min_tag_length|tag_begin|begin_seed|end_seed|seed_size) = \d+;\n" + r"(\w+ = \d+;\n){4}"
                r"seed_vet\.size\(\) = \d+;\ntag_vet\.size\(\) = \d+;\ntot_total_tag_count = \d+;\n"
                r"discarded_tag = \d+;\nmirna_elaborated = \d+;\nsensitive = seed [01]+, .*;\n"
                r"uniq_mapped_total_tags_count = " + str(int(row["unique_reads"])) + r";\n"
                r"ambigue_mapped_total_tag_count = \d+;\nambigue_selected_mapped_total_tag_count = \d+;\nlayout = .*;\n")
    if not re.fullmatch(counters, log):
        problems.append(f"{s}: {s}.log is not the log of counters: {log!r}")
    if re.search(r"^\w+(\.size\(\))? = ", text, re.M):
        problems.append(f"{s}: map's standard output holds counters of the log")
for p in problems:
    print("FAIL:", p)
sys.exit(1 if problems else 0)
PY
"$binary" merge --outdir merged --gff3 out > merge.log 2> merge.err || { fail "merge: status $?"; cat merge.err; }
for file in mirna_counts.tsv mirna_rpm.tsv isomir_counts.tsv summary.tsv mirna.gff3 precursor_counts.tsv; do
    [ -s "merged/$file" ] || fail "merged/$file was not written"
done

/usr/bin/python3 - "$work" <<'PY' || failed=1
import csv, sys, collections
work = sys.argv[1]
def table(path):
    with open(path, newline="") as fh:
        return list(csv.DictReader(fh, delimiter="\t"))
problems = []
samples = ["liver", "muscle", "plasma"]
counts = table(f"{work}/merged/mirna_counts.tsv")
assert list(counts[0].keys()) == ["mirna"] + samples, counts[0].keys()
matrix = {(r["mirna"], s): int(r[s]) for r in counts for s in samples}
isomirs = collections.Counter()
for r in table(f"{work}/merged/isomir_counts.tsv"):
    for s in samples:
        isomirs[(r["mirna"], s)] += int(r[s])
if +isomirs != +collections.Counter(matrix):
    problems.append("the count matrix is not the isomiR matrix summed per miRNA")
for s in samples:
    tidy = {r["mirna"]: int(r["reads_unique"]) + int(r["reads_assigned"]) for r in table(f"{work}/out/{s}.mirna.tsv")}
    if any(matrix.get((m, s), 0) != v for m, v in tidy.items()) or sum(tidy.values()) != sum(v for (m, t), v in matrix.items() if t == s):
        problems.append(f"{s}: the count matrix differs from {s}.mirna.tsv")
for row in table(f"{work}/merged/summary.tsv"):
    n = {k: int(v) for k, v in row.items() if k.endswith("_reads") or k.endswith("_tags")}
    parts = n["too_short_reads"] + n["unique_reads"] + n["assigned_reads"] + n["unassigned_reads"] + n["unmapped_reads"]
    classes = n["exact_reads"] + n["iso_5p_reads"] + n["iso_3p_reads"] + n["snp_reads"] + n["multi_snp_reads"]
    counted = sum(v for (m, t), v in matrix.items() if t == row["sample"])
    if parts != n["total_reads"] or classes != n["unique_reads"] + n["assigned_reads"] or counted != classes:
        problems.append(f"{row['sample']}: the summary does not add up: {row}")
# The precursor matrix: each sample's reads on its matures are its counted
# reads (every counted mature lies in a bundled precursor), and each
# sample's column is its precursor table's.
precursors = table(f"{work}/merged/precursor_counts.tsv")
for s in samples:
    per_sample = {r["precursor"]: r for r in table(f"{work}/out/{s}.precursors.tsv")}
    on_matures = sum(int(r["reads_mature"]) for r in per_sample.values())
    column = {r["precursor"]: int(r[s]) for r in precursors if int(r[s]) > 0}
    if on_matures != sum(v for (m, t), v in matrix.items() if t == s) or \
            column != {p: int(r["reads"]) for p, r in per_sample.items()}:
        problems.append(f"{s}: the precursor tables do not add up to the counted reads or the matrix")
# The matrix that mirtop must count: tags holding N have no record.
with open(f"{work}/expected_gff3_counts.tsv", "w") as out:
    n_reads = collections.Counter()
    for r in table(f"{work}/merged/isomir_counts.tsv"):
        if r["uid"] == "NA":
            for s in samples:
                n_reads[(r["mirna"], s)] += int(r[s])
    out.write("mirna\t" + "\t".join(samples) + "\n")
    for name in sorted({m for m, _ in matrix}):
        out.write(name + "".join("\t%d" % (matrix[(name, s)] - n_reads[(name, s)]) for s in samples) + "\n")
import pandas
for name in ("merged/mirna_counts.tsv", "merged/mirna_rpm.tsv", "merged/summary.tsv", "out/liver.mirna.tsv",
             "merged/precursor_counts.tsv"):
    frame = pandas.read_table(f"{work}/{name}")
    if frame.shape[0] == 0 or frame.isnull().values.any():
        problems.append(f"pandas reads {name} badly")
print("pandas", pandas.__version__, "reads the tables")
for p in problems:
    print("FAIL:", p)
sys.exit(1 if problems else 0)
PY

"$root/e2e/mirgff3_check.py" merged/mirna.gff3 --expect-counts expected_gff3_counts.tsv 2>&1 |
    grep -v -i 'deprecat\|warnings.warn'
[ "${PIPESTATUS[0]}" = 0 ] || fail "mirtop rejects merged/mirna.gff3 or counts differently"
mirtop stats -o stats merged/mirna.gff3 > /dev/null 2>&1 || fail "mirtop stats failed"
stats_total=$(awk -F, '$2 == "isomiR_sum" || $2 == "ref_miRNA_sum" { s += $4 } END { print s + 0 }' stats/mirtop_stats.txt)
expected_total=$(awk -F'\t' 'NR > 1 { for (i = 2; i <= NF; i++) s += $i } END { print s + 0 }' expected_gff3_counts.tsv)
[ "$stats_total" = "$expected_total" ] || fail "mirtop stats counts $stats_total reads, the matrix $expected_total"

# Two samples in one folder: running one again replaces its own files only.
before=$(md5sum out/muscle.* | md5sum)
"$binary" map --mature "$root/Tests/mirna_example.txt" --tags "$work/liver.fastq.gz" --outdir out --species hsa \
    > /dev/null 2>&1 || fail "map liver again failed"
[ "$(md5sum out/muscle.* | md5sum)" = "$before" ] || fail "muscle's files changed when liver ran again"
[ ! -e out/liver.gff3 ] || [ out/liver.gff3 -ot out/liver.summary.tsv ] || fail "liver's rerun left a newer stale file"

# The short-option run and map's seed search write the same seven tables for the same inputs.
mkdir legacy
cp "$root/Tests/mirna_example.txt" "$root/Tests/tag_count_iso_exampl.txt" legacy/
"$binary" -s hsa -i legacy -p legacy -m mirna_example -t tag_count_iso_exampl > legacy.log 2> /dev/null
"$binary" map --mature legacy/mirna_example.txt --tags "$work/legacy/tag_count_iso_exampl.txt" --outdir same \
    --species hsa --search seed > same.log 2> /dev/null
for t in unique ambigue tag_unique tag_ambigue tag_ambigue_selected unique_ambigue_selected ambigue_ambigue_selected; do
    cmp -s "legacy/out_result_mirna_example_$t.txt" "same/tag_count_iso_exampl.$t.txt" || fail "map's $t table differs"
done
cmp -s legacy.log same/tag_count_iso_exampl.log || fail "map's log (SAMPLE.log) differs from the short-option run's"
# A gzipped tag-count file gives the same tables.
gzip -c legacy/tag_count_iso_exampl.txt > counts.gz
"$binary" map --mature legacy/mirna_example.txt --tags counts.gz --outdir gz --sample tag_count_iso_exampl \
    --species hsa --search seed > /dev/null 2>&1 || fail "gzipped tag-count file: status $?"
cmp -s same/tag_count_iso_exampl.tag_unique.txt gz/tag_count_iso_exampl.tag_unique.txt || fail "gzipped tags differ"

# Bad command lines (status 2) and inputs (status 1), each message naming its cause.
awk -F'\t' '{ print $2 " " $1 }' legacy/tag_count_iso_exampl.txt > count_first.txt
printf '\x28\xb5\x2f\xfd rest' > tags.zst
check() {  # check STATUS MESSAGE ARGS...
    local want=$1 message=$2; shift 2
    "$binary" "$@" > /dev/null 2> err.txt
    local got=$?
    [ "$got" = "$want" ] || fail "$*: status $got, expected $want"
    grep -qF -- "$message" err.txt || fail "$*: message lacks '$message': $(cat err.txt)"
}
m=(--mature legacy/mirna_example.txt --outdir bad)
check 2 "unknown option '--thread'" map "${m[@]}" --tags counts.gz --thread 2
check 2 "option --threads needs a whole number, not 'two'" map "${m[@]}" --tags counts.gz --threads two
check 2 "option --threads needs a number from 1 to 256, not 0" map "${m[@]}" --tags counts.gz --threads 0
check 2 "option --seed-size needs a value" map "${m[@]}" --tags counts.gz --seed-size
check 2 "option --tags is required" map "${m[@]}"
check 2 "option --gff3 needs --hairpin" map "${m[@]}" --tags counts.gz --gff3
check 2 "unexpected argument 'extra'" map "${m[@]}" --tags counts.gz extra
check 1 "holds 'count sequence' lines" map "${m[@]}" --tags count_first.txt
check 1 "zstd-compressed" map "${m[@]}" --tags tags.zst
check 1 "species 'xyz' is not in miRNA file 'legacy/mirna_example.txt', which holds: hsa,mmu" \
    map "${m[@]}" --tags counts.gz --species hsa,xyz
check 1 "cannot open tag file 'missing.txt'" map "${m[@]}" --tags missing.txt
check 2 "option --outdir is required" merge out
check 1 "holds no mirsight map outputs" merge --outdir m2 legacy
[ ! -e bad ] || [ -z "$(ls bad)" ] || fail "a failed map left files: $(ls bad)"

# Tied reads shared by evidence (--ties share): a tag one letter from both
# let-7a (30 reads of evidence) and let-7f (10) is shared 3:1; the matrix
# counts the shares, every sample's total is kept, the unshared counts stay
# in the miRNA table, and a sample that did not share is not merged with
# them unasked.
mkdir -p ties
printf '>hsa-let-7a-5p MIMAT0000062\nUGAGGUAGUAGGUUGUAUAGUU\n>hsa-let-7f-5p MIMAT0000067\nUGAGGUAGUAGAUUGUAUAGUU\n' > ties/m.fa
printf 'TGAGGTAGTAGGTTGTATAGTT\t30\nTGAGGTAGTAGATTGTATAGTT\t10\nTGAGGTAGTAGCTTGTATAGTT\t8\n' > ties/t.txt
for s in a b; do
    "$binary" map --mature ties/m.fa --tags ties/t.txt --outdir ties/s --sample "$s" --ties share --quiet > /dev/null 2>&1 ||
        fail "--ties share: map exited with $?"
done
"$binary" merge --outdir ties/m ties/s > /dev/null 2>&1 || fail "--ties share: merge exited with $?"
/usr/bin/python3 - "$work/ties" << 'PY' || fail "--ties share: the shares are not 3:1 or the totals are not kept"
import sys
import pandas
d = sys.argv[1]
counts = pandas.read_table(f"{d}/m/mirna_counts.tsv", index_col=0)
table = pandas.read_table(f"{d}/s/a.mirna.tsv", index_col=0)
summary = pandas.read_table(f"{d}/m/summary.tsv", index_col=0)
assert counts.loc["hsa-let-7a-5p", "a"] == 36 and counts.loc["hsa-let-7f-5p", "a"] == 12, counts
assert list(table["reads_shared"]) == [6, 2] and list(table["reads_assigned"]) == [30, 10], table
assert (counts.sum() == 48).all() and (summary["shared_reads"] == 8).all(), summary
PY
"$binary" map --mature ties/m.fa --tags ties/t.txt --outdir ties/s --sample c --quiet > /dev/null 2>&1
"$binary" merge --outdir ties/m2 ties/s > /dev/null 2> ties/mixed.txt
[ $? = 1 ] && grep -q "ties: 'share' in a" ties/mixed.txt || fail "--ties share mixed with unassigned: $(cat ties/mixed.txt)"

# Sequencing errors folded (--fold-errors): copies of let-7a with a letter
# inserted (3 reads) or dropped (2) join it; a copy with two letters
# inserted, one with too many reads (20 of 50) and random letters stay
# unmapped; SAMPLE.folded.tsv lists the two, the summary on standard output
# says how many reads were folded; a sample that did not fold is
# not merged with it unasked.
mkdir -p fold
printf '%s\t%s\n' TGAGGTAGTAGGTTGTATAGTT 50 TGAGGTAGTAGGTTTTGTATAGTT 1 TGAGGTAGTAGGTTTGTATAGTT 3 \
    TGAGGTAGTAGGTGTATAGTT 2 TGAGGTAGAGGTTGTATAGTT 20 ACGTTGCAACGTAGGCATCA 4 > fold/t.txt
"$binary" map --mature ties/m.fa --tags fold/t.txt --outdir fold/s --sample a --fold-errors --quiet > fold/a.out 2>&1 ||
    fail "--fold-errors: map exited with $?"
grep -q "errors folded in  *5 " fold/a.out || fail "--fold-errors: the summary does not say 5 reads were folded: $(cat fold/a.out)"
/usr/bin/python3 - "$work/fold/s" << 'PY' || fail "--fold-errors: the wrong tags were folded"
import sys
import pandas
d = sys.argv[1]
table = pandas.read_table(f"{d}/a.mirna.tsv", index_col=0)
folded = pandas.read_table(f"{d}/a.folded.tsv")
summary = pandas.read_table(f"{d}/a.summary.tsv", index_col=0)
assert table.loc["hsa-let-7a-5p", "reads_assigned"] == 55, table
assert folded.values.tolist() == [["TGAGGTAGTAGGTGTATAGTT", "TGAGGTAGTAGGTTGTATAGTT", 2],
                                  ["TGAGGTAGTAGGTTTGTATAGTT", "TGAGGTAGTAGGTTGTATAGTT", 3]], folded
assert summary.loc["a", "unmapped_reads"] == 25, summary
PY
"$binary" map --mature ties/m.fa --tags fold/t.txt --outdir fold/s --sample c --quiet > /dev/null 2>&1
[ -e fold/s/c.folded.tsv ] && fail "--fold-errors: a sample mapped without it has a folded table"
"$binary" merge --outdir fold/m fold/s > /dev/null 2> fold/mixed.txt
[ $? = 1 ] && grep -q "fold_errors" fold/mixed.txt || fail "--fold-errors mixed with no folding: $(cat fold/mixed.txt)"

# Other RNA classes (--rna-class): a fragment of the rRNA and its
# one-substitution kin go to rRNA; a stretch of rRNA that a miRNA holds with
# one change goes to rRNA too (moved); a miRNA read exactly stays one;
# random letters stay unmapped. The class's index is built once, then
# loaded; a changed FASTA is indexed again; a cache folder named is made
# and holds it. Two samples merge into a class
# matrix that pandas reads; a rerun without the class removes its table.
mkdir -p classes
/usr/bin/python3 - classes << 'PY'
import random, sys
r = random.Random(5)
body = [''.join(r.choice('ACGT') for _ in range(2000)) for _ in range(3)]
let7, fragment = 'TGAGGTAGTAGGTTGTATAGTT', body[1][100:122]
decoy = let7[:11] + 'C' + let7[12:]
body[0] = body[0][:500] + decoy + body[0][522:]
with open(f"{sys.argv[1]}/rrna.fa", "w") as out:
    out.write(''.join(f'>rRNA_{i} made here\n{b}\n' for i, b in enumerate(body)))
kin = fragment[:10] + ('A' if fragment[10] != 'A' else 'C') + fragment[11:]
with open(f"{sys.argv[1]}/t.txt", "w") as out:
    out.write(f'{let7}\t30\n{fragment}\t12\n{decoy}\t5\n{kin}\t3\nACGTACGTACGTACGTACGTACGT\t2\n')
PY
class_map() {  # class_map SAMPLE [options]
    local sample=$1
    shift
    "$binary" map --mature "$root/Tests/mirna_example.txt" --species hsa --tags classes/t.txt --outdir classes/s \
        --sample "$sample" "$@" > /dev/null 2>&1 || fail "--rna-class: map $sample exited with $?"
}
class_map a --rna-class rRNA=classes/rrna.fa
class_map b --rna-class rRNA=classes/rrna.fa
grep -q "^class rRNA: .* built and saved in 'classes/rrna.fa.mirsight-index'" classes/s/a.log &&
    grep -q "^class rRNA: .* loaded from 'classes/rrna.fa.mirsight-index'" classes/s/b.log ||
    fail "--rna-class: the index was not built once, then loaded: $(grep '^class' classes/s/[ab].log)"
printf '>rRNA_3 added\nACGTTGCA\n' >> classes/rrna.fa
class_map c --rna-class rRNA=classes/rrna.fa
grep -q "^class rRNA: .* rebuilt (the FASTA or the index format changed) and saved" classes/s/c.log || fail "--rna-class: a changed FASTA was not indexed again"
class_map d --rna-class rRNA=classes/rrna.fa --class-index-dir classes/cache/indexes
grep -q "^class rRNA: .* built and saved in 'classes/cache/indexes/rrna.fa.mirsight-index'" classes/s/d.log &&
    [ -s classes/cache/indexes/rrna.fa.mirsight-index/manifest.txt ] ||
    fail "--rna-class: the index was not kept in the --class-index-dir folder named: $(grep '^class' classes/s/d.log)"
"$binary" merge --outdir classes/m classes/s/a classes/s/b > /dev/null 2>&1 || fail "--rna-class: merge exited with $?"
/usr/bin/python3 - "$work/classes" << 'PY' || fail "--rna-class: the class counts are not as the rules place the tags"
import sys
import pandas
d = sys.argv[1]
summary = pandas.read_table(f"{d}/s/a.summary.tsv").iloc[0]
table = pandas.read_table(f"{d}/s/a.class_rRNA.tsv", index_col=0)
matrix = pandas.read_table(f"{d}/m/class_rRNA_counts.tsv", index_col=0)
mirnas = pandas.read_table(f"{d}/s/a.mirna.tsv", index_col=0)
assert (summary["other_rna_reads"], summary["moved_from_mirna_reads"], summary["unmapped_reads"]) == (20, 5, 2), summary
assert table["reads"].to_dict() == {"rRNA_0": 5, "rRNA_1": 15}, table
assert matrix.to_dict() == {"a": {"rRNA_0": 5, "rRNA_1": 15}, "b": {"rRNA_0": 5, "rRNA_1": 15}}, matrix
assert mirnas["reads_unique"].sum() + mirnas["reads_assigned"].sum() == 30, mirnas
assert summary["total_reads"] == summary["raw_reads"] == 52, summary
PY
class_map a
[ ! -e classes/s/a.class_rRNA.tsv ] || fail "--rna-class: a rerun without the class left its table"

[ "$failed" = 0 ] && echo "PASS: study_check"
exit "$failed"
