#!/usr/bin/env bash
# Sets up a Debian 12 machine for mirsight (installs the missing packages),
# configures and builds it, then either runs it on the bundled example
# ("run") or runs the whole test suite ("test").
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(g++ cmake make libseqan2-dev libgtest-dev)
missing=()
for package in "${packages[@]}"; do
    dpkg -s "$package" >/dev/null 2>&1 || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
cmake --build build -j"$(nproc)"

case "${1:-run}" in
    run)
        ./build/mirsight
        ;;
    test)
        cd build
        ctest --output-on-failure -j"$(nproc)"
        ;;
    *)
        echo "usage: bash scripts/dev.sh [run|test]" >&2
        exit 2
        ;;
esac
