#!/usr/bin/env bash
# Sets up a Debian 12 machine for mirsight (installs the missing packages),
# configures and builds it, then either runs the README's study on the three
# bundled samples and prints its count matrix ("run"), or runs the whole
# test suite ("test"): the unit and end-to-end tests, the same suite built
# with AddressSanitizer and UBSan, and a short run of every fuzz target.
set -euo pipefail
cd "$(dirname "$0")/.."
mode=${1:-run}

packages=(g++ cmake make libseqan2-dev libdivsufsort-dev libgtest-dev zlib1g-dev libisal-dev libssl-dev)
# Every outside tool a test needs (CTest label "tool"; without one such a
# test is reported as skipped, see e2e/require_tools.sh).
[ "$mode" = test ] && packages+=(clang libclang-rt-14-dev python3 cutadapt python3-mirtop mirtop python3-pandas
                                 snakemake multiqc chromium fastp bowtie slurm-wlm munge git lintian dpkg-dev
                                 man-db groff-base)
missing=()
for package in "${packages[@]}"; do
    dpkg -s "$package" >/dev/null 2>&1 || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# quietly LOG COMMAND...: runs COMMAND with its output in LOG; shows LOG
# and stops when it fails.
quietly() {
    local log=$1
    shift
    "$@" > "$log" 2>&1 || { cat "$log" >&2; echo "failed: $* (messages in $log)" >&2; exit 1; }
}

jobs=$(nproc)
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release > /dev/null

case "$mode" in
    run)
        # Only the two tools and what installing them needs (the manual pages
        # and the completion): the tests and benchmarks are built by "test".
        cmake --build build -j"$jobs" --target mirsight mirsight-collapse mirsight_docs
        # The README's "A study from raw reads": map each bundled sample, then
        # merge them; each command's messages go to its log in study/logs/.
        mkdir -p study/logs
        m=(--mature Tests/mirna_example.txt --hairpin Tests/hairpin_example.txt --species hsa --outdir study/samples)
        quietly study/logs/liver.log ./build/mirsight map "${m[@]}" --tags Tests/reads_example.fastq.gz --sample liver
        quietly study/logs/muscle.log ./build/mirsight map "${m[@]}" --tags Tests/reads_muscle.fastq.gz --sample muscle
        quietly study/logs/plasma.log ./build/mirsight map "${m[@]}" --tags Tests/reads_plasma_L1.fastq.gz \
            --tags Tests/reads_plasma_L2.fastq.gz --sample plasma
        quietly study/logs/merge.log ./build/mirsight merge --outdir study/merged study/samples
        cat study/merged/mirna_counts.tsv
        echo
        echo "The study's count matrix above is study/merged/mirna_counts.tsv; the other tables are in"
        echo "study/merged/ and each sample's in study/samples/ (see README.md, \"What comes out\")."
        echo "Install with: cmake --install build (the programs, workflow, manual pages and completion, under"
        echo "/usr/local), or as a Debian package: README.md, \"Install\"."
        ;;
    test)
        cmake --build build -j"$jobs"
        (cd build && ctest --output-on-failure -j"$jobs")

        echo "== the same suite under AddressSanitizer and UndefinedBehaviorSanitizer"
        sanitize="-fsanitize=address,undefined -fno-sanitize-recover=all"
        cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=RelWithDebInfo \
            "-DCMAKE_CXX_FLAGS=$sanitize -DSEQAN_ENABLE_DEBUG=1" \
            "-DCMAKE_EXE_LINKER_FLAGS=$sanitize" > /dev/null
        cmake --build build-sanitize -j"$jobs" > /dev/null
        (cd build-sanitize && ctest --output-on-failure -j"$jobs")

        echo "== fuzz targets, ${FUZZ_SECONDS:-30} s each"
        bash fuzz/run_fuzz.sh "${FUZZ_SECONDS:-30}"
        ;;
    *)
        echo "usage: bash scripts/dev.sh [run|test]" >&2
        exit 2
        ;;
esac
