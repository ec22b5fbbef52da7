#!/usr/bin/env bash
# The manual pages and the bash completion made at build time say what the
# programs' help says: every option of "mirsight help COMMAND" appears in
# the rendered page of the command ("man -l"), and the completion offers
# every command, and after "--" every long option, of the help.
#
#   help_pages_check.sh man|completion MIRSIGHT MIRSIGHT_COLLAPSE DOCS_DIR PROJECT_ROOT
# DOCS_DIR is the build's generated/docs (mirsight-map.1.gz, mirsight.bash).
set -u
mode=$1
mirsight=$(realpath "$2")
collapse=$(realpath "$3")
docs=$(realpath "$4")
root=$(realpath "$5")
source "$root/e2e/require_tools.sh"
export LC_ALL=C.UTF-8

work=$(mktemp -d /tmp/mirsight_help_pages_XXXXXX)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
failed=0
fail() { echo "FAIL ($mode): $*"; failed=1; }

# The options a help text lists: the words starting with "-" before the
# description, on each line that starts (after a few blanks) with "-".
options_of() {
    awk 'match($0, /^ +-/) && RLENGTH <= 9 {
             line = substr($0, RLENGTH)
             sub(/  .*/, "", line)
             n = split(line, words, " ")
             for (i = 1; i <= n; ++i) if (words[i] ~ /^-/) { sub(/,$/, "", words[i]); print words[i] }
         }' | sort -u
}

# The help of each page: mirsight's short options, each command's, the collapser's.
"$mirsight" help short > help.mirsight
for command in map merge collapse; do
    "$mirsight" help "$command" > "help.mirsight-$command"
done
"$collapse" --help > help.mirsight-collapse-program

case "$mode" in
man)
    require_tool man groff || exit 77
    for page in mirsight mirsight-map mirsight-merge mirsight-collapse; do
        MANWIDTH=100 man --warnings -l "$docs/$page.1.gz" > "$page.txt" 2> "$page.warnings" ||
            fail "man could not render $page.1.gz"
        [ ! -s "$page.warnings" ] || fail "man warns about $page.1.gz: $(head -5 "$page.warnings")"
        grep -q "^NAME" "$page.txt" && grep -q "^SYNOPSIS" "$page.txt" ||
            fail "$page.1.gz lacks its NAME or SYNOPSIS section"
    done
    # Each option of the help, as the page's tagged paragraph opens it.
    check_page() {  # check_page HELP PAGE
        local count=0 option
        while IFS= read -r option; do
            count=$((count + 1))
            grep -Eq -- "^ {7}(-[^ ]*, )*${option}( |,|$)" "$2.txt" ||
                fail "$2 lacks option $option of $1"
        done < <(options_of < "$1")
        [ "$count" -ge 5 ] || fail "$1 lists only $count options"
        echo "$2: the $count options of $1"
    }
    check_page help.mirsight mirsight
    check_page help.mirsight-map mirsight-map
    check_page help.mirsight-merge mirsight-merge
    check_page help.mirsight-collapse mirsight-collapse
    check_page help.mirsight-collapse-program mirsight-collapse
    # The synopsis is the help's first line.
    usage=$(head -1 help.mirsight-map | sed 's/^Usage: //')
    grep -qF -- "$usage" mirsight-map.txt || fail "the synopsis of mirsight-map is not '$usage'"
    ;;
completion)
    require_tool bash || exit 77
    # complete PROGRAM WORD...: what the completion offers for the command
    # line "PROGRAM WORD..." (the last word being completed), one a line.
    complete_line() {
        bash -c 'source "$1"; shift
                 COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); COMPREPLY=()
                 function=_${1//-/_}; "$function"
                 printf "%s\n" "${COMPREPLY[@]}"' - "$docs/mirsight.bash" "$@" | sed '/^$/d' | sort -u
    }
    # The commands: those "mirsight help" lists.
    "$mirsight" help | awk '/^Commands:/ { on = 1; next } on && NF { print $1 }' | sort -u > commands.expected
    complete_line mirsight "" > commands.offered
    [ "$(wc -l < commands.expected)" -ge 4 ] || fail "mirsight help lists too few commands"
    cmp -s commands.expected commands.offered ||
        fail "'mirsight <TAB>' offers $(paste -sd' ' commands.offered), mirsight help lists $(paste -sd' ' commands.expected)"
    compare_options() {  # compare_options HELP PROGRAM WORD...
        local help=$1
        shift
        options_of < "$help" | grep -- '^--' > expected.txt
        complete_line "$@" > offered.txt
        cmp -s expected.txt offered.txt ||
            { fail "'$* <TAB>' differs from the options of $help:"; diff expected.txt offered.txt | head -10; }
        echo "'$* <TAB>': the $(wc -l < offered.txt) long options of $help"
    }
    for command in map merge collapse; do
        compare_options "help.mirsight-$command" mirsight "$command" --
    done
    compare_options help.mirsight-collapse-program mirsight-collapse --
    compare_options help.mirsight mirsight --
    # An option whose value is a choice ("--count reads|molecules") offers its words.
    complete_line mirsight map --count "" | paste -sd' ' > count.offered
    [ "$(cat count.offered)" = "molecules reads" ] || fail "'mirsight map --count <TAB>' offers $(cat count.offered)"
    ;;
*)
    echo "usage: help_pages_check.sh man|completion MIRSIGHT MIRSIGHT_COLLAPSE DOCS_DIR PROJECT_ROOT" >&2
    exit 2
    ;;
esac
exit "$failed"
