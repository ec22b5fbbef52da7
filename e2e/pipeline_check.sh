#!/usr/bin/env bash
# End-to-end checks of mirsight-collapse and of the documented pipelines.
#
#   pipeline_check.sh collapse COLLAPSE_BINARY MIRSIGHT_BINARY PROJECT_ROOT
#       the real collapser on real files: round trip of a known tag-count
#       file through FASTQ (plain, gzip, standard input) and FASTA, length
#       limits, ordering of ties, bad inputs and outputs.
#   pipeline_check.sh pipeline COLLAPSE_BINARY MIRSIGHT_BINARY PROJECT_ROOT
#       runs the commands of the section "From FASTQ to results" of
#       docs/short-options.md (cutadapt, mirsight-collapse, mirsight) as
#       written, from a copy of the repository's layout, on
#       Tests/reads_example.fastq.gz, and checks what they produce.
#   pipeline_check.sh readme_study COLLAPSE_BINARY MIRSIGHT_BINARY PROJECT_ROOT
#       runs the README's study ("A study from raw reads": mirsight map on
#       the raw reads, mirsight merge) as written, the same way, and checks
#       that the first map prints the summary and the count matrix begins
#       as the README shows them.
#   pipeline_check.sh readme_routes COLLAPSE_BINARY MIRSIGHT_BINARY PROJECT_ROOT
#       runs both routes of that section as written, the commands by hand
#       and the workflow's `snakemake --cores 2` (with workflow/ copied
#       too), and checks that they give the same count matrix and the same
#       isomiR matrix, byte for byte (on the bundled samples, map without
#       --hairpin counts the same reads on each miRNA but describes some
#       isomiRs otherwise). Needs snakemake, mirtop and multiqc (skipped,
#       exit 77, without one of them).
set -u
mode=$1
collapse=$(realpath "$2")
mirsight=$(realpath "$3")
root=$(realpath "$4")
export LC_ALL=C

work=$(mktemp -d /tmp/mirsight_pipeline_XXXXXX)
trap 'rm -rf "$work"' EXIT
cd "$work"

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
same_file() {  # same_file EXPECTED ACTUAL WHAT
    if ! cmp -s "$1" "$2"; then
        fail "$3"
        diff "$1" "$2" | head -20
    fi
}

# The tag-count file that collapsing reads from TAGS must give: sequences of
# at least MIN and at most MAX letters (upper-cased), counts above 0, by
# decreasing count and then by sequence.
expected_tags() {  # expected_tags TAGS MIN MAX
    awk -F'\t' -v min="$2" -v max="$3" \
        'NF >= 2 && $2 + 0 > 0 && length($1) >= min && length($1) <= max { print toupper($1) "\t" $2 + 0 }' "$1" |
        sort -t "$(printf '\t')" -k2,2nr -k1,1
}

# Reads in FASTQ or FASTA, each tag of TAGS as often as its count, in an
# order that mixes the tags.
tags_to_reads() {  # tags_to_reads TAGS fastq|fasta
    awk -F'\t' -v format="$2" '
        { for (i = 0; i < $2 + 0; ++i) printf "%07d\t%s\n", (NR * 7919 + i * 104729) % 1000003, $1 }' "$1" |
        sort | awk -F'\t' -v format="$2" '
        format == "fastq" { q = $2; gsub(/./, "I", q); printf "@r%d\n%s\n+\n%s\n", NR, $2, q }
        format == "fasta" { printf ">r%d\n%s\n", NR, $2 }'
}

# Value of "name = value" in a summary or log file (a trailing ";" dropped).
value_of() {  # value_of FILE NAME
    awk -v name="$2" '$1 == name && $2 == "=" { sub(/;$/, "", $3); print $3 }' "$1"
}

check_collapse() {
    # The reads here are inserts already: counted as they are.
    collapse_as_is() { "$collapse" --adapter none "$@"; }
    known=$root/Tests/tag_count_iso_exampl.txt
    expected_tags "$known" 1 1000000 > known_sorted.txt
    [ "$(wc -l < known_sorted.txt)" -ge 25 ] || fail "the known tag file gives too few tags"

    # Round trip: the reads of a tag-count file collapse back to it, exactly.
    tags_to_reads known_sorted.txt fastq > reads.fastq
    tags_to_reads known_sorted.txt fasta > reads.fa
    gzip -c reads.fastq > reads.fastq.gz
    gzip -c reads.fa > reads.fa.gz
    for input in reads.fastq reads.fastq.gz reads.fa reads.fa.gz; do
        rm -f out.txt
        collapse_as_is -o out.txt "$input" 2> summary.txt || fail "round trip of $input: exit status $?"
        same_file known_sorted.txt out.txt "round trip of $input"
        reads=$(awk -F'\t' '{ s += $2 } END { print s }' known_sorted.txt)
        [ "$(value_of summary.txt reads_read)" = "$reads" ] || fail "$input: reads_read is not $reads"
        [ "$(value_of summary.txt reads_kept)" = "$reads" ] || fail "$input: reads_kept is not $reads"
        [ "$(value_of summary.txt distinct_sequences)" = "$(wc -l < known_sorted.txt)" ] ||
            fail "$input: wrong distinct_sequences"
    done
    collapse_as_is - < reads.fastq.gz > out_stdout.txt 2> /dev/null || fail "standard input: exit status $?"
    same_file known_sorted.txt out_stdout.txt "round trip through standard input and output"

    # Lower case and the original file's own lines (short, empty, count 0).
    tags_to_reads "$known" fastq > original.fastq
    collapse_as_is -o out.txt original.fastq 2> /dev/null || fail "original tags: exit status $?"
    same_file known_sorted.txt out.txt "reads of the original tag file, lower case included"

    # Length limits: both ends inclusive, the rest counted as too short or too long.
    collapse_as_is -m 21 -M 22 -o limited.txt original.fastq 2> summary.txt || fail "limits: exit status $?"
    expected_tags "$known" 21 22 > limited_expected.txt
    same_file limited_expected.txt limited.txt "length limits 21 to 22"
    short=$(awk -F'\t' 'length($1) < 21 { s += $2 } END { print s + 0 }' "$known")
    long=$(awk -F'\t' 'length($1) > 22 { s += $2 } END { print s + 0 }' "$known")
    [ "$(value_of summary.txt reads_too_short)" = "$short" ] || fail "reads_too_short is not $short"
    [ "$(value_of summary.txt reads_too_long)" = "$long" ] || fail "reads_too_long is not $long"

    # Ties: equal counts in byte order of the sequence; N and lower case as said.
    printf '>a\nTTTTT\n>b\nCCCCC\n>c\nAAAAA\n>d\nNAAAA\n>e\nacgta\n>f\nAAAAA\n>g\nTTTTT\n>h\nCCCCC\n>i\nACGTA\n>j\nAAAA\n' > ties.fa
    printf 'AAAAA\t2\nACGTA\t2\nCCCCC\t2\nTTTTT\t2\nAAAA\t1\nNAAAA\t1\n' > ties_expected.txt
    collapse_as_is -o ties.txt ties.fa 2> /dev/null || fail "ties: exit status $?"
    same_file ties_expected.txt ties.txt "order of ties"

    # Bad inputs: exit status 1, the file named, the earlier output untouched
    # and no temporary file left.
    head -c $(( $(stat -c %s reads.fastq.gz) - 5 )) reads.fastq.gz > cut.fastq.gz
    printf 'not a reads file\n' > text.fastq
    printf 'earlier\t1\n' > kept.txt
    for input in cut.fastq.gz text.fastq missing.fastq; do
        collapse_as_is -o kept.txt "$input" 2> errors.txt
        status=$?
        [ "$status" = 1 ] || fail "$input: exit status $status, not 1"
        grep -q "^mirsight-collapse: error: .*'$input'" errors.txt ||
            fail "$input: the error does not name the program and the file: $(cat errors.txt)"
        [ "$(cat kept.txt)" = "$(printf 'earlier\t1')" ] || fail "$input: the earlier output was changed"
    done
    ls -a | grep -q '\.tmp$' && fail "a temporary file was left: $(ls -a | grep '\.tmp$')"
    collapse_as_is -o no_such_folder/out.txt reads.fastq 2> errors.txt
    [ $? = 1 ] || fail "unwritable output: exit status not 1"
    grep -q "'no_such_folder/out.txt'" errors.txt || fail "unwritable output not named: $(cat errors.txt)"
    collapse_as_is -m 5 -M 4 reads.fastq 2> /dev/null
    [ $? = 2 ] || fail "minimum above maximum: exit status not 2"
}

# nth_block FILE SECTION N [FENCE]: the Nth ```FENCE block (default sh) of
# the section "## SECTION" of FILE.
nth_block() {
    awk -v title="## $2" -v wanted="$3" -v fence="\`\`\`${4-sh}" '
        $0 == title { section = 1; next }
        section && /^## / { exit }
        section && !inside && $0 == fence { inside = 1; ++seen; next }
        inside && /^```/ { if (seen == wanted) exit; inside = 0; next }
        inside && seen == wanted { print }' "$1"
}

# run_commands FILE WHAT: runs the commands of FILE from a copy of the
# repository's layout (the bundled data in Tests/, the programs in build/).
run_commands() {
    mkdir -p Tests build
    cp "$root"/Tests/*.txt "$root"/Tests/*.fastq.gz Tests/
    ln -sf "$collapse" build/mirsight-collapse
    ln -sf "$mirsight" build/mirsight
    bash -e -o pipefail "$1" > commands.out 2> commands.err
    local status=$?
    [ "$status" = 0 ] || { cat commands.err; fail "$2 exited with status $status"; }
}

check_pipeline() {
    source "$root/e2e/require_tools.sh"
    require_tool cutadapt mirtop || exit 77
    nth_block "$root/docs/short-options.md" "From FASTQ to results" 1 > commands.sh
    for command in "cutadapt " "./build/mirsight-collapse " "./build/mirsight "; do
        grep -q "^$command" commands.sh || fail "the documented pipeline has no line starting with '$command'"
    done
    run_commands commands.sh "the documented pipeline"

    # The collapsed reads are the example tags of at least 15 letters.
    expected_tags "$root/Tests/tag_count_iso_exampl.txt" 15 1000000 > expected_sample.txt
    same_file expected_sample.txt pipeline/sample.txt "collapsed trimmed reads"

    # mirsight's log and tables are there, not empty, and agree with its log.
    prefix=pipeline/out_result_mirna_example
    log=pipeline/mirsight_log.txt
    grep -q '^uniq_mapped_total_tags_count = ' "$log" 2>/dev/null || fail "no mirsight log in $log"
    for table in _unique _ambigue _tag_unique _tag_ambigue _tag_ambigue_selected; do
        [ "$(cat "$prefix$table.txt" 2>/dev/null | wc -l)" -ge 2 ] || fail "$prefix$table.txt is missing or empty"
    done
    [ "$(value_of "$log" tot_total_tag_count)" = "$(wc -l < pipeline/sample.txt)" ] ||
        fail "tot_total_tag_count is not the number of collapsed tags"
    unique=$(awk -F'\t' 'NR > 1 { s += $4 } END { print s + 0 }' "${prefix}_tag_unique.txt")
    ambiguous=$(awk -F'\t' 'NR > 1 { s += $4 } END { print s + 0 }' "${prefix}_tag_ambigue.txt")
    [ "$(value_of "$log" uniq_mapped_total_tags_count)" = "$unique" ] ||
        fail "uniq_mapped_total_tags_count is not the sum over _tag_unique.txt ($unique)"
    [ "$(value_of "$log" ambigue_mapped_total_tag_count)" = "$ambiguous" ] ||
        fail "ambigue_mapped_total_tag_count is not the sum over _tag_ambigue.txt ($ambiguous)"
    [ "${unique:-0}" -gt 0 ] && [ "${ambiguous:-0}" -gt 0 ] || fail "no reads mapped"
    # The mirGFF3 file was written and mirtop could summarise it.
    [ "$(grep -c -v '^#' pipeline/sample.gff3 2>/dev/null)" -gt 0 ] || fail "pipeline/sample.gff3 is missing or has no record"
    [ -n "$(ls -A pipeline/stats 2>/dev/null)" ] || fail "mirtop stats wrote nothing in pipeline/stats"
    per_mirna=$(awk -F'\t' 'NR > 1 { s += $3 } END { print s + 0 }' "${prefix}_unique.txt")
    [ "$per_mirna" = "$unique" ] || fail "the reads of _unique.txt ($per_mirna) are not those of _tag_unique.txt ($unique)"
}

check_readme_study() {
    nth_block "$root/README.md" "A study from raw reads" 1 > commands.sh
    for command in "./build/mirsight map " "./build/mirsight merge "; do
        grep -q "^$command" commands.sh || fail "the README study has no line starting with '$command'"
    done
    run_commands commands.sh "the README study"
    # The matrix lines the README shows (before its "...") begin the file.
    awk '/^`study\/merged\/mirna_counts.tsv` is/ { found = 1; next }
         found && !inside && /^```$/ { inside = 1; next }
         inside && (/^```$/ || $0 == "...") { exit }
         inside { print }' "$root/README.md" > shown.txt
    [ "$(wc -l < shown.txt)" -ge 2 ] || fail "the README shows no count matrix after its study"
    head -n "$(wc -l < shown.txt)" study/merged/mirna_counts.tsv > actual.txt 2> /dev/null
    same_file shown.txt actual.txt "the count matrix the README shows"
    # The summary the README shows is what the first map printed.
    awk '/^Each `map` closes with a summary/ { found = 1; next }
         found && !inside && /^```$/ { inside = 1; next }
         inside && /^```$/ { exit }
         inside { print }' "$root/README.md" > shown_summary.txt
    [ "$(head -1 shown_summary.txt)" = "mirsight map: sample liver" ] || fail "the README shows no summary of map"
    head -n "$(wc -l < shown_summary.txt)" commands.out > actual_summary.txt
    same_file shown_summary.txt actual_summary.txt "the summary of map the README shows"
    for s in liver muscle plasma; do
        [ -s "study/samples/$s.summary.tsv" ] || fail "the README study wrote no study/samples/$s.summary.tsv"
    done
}

check_readme_routes() {
    source "$root/e2e/require_tools.sh"
    require_tool snakemake mirtop multiqc || exit 77
    export HOME=${HOME:-$work}
    nth_block "$root/README.md" "A study from raw reads" 1 > by_hand.sh
    nth_block "$root/README.md" "A study from raw reads" 2 > workflow.sh
    grep -q "^./build/mirsight map " by_hand.sh || fail "the README study has no line starting with './build/mirsight map '"
    grep -q "^snakemake " workflow.sh || fail "the README study's second block does not run snakemake"
    cp -r "$root/workflow" .
    run_commands by_hand.sh "the README study by hand"
    run_commands workflow.sh "the README study's workflow"
    for matrix in mirna_counts.tsv isomir_counts.tsv; do
        [ -s "study/merged/$matrix" ] || fail "by hand: no study/merged/$matrix"
        [ -s "results/merged/$matrix" ] || fail "the workflow: no results/merged/$matrix"
        same_file "study/merged/$matrix" "results/merged/$matrix" "$matrix by hand (<) and by the workflow (>)"
    done
}

case "$mode" in
    collapse) check_collapse ;;
    pipeline) check_pipeline ;;
    readme_study) check_readme_study ;;
    readme_routes) check_readme_routes ;;
    *) echo "usage: pipeline_check.sh collapse|pipeline|readme_study|readme_routes COLLAPSE MIRSIGHT ROOT" >&2; exit 2 ;;
esac
if [ "$failures" -gt 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
echo "all $mode checks passed"
