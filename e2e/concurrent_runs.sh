#!/usr/bin/env bash
# Pairs of runs at the same time, two samples against one miRNA file into the
# same output names: both succeed, and every final set of files is whole and
# from one run (all files equal to sample a's results, or all to sample b's).
#
#   concurrent_runs.sh MIRSIGHT PROJECT_ROOT [same-host|pid-namespaces] [PAIRS]
# pid-namespaces runs each of the pair in a process-id namespace of its own,
# so that both have the same process id, as in two containers sharing a
# volume (needs unshare; exit 77, skipped, without it).
set -u
mirsight=$(realpath "$1")
root=$(realpath "$2")
mode=${3:-same-host}
pairs=${4:-50}

work=$(mktemp -d /tmp/mirsight_concurrent_XXXXXX)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
mkdir in out ref_a ref_b
cp "$root/Tests/mirna_example.txt" in/mir.txt
cp "$root/Tests/tag_count_iso_exampl.txt" in/a.txt
# Sample b: every count doubled and the first line dropped, so that every table differs.
awk -F '\t' 'NR > 1 { print $1 "\t" $2 * 2 }' in/a.txt > in/b.txt

launch=()
if [ "$mode" = pid-namespaces ]; then
    if ! unshare -p -f --mount-proc true 2> /dev/null; then
        echo "SKIP: unshare cannot make a process-id namespace here"
        exit 77
    fi
    launch=(unshare -p -f --mount-proc)
fi

"$mirsight" -i in -p ref_a -m mir -t a > /dev/null || exit 1
"$mirsight" -i in -p ref_b -m mir -t b > /dev/null || exit 1
tables=$(cd ref_a && ls out_result_mir_*.txt)
for t in $tables; do
    cmp -s "ref_a/$t" "ref_b/$t" && { echo "FAIL: the samples give the same $t"; exit 1; }
done

failed=0
from_a=0
from_b=0
for pair in $(seq "$pairs"); do
    "${launch[@]}" "$mirsight" -i in -p out -m mir -t a > /dev/null 2> out_a.err &
    first=$!
    "${launch[@]}" "$mirsight" -i in -p out -m mir -t b > /dev/null 2> out_b.err &
    second=$!
    wait "$first" || { echo "FAIL: pair $pair: run a failed: $(cat out_a.err)"; failed=1; }
    wait "$second" || { echo "FAIL: pair $pair: run b failed: $(cat out_b.err)"; failed=1; }
    same_a=0
    same_b=0
    for t in $tables; do
        cmp -s "out/$t" "ref_a/$t" && same_a=$((same_a + 1))
        cmp -s "out/$t" "ref_b/$t" && same_b=$((same_b + 1))
    done
    count=$(echo $tables | wc -w)
    if [ "$same_a" = "$count" ]; then
        from_a=$((from_a + 1))
    elif [ "$same_b" = "$count" ]; then
        from_b=$((from_b + 1))
    else
        echo "FAIL: pair $pair: a mixed set ($same_a tables of a, $same_b of b)"
        failed=1
    fi
    leftovers=$(find out -name '*.mirsight-*.tmp')
    [ -z "$leftovers" ] || { echo "FAIL: pair $pair left $leftovers"; failed=1; }
done
echo "$pairs pairs ($mode): $from_a final sets from sample a, $from_b from sample b"
[ "$failed" = 0 ] && echo "PASS: concurrent runs ($mode)"
exit "$failed"
