#!/usr/bin/env bash
# Installs what is needed, builds with the given preset (default: debug) and
# runs the whole test suite, printing the time of each step:
#   scripts/test.sh [debug|asan|release]
# The debug preset also runs the portability checks: no operating-system
# header outside platform/system/, and the portable sources compile with the
# mingw-w64 cross compiler (it needs the configured tree's generated headers).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
preset=${1:-debug}
cd "$root"

step() {
    local name=$1
    shift
    local start
    start=$(date +%s)
    echo "== test: $preset $name"
    "$@"
    local took=$(($(date +%s) - start))
    echo "== test: $preset $name took $((took / 60)) min $((took % 60)) s"
}

step setup bash scripts/setup.sh
step configure cmake --preset "$preset"
if [ "$preset" = debug ]; then
    step "seam check" bash scripts/check-seam.sh
    step "mingw check" bash scripts/check-mingw.sh "build/$preset"
fi
step build cmake --build --preset "$preset"
step tests ctest --preset "$preset"
