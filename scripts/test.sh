#!/usr/bin/env bash
# Installs what is needed, builds with the given preset (default: debug) and
# runs the whole test suite.
#   scripts/test.sh [debug|asan|release]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
preset=${1:-debug}
cd "$root"
bash scripts/setup.sh
cmake --preset "$preset"
cmake --build --preset "$preset"
ctest --preset "$preset"
