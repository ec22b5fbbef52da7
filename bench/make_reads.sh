#!/usr/bin/env bash
# Writes gzip-compressed FASTQ reads for mirsight-collapse, the same bytes
# for the same arguments (own random numbers, gzip -n).
#
#   make_reads.sh [--seed N] [--reads N] OUT.fastq.gz
#       N reads (default 10000000) drawn with a Zipf-like skew from 500,000
#       distinct random inserts of 18 to 30 nt (1% with an N), each followed
#       by the 3' adapter TGGAATTCTCGGGTGCCAAGG.
#   make_reads.sh [--seed N] --from-tags TAGS.txt OUT.fastq.gz
#       every tag of the tag-count file TAGS.txt (sequence, tab, count) as
#       many times as its count, followed by the adapter, in shuffled order.
#
# Qualities are all "I"; read names are "@read<number>".
set -euo pipefail

seed=20261207
reads=10000000
tags=""
out=""
while [ $# -gt 0 ]; do
    case "$1" in
        --seed) seed=$2; shift 2 ;;
        --reads) reads=$2; shift 2 ;;
        --from-tags) tags=$2; shift 2 ;;
        -*) echo "make_reads.sh: unknown option $1" >&2; exit 2 ;;
        *) out=$1; shift ;;
    esac
done
[ -n "$out" ] || { echo "usage: make_reads.sh [--seed N] [--reads N | --from-tags TAGS.txt] OUT.fastq.gz" >&2; exit 2; }

export LC_ALL=C
adapter=TGGAATTCTCGGGTGCCAAGG

# Park-Miller random numbers: exact in awk's doubles on every awk.
random_awk='
function next_random() { state = (state * 16807) % 2147483647; return state / 2147483647 }
function fastq(number, insert,    read, quality) {
    read = insert adapter
    quality = substr(qualities, 1, length(read))
    return "@read" number "\n" read "\n+\n" quality "\n"
}
BEGIN {
    state = seed % 2147483646 + 1
    qualities = "IIIIIIIIIIIIIIIIIIIIIIIIIIIIIIIIIIIIIIIIIIIIIIIIIIIIIIIIIIIIIIIIIIIIIIIIIIIIIIII"
    while (length(qualities) < 1000) qualities = qualities qualities
}'

if [ -n "$tags" ]; then
    # One line per read with a random sort key, sorted, the key cut off.
    awk -v seed="$seed" -v adapter="$adapter" "$random_awk"'
        {
            tab = index($0, "\t")
            if (tab == 0) next
            insert = substr($0, 1, tab - 1)
            count = substr($0, tab + 1) + 0
            for (i = 0; i < count; ++i)
                printf "%010d\t%s\n", int(next_random() * 1000000000), insert
        }' "$tags" |
        sort -k1,1 -k2,2 |
        awk -v adapter="$adapter" "$random_awk"'
            { split($0, field, "\t"); printf "%s", fastq(NR, field[2]) }' |
        gzip -n -6 > "$out"
else
    awk -v seed="$seed" -v reads="$reads" -v adapter="$adapter" "$random_awk"'
        BEGIN {
            distinct = 500000
            split("A C G T", letter, " ")
            for (d = 0; d < distinct; ++d) {
                size = 18 + int(next_random() * 13)
                insert = ""
                for (j = 0; j < size; ++j) insert = insert letter[1 + int(next_random() * 4)]
                if (next_random() < 0.01) insert = substr(insert, 1, 9) "N" substr(insert, 11)
                pool[d] = insert
            }
            for (r = 1; r <= reads; ++r) {
                u = next_random()
                printf "%s", fastq(r, pool[int(distinct * u * u * u * u)])
            }
        }' |
        gzip -n -6 > "$out"
fi
