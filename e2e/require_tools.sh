#!/usr/bin/env bash
# Outside tools a test needs. A test whose tool is missing is skipped (exit
# 77, which CTest reports as "Skipped" with SKIP_RETURN_CODE 77), not failed.
#
# Sourced by a test script:
#   source "$root/e2e/require_tools.sh"
#   require_tool cutadapt mirtop || exit 77
#   require_python_module pandas || exit 77
# Run in front of a command (for tests that are not shell scripts):
#   bash e2e/require_tools.sh python3 -- python3 e2e/reference_model.py --self-test
# Both print "skipped: TOOL is not installed" for the first tool missing.

# require_tool NAME...: every NAME is a command on PATH.
require_tool() {
    local tool
    for tool in "$@"; do
        if ! command -v "$tool" > /dev/null 2>&1; then
            echo "skipped: $tool is not installed"
            return 1
        fi
    done
}

# require_python_module NAME...: Debian's python3 imports every NAME
# (python3-pandas, python3-mirtop serve /usr/bin/python3).
require_python_module() {
    local module
    for module in "$@"; do
        if ! /usr/bin/python3 -c "import $module" > /dev/null 2>&1; then
            echo "skipped: $module (Python module) is not installed"
            return 1
        fi
    done
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
    tools=()
    while [ $# -gt 0 ] && [ "$1" != -- ]; do
        tools+=("$1")
        shift
    done
    if [ "${1:-}" != -- ] || [ $# -lt 2 ]; then
        echo "usage: require_tools.sh TOOL... -- COMMAND [ARGUMENT...]" >&2
        exit 2
    fi
    shift
    require_tool "${tools[@]}" || exit 77
    exec "$@"
fi
