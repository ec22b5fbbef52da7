#!/usr/bin/env bash
# What the study workflow refuses, and what it handles, with snakemake:
#
#   workflow_safety.sh BUILD_DIR SOURCE_DIR CASE
#
# CASE is one row of docs/refusals.md ("What a study refuses, and what it
# handles"):
#   input_in_outputs  a reads file inside the folders the workflow writes
#   shell_names       sample names the shell would read as code; a sheet
#                     with a byte-order mark
#   multiqc_files     a sample removed from the sheet leaves the report
#   failed_job_log    a failed map keeps its log
#   sheet_change      a sample given another reads file is mapped again
#   blank_separated   a sheet whose columns are separated by blanks
#   missing_program   no mirsight program at the configured path
# Skipped (exit 77) without snakemake, mirtop or multiqc.
set -u
build=$(realpath "$1")
root=$(realpath "$2")
case=$3
export LC_ALL=C

fail() { echo "FAIL: $*"; exit 1; }
source "$root/e2e/require_tools.sh"
require_tool snakemake mirtop multiqc python3 || exit 77
[ -x "$build/mirsight" ] || fail "no program $build/mirsight"

work=$(mktemp -d /tmp/mirsight_workflow_safety_XXXXXX)
trap 'rm -rf "$work"' EXIT
export HOME=${HOME:-$work}
cd "$work"
reads=$root/Tests/reads_example.fastq.gz
muscle=$root/Tests/reads_muscle.fastq.gz

sheet() {  # sheet FILE SAMPLE READS [SAMPLE READS...]: adapter illumina
    local file=$1
    shift
    printf 'sample\tfastq\tadapter\n' > "$file"
    while [ $# -gt 0 ]; do
        printf '%s\t%s\tillumina\n' "$1" "$2" >> "$file"
        shift 2
    done
}
workflow() {  # workflow SHEET OUTDIR [SNAKEMAKE OPTION...]: status, output in snakemake.log
    local sheet=$1 outdir=$2
    shift 2
    snakemake --snakefile "$root/workflow/Snakefile" --cores 2 "$@" \
        --config samples="$sheet" mature="$root/Tests/mirna_example.txt" \
                 hairpin="$root/Tests/hairpin_example.txt" outdir="$outdir" mirsight="$build/mirsight" \
        > snakemake.log 2>&1
}
columns() { head -1 "$1" | tr '\t' '\n' | tail -n +2; }

case "$case" in
input_in_outputs)
    # The reads of a sample kept in PROJECT/samples/, the folder map writes.
    mkdir -p project/samples project/multiqc/multiqc_data
    cp "$reads" project/samples/S.fastq.gz
    cp "$reads" project/multiqc/multiqc_data/T.fastq.gz
    sum_before=$(cat project/samples/S.fastq.gz project/multiqc/multiqc_data/T.fastq.gz | md5sum)
    for listed in project/samples/S.fastq.gz "$work/project/multiqc/multiqc_data/T.fastq.gz"; do
        sheet sheet.tsv liver "$reads" S "$listed"
        workflow sheet.tsv project && fail "a sheet listing $listed with outdir=project ran"
        grep -q "sheet.tsv, line 3: sample 'S': reads file '$listed' is inside 'project/.*', a folder the workflow writes" snakemake.log ||
            { cat snakemake.log; fail "no message naming the sheet's line 3 and $listed"; }
    done
    [ "$(cat project/samples/S.fastq.gz project/multiqc/multiqc_data/T.fastq.gz | md5sum)" = "$sum_before" ] ||
        fail "the reads files were changed"
    [ -e project/samples/S.summary.tsv ] && fail "map ran although the sheet was refused"
    # Symbolic links are followed: a link elsewhere to a file in the outputs.
    ln -s "$work/project/samples/S.fastq.gz" link.fastq.gz
    sheet sheet.tsv S link.fastq.gz
    workflow sheet.tsv project && fail "a link to project/samples/S.fastq.gz ran"
    echo "reads inside the outputs refused, untouched"
    ;;
shell_names)
    # Names with shell syntax, a quote, a dollar and a glob, in a sheet
    # saved with a byte-order mark.
    names=('KO(1)' 'x;date>INJECTED;' "it's\$HOME*")
    sheet sheet.tsv "${names[0]}" "$reads" "${names[1]}" "$muscle" "${names[2]}" "$reads"
    { printf '\xef\xbb\xbf'; cat sheet.tsv; } > bom.tsv
    workflow bom.tsv out || { tail -30 snakemake.log; fail "the workflow failed on these names"; }
    [ -z "$(find "$work" -name 'INJECTED*')" ] || fail "a sample name ran as a command"
    [ "$(columns out/merged/mirna_counts.tsv)" = "$(printf '%s\n' "${names[@]}")" ] ||
        fail "the matrix's samples are $(columns out/merged/mirna_counts.tsv | tr '\n' ' ')"
    for name in "${names[@]}"; do
        [ -s "out/samples/$name.gff3" ] && [ -s "out/logs/map.$name.log" ] || fail "no mirGFF3 or log for sample '$name'"
    done
    # Names mirsight map refuses are refused at the sheet, naming the line.
    for bad in '.hidden' 'a,b' 'a/b' 'a b' $'bell\a'; do
        sheet sheet.tsv ok "$reads" "$bad" "$reads"
        workflow sheet.tsv out2 -n && fail "sample name '$bad' was accepted"
        grep -q "sheet.tsv, line 3: sample name" snakemake.log || { cat snakemake.log; fail "no message for '$bad'"; }
    done
    echo "names with shell syntax mapped and merged; a sheet with a byte-order mark read; bad names refused"
    ;;
multiqc_files)
    sheet sheet.tsv liver "$reads" muscle "$muscle" gone "$reads"
    workflow sheet.tsv out || { tail -30 snakemake.log; fail "the first run failed"; }
    sheet sheet.tsv liver "$reads" muscle "$muscle"
    workflow sheet.tsv out || { tail -30 snakemake.log; fail "the run without sample 'gone' failed"; }
    [ -e out/samples/gone.summary.tsv ] || fail "the files of sample 'gone' were removed (the test needs them)"
    general=out/multiqc/multiqc_data/multiqc_general_stats.txt
    [ "$(cut -f1 "$general" | tail -n +2 | sort | tr '\n' ' ')" = "liver muscle " ] ||
        fail "the report's samples are $(cut -f1 "$general" | tail -n +2 | tr '\n' ' '), not liver and muscle"
    grep -q gone out/multiqc/multiqc_data/*.txt && fail "sample 'gone' is still in MultiQC's data"
    echo "the report holds exactly the sheet's samples"
    ;;
failed_job_log)
    printf '@r1\nACGT\n+\nIIII\n@r2\nACGTAC\n' > cut.fastq  # cut inside a record
    sheet sheet.tsv liver "$reads" broken cut.fastq
    workflow sheet.tsv out && fail "the workflow ran on a cut FASTQ file"
    [ -s out/logs/map.broken.log ] || fail "the failed job's log out/logs/map.broken.log is gone"
    grep -q "cut.fastq" out/logs/map.broken.log || { cat out/logs/map.broken.log; fail "the log does not name the file"; }
    grep -q "out/logs/map.broken.log" snakemake.log || fail "snakemake does not point at the log"
    [ -e out/samples/broken.summary.tsv ] && fail "the failed sample left a summary"
    echo "the failed job's log is kept: $(head -1 out/logs/map.broken.log)"
    ;;
sheet_change)
    # A lane added to a sample after a run: the sample is mapped again, and
    # its folder holds exactly what a fresh run writes (a table of its set
    # left by an earlier version of map, named .tsv, is gone too).
    lane1=$root/Tests/reads_plasma_L1.fastq.gz
    lane2=$root/Tests/reads_plasma_L2.fastq.gz
    sheet sheet.tsv liver "$reads" plasma "$lane1"
    workflow sheet.tsv out || { tail -30 snakemake.log; fail "the first run failed"; }
    cp out/samples/plasma.unique.txt out/samples/plasma.unique.tsv
    sheet sheet.tsv liver "$reads" plasma "$lane1,$lane2"
    workflow sheet.tsv out || { tail -30 snakemake.log; cat out/logs/map.plasma.log; fail "the rerun after adding a lane failed"; }
    grep -qx "tags_file	$lane1,$lane2" out/samples/plasma.provenance.tsv ||
        fail "plasma's provenance does not name both lanes: $(grep tags_file out/samples/plasma.provenance.tsv)"
    workflow sheet.tsv fresh || { tail -30 snakemake.log; fail "the fresh run failed"; }
    diff -r fresh/samples out/samples > samples.diff || { cat samples.diff; fail "the rerun's samples/ differs from a fresh run's"; }
    cmp fresh/merged/mirna_counts.tsv out/merged/mirna_counts.tsv || fail "the rerun's count matrix differs from a fresh run's"
    echo "the sample given a second lane was mapped again; its files and the matrix are a fresh run's"
    ;;
blank_separated)
    sheet sheet.tsv liver "$reads"
    tr '\t' ' ' < sheet.tsv > blanks.tsv
    workflow blanks.tsv out -n && fail "a blank-separated sheet was accepted"
    grep -q "blanks.tsv, line 1: .*the sample sheet must be tab-separated" snakemake.log ||
        { cat snakemake.log; fail "no message that blanks.tsv must be tab-separated"; }
    echo "a blank-separated sheet refused: $(grep -o 'blanks.tsv, line 1: .*' snakemake.log)"
    ;;
missing_program)
    sheet sheet.tsv liver "$reads" muscle "$muscle"
    touch not_executable
    # A path that is no program, and a bare name that PATH does not hold.
    for program in "$work/no/mirsight" "$work/not_executable" mirsight-not-on-path; do
        snakemake --snakefile "$root/workflow/Snakefile" --cores 2 \
            --config samples=sheet.tsv mature="$root/Tests/mirna_example.txt" \
                     hairpin="$root/Tests/hairpin_example.txt" outdir=out mirsight="$program" > snakemake.log 2>&1 &&
            fail "the workflow ran with mirsight=$program"
        grep -q "mirsight '$program' \(does not exist\|is not executable\|is not a program on PATH\): .*config key mirsight" \
            snakemake.log ||
            { cat snakemake.log; fail "no message naming $program and the config key mirsight"; }
        [ -e out ] && fail "a job started with mirsight=$program"
    done
    echo "a missing or non-executable program refused before any job: $(grep -o "mirsight '.*" snakemake.log)"
    ;;
*)
    echo "usage: workflow_safety.sh BUILD_DIR SOURCE_DIR input_in_outputs|shell_names|multiqc_files|failed_job_log|" \
         "sheet_change|blank_separated|missing_program" >&2
    exit 2
    ;;
esac
