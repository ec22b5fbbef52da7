#!/usr/bin/env bash
# The index and search of the other small-RNA classes (src/rna_classes) on
# generated data (bench/rna_class_bench.cpp): four small classes of about
# 250,000 letters each and one reference of 100,000,000 letters; 1,000,000
# distinct tags for each (half drawn from the references, a third of those
# with one substitution, half random).
#
#   bash bench/rna_class_bench.sh [--build DIR] [--data DIR] [--runs N]
#
# Builds rna_class_bench in Release mode (in build-bench, or DIR), writes the
# data into a scratch folder (or DIR, reused when already there), then times
# with /usr/bin/time: the 100 MB reference's index built (none there yet)
# and loaded by the next run; the small classes opened; and the search of
# every tag, at most one substitution, on 1 and 2 threads (N runs each,
# default 3), with 0 substitutions on 1 thread for comparison.
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
build=$src/build-bench
data=
runs=3
while [ $# -gt 0 ]; do
    case "$1" in
        --build) build=$(realpath -m "$2"); shift 2 ;;
        --data) data=$(realpath -m "$2"); shift 2 ;;
        --runs) runs=$2; shift 2 ;;
        *) echo "usage: bash bench/rna_class_bench.sh [--build DIR] [--data DIR] [--runs N]" >&2; exit 2 ;;
    esac
done
if [ -z "$data" ]; then
    data=$(mktemp -d /tmp/mirsight_rna_class_bench_XXXXXX)
    trap 'rm -rf "$data"' EXIT
fi
mkdir -p "$data"
cmake -S "$src" -B "$build" -DCMAKE_BUILD_TYPE=Release > /dev/null
cmake --build "$build" --target rna_class_bench -j2 > /dev/null
bench=$build/bench/rna_class_bench
cd "$data"

if [ ! -s tags_big.txt ]; then
    for n in 1 2 3 4; do "$bench" reference "small$n.fa" 250000 "$n"; done
    "$bench" reference big.fa 100000000 9
    "$bench" tags tags_small.txt 1000000 11 small1.fa small2.fa small3.fa small4.fa
    "$bench" tags tags_big.txt 1000000 12 big.fa
fi
rm -rf ./*.mirsight-index

timed() {
    /usr/bin/time -f "  wall %e s, peak resident %M KB" "$@" 2>&1 | grep -v '^class .*loaded from' || true
}
small="rRNA=small1.fa tRNA=small2.fa snoRNA=small3.fa YRNA=small4.fa"

echo "== 100 MB reference: the index built, then loaded by the next run"
timed "$bench" open big=big.fa
timed "$bench" open big=big.fa
du -sh big.fa.mirsight-index | sed 's/^/  index folder: /'
echo "== four small classes (about 1 MB in all): built, then loaded"
timed "$bench" open $small
timed "$bench" open $small

for threads in 1 2; do
    for run in $(seq "$runs"); do
        echo "== small classes, $threads thread(s), run $run"
        timed "$bench" search "$threads" 1 tags_small.txt $small
    done
done
echo "== small classes, exact only, 1 thread"
timed "$bench" search 1 0 tags_small.txt $small
for threads in 1 2; do
    for run in $(seq "$runs"); do
        echo "== 100 MB reference, $threads thread(s), run $run"
        timed "$bench" search "$threads" 1 tags_big.txt big=big.fa
    done
done
echo "== 100 MB reference, exact only, 1 thread"
timed "$bench" search 1 0 tags_big.txt big=big.fa
