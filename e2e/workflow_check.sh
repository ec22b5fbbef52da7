#!/usr/bin/env bash
# The study workflow end to end, checked as a person would:
#
#   workflow_check.sh BUILD_DIR SOURCE_DIR
#
# runs workflow/Snakefile with `snakemake --cores 2` on the three bundled
# samples of workflow/samples.tsv (BUILD_DIR/mirsight as the program) into a
# scratch folder, then checks that
#   - merged/mirna_counts.tsv is the sum of the per-sample tables
#     (reads_unique + reads_assigned of samples/<sample>.mirna.tsv);
#   - MultiQC's parsed data (multiqc/multiqc_data) holds our sections with
#     the numbers of merged/summary.tsv and of the count matrix (General
#     Statistics with each sample's layout and % kept, the read layouts
#     table), and the mirtop section;
#   - the read funnel's boxes add up to each sample's raw reads, and the
#     funnel opens mirsight's sections (in multiqc_data and in the HTML),
#     with its switch to percentages;
#   - with an rRNA class (config rna_classes), the liver's GATTACA reads are
#     in it, in the funnel and in merged/class_rRNA_counts.tsv (pandas);
#   - the HTML report, opened in headless Chromium, shows our sections and
#     reports no JavaScript error. The screenshot is kept as
#     BUILD_DIR/artefacts/workflow_report.png.
# Needs the Debian packages snakemake, mirtop, multiqc, chromium;
# skipped (exit 77) without one of them.
set -u
build=$(realpath "$1")
root=$(realpath "$2")
export LC_ALL=C

fail() { echo "FAIL: $*"; exit 1; }
source "$root/e2e/require_tools.sh"
require_tool snakemake mirtop multiqc chromium python3 || exit 77
require_python_module pandas || exit 77
[ -x "$build/mirsight" ] || fail "no program $build/mirsight"

work=$(mktemp -d /tmp/mirsight_workflow_XXXXXX)
trap 'rm -rf "$work"' EXIT
export HOME=${HOME:-$work}
artefacts="$build/artefacts"
mkdir -p "$artefacts"

# The bundled sample sheet with its paths made absolute: a sheet of one's own,
# run from another folder, as workflow/README.md tells.
awk -F'\t' -v OFS='\t' -v root="$root" '
    NR == 1 { print; next }
    { n = split($2, files, ","); $2 = ""
      for (i = 1; i <= n; i++) $2 = $2 (i > 1 ? "," : "") (files[i] ~ /^\// ? files[i] : root "/" files[i])
      print }' "$root/workflow/samples.tsv" > "$work/samples.tsv"

# An rRNA reference of our own, holding the liver sample's unmapped
# GATTACA repeat: those reads then go to the class (config key rna_classes).
python3 -c "
import random
r = random.Random(7)
body = ''.join(r.choice('ACGT') for _ in range(3000))
print('>rRNA_test generated')
print(body[:1000] + 'GATTACAGATTACAGATTACA' + body[1021:])" > "$work/rrna.fa"
printf 'rna_classes:\n  rRNA: %s\n' "$work/rrna.fa" > "$work/classes.yaml"

cd "$work"
out="$work/results"
start=$(date +%s)
snakemake --snakefile "$root/workflow/Snakefile" --cores 2 --configfile "$root/workflow/config.yaml" "$work/classes.yaml" \
    --config samples="$work/samples.tsv" mature="$root/Tests/mirna_example.txt" \
             hairpin="$root/Tests/hairpin_example.txt" outdir="$out" mirsight="$build/mirsight" \
    > snakemake.log 2>&1
status=$?
cp snakemake.log "$artefacts/workflow_snakemake.log"
if [ "$status" != 0 ]; then
    tail -40 snakemake.log
    for log in "$out"/logs/*.log; do [ -f "$log" ] && { echo "== $log"; tail -20 "$log"; }; done
    fail "snakemake exited with status $status"
fi
echo "workflow ran in $(( $(date +%s) - start )) s"
# The sensitive mode is the workflow's default, with the precursors (map's
# log of counters is SAMPLE.log beside its tables).
for sample in $(awk -F'\t' 'NR > 1 { print $1 }' "$work/samples.tsv"); do
    log="$out/samples/$sample.log"
    grep -q "^sensitive = .*, vouched_max_unmatched 10;$" "$log" || fail "$log: map did not run in the sensitive mode"
done

# Numbers: the count matrix, the summaries and MultiQC's parsed data.
/usr/bin/python3 - "$work/samples.tsv" "$out" << 'EOF' || fail "the workflow's numbers do not agree (see above)"
import csv, os, sys

sheet, out = sys.argv[1], sys.argv[2]
errors = []
def check(ok, what):
    if not ok:
        errors.append(what)

def rows(path, delimiter="\t"):
    with open(path, newline="") as f:
        return list(csv.DictReader(f, delimiter=delimiter))

samples = [r["sample"] for r in rows(sheet)]

# The matrix is the sum of the per-sample tables.
matrix = rows(os.path.join(out, "merged/mirna_counts.tsv"))
with open(os.path.join(out, "merged/mirna_counts.tsv")) as f:
    columns = f.readline().rstrip("\n").split("\t")
check(columns == ["mirna"] + samples, "mirna_counts.tsv columns %s, not mirna and the samples %s" % (columns, samples))
in_matrix = {(r["mirna"], s): int(r[s]) for r in matrix for s in samples if s in r}
per_sample = {}
for s in samples:
    for r in rows(os.path.join(out, "samples", s + ".mirna.tsv")):
        per_sample[(r["mirna"], s)] = int(r["reads_unique"]) + int(r["reads_assigned"])
for key in set(in_matrix) | set(per_sample):
    check(in_matrix.get(key, 0) == per_sample.get(key, 0),
          "%s in %s: %d in mirna_counts.tsv, %d in its mirna.tsv" % (key[0], key[1], in_matrix.get(key, 0), per_sample.get(key, 0)))
check(all(sum(v for (m, s), v in in_matrix.items() if s == sample) > 0 for sample in samples), "a sample has no reads in the matrix")

# MultiQC's general statistics equal merged/summary.tsv.
summary = {r["sample"]: r for r in rows(os.path.join(out, "merged/summary.tsv"))}
check(sorted(summary) == sorted(samples), "merged/summary.tsv samples %s" % sorted(summary))
data = os.path.join(out, "multiqc/multiqc_data")
def mqc_table(name):
    path = os.path.join(data, name)
    if not os.path.exists(path):
        errors.append("multiqc_data has no %s (our section is missing)" % name)
        return {}
    return {r["Sample"]: r for r in rows(path)}
general = mqc_table("multiqc_general_stats.txt")
def general_text(sample, key):
    row = general.get(sample, {})
    column = [c for c in row if c.endswith("-mirsight-" + key)]
    return row[column[0]] if column and row[column[0]] != "" else None
def general_value(sample, key):
    text = general_text(sample, key)
    return float(text) if text is not None else None
for s in samples:
    want = summary.get(s, {})
    if want:  # the percentages do not overlap: counted + unassigned + unmapped + too short = 100
        want = dict(want, pct_counted=want["pct_assigned"],
                    pct_unassigned=100.0 * int(want["unassigned_reads"]) / max(1, int(want["total_reads"])))
    if want:  # % kept: kept reads of the raw reads
        want["pct_kept"] = 100.0 * int(want["kept_reads"]) / max(1, int(want["raw_reads"]))
    for key, tolerance in (("total_reads", 0), ("mirnas_detected", 0), ("pct_counted", 0.011), ("pct_unassigned", 0.011),
                           ("pct_kept", 0.011)):
        got = general_value(s, key)
        check(got is not None and want.get(key) is not None and abs(got - float(want[key])) <= tolerance,
              "general statistics %s of %s: %s, summary.tsv: %s" % (key, s, got, want.get(key)))
    # No UMIs in these samples: no molecules nor duplication.
    for key in ("raw_reads", "molecules", "pct_duplication"):
        check(general_text(s, key) is None, "general statistics %s of %s: %s, for reads without UMIs" % (key, s, general_text(s, key)))
    # The layout: each file's layout name, how it was told and the share of the first reads it explained.
    if want:
        names = "/".join(dict.fromkeys(part.split(": ")[0] for part in want["layout"].split("; ")))
        told = "/".join(dict.fromkeys(want["layout_told_by"].split("; ")))
        expected = "%s (%s, %.1f%%)" % (names, told, float(want["pct_explained"]))
        check(general_text(s, "layout") == expected,
              "general statistics layout of %s: %r, summary.tsv: %r" % (s, general_text(s, "layout"), expected))

# The read layouts table: each sample's layout, as the summary says it.
layouts = mqc_table("multiqc_mirsight_read_layouts_table.txt")
told_seen = set()
for s in samples:
    got, want = layouts.get(s, {}), summary.get(s, {})
    told_seen.add(want.get("layout_told_by"))
    for column, key in (("layout", "layout"), ("told_by", "layout_told_by"), ("candidates", "layout_candidates"),
                        ("warning", "adapter_warning")):
        expected = "" if want.get(key) == "none" else want.get(key)
        check(got.get(column) == expected, "read layouts %s of %s: %r, summary.tsv %s: %r" % (column, s, got.get(column), key, expected))
    check(got.get("pct_explained") not in (None, "") and want.get("pct_explained") is not None and
          abs(float(got["pct_explained"]) - float(want["pct_explained"])) <= 0.011,
          "read layouts %% explained of %s: %s, summary.tsv: %s" % (s, got.get("pct_explained"), want.get("pct_explained")))
check(told_seen == {"kit", "adapter", "auto; auto"}, "the bundled samples' layouts were told by %s" % sorted(map(str, told_seen)))

# Reads by class: every read in one class; the classes match the summary.
classes = mqc_table("multiqc_mirsight_read_classes_plot.txt")
for s in samples:
    c = {k: float(v or 0) for k, v in classes.get(s, {}).items() if k != "Sample"}
    want = summary.get(s, {})
    check(len(c) == 9, "reads by class of %s: classes %s" % (s, sorted(c)))
    if not c or not want:
        continue
    mapped = sum(c.get(k, 0) for k in ("exact", "iso_5p", "iso_3p", "snp", "multi_snp"))
    check(mapped == int(want["unique_reads"]) + int(want["assigned_reads"]),
          "%s: the five variant classes hold %d reads, not unique + assigned" % (s, mapped))
    for cls, key in (("ambiguous_unassigned", "unassigned_reads"), ("unmapped", "unmapped_reads"), ("too_short", "too_short_reads"),
                     ("class_rRNA", "other_rna_reads")):
        check(c.get(cls) == float(want[key]), "%s: class %s %s, summary.tsv %s %s" % (s, cls, c.get(cls), key, want[key]))
    check(sum(c.values()) == float(want["total_reads"]), "%s: the classes add up to %d, not total_reads" % (s, sum(c.values())))

# The read funnel: every raw read in one box.
funnel = mqc_table("multiqc_mirsight_read_funnel_plot.txt")
for s in samples:
    boxes = {k: float(v or 0) for k, v in funnel.get(s, {}).items() if k != "Sample"}
    want = summary.get(s, {})
    check(len(boxes) == 12 and sum(boxes.values()) == float(want.get("raw_reads", -1)) > 0,
          "read funnel of %s: %s, raw reads %s" % (s, boxes, want.get("raw_reads")))
    check(boxes.get("class_rRNA") == float(want.get("other_rna_reads", -1)),
          "read funnel of %s: rRNA %s, summary %s" % (s, boxes.get("class_rRNA"), want.get("other_rna_reads")))

# The rRNA class: the liver's GATTACA reads (14 and their one-substitution
# kin) are in it, and pandas reads the class matrix.
check(int(summary["liver"]["other_rna_reads"]) >= 14, "liver: %s reads in rRNA" % summary["liver"]["other_rna_reads"])
import pandas
rrna = pandas.read_table(os.path.join(out, "merged", "class_rRNA_counts.tsv"), index_col=0)
check(list(rrna.index) == ["rRNA_test"] and int(rrna.loc["rRNA_test", "liver"]) == int(summary["liver"]["other_rna_reads"]),
      "merged/class_rRNA_counts.tsv: %s" % rrna.to_dict())

# The funnel opens mirsight's sections: MultiQC saves each section's data as it makes it.
import json
with open(os.path.join(data, "multiqc_data.json")) as f:
    saved = [k for k in json.load(f).get("report_saved_raw_data", {}) if k.startswith("multiqc_mirsight_")]
check(saved[:1] == ["multiqc_mirsight_read_funnel_plot"], "mirsight's sections in multiqc_data.json: %s" % saved)

# Insert lengths: the miRNA line holds the unique and the ambiguous reads,
# the unmapped line the unmapped ones, and each sample's lines with the
# funnel's dropped inserts all its raw reads with an insert.
lengths = mqc_table("multiqc_mirsight_insert_lengths_plot.txt")
for s in samples:
    want = summary.get(s, {})
    for line, expected in (("miRNA", int(want.get("unique_reads", 0)) + int(want.get("ambiguous_reads", 0))),
                           ("unmapped", int(want.get("unmapped_reads", 0)))):
        row = lengths.get(s + " " + line)
        check(row is not None or expected == 0, "insert lengths: no line '%s %s'" % (s, line))
        if row:
            total = sum(float(v) for k, v in row.items() if k != "Sample" and v != "")
            check(total == expected, "insert lengths '%s %s' hold %d reads, not %d" % (s, line, total, expected))
    every = sum(float(v) for name, row in lengths.items() if name.startswith(s + " ")
                for k, v in row.items() if k != "Sample" and v != "")
    inserts = int(want.get("raw_reads", 0)) - int(want.get("no_adapter_reads", 0)) - int(want.get("umi_too_short_reads", 0))
    check(every == inserts, "insert lengths of %s hold %d reads, not its %d inserts" % (s, every, inserts))

# Most abundant miRNAs: the sample's first miRNA and reads as in the matrix.
top = mqc_table("multiqc_mirsight_top_mirnas_table.txt")
for s in samples:
    first = top.get(s, {}).get("#1", "")
    name, _, reads = first.rpartition(" (")
    most = max((v for (m, t), v in in_matrix.items() if t == s), default=0)
    check(name != "" and reads.rstrip(")").isdigit() and int(reads.rstrip(")")) == in_matrix.get((name, s), -1) == most,
          "most abundant miRNA of %s: '%s', the matrix's largest count is %d" % (s, first, most))

# mirtop's statistics were found by MultiQC's mirtop module.
mirtop = mqc_table("multiqc_mirtop.txt")
check(sorted(mirtop) == sorted(samples), "mirtop section samples: %s" % sorted(mirtop))

for e in errors:
    print("FAIL: " + e)
print("checked %d miRNA x sample counts and %d samples' MultiQC data" % (len(in_matrix), len(samples)))
sys.exit(1 if errors else 0)
EOF

# The report in a browser: our sections are on the page, no script error.
report="$out/multiqc/multiqc_report.html"
screenshot="$artefacts/workflow_report.png"
rm -f "$screenshot"
chrome() {
    timeout 120 chromium --headless --no-sandbox --disable-gpu --virtual-time-budget=10000 \
        --window-size=1280,4000 --user-data-dir="$work/chromium" --enable-logging=stderr --v=0 \
        "$@" "file://$report"
}
chrome --screenshot="$screenshot" > /dev/null 2> browser.log
[ -s "$screenshot" ] || { tail -20 browser.log; fail "chromium wrote no screenshot"; }
chrome --dump-dom > page.html 2> browser_dom.log
cp browser.log "$artefacts/workflow_browser.log"
for id in mirsight_read_classes mirsight_insert_lengths mirsight_top_mirnas mirsight_read_funnel mirsight_read_layouts \
          mirsight_read_classes_plot mirsight_insert_lengths_plot mirsight_top_mirnas_table mirsight_read_layouts_table \
          mirtop; do
    grep -q "id=\"$id\"" page.html || fail "the page has no element '$id' (our section is missing)"
done
grep -q '>miRNAs<' page.html || fail "the general statistics have no miRNA column"
grep -q '>Layout<' page.html || fail "the general statistics have no layout column"
# The read funnel is mirsight's first section, and offers its percentages.
first=$(grep -o '<h3 [^>]*id="mirsight_[a-z_]*"' page.html | head -1 | grep -o 'mirsight_[a-z_]*')
[ "$first" = mirsight_read_funnel ] || fail "mirsight's first section on the page is '$first', not the read funnel"
tr -d '\n' < page.html | grep -o 'id="mirsight_read_funnel_plot".\{0,600\}' | grep -q '>% of raw reads</button>' ||
    fail "the read funnel offers no switch to percentages"
# Debian's multiqc 1.14 loads lz-string from the internet and clipboard.js
# from a file no package installs: the two errors that follow are the
# report's own, everything else fails.
grep -h ':CONSOLE' browser.log browser_dom.log | grep -iE 'error|exception|uncaught' |
    grep -v -e 'LZString is not defined' -e "Failed to construct 'Clipboard'" > js_errors.txt
[ -s js_errors.txt ] && { cat js_errors.txt; fail "the page reports JavaScript errors"; }
echo "report checked in chromium; screenshot $screenshot"
