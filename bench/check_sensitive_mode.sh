#!/usr/bin/env bash
# The sensitive mode of the tool against its Python prototype
# (bench/sensitive_prototype.py) on a small simulated set made from the
# bundled example: the seven tables and the log byte for byte, with the
# default parameters and with every part changed, and on the set with N
# letters and long tags, on one and two threads.
# Then `mirsight map` with the same options: the same seven tables, the
# mode in its log; and with the precursors (map --hairpin, the short
# options with --gff3 --hairpin): the same tables from both, the raised
# limit in the log and the mirGFF3 header.
#
#   check_sensitive_mode.sh BINARY PROJECT_ROOT
set -u
binary=$(realpath "$1")
root=$(realpath "$2")
source "$root/e2e/require_tools.sh"
require_tool python3 || exit 77
work=$(mktemp -d /tmp/mirsight_sensitive_XXXXXX)
trap 'rm -rf "$work"' EXIT
failed=0
fail() { echo "FAIL: $*"; failed=1; }

python3 "$root/bench/simulate_tags.py" --mature "$root/Tests/mirna_example.txt" \
    --hairpin "$root/Tests/hairpin_example.txt" --out-dir "$work/data" --tags 3000 --seed 5 \
    --mature-out mature 2> /dev/null || { echo "FAIL: simulation"; exit 1; }

tables="unique ambigue tag_unique tag_ambigue tag_ambigue_selected unique_ambigue_selected ambigue_ambigue_selected"

# compare_runs LABEL OPTIONS...: prototype and tool (1 and 2 threads), on
# $data (the simulated set unless said otherwise).
data=$work/data
compare_runs() {
    local label=$1
    shift
    mkdir -p "$work/$label/prototype" "$work/$label/t1" "$work/$label/t2"
    python3 "$root/bench/sensitive_prototype.py" -s hsa -p "$work/$label/prototype" -i "$data" -m mature -t sim \
        "$@" > "$work/$label/prototype/log.txt" || fail "$label: prototype failed"
    for threads in 1 2; do
        local out=$work/$label/t$threads
        "$binary" --sensitive -s hsa -p "$out" -i "$data" -m mature -t sim --threads "$threads" "$@" \
            > "$out/log.txt" 2> "$out/stderr.txt" || fail "$label: tool failed with --threads $threads"
        [ -s "$out/stderr.txt" ] && fail "$label: standard error: $(head -3 "$out/stderr.txt")"
        for table in $tables; do
            cmp -s "$work/$label/prototype/out_result_mature_$table.txt" "$out/out_result_mature_$table.txt" ||
                fail "$label, --threads $threads: _$table.txt differs from the prototype's"
        done
        cmp -s "$work/$label/prototype/log.txt" "$out/log.txt" ||
            fail "$label, --threads $threads: the log differs: $(diff "$work/$label/prototype/log.txt" "$out/log.txt" | head -4)"
    done
    # Not a vacuous comparison: tags were assigned, ambiguous ones among
    # them, and some ambiguous tags were left unassigned.
    local unique selected unassigned
    unique=$(($(wc -l < "$work/$label/t1/out_result_mature_tag_unique.txt") - 1))
    selected=$(($(wc -l < "$work/$label/t1/out_result_mature_tag_ambigue_selected.txt") - 1))
    unassigned=$(($(wc -l < "$work/$label/t1/out_result_mature_tag_ambigue.txt") - 1 - selected))
    echo "$label: $unique unique tags, $selected ambiguous assigned, $unassigned ambiguous unassigned"
    [ "$unique" -gt 500 ] && [ "$selected" -gt 10 ] && [ "$unassigned" -gt 10 ] ||
        fail "$label: too few tags of some kind to be a test"
}

compare_runs defaults
compare_runs changed --sensitive-window 6 --sensitive-max-shift 4 --sensitive-max-mismatches 3 \
    --sensitive-min-matched 12 --sensitive-max-unmatched 7

# The same set with N for letters 4, 11 and 18 of one tag in ten and of one
# miRNA in five (most then have no window of seven letters without N, so
# only windows holding N meet), and one tag in ten grown to 33-70 letters
# (too long for the search's 64-bit shortcuts).
mkdir -p "$work/with_n_data"
python3 - "$work/data" "$work/with_n_data" <<'PYTHON' || fail "making the set with N"
import random, sys
source, target = sys.argv[1:]
rng = random.Random(7)
seen = set()
with open(f"{source}/sim.txt") as tags, open(f"{target}/sim.txt", "w") as out:
    for line in tags:
        letters, count = line.rstrip("\n").split("\t")
        letters = list(letters)
        draw = rng.random()
        if draw < 0.1 and len(letters) > 17:
            letters[3] = letters[10] = letters[17] = "N"
        elif draw < 0.2:
            letters += rng.choices("ACGU", k=rng.randint(33, 70) - len(letters))
        letters = "".join(letters)
        if letters not in seen:
            seen.add(letters)
            out.write(f"{letters}\t{count}\n")
with open(f"{source}/mature.txt") as mature, open(f"{target}/mature.txt", "w") as out:
    for line in mature:
        if not line.startswith(">") and len(line.strip()) > 17 and rng.random() < 0.2:
            letters = list(line.rstrip("\n"))
            letters[3] = letters[10] = letters[17] = "N"
            line = "".join(letters) + "\n"
        out.write(line)
PYTHON
data=$work/with_n_data
compare_runs with_n
data=$work/data

# mirsight map without a precursor file: the same tables, a note that the
# cost limit stays.
"$binary" map --sensitive --mature "$work/data/mature.txt" --tags "$work/data/sim.txt" --outdir "$work/map" \
    --species hsa --quiet > "$work/map.log" 2> "$work/map.err" ||
    fail "mirsight map --sensitive failed: $(head -3 "$work/map.err")"
for table in $tables; do
    cmp -s "$work/defaults/t1/out_result_mature_$table.txt" "$work/map/sim.$table.txt" ||
        fail "mirsight map: sim.$table.txt differs from the legacy run's _$table.txt"
done
grep -qxF "sensitive = seed 111010011101, max_shift 3, max_mismatches 2, min_matched 14, max_unmatched 5;" "$work/map/sim.log" ||
    fail "mirsight map: no sensitive line in the log"
grep -q "note: no --hairpin: the cost limit stays at 5" "$work/map.err" ||
    fail "mirsight map: no note about the cost limit: $(cat "$work/map.err")"

# With the precursors (map --hairpin, or the short options with --gff3
# --hairpin): the limit raised, the same tables from both interfaces, the
# mode in the log and the mirGFF3 header.
hairpin=$root/Tests/hairpin_example.txt
"$binary" map --sensitive --mature "$work/data/mature.txt" --tags "$work/data/sim.txt" --outdir "$work/map_hp" \
    --species hsa --gff3 --hairpin "$hairpin" --quiet > "$work/map_hp.log" 2> "$work/map_hp.err" ||
    fail "mirsight map --sensitive --hairpin failed: $(head -3 "$work/map_hp.err")"
mkdir -p "$work/legacy_hp"
"$binary" --sensitive -s hsa -p "$work/legacy_hp" -i "$work/data" -m mature -t sim --gff3 "$work/legacy_hp/sim.gff3" \
    --hairpin "$hairpin" > "$work/legacy_hp/log.txt" 2> /dev/null || fail "--sensitive --hairpin failed"
for table in $tables; do
    cmp -s "$work/legacy_hp/out_result_mature_$table.txt" "$work/map_hp/sim.$table.txt" ||
        fail "mirsight map --hairpin: sim.$table.txt differs from the legacy run's _$table.txt"
done
line="sensitive = seed 111010011101, max_shift 3, max_mismatches 2, min_matched 14, max_unmatched 7, vouched_max_unmatched 10;"
grep -qxF "$line" "$work/map_hp/sim.log" || fail "mirsight map --hairpin: no sensitive line in the log"
grep -qxF "$line" "$work/legacy_hp/log.txt" || fail "--sensitive --hairpin: no sensitive line in the log"
grep -qxF "## MODE: sensitive seed=111010011101,max_shift=3,max_mismatches=2,min_matched=14,max_unmatched=7,vouched_max_unmatched=10" \
    "$work/map_hp/sim.gff3" || fail "mirsight map: no MODE line in the mirGFF3 header: $(head -5 "$work/map_hp/sim.gff3")"
cmp -s "$work/map/sim.tag_unique.txt" "$work/map_hp/sim.tag_unique.txt" &&
    fail "mirsight map: the precursors changed no unique tag"

[ "$failed" = 0 ] && echo "PASS: sensitive mode equals the prototype"
exit "$failed"
