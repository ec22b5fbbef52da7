#!/usr/bin/env bash
# How mirsight-collapse tells each reads file's layout by what maps
# (--adapter auto, the default, with --mature): each kit's generated reads
# named for their kit and trimmed as --protocol trims them; reads trimmed
# already (by cutadapt) counted as with --adapter none; an adapter of no kit
# under a dominant miRNA found without taking the miRNA's letters, and one
# followed by a UMI found with its UMI; reads no
# layout explains refused with the candidates; two lanes of two kits each
# trimmed with its own; a QIAseq UMI cut short in most reads set aside (or
# refused when molecules are asked for); --adapter none on raw reads warned
# about; lanes on 1 and 3 threads alike, one file twice refused; command-line
# errors. Exit 77 without cutadapt.
#
#   layout_choice_check.sh COLLAPSE_BINARY PROJECT_ROOT
set -uo pipefail
source "$(dirname "$0")/require_tools.sh"
require_tool cutadapt python3 || exit 77
collapse=$(realpath "$1")
root=$(realpath "$2")
mature=$root/Tests/mirna_example.txt
scratch=$(mktemp -d /tmp/layout_choice_XXXXXX)
trap 'rm -rf "$scratch"' EXIT
cd "$scratch" || exit 1
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
make_reads() { python3 "$root/bench/make_kit_reads.py" --mature "$mature" --reads 5000 "$@"; }
auto() { "$collapse" --mature "$mature" "$@"; }

# Each kit's reads (without sequencing errors): the kit is named, and the
# counts are those of --protocol KIT.
for kit in illumina neb nextflex qiaseq polya; do
    make_reads --kit "$kit" --seed 21 --error-scale 0 --out "$kit.fastq.gz"
    auto -o "$kit.auto.txt" "$kit.fastq.gz" 2> "$kit.log" || fail "$kit: exit status $?: $(cat "$kit.log")"
    grep -q "^layout = $kit.fastq.gz: $kit: .*(told by what maps; it explains" "$kit.log" ||
        fail "$kit: not told: $(grep layout "$kit.log")"
    "$collapse" --protocol "$kit" -o "$kit.txt" "$kit.fastq.gz" 2> /dev/null || fail "$kit: --protocol failed"
    cmp -s "$kit.txt" "$kit.auto.txt" || fail "$kit: auto counts otherwise than --protocol $kit"
done

# Already trimmed reads: nothing is trimmed, the counts are those of --adapter none.
cutadapt -a TGGAATTCTCGGGTGCCAAGG --quiet -m 1 -o trimmed.fastq illumina.fastq.gz
auto -o trimmed_auto.txt trimmed.fastq 2> trimmed.log || fail "trimmed reads: exit status $?"
"$collapse" --adapter none -o trimmed_none.txt trimmed.fastq 2> /dev/null || fail "trimmed reads, none: exit status $?"
grep -q "^layout = trimmed.fastq: none: reads are inserts (told by what maps" trimmed.log ||
    fail "trimmed reads: $(grep layout trimmed.log)"
cmp -s trimmed_auto.txt trimmed_none.txt || fail "trimmed reads: auto and none count differently"

# An adapter of no kit, in a library where one miRNA ending in TTTG holds
# 60% of the reads: found whole, and none of the miRNA's letters taken.
dominant=TGGAGTGTGACAATGGTGTTTG
make_reads --kit illumina --adapter GTTCAGAGTTCTACAGTCCGACGATC --dominant "$dominant" --dominant-share 0.6 \
    --seed 22 --out other.fastq
auto -o other.txt other.fastq 2> other.log || fail "other adapter: exit status $?: $(cat other.log)"
grep -q "^layout = other.fastq: found: insert, adapter GTTCAGAGTTCTACAGTC[ACGT]* (told by what maps" other.log ||
    fail "other adapter: not found: $(grep layout other.log)"
"$collapse" --adapter GTTCAGAGTTCTACAGTCCGACGATC -o other_given.txt other.fastq 2> /dev/null
cmp -s other.txt other_given.txt || fail "other adapter: the found adapter trims otherwise than the given one"
# (About 3,000 reads of it, a few with sequencing errors; with its last
# letters taken for the adapter's, none would be left whole.)
[ "$(awk -F'\t' -v d="$dominant" '$1 == d { print $2 }' other.txt)" -ge 2500 ] ||
    fail "other adapter: the dominant miRNA lost reads: $(head -3 other.txt)"

# A UMI after an adapter of no kit: found where shared letters resume, and
# molecules counted.
make_reads --kit qiaseq --adapter GTTCAGAGTTCTACAGTCCGACGATC --seed 26 --out other_umi.fastq
auto -o other_umi.txt other_umi.fastq 2> other_umi.log || fail "other adapter with UMI: exit status $?"
grep -q "^layout = other_umi.fastq: found: insert, adapter GTTCAGAGTTCTACAGTC[ACGT]*, 12-letter UMI (told by what maps" other_umi.log ||
    fail "other adapter with UMI: $(grep layout other_umi.log)"
awk '$1 == "reads_kept" { kept = $3 } $1 == "molecules_kept" { molecules = $3 }
     END { exit !(molecules > 0 && molecules < kept) }' other_umi.log || fail "other adapter with UMI: $(cat other_umi.log)"

# Reads no layout explains: random letters, and reads read backwards.
for kind in random reverse; do
    make_reads --kit "$kind" --seed 23 --out "$kind.fastq"
    auto -o "$kind.txt" "$kind.fastq" 2> "$kind.log"
    status=$?
    [ "$status" = 1 ] || fail "$kind reads: exit status $status, not 1"
    grep -q "^mirsight-collapse: error: reads file '$kind.fastq': cannot tell the reads' layout: .*illumina 0.0%, .*none 0.0%.*--protocol KIT" "$kind.log" ||
        fail "$kind reads: the error does not name the file, the candidates and the options: $(cat "$kind.log")"
    [ ! -e "$kind.txt" ] || fail "$kind reads: an output was written"
done

# Two lanes of one sample from two kits: each trimmed with its own layout.
auto -o lanes_two_kits.txt illumina.fastq.gz neb.fastq.gz 2> lanes_two_kits.log || fail "two kits: exit status $?"
grep -q "^layout = illumina.fastq.gz: illumina: " lanes_two_kits.log && grep -q "^layout = neb.fastq.gz: neb: " lanes_two_kits.log ||
    fail "two kits: $(grep layout lanes_two_kits.log)"
kept=$(awk '$1 == "reads_kept" { print $3 }' lanes_two_kits.log)
one=$(awk -F'\t' '{ s += $2 } END { print s }' illumina.txt)
other=$(awk -F'\t' '{ s += $2 } END { print s }' neb.txt)
[ "$kept" = $((one + other)) ] || fail "two kits: $kept reads kept, not $((one + other))"

# QIAseq reads of 51 letters: most UMIs cut short, so reads are counted,
# with a warning; asked for molecules, an error naming the reason.
make_reads --kit qiaseq --read-length 51 --seed 24 --out short_umi.fastq
auto -o short_umi.txt short_umi.fastq 2> short_umi.log || fail "short UMIs: exit status $?"
grep -q "^mirsight-collapse: warning: reads file 'short_umi.fastq': in [0-9.]*% of the first 5000 reads that hold the adapter, fewer than 12 letters follow it: .*counted, not molecules" short_umi.log ||
    fail "short UMIs: no warning: $(cat short_umi.log)"
[ "$(awk '$1 == "reads_too_short_for_umi" { print $3 }' short_umi.log)" = 0 ] || fail "short UMIs: reads dropped"
auto --count molecules -o short_umi_molecules.txt short_umi.fastq 2> short_umi_molecules.log
[ $? = 1 ] && grep -q "molecules cannot be counted" short_umi_molecules.log ||
    fail "short UMIs, molecules asked: $(cat short_umi_molecules.log)"

# --adapter none on raw reads: counted untrimmed, with a warning naming the adapter.
"$collapse" --adapter none -o none.txt neb.fastq.gz 2> none.log || fail "none: exit status $?"
grep -q "^mirsight-collapse: warning: .* reads hold the neb 3' adapter AGATCGGAAGAGCACACGTCT" none.log ||
    fail "none on raw reads: no warning: $(cat none.log)"
"$collapse" --adapter none -o none.txt trimmed.fastq 2> none.log
grep -q "warning" none.log && fail "none on trimmed reads warns: $(cat none.log)"

# Lanes together on 1 and 3 threads; one file twice.
# (45,000 reads: several blocks of reads for the trimming threads.)
python3 "$root/bench/make_kit_reads.py" --mature "$mature" --reads 40000 --kit illumina --seed 25 --out lane2.fastq.gz
auto -o lanes.txt illumina.fastq.gz lane2.fastq.gz 2> lanes.log || fail "lanes: exit status $?"
grep -q "^reads_read = 45000$" lanes.log || fail "lanes: $(cat lanes.log)"
auto --threads 3 -o lanes2.txt illumina.fastq.gz lane2.fastq.gz 2> lanes2.log || fail "3 threads: exit status $?"
cmp -s lanes.txt lanes2.txt && cmp -s lanes.log lanes2.log || fail "3 threads count otherwise than 1"
auto -o twice.txt illumina.fastq.gz ./illumina.fastq.gz 2> twice.log
[ $? = 1 ] && grep -q "'./illumina.fastq.gz' is named twice" twice.log || fail "one file twice: $(cat twice.log)"

# Command-line errors.
"$collapse" --protocol truseq illumina.fastq.gz 2> bad.log
[ $? = 2 ] && grep -q "illumina, neb, nextflex, qiaseq, polya" bad.log || fail "unknown kit: $(cat bad.log)"
"$collapse" --adapter TGGAAXTC illumina.fastq.gz 2> bad.log
[ $? = 2 ] || fail "adapter with X: not a command-line error: $(cat bad.log)"
"$collapse" illumina.fastq.gz 2> bad.log
[ $? = 2 ] && grep -q "give the mature miRNAs with --mature FILE" bad.log || fail "auto without miRNAs: $(cat bad.log)"

if [ "$failures" -gt 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
echo "layout choice checks passed"
