#!/usr/bin/env bash
# Two builds of mirsight side by side on the same generated input: runs
# alternate between the builds (and which one starts moves on each round),
# so that both meet the same machine. Reports, per size, the median wall time
# of each build with --threads 1 and --threads 2, their ratio, the highest
# peak resident memory (/usr/bin/time %M) of each, the threads 1 / threads 2
# ratio of each build, and whether both wrote the same files and log; with
# more than one size, the ratio of the medians of each larger size to the
# first one (5M / 1M, say).
#
#   bash bench/compare_builds.sh OLD_BINARY NEW_BINARY MAKE_BENCH_DATA [SIZES] [RUNS]
#
# SIZES as make_bench_data takes them, several in one quoted argument
# ("1M 5M"; default 1M); RUNS per build, size and thread count (default 11).
set -euo pipefail
export LC_ALL=C
old=$(realpath "$1"); new=$(realpath "$2"); generator=$(realpath "$3")
read -r -a sizes <<< "${4:-1M}"
runs=${5:-11}
command -v /usr/bin/time > /dev/null || { echo "error: /usr/bin/time (package time) is needed" >&2; exit 1; }
scratch=$(mktemp -d /tmp/mirsight_compare_XXXXXX)
trap 'rm -rf "$scratch"' EXIT
"$generator" "$scratch/data" "${sizes[@]}" > /dev/null

# one_run NAME BINARY SIZE THREADS: prints the wall time in seconds and the
# peak resident memory in KiB.
one_run() {
    local out=$scratch/out/$1
    rm -rf "$out"; mkdir -p "$out"
    cat "$scratch/data/mature.txt" "$scratch/data/tags_$3.txt" > /dev/null
    sync
    local start end
    start=$(date +%s%N)
    /usr/bin/time -f %M -o "$scratch/rss" \
        "$2" -s hsa -p "$out" -i "$scratch/data" -m mature -t "tags_$3" --threads "$4" > "$out/log.txt"
    end=$(date +%s%N)
    awk -v a="$start" -v b="$end" -v rss="$(tail -n 1 "$scratch/rss")" 'BEGIN { printf "%.4f %d\n", (b - a) / 1e9, rss }'
}

median() { tr ' ' '\n' | grep . | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
largest() { tr ' ' '\n' | grep . | sort -g | tail -n 1; }
declare -A times peaks medians
for size in "${sizes[@]}"; do
    for ((round = 0; round < runs; ++round)); do
        order=(old new)
        [ $((round % 2)) = 1 ] && order=(new old)
        for threads in 1 2; do
            for build in "${order[@]}"; do
                binary=$old; [ "$build" = new ] && binary=$new
                read -r seconds rss < <(one_run "$build$threads" "$binary" "$size" "$threads")
                times[$build$threads$size]+="$seconds "
                peaks[$build$threads$size]+="$rss "
            done
        done
    done
    same=yes
    for threads in 1 2; do
        diff -r "$scratch/out/old$threads" "$scratch/out/new$threads" > /dev/null || same=no
    done
    echo "size $size, $runs alternating runs per build and thread count; same files and log: $same"
    printf '%-10s %10s %10s %8s %12s %12s\n' threads old_s new_s new/old old_peak_MiB new_peak_MiB
    for threads in 1 2; do
        for build in old new; do
            medians[$build$threads$size]=$(echo "${times[$build$threads$size]}" | median)
        done
        o=${medians[old$threads$size]}; n=${medians[new$threads$size]}
        printf '%-10s %10.3f %10.3f %8.3f %12d %12d\n' "$threads" "$o" "$n" "$(awk -v a="$o" -v b="$n" 'BEGIN { print b / a }')" \
            $(( $(echo "${peaks[old$threads$size]}" | largest) / 1024 )) $(( $(echo "${peaks[new$threads$size]}" | largest) / 1024 ))
    done
    printf '%-10s %10.3f %10.3f\n' "t1/t2" \
        "$(awk -v a="${medians[old1$size]}" -v b="${medians[old2$size]}" 'BEGIN { print a / b }')" \
        "$(awk -v a="${medians[new1$size]}" -v b="${medians[new2$size]}" 'BEGIN { print a / b }')"
done
first=${sizes[0]}
for size in "${sizes[@]:1}"; do
    for threads in 1 2; do
        printf '%s / %s tags, %s thread(s): old %.2f, new %.2f\n' "$size" "$first" "$threads" \
            "$(awk -v a="${medians[old$threads$size]}" -v b="${medians[old$threads$first]}" 'BEGIN { print a / b }')" \
            "$(awk -v a="${medians[new$threads$size]}" -v b="${medians[new$threads$first]}" 'BEGIN { print a / b }')"
    done
done
