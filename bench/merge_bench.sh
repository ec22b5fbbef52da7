#!/usr/bin/env bash
# Merging a study: SAMPLES samples of SIZE tags each are mapped with
# `mirsight map`, then merged with `mirsight merge --gff3`; reports the time
# of all the maps, the time of the merge, and the merge's peak resident
# memory (/usr/bin/time %M).
#
#   bash bench/merge_bench.sh MIRSIGHT MAKE_BENCH_DATA [SAMPLES] [SIZE]
#
# Defaults: 50 samples of 1M tags. Every sample is made by make_bench_data
# with a seed of its own (seed = sample number modulo 5, so that samples
# share tags as those of one study do), its read counts then scaled by a
# factor of the sample's own, so that no two samples are the same.
set -euo pipefail
export LC_ALL=C
mirsight=$(realpath "$1"); generator=$(realpath "$2")
samples=${3:-50}; size=${4:-1M}
scratch=$(mktemp -d /tmp/mirsight_merge_bench_XXXXXX)
trap 'rm -rf "$scratch"' EXIT
command -v /usr/bin/time > /dev/null || apt-get install -y -qq time > /dev/null

for seed in 0 1 2 3 4; do
    "$generator" "$scratch/base$seed" --seed "$seed" "$size" > /dev/null
done
# The miRNAs of the generator are the same for every seed.
mature=$scratch/base0/mature.txt
map_seconds=0
for ((s = 1; s <= samples; ++s)); do
    awk -v f=$(( s % 7 + 1 )) -F'\t' -v OFS='\t' '{ print $1, $2 * f }' \
        "$scratch/base$(( s % 5 ))/tags_$size.txt" > "$scratch/tags.txt"
    start=$(date +%s%N)
    "$mirsight" map --mature "$mature" --tags "$scratch/tags.txt" --outdir "$scratch/samples" \
        --sample "s$s" --species hsa --threads 2 --quiet --gff3 --hairpin "$mature" > /dev/null 2>&1
    end=$(date +%s%N)
    map_seconds=$(awk -v t="$map_seconds" -v a="$start" -v b="$end" 'BEGIN { print t + (b - a) / 1e9 }')
done
start=$(date +%s%N)
/usr/bin/time -f %M -o "$scratch/merge_rss" "$mirsight" merge --outdir "$scratch/merged" --gff3 --quiet \
    "$scratch/samples"
end=$(date +%s%N)
merge_seconds=$(awk -v a="$start" -v b="$end" 'BEGIN { print (b - a) / 1e9 }')
echo "samples: $samples of $size tags; isomiR rows $(( $(wc -l < "$scratch/merged/isomir_counts.tsv") - 1 ));" \
     "mirGFF3 records $(grep -vc '^#' "$scratch/merged/mirna.gff3")"
printf 'map, all samples: %.1f s\nmerge: %.1f s, peak RSS %d MiB\n' "$map_seconds" "$merge_seconds" \
    $(( $(cat "$scratch/merge_rss") / 1024 ))
