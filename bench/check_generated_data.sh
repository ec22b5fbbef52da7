#!/usr/bin/env bash
# Checks the benchmark input that make_bench_data writes: the same seed gives
# the same bytes (whatever other sizes are asked for), the miRNA file has the
# promised species, families and headers, the tag file holds distinct DNA
# tags of 15 to 40 nt with heavy-tailed counts, and mirsight finds the
# miRNA-derived share of the tags in every isomiR class.
#
#   check_generated_data.sh MAKE_BENCH_DATA MIRSIGHT
set -u
generator=$(realpath "$1")
binary=$(realpath "$2")

work=$(mktemp -d /tmp/mirsight_bench_data_XXXXXX)
trap 'rm -rf "$work"' EXIT

failed=0
fail() {
    echo "FAIL: $*"
    failed=1
}
# expect_between LABEL VALUE LOW HIGH
expect_between() {
    if [ "$2" -lt "$3" ] || [ "$2" -gt "$4" ]; then
        fail "$1 is $2, expected $3 to $4"
    else
        echo "ok: $1 = $2"
    fi
}

"$generator" "$work/a" 100k > /dev/null || { echo "FAIL: make_bench_data failed"; exit 1; }
"$generator" "$work/b" 2500 100k > /dev/null || { echo "FAIL: make_bench_data failed"; exit 1; }
"$generator" "$work/c" --seed 7 100k > /dev/null || { echo "FAIL: make_bench_data --seed 7 failed"; exit 1; }
mature=$work/a/mature.txt
tags=$work/a/tags_100k.txt

# Reproducible, and each file independent of the other sizes asked for.
cmp -s "$mature" "$work/b/mature.txt" || fail "mature.txt differs between two runs"
cmp -s "$tags" "$work/b/tags_100k.txt" || fail "tags_100k.txt depends on the other sizes asked for"
[ "$(wc -l < "$work/b/tags_2500.txt")" -eq 2500 ] || fail "tags_2500.txt does not hold 2500 lines"
cmp -s "$tags" "$work/c/tags_100k.txt" && fail "--seed 7 gives the same tags as the default seed"

# ---- miRNA file: headers such as ">hsa-miR-123a-5p MIMAT0012345 Homo sapiens miR-123a-5p",
# one RNA sequence line after each.
header='^>[a-z]{3}-(miR|let)-[0-9]+[a-z]?-[35]p MIMAT[0-9]{7} [A-Z][a-z]+ [a-z]+ (miR|let)-[0-9]+[a-z]?-[35]p$'
expect_between "miRNA records" "$(grep -c '^>' "$mature")" 9500 10500
expect_between "human miRNA records" "$(grep -c '^>hsa-' "$mature")" 2600 3000
expect_between "species" "$(grep '^>' "$mature" | cut -c2-4 | sort -u | wc -l)" 4 10
expect_between "malformed headers" "$(awk 'NR % 2 == 1' "$mature" | grep -cvE "$header")" 0 0
expect_between "header names differing from their ID" \
    "$(awk 'NR % 2 == 1 { id = substr($1, 6); if (id != $NF) print }' "$mature" | wc -l)" 0 0
expect_between "sequence lines not of 18 to 26 RNA letters" \
    "$(awk 'NR % 2 == 0' "$mature" | grep -cvE '^[ACGU]{18,26}$')" 0 0
expect_between "repeated names" "$(grep '^>' "$mature" | cut -d' ' -f1 | sort | uniq -d | wc -l)" 0 0

# Human families (same name up to the member letter and arm) whose 5' arms
# share nucleotides 2-8 across at least two members, and let-7 among them.
families=$(paste - - < "$mature" | awk -F'\t' '
    $1 ~ /^>hsa-.*-5p / {
        split($1, words, " "); name = words[1]
        stem = name; sub(/[a-z]?-5p$/, "", stem)
        key = stem " " substr($2, 2, 7)
        members[key]++
    }
    END { for (key in members) if (members[key] >= 2) print key }')
expect_between "human families sharing nucleotides 2-8" "$(printf '%s\n' "$families" | grep -c .)" 100 2000
printf '%s\n' "$families" | grep -q '^>hsa-let-7 ' || fail "the let-7 family does not share a seed"

# Every other species repeats many human sequences.
for code in $(grep '^>' "$mature" | cut -c2-4 | sort -u | grep -vx hsa); do
    shared=$(paste - - < "$mature" | awk -F'\t' -v code=">$code-" '
        $1 ~ /^>hsa-/ { human[$2] = 1 }
        index($1, code) == 1 { total++; if ($2 in human) shared++ }
        END { print int(100 * shared / total) }')
    expect_between "percent of $code sequences equal to a human one" "$shared" 25 90
done

# ---- tag file: distinct DNA tags of 15 to 40 nt, a tab, a count.
expect_between "tags" "$(wc -l < "$tags")" 100000 100000
expect_between "malformed tag lines" "$(grep -cvE $'^[ACGT]{15,40}\t[0-9]+$' "$tags")" 0 0
expect_between "repeated tag sequences" "$(cut -f1 "$tags" | sort | uniq -d | wc -l)" 0 0
expect_between "tags of 15-16 nt" "$(awk -F'\t' 'length($1) <= 16' "$tags" | wc -l)" 1000 20000
expect_between "tags of 38-40 nt" "$(awk -F'\t' 'length($1) >= 38' "$tags" | wc -l)" 1000 20000
# Heavy tail: most tags are read once, a few thousands of times.
expect_between "percent of tags read once" "$(awk -F'\t' '$2 == 1 { n++ } END { print int(100 * n / NR) }' "$tags")" 40 80
expect_between "tags read 10,000 times or more" "$(awk -F'\t' '$2 >= 10000' "$tags" | wc -l)" 5 2000

# ---- what mirsight finds: about a third of the tags come from miRNAs, some
# of them lost to changes in the seed or non-human miRNAs.
out=$work/out
mkdir -p "$out"
(cd "$work" && "$binary" -s hsa -p "$out" -i "$work/a" -m mature -t tags_100k > "$out/log.txt") ||
    fail "mirsight failed on the generated input"
unique=$out/out_result_mature_tag_unique.txt
ambiguous=$out/out_result_mature_tag_ambigue.txt
if [ -f "$unique" ] && [ -f "$ambiguous" ]; then
    mapped=$(( $(wc -l < "$unique") + $(wc -l < "$ambiguous") - 2 ))
    expect_between "percent of tags mapped" "$(( 100 * mapped / 100000 ))" 20 40
    expect_between "percent of mapped tags that are ambiguous" \
        "$(( 100 * ($(wc -l < "$ambiguous") - 1) / mapped ))" 10 60
    # Columns 16-20 of the unique-tag table: exact, iso_5p, iso_snp,
    # iso_multi_snp, iso_3p.
    for column in 16 17 18 19 20; do
        label=$(head -1 "$unique" | cut -f"$column")
        expect_between "unique tags with $label" "$(awk -F'\t' -v c="$column" 'NR > 1 && $c == 1' "$unique" | wc -l)" 500 20000
    done
else
    fail "mirsight wrote no tag tables"
fi

if [ "$failed" = 0 ]; then
    echo "PASS: generated benchmark data"
fi
exit "$failed"
