#!/usr/bin/env bash
# Derives the expected files of an end-to-end case from the reference model
# (never from the tool itself): runs the case's setup in a scratch copy of
# the bundled inputs, runs reference_model.py with the case's arguments, and
# stores its standard output and every file it wrote under the case folder.
# Needs python3. Check the result by hand before committing it.
#
#   e2e/make_golden_case.sh CASE_DIR
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
case_dir=$(realpath "$1")
work=$(mktemp -d /tmp/mirsight_golden_XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/Tests"
cp "$root/Tests/mirna_example.txt" "$root/Tests/tag_count_iso_exampl.txt" "$work/Tests/"
args=()
if [ -f "$case_dir/args" ]; then
    while IFS= read -r line || [ -n "$line" ]; do args+=("$line"); done < "$case_dir/args"
fi
[ -f "$case_dir/setup" ] && (cd "$work" && bash "$case_dir/setup")
find "$work" -type f | sort > "$work/.before"
(cd "$work" && python3 "$root/e2e/reference_model.py" "${args[@]+"${args[@]}"}" > .stdout 2> /dev/null) || true
cp "$work/.stdout" "$case_dir/stdout"
rm -rf "$case_dir/expected"
find "$work" -type f ! -name '.stdout' ! -name '.before' | sort | comm -13 "$work/.before" - |
while read -r file; do
    relative=${file#"$work/"}
    mkdir -p "$case_dir/expected/$(dirname "$relative")"
    cp "$file" "$case_dir/expected/$relative"
done
echo "derived $(find "$case_dir/expected" -type f 2>/dev/null | wc -l) files and stdout for $(basename "$case_dir")"
