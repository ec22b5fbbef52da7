#!/usr/bin/env bash
# Wall time of `mirsight map` on one sample with two sets of options side by
# side: runs them in turn (A, B, A, B, ...), each into an empty folder, and
# prints the median of each and the ratio B / A of the medians.
#
#   bench/time_map_options.sh BINARY READS MATURE RUNS THREADS "OPTIONS A" "OPTIONS B"
#
# OPTIONS are shell words added to `map --mature MATURE --tags READS
# --species hsa --threads THREADS`, for example
#   bench/time_map_options.sh build/mirsight reads.fq.gz mature.txt 9 1 \
#       "--hairpin H.fa --ties share" "--hairpin H.fa --ties share --fold-errors"
set -eu
binary=$(realpath "$1")
reads=$(realpath "$2")
mature=$(realpath "$3")
runs=$4
threads=$5
options=("$6" "$7")
work=$(mktemp -d /tmp/mirsight_time_XXXXXX)
trap 'rm -rf "$work"' EXIT

median() { sort -n | awk '{v[NR]=$1} END {print (NR % 2) ? v[(NR+1)/2] : (v[NR/2]+v[NR/2+1])/2}'; }

for run in $(seq "$runs"); do
    for which in 0 1; do
        rm -rf "$work/out"
        cat "$reads" "$mature" > /dev/null
        start=$(date +%s.%N)
        # shellcheck disable=SC2086
        "$binary" map --mature "$mature" --tags "$reads" --outdir "$work/out" --sample s --species hsa \
            --threads "$threads" --quiet ${options[$which]} > /dev/null 2> "$work/stderr" ||
            { cat "$work/stderr" >&2; exit 1; }
        end=$(date +%s.%N)
        echo "$end - $start" | bc >> "$work/times.$which"
    done
done
a=$(median < "$work/times.0")
b=$(median < "$work/times.1")
printf 'A (%s runs, %s threads): median %.3f s   %s\n' "$runs" "$threads" "$a" "${options[0]}"
printf 'B (%s runs, %s threads): median %.3f s   %s\n' "$runs" "$threads" "$b" "${options[1]}"
printf 'B / A: %.3f\n' "$(echo "scale=4; $b / $a" | bc)"
