#!/usr/bin/env bash
# From raw reads to a sample's tables: `mirsight map` on a gzip FASTQ file
# (trimming, collapsing and mapping in one pass; 1 and 2 threads; the
# layout told by what maps, the default, and named with --protocol
# illumina: what telling it costs) against
# cutadapt -j 1 followed by `mirsight map` on its trimmed reads, and fastp
# (1 and 2 worker threads) trimming alone. Medians of RUNS runs (default 3)
# of wall time, and of processor time (user and system, of all threads):
# their ratio is how many cores a run kept busy, which shows what threads
# bring even when other work on the machine slows the wall times down. The
# programs take turns within each round.
#
#   raw_map_bench.sh MIRSIGHT [READS.fastq.gz] [RUNS]
#
# Without READS, 4,000,000 75-letter reads of the illumina kit are written
# first with make_kit_reads.py (not timed).
set -euo pipefail
mirsight=$(realpath "$1")
reads=${2:-}
runs=${3:-3}
here=$(cd "$(dirname "$0")" && pwd)
mature="$here/../Tests/mirna_example.txt"
adapter=TGGAATTCTCGGGTGCCAAGG
scratch=$(mktemp -d /tmp/raw_map_bench_XXXXXX)
trap 'rm -rf "$scratch"' EXIT
if [ -z "$reads" ]; then
    reads=$scratch/reads_4M.fastq.gz
    python3 "$here/make_kit_reads.py" --kit illumina --reads 4000000 --seed 1 --mature "$mature" --out "$reads"
fi
read_count=$(( $(zcat "$reads" | wc -l) / 4 ))

map_raw() { "$mirsight" map --mature "$mature" --tags "$reads" --outdir "$scratch/raw$1" --species hsa --quiet --threads "$1"; }
map_kit() {
    "$mirsight" map --mature "$mature" --tags "$reads" --outdir "$scratch/kit$1" --species hsa --quiet --threads "$1" \
        --protocol illumina
}
cutadapt_then_map() {
    cutadapt -j 1 --quiet -a "$adapter" -m 15 -M 40 -o "$scratch/trimmed.fastq.gz" "$reads" &&
        "$mirsight" map --mature "$mature" --tags "$scratch/trimmed.fastq.gz" --outdir "$scratch/cut" --species hsa \
            --quiet --adapter none
}
fastp_trim() {
    fastp -w "$1" --adapter_sequence "$adapter" -l 15 --length_limit 40 -i "$reads" -o "$scratch/fastp.fastq.gz" \
        -j "$scratch/fastp.json" -h "$scratch/fastp.html"
}

names=("map, 1 thread" "map, 2 threads" "map --protocol, 1 thread" "map --protocol, 2 threads")
commands=("map_raw 1" "map_raw 2" "map_kit 1" "map_kit 2")
if command -v cutadapt > /dev/null; then names+=("cutadapt -j 1, then map"); commands+=(cutadapt_then_map); fi
if command -v fastp > /dev/null; then
    names+=("fastp -w 1 (trimming only)" "fastp -w 2 (trimming only)"); commands+=("fastp_trim 1" "fastp_trim 2")
fi
declare -A times cpu
TIMEFORMAT='%R %U %S'
for round in $(seq "$runs"); do
    for ((k = 0; k < ${#commands[@]}; ++k)); do
        i=$(( (k + round) % ${#commands[@]} ))
        if ! { time ${commands[$i]} > /dev/null 2> "$scratch/stderr.txt"; } 2> "$scratch/time.txt"; then
            echo "${names[$i]} failed: $(tail -3 "$scratch/stderr.txt")"
            exit 1
        fi
        read -r wall user system < "$scratch/time.txt"
        times[$i]="${times[$i]:-} $wall"
        cpu[$i]="${cpu[$i]:-} $(echo "$user + $system" | bc)"
    done
done
echo "$read_count reads in $reads, $runs runs each"
median_of() { printf '%s\n' $1 | sort -n | awk '{ t[NR] = $1 } END { print t[int((NR + 1) / 2)] }'; }
base=$(median_of "${times[0]}")
for ((i = 0; i < ${#commands[@]}; ++i)); do
    median=$(median_of "${times[$i]}")
    cpu_median=$(median_of "${cpu[$i]}")
    printf '%-30s median %7.2f s  %10.0f reads/s  %5.2f x map, 1 thread  cpu %6.2f s (%.2f cores)  (runs:%s)\n' \
        "${names[$i]}" "$median" "$(echo "$read_count / $median" | bc -l)" "$(echo "$median / $base" | bc -l)" \
        "$cpu_median" "$(echo "$cpu_median / $median" | bc -l)" "${times[$i]}"
done
# Telling the layout against naming it: the ratio of the medians, thread for thread.
for threads in 1 2; do
    printf 'auto / --protocol, %s thread(s): %.3f\n' "$threads" \
        "$(echo "$(median_of "${times[$((threads - 1))]}") / $(median_of "${times[$((threads + 1))]}")" | bc -l)"
done
# The same counts either way: map's own trimming against cutadapt's.
if command -v cutadapt > /dev/null; then
    cmp -s <(cut -f1,3,4 "$scratch/raw1/reads_4M.mirna.tsv" 2> /dev/null || cut -f1,3,4 "$scratch"/raw1/*.mirna.tsv) \
           <(cut -f1,3,4 "$scratch"/cut/*.mirna.tsv) && echo "map's counts equal those of cutadapt then map" ||
        echo "map's counts differ from those of cutadapt then map"
fi
