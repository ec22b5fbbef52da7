#!/usr/bin/env bash
# The collapser's 3' adapter trimming against cutadapt's (-a ADAPTER, error
# rate 0.1, overlap 3, one adapter removed), read by read, on the bundled
# reads and on generated reads of every kit (one set with thirty times the
# sequencing errors, indels included, also searched for with N in the
# adapter); then the same through the real
# collapser: its tag counts against cutadapt's reads collapsed untrimmed,
# and its read funnel adding up. Exit 77 when cutadapt is missing.
#
#   trim_vs_cutadapt.sh TRIM_EACH_READ COLLAPSE_BINARY PROJECT_ROOT
set -uo pipefail
source "$(dirname "$0")/require_tools.sh"
require_tool cutadapt python3 || exit 77
trim_each_read=$(realpath "$1")
collapse=$(realpath "$2")
root=$(realpath "$3")
scratch=$(mktemp -d /tmp/trim_vs_cutadapt_XXXXXX)
trap 'rm -rf "$scratch"' EXIT
cd "$scratch" || exit 1
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

illumina=TGGAATTCTCGGGTGCCAAGG
declare -A adapter_of=([illumina]=$illumina [neb]=AGATCGGAAGAGCACACGTCT [nextflex]=$illumina
                       [qiaseq]=AACTGTAGGCACCATCAAT)

# name reads.fastq.gz adapter
compare_reads() {
    local name=$1 reads=$2 adapter=$3
    cutadapt -a "$adapter" -e 0.1 -O 3 -n 1 -j 1 --quiet -o "$name.cut.fastq" "$reads" ||
        { fail "$name: cutadapt failed"; return; }
    zcat -f "$reads" | awk 'NR % 4 == 1 { print substr($1, 2) }' > "$name.ids"
    zcat -f "$reads" | awk 'NR % 4 == 2' > "$name.raw"
    awk 'NR % 4 == 2' "$name.cut.fastq" > "$name.theirs"
    "$trim_each_read" "$adapter" < "$name.raw" > "$name.ours" || { fail "$name: trim_each_read failed"; return; }
    local total
    total=$(wc -l < "$name.raw")
    [ "$total" -gt 0 ] && [ "$(wc -l < "$name.theirs")" = "$total" ] && [ "$(wc -l < "$name.ours")" = "$total" ] ||
        { fail "$name: not one insert per read ($total reads)"; return; }
    paste "$name.ids" "$name.raw" "$name.theirs" "$name.ours" |
        awk -F'\t' 'toupper($3) != $4 { print "  differs: " $1 " read " $2 " cutadapt " $3 " ours " $4 }' > "$name.differs"
    local differing
    differing=$(wc -l < "$name.differs")
    head -n 20 "$name.differs"
    awk -v n="$name" -v t="$total" -v d="$differing" \
        'BEGIN { printf "%s: %d reads, %d differ, agreement %.3f%%\n", n, t, d, 100 * (t - d) / t }'
    awk -v t="$total" -v d="$differing" 'BEGIN { exit !(d * 1000 > t) }' &&
        fail "$name: under 99.9% of reads trimmed as cutadapt trims them"
}

# name reads.fastq.gz adapter: the collapser's counts and funnel.
compare_counts() {
    local name=$1 reads=$2 adapter=$3
    cutadapt -a "$adapter" -e 0.1 -O 3 -j 1 --quiet --discard-untrimmed -m 1 -o "$name.kept.fastq" "$reads" ||
        { fail "$name: cutadapt failed"; return; }
    "$collapse" --adapter none -o "$name.theirs.txt" "$name.kept.fastq" 2> /dev/null ||
        { fail "$name: collapsing cutadapt's reads failed"; return; }
    "$collapse" --adapter "$adapter" --min-insert 1 --max-insert 1000 -o "$name.ours.txt" "$reads" 2> "$name.log" ||
        { fail "$name: mirsight-collapse failed: $(cat "$name.log")"; return; }
    # Reads counted differently, over both files' tags.
    local off
    off=$(awk -F'\t' 'FNR == NR { theirs[$1] = $2; next } { ours[$1] = $2 }
        END { for (s in theirs) { d = theirs[s] - ours[s]; off += d < 0 ? -d : d }
              for (s in ours) if (!(s in theirs)) off += ours[s]; print off + 0 }' "$name.theirs.txt" "$name.ours.txt")
    local raw
    raw=$(awk '$1 == "reads_read" { print $3 }' "$name.log")
    echo "$name: mirsight-collapse counts $off read placements apart from cutadapt's, of $raw reads"
    awk -v o="$off" -v r="$raw" 'BEGIN { exit !(o * 1000 > 2 * r) }' &&
        fail "$name: the collapsed counts differ from cutadapt's for more than 0.1% of reads"
    awk '$1 ~ /^(reads_without_adapter|reads_too_short_for_umi|adapter_dimers|reads_too_short|reads_too_long|reads_kept)$/ { s += $3 }
         $1 == "reads_read" { r = $3 } END { exit !(r > 0 && s == r) }' "$name.log" ||
        fail "$name: the funnel's boxes do not add up to the raw reads: $(cat "$name.log")"
}

for reads in "$root"/Tests/reads_*.fastq.gz; do
    name=$(basename "$reads" .fastq.gz)
    compare_reads "$name" "$reads" "$illumina"
done
for kit in illumina neb nextflex qiaseq; do
    python3 "$root/bench/make_kit_reads.py" --kit "$kit" --reads 20000 --seed 11 \
        --mature "$root/Tests/mirna_example.txt" --out "$kit.fastq.gz"
    compare_reads "$kit" "$kit.fastq.gz" "${adapter_of[$kit]}"
done
python3 "$root/bench/make_kit_reads.py" --kit illumina --reads 20000 --seed 12 --error-scale 30 \
    --mature "$root/Tests/mirna_example.txt" --out noisy.fastq.gz
compare_reads noisy noisy.fastq.gz "$illumina"
compare_reads noisy_wildcards noisy.fastq.gz TGGAANTCTCGGNTGCCAAGG
compare_counts noisy noisy.fastq.gz "$illumina"
compare_counts neb neb.fastq.gz "${adapter_of[neb]}"

if [ "$failures" -gt 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
echo "trimming agrees with cutadapt"
