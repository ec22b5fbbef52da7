#!/usr/bin/env bash
# The Debian package, as a user gets it: built by cpack in the build
# folder, checked by lintian, installed by dpkg into a throwaway root (a
# folder with a dpkg database of its own: the machine's /usr is not
# touched), the README's study run with the installed program and the
# installed workflow (the program found on PATH) and compared with the
# build's own program, then the package purged, leaving nothing.
#
#   package_check.sh BUILD_DIR PROJECT_ROOT
set -u
build=$(realpath "$1")
root=$(realpath "$2")
source "$root/e2e/require_tools.sh"
require_tool cpack dpkg dpkg-deb dpkg-query dpkg-shlibdeps lintian snakemake || exit 77
export LC_ALL=C.UTF-8

work=$(mktemp -d /tmp/mirsight_package_XXXXXX)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
failed=0
fail() { echo "FAIL: $*"; failed=1; }

# The package, from the build as it is.
(cd "$build" && cpack -G DEB --config CPackConfig.cmake -B "$work/package") > cpack.log 2>&1 ||
    { cat cpack.log; fail "cpack failed"; exit 1; }
debs=("$work"/package/mirsight_*.deb)
[ ${#debs[@]} = 1 ] && [ -f "${debs[0]}" ] || { fail "cpack made no single package: ${debs[*]}"; exit 1; }
deb=${debs[0]}
echo "package: $(basename "$deb")"

# lintian: no error; the warnings are shown.
lintian --tag-display-limit 0 "$deb" > lintian.txt 2>&1
grep '^E:' lintian.txt && fail "lintian reports errors"
grep '^W:' lintian.txt | sed 's/^/lintian /'

# Every dependency dpkg-shlibdeps found names a package installed here, in
# a version that satisfies it.
depends=$(dpkg-deb -f "$deb" Depends)
[[ $depends == *libc6* ]] || fail "Depends lacks libc6, so the library dependencies were not computed: '$depends'"
IFS=',' read -ra groups <<< "$depends"
for group in "${groups[@]}"; do
    met=
    IFS='|' read -ra alternatives <<< "$group"
    for alternative in "${alternatives[@]}"; do
        read -r name relation version <<< "$(sed 's/[()]/ /g' <<< "$alternative")"
        installed=$(dpkg-query -W -f='${Status}\t${Version}' "$name" 2> /dev/null)
        [[ $installed == "install ok installed"* ]] || continue
        [ -z "$relation" ] || dpkg --compare-versions "${installed#*$'\t'}" "$relation" "$version" || continue
        met=$alternative
    done
    [ -n "$met" ] || fail "the dependency '$group' is not installed here"
done
echo "Depends: $depends (each installed)"

# The listing: owned by root, directories and programs 0755, the rest 0644,
# a manual page for each program.
dpkg-deb -c "$deb" > listing.txt
awk '$2 != "root/root" { print "owner: " $0 }
     $1 ~ /^d/ && $1 != "drwxr-xr-x" { print "mode: " $0 }
     $1 ~ /^-/ && $6 ~ /^\.\/usr\/bin\// && $1 != "-rwxr-xr-x" { print "mode: " $0 }
     $1 ~ /^-/ && $6 !~ /^\.\/usr\/bin\// && $1 != "-rw-r--r--" { print "mode: " $0 }' listing.txt > bad_modes.txt
[ ! -s bad_modes.txt ] || fail "files not root's or of another mode: $(head -5 bad_modes.txt)"
for program in $(awk '$6 ~ /^\.\/usr\/bin\/./ { sub(/.*\//, "", $6); print $6 }' listing.txt); do
    grep -q "\./usr/share/man/man1/$program\.1\.gz$" listing.txt || fail "no manual page for /usr/bin/$program"
done
for file in usr/bin/mirsight usr/bin/mirsight-collapse usr/share/mirsight/workflow/Snakefile \
            usr/share/mirsight/workflow/config.yaml usr/share/mirsight/workflow/samples.tsv \
            usr/share/mirsight/workflow/profiles/slurm/config.yaml usr/share/doc/mirsight/copyright \
            usr/share/doc/mirsight/changelog.Debian.gz usr/share/doc/mirsight/changelog.gz \
            usr/share/man/man1/mirsight-map.1.gz usr/share/bash-completion/completions/mirsight; do
    grep -q "\./$file$" listing.txt || fail "the package lacks /$file"
done

# Installed by dpkg into a root of its own (its database knows none of the
# libraries, which are checked above against this machine's).
target=$work/target
mkdir -p "$target/var/lib/dpkg/info" "$target/var/lib/dpkg/updates"
touch "$target/var/lib/dpkg/status"
dpkg --root="$target" --force-depends -i "$deb" > dpkg_install.log 2>&1 ||
    { cat dpkg_install.log; fail "dpkg -i failed"; exit 1; }
dpkg --root="$target" -L mirsight | sort > installed_by_dpkg.txt
(cd "$target" && find usr -printf '/%p\n' | sort) > installed_found.txt
diff <(grep -v '^/\.$' installed_by_dpkg.txt) installed_found.txt > listing_diff.txt ||
    fail "dpkg -L and the installed files differ: $(head -5 listing_diff.txt)"

# The installed program comes first on PATH; it is the build's.
export PATH=$target/usr/bin:$PATH
[ "$(command -v mirsight)" = "$target/usr/bin/mirsight" ] || fail "mirsight on PATH is $(command -v mirsight)"
[ "$(mirsight --version)" = "$("$build/mirsight" --version)" ] ||
    fail "the installed mirsight says '$(mirsight --version)', the build's '$("$build/mirsight" --version)'"
touch before_runs

# The README's study (scripts/dev.sh run) by hand: with the installed
# program, and with the build's.
study() {  # study PROGRAM OUTDIR
    local m=(--mature "$root/Tests/mirna_example.txt" --hairpin "$root/Tests/hairpin_example.txt" --species hsa
             --outdir "$2/samples" --quiet)
    "$1" map "${m[@]}" --tags "$root/Tests/reads_example.fastq.gz" --sample liver &&
        "$1" map "${m[@]}" --tags "$root/Tests/reads_muscle.fastq.gz" --sample muscle &&
        "$1" map "${m[@]}" --tags "$root/Tests/reads_plasma_L1.fastq.gz" --tags "$root/Tests/reads_plasma_L2.fastq.gz" \
            --sample plasma &&
        "$1" merge --outdir "$2/merged" --quiet "$2/samples"
}
study mirsight installed > study_installed.log 2>&1 || { cat study_installed.log; fail "the installed program's study"; }
study "$build/mirsight" built > study_built.log 2>&1 || { cat study_built.log; fail "the build's study"; }
cmp -s installed/merged/mirna_counts.tsv built/merged/mirna_counts.tsv ||
    fail "the installed program's matrix differs from the build's"

# The installed workflow, from a folder of the user's, with the installed
# sheet template's samples, mirsight taken from PATH (not given).
mkdir study_folder && cd study_folder || exit 1
sed "s|Tests/|$root/Tests/|g" "$target/usr/share/mirsight/workflow/samples.tsv" > my_samples.tsv
snakemake -s "$target/usr/share/mirsight/workflow/Snakefile" --cores 2 results/merged/mirna_counts.tsv \
    --config samples=my_samples.tsv mature="$root/Tests/mirna_example.txt" hairpin="$root/Tests/hairpin_example.txt" \
             outdir=results > snakemake.log 2>&1 ||
    { tail -30 snakemake.log; fail "the installed workflow failed"; }
cd "$work" || exit 1
cmp -s study_folder/results/merged/mirna_counts.tsv built/merged/mirna_counts.tsv ||
    fail "the installed workflow's matrix differs from the build's study"
[ "$(wc -l < built/merged/mirna_counts.tsv)" -ge 10 ] || fail "the study's matrix has too few rows"
written=$(find "$target/usr" -newer before_runs)
[ -z "$written" ] || fail "running wrote into the installed files: $written"

# Purged, the package leaves nothing but dpkg's own database.
dpkg --root="$target" -P mirsight > dpkg_purge.log 2>&1 || { cat dpkg_purge.log; fail "dpkg -P failed"; }
left=$(cd "$target" && find . -mindepth 1 -not -path './var' -not -path './var/lib' -not -path './var/lib/dpkg' \
       -not -path './var/lib/dpkg/*')
[ -z "$left" ] || fail "the purged package left: $left"
rm -rf "$target"
[ ! -e "$target" ] || fail "the throwaway root could not be removed"

[ "$failed" = 0 ] && echo "PASS: built, lintian-clean, installed, the study's matrix the build's, purged"
exit "$failed"
