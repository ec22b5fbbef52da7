#!/usr/bin/env bash
# Two builds of mirsight side by side on the same generated input: runs
# alternate between the builds (and which one starts moves on each round),
# so that both meet the same machine. Reports the median wall time of each
# build with --threads 1 and --threads 2, their ratio, and whether both wrote
# the same files and log.
#
#   bash bench/compare_builds.sh OLD_BINARY NEW_BINARY MAKE_BENCH_DATA [SIZE] [RUNS]
#
# SIZE as make_bench_data takes it (default 1M); RUNS per build and thread
# count (default 11).
set -euo pipefail
export LC_ALL=C
old=$(realpath "$1"); new=$(realpath "$2"); generator=$(realpath "$3")
size=${4:-1M}; runs=${5:-11}
scratch=$(mktemp -d /tmp/mirsight_compare_XXXXXX)
trap 'rm -rf "$scratch"' EXIT
"$generator" "$scratch/data" "$size" > /dev/null

# one_run NAME BINARY THREADS: prints the wall time in seconds.
one_run() {
    local out=$scratch/out/$1
    rm -rf "$out"; mkdir -p "$out"
    cat "$scratch/data/mature.txt" "$scratch/data/tags_$size.txt" > /dev/null
    sync
    local start end
    start=$(date +%s%N)
    "$2" -s hsa -p "$out" -i "$scratch/data" -m mature -t "tags_$size" --threads "$3" > "$out/log.txt"
    end=$(date +%s%N)
    awk -v a="$start" -v b="$end" 'BEGIN { printf "%.4f", (b - a) / 1e9 }'
}

declare -A times
for ((round = 0; round < runs; ++round)); do
    order=(old new)
    [ $((round % 2)) = 1 ] && order=(new old)
    for threads in 1 2; do
        for build in "${order[@]}"; do
            binary=$old; [ "$build" = new ] && binary=$new
            times[$build$threads]+="$(one_run "$build$threads" "$binary" "$threads") "
        done
    done
done

median() { tr ' ' '\n' | grep . | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
same=yes
for threads in 1 2; do
    diff -r "$scratch/out/old$threads" "$scratch/out/new$threads" > /dev/null || same=no
done
echo "size $size, $runs alternating runs per build and thread count; same files and log: $same"
printf '%-10s %10s %10s %8s\n' threads old_s new_s new/old
for threads in 1 2; do
    o=$(echo "${times[old$threads]}" | median); n=$(echo "${times[new$threads]}" | median)
    printf '%-10s %10.3f %10.3f %8.3f\n' "$threads" "$o" "$n" "$(awk -v a="$o" -v b="$n" 'BEGIN { print b / a }')"
done
