#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs each for a bounded time.
#
#   bash fuzz/run_fuzz.sh [SECONDS_PER_TARGET]    (default 30)
#
# Each target first replays the inputs kept in fuzz/regressions/<target>/
# (inputs that once crashed it), then fuzzes from the seeds in
# fuzz/seeds/<target>/. A crash fails the run and leaves the input as
# crash-* in the build folder; copy it into fuzz/regressions/<target>/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
build=${FUZZ_BUILD_DIR:-build-fuzz}

CC=clang CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DMIRSIGHT_FUZZ=ON -DMIRSIGHT_TESTS=OFF > /dev/null
cmake --build "$build" -j"$(nproc)" --target \
    fuzz_mature_reader fuzz_line_sort fuzz_grouped_loader fuzz_tag_loader \
    fuzz_command_line fuzz_family_comparator fuzz_whole_run > /dev/null

status=0
passed=0
failed=0
summary=""
for target in fuzz_mature_reader fuzz_line_sort fuzz_grouped_loader fuzz_tag_loader \
              fuzz_command_line fuzz_family_comparator fuzz_whole_run; do
    binary=$build/fuzz/$target
    log=$build/$target.log
    corpus=$build/corpus/$target
    mkdir -p "$corpus"
    if [ -d "fuzz/regressions/$target" ] && [ -n "$(ls -A "fuzz/regressions/$target")" ]; then
        if ! "$binary" -close_fd_mask=1 "fuzz/regressions/$target"/* > "$log.replay" 2>&1; then
            echo "FAIL: $target crashes on a kept regression input (see $log.replay)"
            status=1
            failed=$((failed + 1))
            continue
        fi
    fi
    seeds=()
    [ -d "fuzz/seeds/$target" ] && seeds=("fuzz/seeds/$target")
    if (cd "$build" && "../$binary" -max_total_time="$seconds" -close_fd_mask=1 \
            -artifact_prefix="$target-" "../$corpus" "${seeds[@]/#/../}" > "$target.log" 2>&1); then
        runs=$(grep -a -E '^#[0-9]+[[:space:]]+DONE' "$log" | tail -1 | sed -E 's/^#([0-9]+).*/\1/')
        summary+="$target: ${runs:-0} executions, no finding"$'\n'
        passed=$((passed + 1))
    else
        echo "FAIL: $target found a crash (see $log and $build/$target-*)"
        grep -a -A5 'ERROR\|deadly' "$log" | head -20 || true
        status=1
        failed=$((failed + 1))
    fi
done
printf '%s' "$summary"
echo "fuzz: $passed passed, $failed failed"
exit "$status"
