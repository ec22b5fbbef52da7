#!/usr/bin/env bash
# Every way of asking the version names the version and the commit the
# programs were built from, a sample's provenance records both, and the
# build's commit file follows the source's commit.
#
#   version_check.sh MIRSIGHT MIRSIGHT_COLLAPSE PROJECT_ROOT
set -u
mirsight=$(realpath "$1")
collapse=$(realpath "$2")
root=$(realpath "$3")
source "$root/e2e/require_tools.sh"
require_tool git cmake || exit 77

work=$(mktemp -d /tmp/mirsight_version_XXXXXX)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
failed=0
fail() { echo "FAIL: $*"; failed=1; }

version=$(sed -n 's/^constexpr char const \* mirsight_version = "\(.*\)";$/\1/p' "$root/src/core/version.hpp")
[ -n "$version" ] || fail "no version in src/core/version.hpp"
# The build's commit: the source's, "-dirty" when files were changed since
# (the tests may run on a tree edited after the build); "unknown" for a
# source that is no git checkout.
if git -C "$root" rev-parse --is-inside-work-tree > /dev/null 2>&1 && [ -e "$root/.git" ]; then
    commit_pattern="$(git -C "$root" describe --always)(-dirty)?"
else
    commit_pattern=unknown
fi

# PROGRAM ARGS...: prints "NAME VERSION (commit COMMIT)" and nothing else.
check_version() {
    local name=$1 program=$2
    shift 2
    local out
    out=$("$program" "$@" 2> stderr.txt)
    local status=$?
    [ "$status" = 0 ] || fail "'$name $*' exited with $status"
    [ ! -s stderr.txt ] || fail "'$name $*' wrote to standard error: $(cat stderr.txt)"
    [[ $out =~ ^$name\ ${version//./\\.}\ \(commit\ ($commit_pattern)\)$ ]] ||
        fail "'$name $*' printed '$out', not '$name $version (commit $commit_pattern)'"
}
check_version mirsight "$mirsight" --version
check_version mirsight "$mirsight" -s hsa --version
for command in map merge collapse; do
    check_version mirsight "$mirsight" "$command" --version
done
check_version mirsight "$mirsight" map --mature mature.fa --version
check_version mirsight-collapse "$collapse" --version
check_version mirsight-collapse "$collapse" --adapter none --version
printed=$("$mirsight" --version)

# The provenance holds the version and the commit that --version prints.
"$mirsight" map --mature "$root/Tests/mirna_example.txt" --tags "$root/Tests/tag_count_iso_exampl.txt" \
    --species hsa --outdir out --sample S --quiet > /dev/null 2>&1 || fail "map"
recorded=$(awk -F'\t' '$1 == "mirsight_version" { v = $2 } $1 == "mirsight_commit" { c = $2 }
                       END { printf "mirsight %s (commit %s)", v, c }' out/S.provenance.tsv)
[ "$recorded" = "$printed" ] || fail "the provenance records '$recorded', --version prints '$printed'"

# The build's commit file: written again when the commit changes (and only
# then, so that nothing is compiled again for nothing), "-dirty" for
# changed files, "unknown" outside a git checkout.
commit_of() {  # commit_of SOURCE: the commit the generated file names
    cmake -DSOURCE_DIR="$1" -DOUTPUT="$work/build_commit.cpp" -DGIT_EXECUTABLE="$(command -v git)" \
        -P "$root/cmake/build_commit.cmake" || fail "cmake/build_commit.cmake failed"
    sed -n 's/^ *return "\(.*\)";$/\1/p' "$work/build_commit.cpp"
}
mkdir source && cd source || exit 1
git init -q . && git config user.email test@example.org && git config user.name test
echo one > file && git add file && git commit -qm one
first=$(git rev-parse --short HEAD)
[ "$(commit_of "$PWD")" = "$first" ] || fail "the commit file does not name commit $first: $(cat ../build_commit.cpp)"
before=$(stat -c %y ../build_commit.cpp)
sleep 0.05
commit_of "$PWD" > /dev/null
[ "$(stat -c %y ../build_commit.cpp)" = "$before" ] || fail "the commit file was written again for the same commit"
echo two > file && git commit -qam two
second=$(git rev-parse --short HEAD)
[ "$(commit_of "$PWD")" = "$second" ] || fail "after a new commit the file does not name $second"
echo three > file
[ "$(commit_of "$PWD")" = "$second-dirty" ] || fail "a changed file is not '$second-dirty'"
cd .. && mkdir tarball && echo one > tarball/file
[ "$(commit_of "$work/tarball")" = unknown ] || fail "a source outside git is not 'unknown'"

[ "$failed" = 0 ] && echo "PASS: $printed"
exit "$failed"
