#!/usr/bin/env bash
# Reads per second trimming raw reads: mirsight-collapse (1 and 2 threads)
# against cutadapt -j 1 and fastp (1 and 2 worker threads), each the median
# of RUNS runs (default 3) of wall time on one gzip FASTQ file.
#
#   trim_bench.sh COLLAPSE_BINARY [READS.fastq.gz] [RUNS]
#
# Without READS, 4,000,000 75-letter reads of the illumina kit are written
# first with make_kit_reads.py (not timed). cutadapt and fastp write their
# trimmed reads to a plain FASTQ file; the collapser writes its tag-count file.
set -euo pipefail
collapse=$(realpath "$1")
reads=${2:-}
runs=${3:-3}
here=$(cd "$(dirname "$0")" && pwd)
adapter=TGGAATTCTCGGGTGCCAAGG
scratch=$(mktemp -d /tmp/trim_bench_XXXXXX)
trap 'rm -rf "$scratch"' EXIT
if [ -z "$reads" ]; then
    reads=$scratch/reads_4M.fastq.gz
    python3 "$here/make_kit_reads.py" --kit illumina --reads 4000000 --seed 1 \
        --mature "$here/../Tests/mirna_example.txt" --out "$reads"
fi
read_count=$(( $(zcat "$reads" | wc -l) / 4 ))

# name command...: prints the median wall time and reads per second.
bench() {
    local name=$1
    shift
    local times=()
    for _ in $(seq "$runs"); do
        local start end
        start=$(date +%s.%N)
        "$@" > /dev/null 2> "$scratch/stderr.txt" || { echo "$name failed: $(tail -3 "$scratch/stderr.txt")"; return; }
        end=$(date +%s.%N)
        times+=("$(echo "$end - $start" | bc)")
    done
    local median
    median=$(printf '%s\n' "${times[@]}" | sort -n | awk '{ t[NR] = $1 } END { print t[int((NR + 1) / 2)] }')
    printf '%-28s median %7.2f s  %10.0f reads/s  (runs: %s)\n' "$name" "$median" \
        "$(echo "$read_count / $median" | bc -l)" "${times[*]}"
}

echo "$read_count reads in $reads"
bench "mirsight-collapse 1 thread" "$collapse" --adapter "$adapter" --threads 1 -o "$scratch/tags.txt" "$reads"
bench "mirsight-collapse 2 threads" "$collapse" --adapter "$adapter" --threads 2 -o "$scratch/tags.txt" "$reads"
bench "mirsight-collapse auto" "$collapse" --threads 2 -o "$scratch/tags.txt" "$reads"
if command -v cutadapt > /dev/null; then
    bench "cutadapt -j 1" cutadapt -j 1 --quiet -a "$adapter" -o "$scratch/out.fastq" "$reads"
    rm -f "$scratch/out.fastq"
else
    echo "cutadapt: not installed"
fi
if command -v fastp > /dev/null; then
    for workers in 1 2; do
        bench "fastp -w $workers" fastp -w "$workers" --adapter_sequence "$adapter" -i "$reads" \
            -o "$scratch/out.fastq" -j "$scratch/fastp.json" -h "$scratch/fastp.html"
        rm -f "$scratch/out.fastq"
    done
else
    echo "fastp: not installed"
fi
