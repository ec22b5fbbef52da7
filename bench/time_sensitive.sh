#!/usr/bin/env bash
# Wall time of the default and the sensitive mode side by side: runs them in
# turn (default, sensitive, default, ...; the one that starts a round moves
# on from round to round), each into an empty folder with its input files
# in the file cache, and prints the median, fastest and slowest run of
# each mode and thread count, and the ratio sensitive / default of the
# medians.
#
#   bench/time_sensitive.sh BINARY DATA_DIR [RUNS] [THREADS...]
#
# DATA_DIR holds mature.txt and sim.txt (bench/simulate_tags.py with
# --mature-out mature); RUNS defaults to 5, THREADS to "1 2". Species hsa.
# With HAIRPIN=FILE in the environment both modes also write the mirGFF3
# file on those precursors (--gff3 --hairpin), and the sensitive mode then
# uses them (the precursors' guard and limits). With INTERFACE=map both run
# as `mirsight map` (which also writes the summary and tidy tables), as the
# workflow runs them.
set -eu
binary=$(realpath "$1")
data=$(realpath "$2")
runs=${3:-5}
shift $(($# < 3 ? $# : 3))
threads_list=${*:-1 2}
work=$(mktemp -d /tmp/mirsight_time_XXXXXX)
trap 'rm -rf "$work"' EXIT

median() { sort -n | awk '{v[NR]=$1} END {print (NR % 2) ? v[(NR+1)/2] : (v[NR/2]+v[NR/2+1])/2}'; }

# one_run MODE THREADS: prints the wall time in seconds.
one_run() {
    local mode=$1 threads=$2 out=$work/run extra=()
    [ "$mode" = sensitive ] && extra=(--sensitive)
    if [ "${INTERFACE:-}" = map ]; then
        [ "$mode" = sensitive ] || extra=(--search seed)
        [ -n "${HAIRPIN:-}" ] && extra+=(--gff3 --hairpin "$HAIRPIN")
        rm -rf "$out" && mkdir -p "$out"
        sync
        cat "$data/mature.txt" "$data/sim.txt" > /dev/null
        local start end
        start=$(date +%s.%N)
        "$binary" map "${extra[@]}" --mature "$data/mature.txt" --tags "$data/sim.txt" --outdir "$out" --species hsa \
            --threads "$threads" --quiet > "$out/log.txt"
        end=$(date +%s.%N)
        echo "$end - $start" | bc
        return
    fi
    [ -n "${HAIRPIN:-}" ] && extra+=(--gff3 "$out/sim.gff3" --hairpin "$HAIRPIN")
    rm -rf "$out" && mkdir -p "$out"
    sync
    cat "$data/mature.txt" "$data/sim.txt" > /dev/null
    local start end
    start=$(date +%s.%N)
    "$binary" "${extra[@]}" -s hsa -p "$out" -i "$data" -m mature -t sim --threads "$threads" > "$out/log.txt"
    end=$(date +%s.%N)
    echo "$end - $start" | bc
}

echo "data: $data ($(wc -l < "$data/sim.txt") tags), $runs runs each${HAIRPIN:+, precursors $HAIRPIN}"
for threads in $threads_list; do
    : > "$work/default.times"
    : > "$work/sensitive.times"
    for ((r = 0; r < runs; ++r)); do
        if ((r % 2 == 0)); then order="default sensitive"; else order="sensitive default"; fi
        for mode in $order; do
            one_run "$mode" "$threads" >> "$work/$mode.times"
        done
    done
    for mode in default sensitive; do
        printf 'threads %s %-9s median %.3f s  fastest %.3f  slowest %.3f  (runs: %s)\n' "$threads" "$mode" \
            "$(median < "$work/$mode.times")" "$(sort -n "$work/$mode.times" | head -1)" \
            "$(sort -n "$work/$mode.times" | tail -1)" "$(awk '{printf "%s%.3f", (NR > 1 ? " " : ""), $1}' "$work/$mode.times")"
    done
    printf 'threads %s sensitive / default (medians): %.2f\n' "$threads" \
        "$(echo "$(median < "$work/sensitive.times") / $(median < "$work/default.times")" | bc -l)"
done
