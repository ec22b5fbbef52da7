#!/usr/bin/env bash
# Sets up a Debian 12 machine for mirsight (installs the missing packages),
# configures and builds it, then either runs it on the bundled example
# ("run") or runs the whole test suite ("test"): the unit and end-to-end
# tests, the same suite built with AddressSanitizer and UBSan, and a short
# run of every fuzz target.
set -euo pipefail
cd "$(dirname "$0")/.."
mode=${1:-run}

packages=(g++ cmake make libseqan2-dev libgtest-dev zlib1g-dev libisal-dev)
# Every outside tool a test needs (CTest label "tool"; without one such a
# test is reported as skipped, see e2e/require_tools.sh).
[ "$mode" = test ] && packages+=(clang libclang-rt-14-dev python3 cutadapt python3-mirtop mirtop python3-pandas
                                 snakemake multiqc chromium fastp bowtie slurm-wlm munge)
missing=()
for package in "${packages[@]}"; do
    dpkg -s "$package" >/dev/null 2>&1 || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

jobs=$(nproc)
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release > /dev/null

case "$mode" in
    run)
        # Only the two tools: the tests and benchmarks are built by "test".
        cmake --build build -j"$jobs" --target mirsight mirsight-collapse
        ./build/mirsight
        echo "The tables are in Tests/out_mature_*.txt; the miRNA index in Tests/mirna_example_grouped*.txt."
        echo "Install both tools with: cmake --install build (to /usr/local/bin)"
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
