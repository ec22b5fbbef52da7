#!/usr/bin/env bash
# Merging a study: SAMPLES samples of SIZE tags each are mapped with
# `mirsight map`, then merged with `mirsight merge --gff3`; reports the time
# of all the maps, the time of the merge, the merge's peak resident memory
# (/usr/bin/time %M) and the most files it held open at once.
#
#   bash bench/merge_bench.sh MIRSIGHT MAKE_BENCH_DATA [SAMPLES] [SIZE] [MAPPED] [OLD_MIRSIGHT]
#
# Defaults: 50 samples of 1M tags, all mapped. Every sample is made by
# make_bench_data with a seed of its own (seed = sample number modulo 5, so
# that samples share tags as those of one study do), its read counts then
# scaled by a factor of the sample's own (sample number modulo 7, plus 1).
# With MAPPED < SAMPLES only MAPPED samples are mapped; every other sample is
# a copy of one of them under its own name (its tables hard-linked, its
# summary and provenance rewritten), and the time of mapping all SAMPLES is
# estimated from the mean of the MAPPED maps. The merge runs under
# `ulimit -n 64`. With OLD_MIRSIGHT the same merge is also timed with that
# build (under `ulimit -n` SAMPLES + 64, as it holds a file per sample).
set -euo pipefail
export LC_ALL=C
mirsight=$(realpath "$1"); generator=$(realpath "$2")
samples=${3:-50}; size=${4:-1M}; mapped=${5:-$samples}; old=${6:-}
[ "$mapped" -le "$samples" ] || mapped=$samples
scratch=$(mktemp -d "${TMPDIR:-/tmp}/mirsight_merge_bench_XXXXXX")
trap 'rm -rf "$scratch"' EXIT
command -v /usr/bin/time > /dev/null || apt-get install -y -qq time > /dev/null

for seed in 0 1 2 3 4; do
    "$generator" "$scratch/base$seed" --seed "$seed" "$size" > /dev/null
done
# The miRNAs of the generator are the same for every seed.
mature=$scratch/base0/mature.txt
map_seconds=0
for ((s = 1; s <= mapped; ++s)); do
    awk -v f=$(( s % 7 + 1 )) -F'\t' -v OFS='\t' '{ print $1, $2 * f }' \
        "$scratch/base$(( s % 5 ))/tags_$size.txt" > "$scratch/tags.txt"
    start=$(date +%s%N)
    "$mirsight" map --mature "$mature" --tags "$scratch/tags.txt" --outdir "$scratch/samples" \
        --sample "s$s" --species hsa --threads 2 --quiet --gff3 --hairpin "$mature" --overwrite > /dev/null 2>&1
    end=$(date +%s%N)
    map_seconds=$(awk -v t="$map_seconds" -v a="$start" -v b="$end" 'BEGIN { print t + (b - a) / 1e9 }')
done
# The other samples: copies of the mapped ones (sample s is a copy of sample
# (s - 1) % MAPPED + 1), named s<number>.
/usr/bin/python3 - "$scratch/samples" "$samples" "$mapped" <<'PY'
import os, sys
folder, samples, mapped = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
for s in range(mapped + 1, samples + 1):
    source, name = f"{folder}/s{(s - 1) % mapped + 1}", f"s{s}"
    for ending in (".mirna.tsv", ".isomirs.tsv", ".gff3"):
        os.link(source + ending, f"{folder}/{name}{ending}")
    for ending in (".summary.tsv", ".provenance.tsv"):
        with open(source + ending) as fh:
            lines = fh.read().split("\n")
        if ending == ".summary.tsv":
            lines[1] = name + lines[1][lines[1].index("\t"):]
        else:
            lines = [("sample\t" + name if l.startswith("sample\t") else l) for l in lines]
        with open(f"{folder}/{name}{ending}", "w") as fh:
            fh.write("\n".join(lines))
PY

# time_merge BINARY OUTDIR DESCRIPTORS: runs a merge, polling its open files.
time_merge() {
    local binary=$1 outdir=$2 descriptors=$3
    local start end pid most=0 now
    start=$(date +%s%N)
    ( ulimit -n "$descriptors" && exec /usr/bin/time -f %M -o "$scratch/rss" "$binary" merge --outdir "$outdir" \
        --gff3 --quiet "$scratch/samples" ) &
    pid=$!
    while kill -0 "$pid" 2> /dev/null; do
        for child in $(pgrep -P "$pid" 2> /dev/null); do
            now=$(ls "/proc/$child/fd" 2> /dev/null | wc -l)
            [ "$now" -le "$most" ] || most=$now
        done
        sleep 0.2
    done
    wait "$pid" || { echo "merge with $binary failed"; return 1; }
    end=$(date +%s%N)
    merge_seconds=$(awk -v a="$start" -v b="$end" 'BEGIN { print (b - a) / 1e9 }')
    printf 'merge (%s): %.1f s, peak RSS %d MiB, at most %d open files (ulimit -n %d)\n' "$binary" \
        "$merge_seconds" $(( $(cat "$scratch/rss") / 1024 )) "$most" "$descriptors"
}

echo "samples: $samples of $size tags ($mapped mapped, the others copies of them)"
printf 'map: %.1f s for %d samples, so about %.0f s for all %d\n' "$map_seconds" "$mapped" \
    "$(awk -v t="$map_seconds" -v m="$mapped" -v n="$samples" 'BEGIN { print t / m * n }')" "$samples"
time_merge "$mirsight" "$scratch/merged" 64
echo "isomiR rows $(( $(wc -l < "$scratch/merged/isomir_counts.tsv") - 1 )); mirGFF3 records" \
     "$(grep -vc '^#' "$scratch/merged/mirna.gff3"); output $(du -sh "$scratch/merged" | cut -f1)"
if [ -n "$old" ]; then
    time_merge "$(realpath "$old")" "$scratch/merged_old" $(( samples + 64 )) || true
    for f in mirna_counts.tsv isomir_counts.tsv; do
        cmp -s "$scratch/merged/$f" "$scratch/merged_old/$f" && echo "$f: the same as the old build's" ||
            echo "$f: differs from the old build's"
    done
fi
