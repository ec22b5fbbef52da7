#!/usr/bin/env bash
# Hostile runs of the real binaries, one test per row of the table of bad
# runs in docs/refusals.md: the exit status, the message, and the files left behind (the
# checksums of the inputs and of an earlier run's results before and after).
#
#   reliability_check.sh MIRSIGHT MIRSIGHT_COLLAPSE PROJECT_ROOT ROW
set -u
mirsight=$(realpath "$1")
collapse=$(realpath "$2")
root=$(realpath "$3")
row=$4

work=$(mktemp -d /tmp/mirsight_reliability_XXXXXX)
trap '[ -n "${KEEP:-}" ] || rm -rf "$work"' EXIT
cd "$work" || exit 1
cp "$root/Tests/mirna_example.txt" "$root/Tests/tag_count_iso_exampl.txt" "$root/Tests/hairpin_example.txt" \
   "$root/Tests/reads_example.fastq.gz" .
# An earlier run's results (with -h 30, so that they differ from a new default run's).
"$mirsight" -i . -p . -m mirna_example -t tag_count_iso_exampl -h 30 > earlier_log.txt || exit 1

failed=0
fail() { echo "FAIL (row $row): $*"; failed=1; }

snapshot() { find . -type f ! -path './.out/*' -print0 | sort -z | xargs -0 -r sha256sum; }

# check STATUS MESSAGE CHANGED -- COMMAND...: runs COMMAND, which must exit
# with STATUS and write MESSAGE (when not empty) on standard error; the
# files named in CHANGED (space-separated) may be new or changed, every
# other file must be as before, and no temporary file may be left.
check() {
    local status=$1 message=$2 changed=$3
    shift 4
    mkdir -p .out
    snapshot > .out/before
    "$@" > .out/stdout 2> .out/stderr
    local got=$?
    [ "$got" = "$status" ] || fail "'$*' exited with $got, expected $status; stderr: $(head -c 600 .out/stderr)"
    if [ -n "$message" ] && ! grep -qF -- "$message" .out/stderr; then
        fail "'$*': standard error lacks '$message'; it holds: $(head -c 600 .out/stderr)"
    fi
    snapshot > .out/after
    local differing name
    differing=$(diff .out/before .out/after | sed -n 's/^[<>] [0-9a-f]*  \.\///p' | sort -u)
    for name in $differing; do
        case " $changed " in *" $name "*) ;; *) fail "'$*' changed or left $name" ;; esac
    done
    local leftovers
    leftovers=$(find . -name '*.mirsight-*.tmp')
    [ -z "$leftovers" ] || fail "'$*' left temporary files: $leftovers"
}

results="out_result_mirna_example_unique.txt out_result_mirna_example_ambigue.txt out_result_mirna_example_tag_unique.txt
 out_result_mirna_example_tag_ambigue.txt out_result_mirna_example_tag_ambigue_selected.txt
 out_result_mirna_example_unique_ambigue_selected.txt out_result_mirna_example_ambigue_ambigue_selected.txt"
results=$(echo $results)
grouped="mirna_example_db_group.txt mirna_example_db_group_sorted.txt"
legacy=(-i . -p . -m mirna_example)

# A big tag file (by default 200,000 tags) for runs that must last a while.
make_big_tags() {
    awk -v n="${1:-200000}" 'BEGIN { srand(7); split("A C G T", b, " ");
                 for (i = 0; i < n; i++) { s = ""; for (j = 0; j < 22; j++) s = s b[int(rand() * 4) + 1];
                 print s "\t" int(rand() * 100) + 1 } }' > big.txt
}

case $row in
1)  # an output name equal to an input, or to another output
    cp tag_count_iso_exampl.txt mirna_example_db_group_input.txt
    ln -s tag_count_iso_exampl.txt link.txt
    check 1 "grouped miRNA file './mirna_example_db_group.txt' is the tag-count file './mirna_example_db_group.txt'; refusing to overwrite an input" "" -- \
        "$mirsight" "${legacy[@]}" -t mirna_example_db_group
    check 1 "result file './out_result_mirna_example_unique.txt' is the tag-count file" "" -- \
        "$mirsight" "${legacy[@]}" -t out_result_mirna_example_unique
    check 1 "mirGFF3 file 'mirna_example.txt' is the mature-miRNA file './mirna_example.txt'" "" -- \
        "$mirsight" "${legacy[@]}" -t tag_count_iso_exampl --gff3 mirna_example.txt --hairpin hairpin_example.txt
    check 1 "mirGFF3 file 'link.txt' is the tag-count file './tag_count_iso_exampl.txt'" "" -- \
        "$mirsight" "${legacy[@]}" -t tag_count_iso_exampl --gff3 link.txt --hairpin hairpin_example.txt
    check 2 "the mirGFF3 file './out_result_mirna_example_unique.txt' and the result file './out_result_mirna_example_unique.txt' are the same file" "" -- \
        "$mirsight" "${legacy[@]}" -t tag_count_iso_exampl --gff3 ./out_result_mirna_example_unique.txt --hairpin hairpin_example.txt
    check 1 "tag-count file 'reads_example.fastq.gz' is the reads file 'reads_example.fastq.gz'" "" -- \
        "$collapse" --adapter none -o reads_example.fastq.gz reads_example.fastq.gz
    ;;
2)  # outputs that are devices or links to them
    check 1 "cannot write tag-count file '/dev/full': No space left on device" "" -- "$collapse" --adapter none -o /dev/full reads_example.fastq.gz
    [ -c /dev/full ] && [ -c /dev/null ] || fail "a device node was replaced"
    check 0 "distinct_sequences = 32" "" -- "$collapse" --adapter none -o /dev/null reads_example.fastq.gz
    check 1 "mirGFF3 file '/dev/stdout' is a system file; refusing to replace it" "" -- \
        "$mirsight" "${legacy[@]}" -t tag_count_iso_exampl --gff3 /dev/stdout --hairpin hairpin_example.txt
    check 2 "mirsight: error: the mirGFF3 file cannot be written to standard output ('-')" "" -- \
        "$mirsight" "${legacy[@]}" -t tag_count_iso_exampl --gff3 - --hairpin hairpin_example.txt
    ln -s /dev/null null_link.gff3
    check 1 "mirGFF3 file 'null_link.gff3' exists and is a device; refusing to replace it" "" -- \
        "$mirsight" "${legacy[@]}" -t tag_count_iso_exampl --gff3 null_link.gff3 --hairpin hairpin_example.txt
    [ -L null_link.gff3 ] && [ -c /dev/null ] || fail "the link or /dev/null was replaced"
    "$collapse" --adapter none -o - reads_example.fastq.gz 2> /dev/null > dash.txt
    "$collapse" --adapter none reads_example.fastq.gz 2> /dev/null > plain.txt
    [ -s dash.txt ] && cmp -s dash.txt plain.txt || fail "-o - is not standard output"
    ;;
3)  # an output name that is a directory: refused before the run (a commit
    # that fails part way is the unit test StagedOutput.FailedCommitPutsEveryEarlierFileBack)
    rm out_result_mirna_example_tag_unique.txt
    mkdir out_result_mirna_example_tag_unique.txt gff3_dir
    check 1 "result file './out_result_mirna_example_tag_unique.txt' exists and is a directory; refusing to replace it" "" -- \
        "$mirsight" "${legacy[@]}" -t tag_count_iso_exampl
    rmdir out_result_mirna_example_tag_unique.txt
    check 1 "mirGFF3 file 'gff3_dir' exists and is a directory" "" -- \
        "$mirsight" "${legacy[@]}" -t tag_count_iso_exampl --gff3 gff3_dir --hairpin hairpin_example.txt
    ;;
6)  # out of memory (not under AddressSanitizer, which needs more address space than any such limit)
    if ldd "$mirsight" | grep -q libasan; then echo "SKIP: row 6 cannot run under AddressSanitizer"; exit 77; fi
    ln -s /dev/zero zero.txt
    check 1 "mirsight: error: out of memory while indexing the miRNA file and loading the tag file" "" -- \
        bash -c "ulimit -v 1000000; exec '$mirsight' -i . -p . -m mirna_example -t zero"
    awk 'BEGIN { srand(3); split("A C G T", b, " ");
                 for (i = 0; i < 400000; i++) { s = ""; for (j = 0; j < 30; j++) s = s b[int(rand() * 4) + 1]; print ">r" i; print s } }' > many.fa
    check 1 "mirsight-collapse: error: out of memory while collapsing reads file 'many.fa', at record" "many.fa" -- \
        bash -c "ulimit -v 40000; exec '$collapse' --adapter none -o tags.txt many.fa"
    ;;
7)  # the tag file cut short and written again while runs read it: never a crash
    make_big_tags 1000000
    cp big.txt big_copy.txt
    ( for i in $(seq 40); do : > big.txt; cp big_copy.txt big.txt; done ) &
    writer=$!
    for i in $(seq 20); do
        "$mirsight" -i . -p . -m mirna_example -t big > /dev/null 2> .stderr_7
        status=$?
        [ "$status" -lt 128 ] || fail "run $i ended by signal $((status - 128))"
        [ "$status" != 1 ] || grep -q "was cut short while it was read" .stderr_7 ||
            fail "run $i failed without saying the file was cut short: $(head -2 .stderr_7)"
    done
    wait "$writer"
    ;;
8)  # a named pipe as the tag file: opened once, every run gets its data
    "$mirsight" -i . -p . -m mirna_example -t tag_count_iso_exampl > expected_log.txt
    mkdir expected && cp $results expected/
    mkfifo pipe.txt
    for i in $(seq 30); do
        cat tag_count_iso_exampl.txt > pipe.txt &
        writer=$!
        timeout 20 "$mirsight" -i . -p . -m mirna_example -t pipe > log.txt 2> /dev/null
        status=$?
        wait "$writer"
        [ "$status" = 0 ] || { fail "run $i through the pipe exited with $status"; break; }
        for f in $results; do cmp -s "$f" "expected/$f" || fail "run $i: $f differs"; done
        cmp -s log.txt expected_log.txt || fail "run $i: the log differs"
    done
    ;;
9)  # counts with text after their digits
    printf 'TGAGGTAGTAGGTTGTATAGTT\t1e+05\nTAGCTTATCAGACTGATGTTGA\t3,000\nTGGAGTGTGACAATGGTGTTTG\t2500.0\nTAGCACCATCTGAAATCGGTTA\t0x10\n' > counts.txt
    check 0 "" "$results $grouped" -- "$mirsight" "${legacy[@]}" -t counts
    for line in "counts.txt:1: read count '1e+05' has text after its digits; count read as 1" \
                "counts.txt:2: read count '3,000' has text after its digits; count read as 3" \
                "counts.txt:3: read count '2500.0' has text after its digits; count read as 2500" \
                "counts.txt:4: read count '0x10' has text after its digits; count read as 0"; do
        grep -qF "$line" .out/stderr || fail "no warning '$line'"
    done
    ;;
10) # read counts whose sum passes 2^64-1
    printf 'TGAGGTAGTAGGTTGTATAGTT\t18446744073709551615\nTAGCTTATCAGACTGATGTTGA\t1\n' > huge.txt
    check 1 "mirsight: error: ./huge.txt: the read counts add up to more than 18446744073709551615 (2^64-1)" "" -- \
        "$mirsight" "${legacy[@]}" -t huge
    ;;
11) # SIGINT and SIGTERM remove the temporaries; SIGXFSZ is reported; a killed
    # run's temporaries are removed by the next run into the same names. The
    # tag file is a pipe that gives five lines and then waits, so that the run
    # is stopped with its first outputs staged.
    mkfifo slow.txt
    stop_waiting_run() {  # SIGNAL: returns the run's exit status
        ( head -n 5 tag_count_iso_exampl.txt; exec sleep 30 ) > slow.txt &
        local writer=$!
        "$mirsight" -i . -p . -m mirna_example -t slow > /dev/null 2>&1 &
        local pid=$!
        sleep 1
        [ -n "$(find . -name '*.mirsight-*.tmp')" ] || fail "SIG$1: no temporary file while the run waits"
        kill -"$1" "$pid"
        wait "$pid"
        local status=$?
        kill "$writer" 2> /dev/null
        wait "$writer" 2> /dev/null
        return "$status"
    }
    for signal in INT:130 TERM:143; do
        stop_waiting_run "${signal%%:*}"
        status=$?
        [ "$status" = "${signal#*:}" ] || fail "SIG${signal%%:*}: exit status $status, expected ${signal#*:}"
        leftovers=$(find . -name '*.mirsight-*.tmp')
        [ -z "$leftovers" ] || fail "SIG${signal%%:*} left $leftovers"
    done
    make_big_tags
    check 1 "mirsight: error: cannot write result file './out_result_mirna_example_tag_unique.txt': File too large" "" -- \
        bash -c "ulimit -f 8; exec '$mirsight' -i . -p . -m mirna_example -t big"
    stop_waiting_run KILL
    killed=$(find . -name '*.mirsight-*.tmp' | wc -l)
    [ "$killed" -gt 0 ] || fail "the killed run left no temporary to sweep"
    touch other.txt.mirsight-99999999-abcdef.tmp  # not a name of this output set: kept
    sleep 1
    "$mirsight" -i . -p . -m mirna_example -t tag_count_iso_exampl > /dev/null || fail "the run after the killed one failed"
    leftovers=$(find . -name '*.mirsight-*.tmp')
    [ "$leftovers" = "./other.txt.mirsight-99999999-abcdef.tmp" ] || fail "after the sweep: '$leftovers'"
    rm -f other.txt.mirsight-99999999-abcdef.tmp
    ;;
12) # ten million lines without a count: ten warnings, then one count
    yes ACACACACACACACACACACAC | head -n 10000000 > nocount.txt  # a tag that maps nowhere
    check 0 "nocount.txt: 9999990 more lines with a read count missing or not a number not shown (10000000 in all)" \
        "$results $grouped" -- "$mirsight" "${legacy[@]}" -t nocount
    [ "$(wc -l < .out/stderr)" = 11 ] || fail "standard error holds $(wc -l < .out/stderr) lines, expected 11"
    ;;
13) # empty -p or -i
    check 2 "mirsight: error: option -p needs a folder name, not an empty one" "" -- \
        "$mirsight" -p "" -m mirna_example -t tag_count_iso_exampl
    check 2 "mirsight: error: option -i needs a folder name, not an empty one" "" -- \
        "$mirsight" -i "" -m mirna_example -t tag_count_iso_exampl
    ;;
14) # the legacy options: skipped arguments, a late -p, numbers that are not
    mkdir -p Tests && cp mirna_example.txt tag_count_iso_exampl.txt Tests/
    "$mirsight" > default_log.txt 2> /dev/null
    # A first word that is neither an option nor a command runs nothing.
    check 2 "mirsight: error: unknown command 'reads.txt' (see mirsight help)" "" -- \
        "$mirsight" reads.txt --thread 2 -o results
    [ ! -s .out/stdout ] || fail "an unknown command wrote a log"
    check 0 "mirsight: warning: argument 'reads.txt' is not an option of mirsight; skipped" "" -- \
        "$mirsight" -l 10 reads.txt --thread 2 -o results
    cmp -s .out/stdout default_log.txt || fail "the log changed"
    for line in "argument '--thread' is not an option" "argument '2' is not an option" \
                "argument '-o' is not an option" "argument 'results' is not an option"; do
        grep -qF "$line" .out/stderr || fail "no warning '$line'"
    done
    check 0 "option -p 'elsewhere' comes after the last -m, so no file is written there; put -p before -m" "$results $grouped" -- \
        "$mirsight" -i . -m mirna_example -t tag_count_iso_exampl -p elsewhere
    check 0 "mirsight: warning: option -ss: '4294967297' does not fit in 32 bits; read as 1" "$results $grouped" -- \
        "$mirsight" "${legacy[@]}" -t tag_count_iso_exampl -ss 4294967297
    check 0 "mirsight: warning: option -l: 'abc' is not a whole number; read as 0" "$results $grouped" -- \
        "$mirsight" "${legacy[@]}" -t tag_count_iso_exampl -l abc
    ;;
16) # standard output cannot be written
    check 1 "mirsight: error: cannot write the log to standard output" "" -- \
        bash -c "exec '$mirsight' -i . -p . -m mirna_example -t tag_count_iso_exampl > /dev/full"
    ;;
17) # a result name of 255 bytes: the temporary name is cut and hashed
    name=$(printf 'm%.0s' $(seq 215))
    cp mirna_example.txt "$name.txt"
    check 0 "" "${name}_db_group.txt ${name}_db_group_sorted.txt $(for f in $results; do printf '%s ' "${f/mirna_example/$name}"; done)" -- \
        "$mirsight" -i . -p . -m "$name" -t tag_count_iso_exampl
    [ -f "out_result_${name}_ambigue_ambigue_selected.txt" ] || fail "the 255-byte result was not written"
    ;;
18) # the collapser: other compressions, data after a gzip stream
    printf '\x28\xb5\x2f\xfd\x00\x00' > r.zst
    printf 'BZh91AY&SY' > r.bz2
    printf '\xfd7zXZ\x00\x00' > r.xz
    for kind in zst:zstd bz2:bzip2 xz:xz; do
        check 1 "mirsight-collapse: error: reads file 'r.${kind%%:*}' is ${kind#*:}-compressed, which mirsight does not read" "" -- \
            "$collapse" --adapter none -o tags.txt "r.${kind%%:*}"
    done
    { cat reads_example.fastq.gz; printf '@r\nACGT\n+\nIIII\n'; } > trailing.fastq.gz
    check 1 "mirsight-collapse: error: cannot read reads file 'trailing.fastq.gz': data after the end of the gzip stream (at byte" "" -- \
        "$collapse" --adapter none -o tags.txt trailing.fastq.gz
    ;;
19) # the documentation against the program
    doc=$root/docs/short-options.md
    sed -n '/^Usage: mirsight \[options\]$/,/^```$/p' "$doc" | sed '$d' > doc_usage.txt
    "$mirsight" help short > help.txt
    cmp -s doc_usage.txt help.txt || fail "the usage in docs/short-options.md differs from mirsight help short: $(diff doc_usage.txt help.txt | head -5)"
    grep -qF '"no limit"' "$root/README.md" "$root"/docs/*.md && fail "the documentation still says -l -1 means no limit"
    "$mirsight" -i . -p . -m mirna_example -t tag_count_iso_exampl -s xyz > log.txt 2> /dev/null
    grep -qF "warning inserted codes are not present in the miRNA DB" log.txt ||
        fail "the species warning is no longer in the log, as docs/files-and-safety.md says"
    grep -qF '`NAME_db_group.txt`' "$root/docs/formats.md" || fail "docs/formats.md does not name NAME_db_group.txt"
    ;;
20) # help where users look; an unknown command or option gets the nearest known one
    "$mirsight" help > commands.txt || fail "mirsight help exited with $?"
    grep -q '^  map ' commands.txt || fail "mirsight help lists no command map: $(head -5 commands.txt)"
    "$mirsight" help short > short.txt || fail "mirsight help short exited with $?"
    grep -q '^  -h N ' short.txt || fail "mirsight help short does not print the short options: $(head -5 short.txt)"
    for asked in --help -h; do
        check 0 "" "" -- "$mirsight" "$asked"
        head -c "$(wc -c < commands.txt)" .out/stdout | cmp -s - commands.txt ||
            fail "mirsight $asked does not begin with the list of mirsight help: $(head -3 .out/stdout)"
        tail -n +"$(($(wc -l < commands.txt) + 1))" .out/stdout | grep . > after_commands.txt
        [ "$(wc -l < after_commands.txt)" = 1 ] && grep -q 'mirsight help short$' after_commands.txt ||
            fail "after the commands, mirsight $asked does not end with one line naming 'mirsight help short': $(cat after_commands.txt)"
    done
    # Among other options, --help is the short options and -h N the threshold, as ever.
    check 0 "" "" -- "$mirsight" -s hsa --help
    cmp -s .out/stdout short.txt || fail "mirsight -s hsa --help is not the text of mirsight help short"
    check 0 "" "" -- "$mirsight" "${legacy[@]}" -t tag_count_iso_exampl -h 30  # the earlier run's options
    cmp -s .out/stdout earlier_log.txt || fail "the log of -h 30 is not the earlier run's"
    # refused MESSAGE -- COMMAND...: status 2, MESSAGE the whole of standard error, nothing written.
    refused() {
        local message=$1
        shift
        check 2 "$message" "" "$@"
        [ "$(cat .out/stderr)" = "$message" ] || fail "standard error is '$(cat .out/stderr)', not '$message'"
        [ ! -s .out/stdout ] || fail "'$*' wrote on standard output: $(head -3 .out/stdout)"
    }
    m=(--mature mirna_example.txt --tags tag_count_iso_exampl.txt)
    refused "mirsight: error: unknown command 'mpa'; did you mean 'map'?" -- "$mirsight" mpa "${m[@]}" --outdir s
    refused "mirsight: error: mirsight map: unknown option '--outdri'; did you mean '--outdir'?" -- \
        "$mirsight" map "${m[@]}" --outdri s
    refused "mirsight: error: mirsight merge: unknown option '--allow'; did you mean '--allow-mixed'?" -- \
        "$mirsight" merge --outdir merged --allow s
    refused "mirsight-collapse: error: unknown option '--outptu'; did you mean '--output'?" -- \
        "$collapse" --outptu tags.txt reads_example.fastq.gz
    refused "mirsight collapse: error: unknown option '--protcol'; did you mean '--protocol'?" -- \
        "$mirsight" collapse --protcol illumina -o tags.txt reads_example.fastq.gz
    # Nothing close: nothing suggested.
    refused "mirsight: error: mirsight map: unknown option '--colour' (see mirsight map --help)" -- \
        "$mirsight" map "${m[@]}" --colour s
    refused "mirsight: error: unknown command 'reads.txt' (see mirsight help)" -- "$mirsight" reads.txt
    ;;
21) # standard output a pipe whose reader is gone (`| head -1` that has its
    # line, a closed terminal), SIGPIPE left at its default as shells leave it
    [ -x /usr/bin/python3 ] || { echo "SKIP: row 21 makes its closed pipe with python3"; exit 77; }
    closed_stdout() {
        /usr/bin/python3 -c 'import os, subprocess, sys
reader, writer = os.pipe()
os.close(reader)
status = subprocess.call(sys.argv[1:], stdout=writer)
sys.exit(128 - status if status < 0 else status)' "$@"
    }
    # The short options' log is theirs to give: the run fails as with > /dev/full.
    check 1 "mirsight: error: cannot write the log to standard output: Broken pipe" "" -- \
        closed_stdout "$mirsight" "${legacy[@]}" -t tag_count_iso_exampl
    # map: every file in place, the summary not shown, said once.
    mapped=(--mature mirna_example.txt --tags tag_count_iso_exampl.txt --species hsa --quiet)
    "$mirsight" map "${mapped[@]}" --outdir expected_map > /dev/null 2>&1 || fail "map with standard output open"
    check 1 "mirsight: error: cannot write the log to standard output: Broken pipe" \
        "$(cd expected_map && for f in *; do printf 'map/%s ' "$f"; done)" -- \
        closed_stdout "$mirsight" map "${mapped[@]}" --outdir map
    [ "$(grep -c 'cannot write' .out/stderr)" = 1 ] || fail "map said more than once that it could not write: $(cat .out/stderr)"
    for f in expected_map/*; do
        cmp -s "$f" "map/${f#expected_map/}" || fail "map/${f#expected_map/} is not what map writes with standard output open"
    done
    check 1 "mirsight-collapse: error: cannot write tag-count file 'standard output': Broken pipe" "" -- \
        closed_stdout "$collapse" --adapter none reads_example.fastq.gz
    ;;
22) # --name=value wherever --name value is taken; merge --outdir that cannot be a folder
    "$collapse" --adapter none --min-insert 18 -o spaced.txt reads_example.fastq.gz 2> /dev/null || fail "collapse"
    check 0 "" "joined.txt" -- "$collapse" --adapter=none --min-insert=18 --output=joined.txt reads_example.fastq.gz
    cmp -s spaced.txt joined.txt || fail "mirsight-collapse --name=value collapsed otherwise than --name value"
    check 0 "" "joined_command.txt" -- \
        "$mirsight" collapse --adapter=none --min-insert=18 --output=joined_command.txt reads_example.fastq.gz
    cmp -s spaced.txt joined_command.txt || fail "mirsight collapse --name=value collapsed otherwise than --name value"
    "$mirsight" map --mature mirna_example.txt --tags tag_count_iso_exampl.txt --species hsa --threads 2 --quiet \
        --outdir spaced_map > /dev/null 2>&1 || fail "map"
    check 0 "" "$(cd spaced_map && for f in *; do printf 'joined_map/%s ' "$f"; done)" -- \
        "$mirsight" map --mature=mirna_example.txt --tags=tag_count_iso_exampl.txt --species=hsa --threads=2 --quiet \
        --outdir=joined_map
    for f in summary.tsv mirna.tsv isomirs.tsv log; do
        cmp -s "spaced_map/tag_count_iso_exampl.$f" "joined_map/tag_count_iso_exampl.$f" ||
            fail "map --name=value: tag_count_iso_exampl.$f differs from --name value"
    done
    check 0 "" "$(for f in summary.tsv provenance.tsv mirna_counts.tsv mirna_rpm.tsv isomir_counts.tsv \
                   study.general_stats_mqc.json study.read_classes_mqc.json study.top_mirnas_mqc.json \
                   study.read_layouts_mqc.json; do printf 'merged/%s ' "$f"; done)" -- \
        "$mirsight" merge --outdir=merged --quiet joined_map
    # An --outdir that is a file, or lies under one: refused before any sample is read.
    touch not_a_folder
    check 2 "mirsight: error: mirsight merge: --outdir 'not_a_folder' exists and is not a folder" "" -- \
        "$mirsight" merge --outdir not_a_folder joined_map
    check 2 "mirsight: error: mirsight merge: --outdir 'not_a_folder/merged' cannot be made: 'not_a_folder' is not a folder" "" -- \
        "$mirsight" merge --outdir not_a_folder/merged joined_map
    ;;
*)  echo "no row $row"; exit 2 ;;
esac

[ "$failed" = 0 ] && echo "PASS: row $row"
exit "$failed"
