#!/usr/bin/env bash
# Reads per second of mirsight-collapse on generated reads.
#
#   collapse_bench.sh COLLAPSE_BINARY [READS.fastq.gz] [RUNS]
#
# Without READS, writes 10,000,000 reads with make_reads.sh into a scratch
# folder first (not timed). Runs the collapser RUNS times (default 3) and
# prints each run's wall time and peak resident memory (/usr/bin/time, Debian
# package "time"), then the median time and reads per second.
set -euo pipefail
collapse=$(realpath "$1")
reads=${2:-}
runs=${3:-3}
scratch=$(mktemp -d /tmp/collapse_bench_XXXXXX)
trap 'rm -rf "$scratch"' EXIT
if [ -z "$reads" ]; then
    reads=$scratch/reads_10M.fastq.gz
    bash "$(dirname "$0")/make_reads.sh" "$reads"
fi

times=()
for run in $(seq "$runs"); do
    /usr/bin/time -f "%e %M" -o "$scratch/time.txt" \
        "$collapse" -o "$scratch/tags.txt" "$reads" 2> "$scratch/summary.txt"
    read -r seconds peak_kb < "$scratch/time.txt"
    echo "run $run: $seconds s, peak $peak_kb KB"
    times+=("$seconds")
done
cat "$scratch/summary.txt"
read_count=$(awk '$1 == "reads_read" { print $3 }' "$scratch/summary.txt")
median=$(printf '%s\n' "${times[@]}" | sort -g | awk '{ t[NR] = $1 } END { print t[int((NR + 1) / 2)] }')
awk -v n="$read_count" -v t="$median" 'BEGIN { printf "median %.2f s, %.0f reads per second\n", t, n / t }'
