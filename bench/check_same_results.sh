#!/usr/bin/env bash
# Runs mirsight on the generated 100,000-tag benchmark input ("-s hsa",
# default parameters) with the default engine, the reference engine
# (--reference-search) and 1, 2 and 3 threads, and requires the nine output
# files and the log of every run to equal those of the default run byte for
# byte.
#
#   check_same_results.sh MAKE_BENCH_DATA MIRSIGHT
set -u
generator=$(realpath "$1")
binary=$(realpath "$2")

work=$(mktemp -d /tmp/mirsight_bench_same_XXXXXX)
trap 'rm -rf "$work"' EXIT

"$generator" "$work/data" 100k > /dev/null || { echo "FAIL: make_bench_data failed"; exit 1; }

outputs=(log.txt mature_db_group.txt mature_db_group_sorted.txt
         out_result_mature_unique.txt out_result_mature_ambigue.txt
         out_result_mature_unique_ambigue_selected.txt out_result_mature_ambigue_ambigue_selected.txt
         out_result_mature_tag_unique.txt out_result_mature_tag_ambigue.txt
         out_result_mature_tag_ambigue_selected.txt)

failed=0
fail() {
    echo "FAIL: $*"
    failed=1
}

# run NAME [OPTION ...]: one run writing into $work/NAME; it must exit 0
# with nothing on standard error.
run() {
    local name=$1
    shift
    mkdir -p "$work/$name"
    local started=$SECONDS
    (cd "$work/$name" &&
        "$binary" -s hsa -p "$work/$name" -i "$work/data" -m mature -t tags_100k "$@" \
            > log.txt 2> stderr.txt)
    local status=$?
    echo "ran: mirsight $* ($((SECONDS - started)) s)"
    [ "$status" -eq 0 ] || fail "run '$name' ($*) exited with status $status"
    [ -s "$work/$name/stderr.txt" ] && fail "run '$name' ($*) wrote to standard error: $(head -3 "$work/$name/stderr.txt")"
}

# same NAME: every output of run NAME equals that of the default run.
same() {
    local file
    for file in "${outputs[@]}"; do
        if [ ! -f "$work/$1/$file" ]; then
            fail "run '$1' did not write $file"
        elif ! cmp -s "$work/default/$file" "$work/$1/$file"; then
            fail "run '$1': $file differs from the default run"
            diff "$work/default/$file" "$work/$1/$file" | head -6
        fi
    done
}

run default
for file in "${outputs[@]}"; do
    [ -f "$work/default/$file" ] || fail "the default run did not write $file"
done
# The comparison means something only if many tags map.
mapped=$(cat "$work/default/out_result_mature_tag_unique.txt" "$work/default/out_result_mature_tag_ambigue.txt" 2>/dev/null | wc -l)
[ "$mapped" -gt 10000 ] || fail "only $mapped lines in the default run's tag tables"

run reference --reference-search
same reference
run threads_1 --threads 1
same threads_1
run threads_2 --threads 2
same threads_2
run threads_3 --threads 3
same threads_3

if [ "$failed" = 0 ]; then
    echo "PASS: the reference engine and 1, 2 and 3 threads write the same nine files and log on 100,000 tags"
fi
exit "$failed"
