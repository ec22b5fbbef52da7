#!/usr/bin/env bash
# Runs the real binary on one end-to-end case and compares everything it
# produced with what the case expects.
#
#   run_case.sh BINARY CASE_DIR PROJECT_ROOT
#
# A case folder holds:
#   args       the arguments, one per line (optional: none)
#   setup      bash run in the work folder before the tool (optional)
#   status     the expected exit status (optional: 0)
#   stdout     the expected standard output, byte for byte
#   stdout_pattern  instead of stdout: an extended regular expression that
#              standard output, one line, must match whole
#   stderr     the expected standard error (optional: it must then be empty,
#              unless stderr_has is given)
#   stderr_has lines that must each occur somewhere in standard error
#   expected/  files that must exist afterwards with exactly this content,
#              at the same relative path in the work folder
#   absent     paths that must not exist afterwards, one per line (optional)
#   same_as    name of a sibling case whose stdout and expected/ are used
#   file_size_limit  the largest file the tool may write, in blocks of 1024 bytes
# The work folder starts as a copy of the bundled Tests/ inputs.
set -u
binary=$(realpath "$1")
case_dir=$(realpath "$2")
root=$3

work=$(mktemp -d /tmp/mirsight_e2e_XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/Tests"
cp "$root/Tests/mirna_example.txt" "$root/Tests/tag_count_iso_exampl.txt" "$work/Tests/"

reference=$case_dir
if [ -f "$case_dir/same_as" ]; then
    reference=$(dirname "$case_dir")/$(tr -d '\n' < "$case_dir/same_as")
fi

args=()
if [ -f "$case_dir/args" ]; then
    while IFS= read -r line || [ -n "$line" ]; do args+=("$line"); done < "$case_dir/args"
fi

if [ -f "$case_dir/setup" ]; then
    (cd "$work" && bash "$case_dir/setup") || { echo "FAIL: setup of $case_dir failed"; exit 1; }
fi

limit=unlimited
[ -f "$case_dir/file_size_limit" ] && limit=$(tr -d '\n' < "$case_dir/file_size_limit")
# A file size limit (in blocks of 1024 bytes) stands in for a full disk: writes
# past it fail with EFBIG (the signal it would raise is ignored).
(cd "$work" && trap '' XFSZ && ulimit -f "$limit" &&
    exec "$binary" "${args[@]+"${args[@]}"}" > "$work/.stdout" 2> "$work/.stderr")
status=$?

failed=0
expected_status=0
[ -f "$case_dir/status" ] && expected_status=$(tr -d '\n' < "$case_dir/status")
if [ "$status" != "$expected_status" ]; then
    echo "FAIL: exit status $status, expected $expected_status"
    failed=1
fi

compare() {  # compare EXPECTED ACTUAL LABEL
    if [ ! -e "$2" ]; then
        echo "FAIL: $3 was not written"
        failed=1
    elif ! cmp -s "$1" "$2"; then
        echo "FAIL: $3 differs from the expected file:"
        diff "$1" "$2" | head -20
        failed=1
    fi
}

if [ -f "$reference/stdout_pattern" ]; then
    if [ "$(wc -l < "$work/.stdout")" != 1 ] || ! grep -Eqx -f "$reference/stdout_pattern" "$work/.stdout"; then
        echo "FAIL: standard output does not match $(cat "$reference/stdout_pattern"):"
        head -5 "$work/.stdout"
        failed=1
    fi
else
    compare "$reference/stdout" "$work/.stdout" "standard output"
fi
if [ -f "$case_dir/stderr" ]; then
    compare "$case_dir/stderr" "$work/.stderr" "standard error"
elif [ -f "$case_dir/stderr_has" ]; then
    while IFS= read -r wanted || [ -n "$wanted" ]; do
        [ -z "$wanted" ] && continue
        if ! grep -qF -- "$wanted" "$work/.stderr"; then
            echo "FAIL: standard error lacks: $wanted"
            echo "--- it holds:"; head -20 "$work/.stderr"
            failed=1
        fi
    done < "$case_dir/stderr_has"
elif [ -s "$work/.stderr" ]; then
    echo "FAIL: unexpected standard error:"
    head -20 "$work/.stderr"
    failed=1
fi

if [ -d "$reference/expected" ]; then
    while IFS= read -r -d '' file; do
        relative=${file#"$reference/expected/"}
        compare "$file" "$work/$relative" "$relative"
    done < <(find "$reference/expected" -type f -print0 | sort -z)
fi

if [ -f "$case_dir/absent" ]; then
    while IFS= read -r path || [ -n "$path" ]; do
        [ -z "$path" ] && continue
        if [ -e "$work/$path" ]; then
            echo "FAIL: $path should not exist"
            failed=1
        fi
    done < "$case_dir/absent"
fi

# A run never leaves its temporary files behind.
leftovers=$(find "$work" -name '*.mirsight-*.tmp')
if [ -n "$leftovers" ]; then
    echo "FAIL: temporary files left behind: $leftovers"
    failed=1
fi

if [ "$failed" = 0 ]; then
    echo "PASS: $(basename "$case_dir")"
fi
exit "$failed"
