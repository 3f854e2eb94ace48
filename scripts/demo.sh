#!/usr/bin/env bash
# Installs what is needed, builds the release preset and runs the product's
# main job on a built-in local default.
#
# The updater host does not exist yet: until it does, this runs what exists,
# the operator tool's self-check of the platform layer in a temporary root.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/setup.sh
cmake --preset release >/dev/null
cmake --build --preset release
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export RK_ROOT="$work" RK_LOG_STDERR=1
"$root/build/release/tools/rkctl/rkctl" info
