#!/usr/bin/env bash
# Runs the tool and the reference model side by side on the bundled example
# with the given arguments and reports any difference in standard output,
# exit status or any written file. Needs python3.
#
#   e2e/compare_with_model.sh BINARY [tool arguments...]
set -u
binary=$(realpath "$1"); shift
root=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d /tmp/mirsight_cmp_XXXXXX)
trap 'rm -rf "$work"' EXIT
for side in tool model; do
    mkdir -p "$work/$side/Tests"
    cp "$root/Tests/mirna_example.txt" "$root/Tests/tag_count_iso_exampl.txt" "$work/$side/Tests/"
done
(cd "$work/tool" && "$binary" "$@" > .stdout 2> /dev/null; echo $? > .status)
(cd "$work/model" && python3 "$root/e2e/reference_model.py" "$@" > .stdout 2> /dev/null; echo $? > .status)
if diff -r "$work/model" "$work/tool"; then
    echo "same: $*"
else
    echo "DIFFERENT: $*"
    exit 1
fi
