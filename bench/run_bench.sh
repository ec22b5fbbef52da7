#!/usr/bin/env bash
# Benchmark of mirsight on generated input ("-s hsa", default parameters).
#
#   bash bench/run_bench.sh [--quick] [--runs N] [--data DIR] [--keep]
#
# Builds mirsight and make_bench_data in Release mode (in $BUILD_DIR,
# default build-bench), writes the benchmark input into a scratch folder
# (or DIR, where files already there are reused), and measures, as the
# median wall time of N runs (default 3) and the highest peak resident
# memory (/usr/bin/time %M):
#   - mirsight with --threads 1 and --threads 2 on 100,000, 1,000,000 and
#     5,000,000 tags;
#   - the reference engine (--reference-search) on 100,000 and 1,000,000 tags;
#   - bowtie 1 (bowtie -f -v 2 -a --norc -p 1; index of the same miRNA file
#     in DNA letters; the tags as FASTA) on 1,000,000 tags.
# The runs of one size take turns, so the ratios compare runs made side by
# side; the program that starts a round moves on from round to round.
# --quick leaves out the 5,000,000-tag size and the reference engine on
# 1,000,000 tags. bowtie and the time command are installed with apt-get
# when missing (as root). Ends with a plain table of times and ratios.
set -euo pipefail
export LC_ALL=C

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${BUILD_DIR:-$root/build-bench}")  # a relative BUILD_DIR is taken from here
runs=3
quick=0
keep=0
data=

while [ $# -gt 0 ]; do
    case $1 in
        --quick) quick=1 ;;
        --keep) keep=1 ;;
        --runs)
            runs=${2:?--runs needs a number}
            shift
            ;;
        --data)
            data=${2:?--data needs a folder}
            shift
            ;;
        *)
            echo "usage: bash bench/run_bench.sh [--quick] [--runs N] [--data DIR] [--keep]" >&2
            exit 2
            ;;
    esac
    shift
done
if ! [ "$runs" -ge 1 ] 2>/dev/null; then
    echo "error: --runs needs a number of at least 1" >&2
    exit 2
fi

scratch=$(mktemp -d /tmp/mirsight_bench_XXXXXX)
if [ "$keep" = 1 ]; then
    echo "scratch folder kept: $scratch"
else
    trap 'rm -rf "$scratch"' EXIT
fi
[ -n "$data" ] || data=$scratch/data
mkdir -p "$data"
data=$(cd "$data" && pwd)

# ---- tools
install_package() {  # install_package PACKAGE: true when it is (now) installed
    dpkg -s "$1" > /dev/null 2>&1 && return 0
    [ "$(id -u)" = 0 ] || return 1
    echo "installing $1 with apt-get"
    export DEBIAN_FRONTEND=noninteractive
    { apt-get install -y -qq --no-install-recommends "$1" > /dev/null 2>&1 ||
        { apt-get update -qq > /dev/null 2>&1 && apt-get install -y -qq --no-install-recommends "$1" > /dev/null 2>&1; }; }
}
install_package time || { echo "error: /usr/bin/time (package time) is needed" >&2; exit 1; }
have_bowtie=0
if command -v bowtie > /dev/null && command -v bowtie-build > /dev/null; then
    have_bowtie=1
elif install_package bowtie; then
    have_bowtie=1
else
    echo "warning: bowtie is not available; its runs are left out" >&2
fi

# ---- build and data
echo "building in $build (Release)"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release > "$scratch/cmake.log" 2>&1 ||
    { cat "$scratch/cmake.log" >&2; exit 1; }
cmake --build "$build" --target mirsight make_bench_data machine_scaling -j"$(nproc)" >> "$scratch/cmake.log" 2>&1 ||
    { tail -30 "$scratch/cmake.log" >&2; exit 1; }
binary=$build/mirsight
generator=$build/bench/make_bench_data

sizes=(100k 1M)
[ "$quick" = 1 ] || sizes+=(5M)
reference_sizes=(100k)
[ "$quick" = 1 ] || reference_sizes+=(1M)
bowtie_size=1M

declare -A tag_count=([100k]=100000 [1M]=1000000 [5M]=5000000)
missing=()
for size in "${sizes[@]}"; do
    [ -f "$data/tags_$size.txt" ] || missing+=("$size")
done
if [ ${#missing[@]} -gt 0 ] || [ ! -f "$data/mature.txt" ]; then
    echo "generating benchmark input in $data"
    "$generator" "$data" "${missing[@]:-100k}"
fi

# ---- measuring
declare -A samples peak
cd "$scratch"

# sample KEY COMMAND...: runs COMMAND once, adding its wall time to
# samples[KEY] and keeping the highest peak resident memory (KiB) in peak[KEY].
sample() {
    local key=$1
    shift
    local start end rss
    sync  # the files of the run before are written out before this one starts
    start=$EPOCHREALTIME
    if ! /usr/bin/time -f %M -o "$scratch/rss" "$@" > "$scratch/last_stdout" 2> "$scratch/last_stderr"; then
        echo "error: this run failed: $*" >&2
        tail -20 "$scratch/last_stderr" >&2
        exit 1
    fi
    end=$EPOCHREALTIME
    local seconds
    seconds=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", b - a }')
    samples[$key]+="$seconds "
    rss=$(tail -n 1 "$scratch/rss")
    if [ -z "${peak[$key]:-}" ] || [ "$rss" -gt "${peak[$key]}" ]; then
        peak[$key]=$rss
    fi
    echo "  $key: $seconds s, $((rss / 1024)) MiB"
}

# warm FILE...: reads the files, so that the run after finds them in the file
# cache. This machine drops files it has not read for a while from its cache
# within minutes; without this, a run could read its input from the disk or
# not, depending on what ran before it.
warm() {
    cat "$@" > /dev/null
}

# run_mirsight KEY SIZE [OPTION ...]: one run on tags_SIZE, writing into out/KEY.
# Every run writes into an empty folder, as a pipeline does with one folder
# per sample: on ext4, replacing the files of an earlier run costs more,
# because the file system writes a file out when a rename replaces another.
run_mirsight() {
    local key=$1 size=$2
    shift 2
    rm -rf "$scratch/out/$key"
    mkdir -p "$scratch/out/$key"
    warm "$data/tags_$size.txt" "$data/mature.txt"
    sample "$key" "$binary" -s hsa -p "$scratch/out/$key" -i "$data" -m mature -t "tags_$size" "$@"
    cp "$scratch/last_stdout" "$scratch/out/$key/log.txt"
}

sorted() {  # sorted "1.2 0.9 1.4 ": the times one a line, fastest first
    tr ' ' '\n' <<< "$1" | grep . | sort -g
}

median() {  # median "1.2 0.9 1.4 "
    sorted "$1" |
        awk '{ v[NR] = $1 } END { m = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2; printf "%.3f", m }'
}

if [ "$have_bowtie" = 1 ]; then
    mkdir -p "$scratch/bowtie"
    sed '/^>/!y/U/T/' "$data/mature.txt" > "$scratch/bowtie/mature_dna.fa"
    awk -F'\t' '{ print ">" NR "_" $2; print $1 }' "$data/tags_$bowtie_size.txt" > "$scratch/bowtie/tags.fa"
    build_start=$EPOCHREALTIME
    bowtie-build -q "$scratch/bowtie/mature_dna.fa" "$scratch/bowtie/mature" > "$scratch/bowtie/build.log" 2>&1 ||
        { cat "$scratch/bowtie/build.log" >&2; exit 1; }
    bowtie_build_seconds=$(awk -v a="$build_start" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.3f", b - a }')
fi

# run_variant SIZE VARIANT: one run of t1, t2, reference or bowtie on tags_SIZE.
run_variant() {
    local size=$1
    case $2 in
        t1) run_mirsight "new_t1_$size" "$size" --threads 1 ;;
        t2) run_mirsight "new_t2_$size" "$size" --threads 2 ;;
        reference) run_mirsight "reference_$size" "$size" --reference-search ;;
        bowtie)
            rm -f "$scratch/bowtie/hits.txt"
            warm "$scratch/bowtie/tags.fa" "$scratch/bowtie/mature".*
            sample "bowtie_$size" bowtie -f -v 2 -a --norc -p 1 "$scratch/bowtie/mature" "$scratch/bowtie/tags.fa" \
                "$scratch/bowtie/hits.txt"
            cp "$scratch/last_stderr" "$scratch/bowtie/summary.txt"
            ;;
    esac
}

# same_outputs KEY: "yes" when run KEY wrote the same files and log as new_t1 of its size.
same_outputs() {
    local key=$1 size=${1##*_} file
    for file in "$scratch/out/new_t1_$size"/*; do
        cmp -s "$file" "$scratch/out/$key/$(basename "$file")" || { echo "NO"; return; }
    done
    echo "yes"
}

# The variants of one size take turns, and the one that starts a round moves
# on from round to round, so that none always runs right after the same other.
# Once a size is done, the outputs of its last round are compared with those
# of --threads 1 and removed (unless --keep), so that the next size does not
# run with them in the file cache.
declare -A same_output
for size in "${sizes[@]}"; do
    variants=(t1 t2)
    [[ " ${reference_sizes[*]} " == *" $size "* ]] && variants+=(reference)
    [ "$have_bowtie" = 1 ] && [ "$size" = "$bowtie_size" ] && variants+=(bowtie)
    for ((run = 1; run <= runs; ++run)); do
        echo "$size tags, run $run of $runs"
        for ((v = 0; v < ${#variants[@]}; ++v)); do
            run_variant "$size" "${variants[$(((v + run - 1) % ${#variants[@]}))]}"
        done
    done
    for key in "new_t2_$size" "reference_$size"; do
        [ -d "$scratch/out/$key" ] && same_output[$key]=$(same_outputs "$key")
    done
    if [ "$keep" = 0 ]; then
        rm -rf "$scratch/out/"*"_$size"
        rm -f "$scratch/bowtie/hits.txt"
    fi
done

# ---- report
ratio() {  # ratio A B: A / B with two decimals
    awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "n/a" }'
}

declare -A wall
for key in "${!samples[@]}"; do
    wall[$key]=$(median "${samples[$key]}")
done

echo
echo "mirsight benchmark: -s hsa, default parameters; median of $runs runs; $(nproc) cores ($(awk -F': ' '/model name/ { print $2; exit }' /proc/cpuinfo))"
echo "commit $(git -C "$root" rev-parse --short HEAD 2>/dev/null || echo unknown)$(git -C "$root" diff --quiet HEAD 2>/dev/null || echo ' (with uncommitted changes)')"
echo
printf '%-12s %-8s %10s %12s %14s %12s %s\n' engine threads tags wall_s peak_RSS_MiB tags_per_s same_output
row() {  # row KEY ENGINE THREADS SIZE
    local key=$1
    [ -n "${wall[$key]:-}" ] || return 0
    local count=${tag_count[$4]} same=-
    [[ $key == bowtie_* || $key == new_t1_* ]] || same=${same_output[$key]:-NO}
    printf '%-12s %-8s %10s %12s %14s %12s %s\n' "$2" "$3" "$count" "${wall[$key]}" "$((peak[$key] / 1024))" \
        "$(awk -v n="$count" -v s="${wall[$key]}" 'BEGIN { printf "%.0f", n / s }')" "$same"
}
for size in "${sizes[@]}"; do
    row "new_t1_$size" new 1 "$size"
    row "new_t2_$size" new 2 "$size"
    row "reference_$size" reference 1 "$size"
    row "bowtie_$size" bowtie 1 "$size"
done
if [ "$have_bowtie" = 1 ]; then
    echo "(bowtie-build of the miRNA file, once, not counted: $bowtie_build_seconds s; bowtie:" \
        "$(grep -m1 'reads with at least one' "$scratch/bowtie/summary.txt" | sed 's/^# //'))"
fi

echo
printf '%-44s %8s   %s\n' ratio value target
ratio_row() {  # ratio_row LABEL KEY_A KEY_B TARGET
    [ -n "${wall[$2]:-}" ] && [ -n "${wall[$3]:-}" ] || return 0
    printf '%-44s %8s   %s\n' "$1" "$(ratio "${wall[$2]}" "${wall[$3]}")" "$4"
}
for size in "${reference_sizes[@]}"; do
    ratio_row "reference / new, $size tags, 1 thread" "reference_$size" "new_t1_$size" ">= 50 at 1M"
done
ratio_row "bowtie / new, $bowtie_size tags, 1 thread" "bowtie_$bowtie_size" "new_t1_$bowtie_size" ">= 5"
ratio_row "5M / 1M tags, 1 thread" new_t1_5M new_t1_1M "<= 5.2"
ratio_row "5M / 1M tags, 2 threads" new_t2_5M new_t2_1M "<= 5.2"
for size in "${sizes[@]}"; do
    ratio_row "threads 1 / threads 2, $size tags" "new_t1_$size" "new_t2_$size" ">= 1.8 at 1M"
done
[ -n "${wall[new_t1_1M]:-}" ] && printf '%-44s %8s   %s\n' "wall s, 1M tags, 1 thread" "${wall[new_t1_1M]}" "<= 0.6"
largest=${sizes[${#sizes[@]} - 1]}
printf '%-44s %8s   %s\n' "peak RSS at $largest tags, MiB (threads 1, 2)" \
    "$((peak[new_t1_$largest] / 1024)), $((peak[new_t2_$largest] / 1024))" "<= 600 at 5M"

# How far the runs of one kind spread: on a shared machine other work slows
# some runs down, and the fastest runs show what is left without it. The
# targets above stay on the medians.
extreme() {  # extreme "1.2 0.9 1.4 " head|tail: the fastest or the slowest
    sorted "$1" | "$2" -n 1
}
echo
printf '%-44s %8s %8s %8s\n' "spread of the runs, s" fastest median slowest
for size in "${sizes[@]}"; do
    for threads in 1 2; do
        key="new_t${threads}_$size"
        [ -n "${wall[$key]:-}" ] || continue
        printf '%-44s %8s %8s %8s\n' "new, $threads thread(s), $size tags" "$(extreme "${samples[$key]}" head)" \
            "${wall[$key]}" "$(extreme "${samples[$key]}" tail)"
    done
    if [ -n "${wall[new_t1_$size]:-}" ] && [ -n "${wall[new_t2_$size]:-}" ]; then
        printf '%-44s %8s\n' "threads 1 / threads 2, $size tags, fastest runs" \
            "$(ratio "$(extreme "${samples[new_t1_$size]}" head)" "$(extreme "${samples[new_t2_$size]}" head)")"
    fi
done

# What a second thread gains on this machine for each kind of work, apart
# from mirsight: the ceiling of the threads 1 / threads 2 ratio above.
echo
echo "this machine, 1 thread against 2 (bench/machine_scaling.cpp):"
"$build/bench/machine_scaling"
