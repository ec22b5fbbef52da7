#!/usr/bin/env bash
# How mirsight-collapse chooses the 3' adapter (--adapter auto, the
# default): each kit's adapter on generated raw reads, the reads' true
# inserts recovered; reads already trimmed (by cutadapt) counted exactly as
# with --adapter none; an adapter of no kit found from the reads; reads
# with no adapter to find an error naming the candidates; --adapter none on
# raw reads warned about; lanes collapsed together (on 1 and 3 threads
# alike), one file twice refused;
# bad kit and adapter names a command-line error. Exit 77 without cutadapt.
#
#   adapter_choice_check.sh COLLAPSE_BINARY PROJECT_ROOT
set -uo pipefail
source "$(dirname "$0")/require_tools.sh"
require_tool cutadapt python3 || exit 77
collapse=$(realpath "$1")
root=$(realpath "$2")
scratch=$(mktemp -d /tmp/adapter_choice_XXXXXX)
trap 'rm -rf "$scratch"' EXIT
cd "$scratch" || exit 1
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
make_reads() { python3 "$root/bench/make_kit_reads.py" --mature "$root/Tests/mirna_example.txt" --reads 5000 "$@"; }

# Auto on each kit's reads (without sequencing errors): the kit's adapter is
# named, and (with the kit's layout) the kept inserts are the true ones.
for kit in illumina neb qiaseq nextflex; do
    make_reads --kit "$kit" --seed 21 --error-scale 0 --out "$kit.fastq.gz" --truth "$kit.truth"
    "$collapse" -o "$kit.auto.txt" "$kit.fastq.gz" 2> "$kit.log" || fail "$kit: exit status $?: $(cat "$kit.log")"
    expected=$kit
    [ "$kit" = nextflex ] && expected=illumina  # the same adapter: the layout needs --protocol
    grep -q "^adapter = 3' adapter [ACGT]* ($expected kit)" "$kit.log" || fail "$kit: not chosen: $(head -1 "$kit.log")"
    "$collapse" --protocol "$kit" --count reads -o "$kit.txt" "$kit.fastq.gz" 2> /dev/null || fail "$kit: --protocol failed"
    awk -F'\t' '$4 == "insert" && length($2) >= 15 && length($2) <= 40 { n[$2]++ }
        END { for (s in n) print s "\t" n[s] }' "$kit.truth" | sort > "$kit.true.txt"
    sort "$kit.txt" > "$kit.sorted.txt"
    [ "$(wc -l < "$kit.true.txt")" -ge 20 ] || fail "$kit: too few true inserts generated"
    off=$(join -t $'\t' -a 1 -a 2 -e 0 -o 0,1.2,2.2 "$kit.true.txt" "$kit.sorted.txt" |
        awk -F'\t' '{ d = $2 - $3; off += d < 0 ? -d : d } END { print off + 0 }')
    # An insert may end as the adapter starts: a few reads are cut short.
    [ "$off" -le 50 ] || fail "$kit: $off read placements differ from the true inserts"
    echo "$kit: $off of 5000 read placements differ from the true inserts"
done

# Already trimmed reads: nothing is trimmed, the counts are those of --adapter none.
cutadapt -a TGGAATTCTCGGGTGCCAAGG --quiet -m 1 -o trimmed.fastq illumina.fastq.gz
"$collapse" -o trimmed_auto.txt trimmed.fastq 2> trimmed.log || fail "trimmed reads: exit status $?"
"$collapse" --adapter none -o trimmed_none.txt trimmed.fastq 2> /dev/null || fail "trimmed reads, none: exit status $?"
grep -q "^adapter = reads are already trimmed" trimmed.log || fail "trimmed reads: $(head -1 trimmed.log)"
cmp -s trimmed_auto.txt trimmed_none.txt || fail "trimmed reads: auto and none count differently"

# An adapter of no kit, and reads with no adapter at all.
make_reads --kit neb --seed 22 --out neb2.fastq
sed 's/AGATCGGAAGAGCACACGTCT/GTTCAGAGTTCTACAGTCCGA/' neb2.fastq > other.fastq
"$collapse" -o other.txt other.fastq 2> other.log || fail "other adapter: exit status $?: $(cat other.log)"
grep -q "^adapter = 3' adapter GTTCAGAGTTCTACAGTC[ACGT]* (found in the reads)" other.log ||
    fail "other adapter: not found: $(head -1 other.log)"
"$collapse" --adapter GTTCAGAGTTCTACAGTCCGA -o other_given.txt other.fastq 2> /dev/null
cmp -s other.txt other_given.txt || fail "other adapter: the found adapter trims otherwise than the given one"
python3 -c "
import random
r = random.Random(3)
for i in range(2000):
    s = ''.join(r.choice('ACGT') for _ in range(50))
    print(f'@n{i}\n{s}\n+\n{\"I\" * 50}')" > random.fastq
"$collapse" -o random.txt random.fastq 2> random.log
status=$?
[ "$status" = 1 ] || fail "random reads: exit status $status, not 1"
grep -q "^mirsight-collapse: error: reads file 'random.fastq': cannot tell the 3' adapter .*illumina TGGAATTCTCGGGTGCCAAGG in 0.0%.*--adapter" random.log ||
    fail "random reads: the error does not name the file and the candidates: $(cat random.log)"

# --adapter none on raw reads: counted untrimmed, with a warning naming the adapter.
"$collapse" --adapter none -o none.txt neb.fastq.gz 2> none.log || fail "none: exit status $?"
grep -q "^mirsight-collapse: warning: .* reads hold the neb 3' adapter AGATCGGAAGAGCACACGTCT" none.log ||
    fail "none on raw reads: no warning: $(cat none.log)"
"$collapse" --adapter none -o none.txt trimmed.fastq 2> none.log
grep -q "warning" none.log && fail "none on trimmed reads warns: $(cat none.log)"

# Lanes together; one file twice.
# (45,000 reads: several blocks of reads for the trimming threads.)
python3 "$root/bench/make_kit_reads.py" --mature "$root/Tests/mirna_example.txt" --reads 40000 --kit illumina \
    --seed 23 --out lane2.fastq.gz
"$collapse" -o lanes.txt illumina.fastq.gz lane2.fastq.gz 2> lanes.log || fail "lanes: exit status $?"
grep -q "^reads_read = 45000$" lanes.log || fail "lanes: $(cat lanes.log)"
"$collapse" --threads 3 -o lanes2.txt illumina.fastq.gz lane2.fastq.gz 2> lanes2.log || fail "2 threads: exit status $?"
cmp -s lanes.txt lanes2.txt && cmp -s lanes.log lanes2.log || fail "3 threads count otherwise than 1"
"$collapse" -o twice.txt illumina.fastq.gz ./illumina.fastq.gz 2> twice.log
[ $? = 1 ] && grep -q "'./illumina.fastq.gz' is named twice" twice.log || fail "one file twice: $(cat twice.log)"

# Command-line errors.
"$collapse" --protocol truseq illumina.fastq.gz 2> bad.log
[ $? = 2 ] && grep -q "illumina, neb, nextflex, qiaseq" bad.log || fail "unknown kit: $(cat bad.log)"
"$collapse" --adapter TGGAAXTC illumina.fastq.gz 2> bad.log
[ $? = 2 ] || fail "adapter with X: not a command-line error: $(cat bad.log)"

if [ "$failures" -gt 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
echo "adapter choice checks passed"
