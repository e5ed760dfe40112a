#!/usr/bin/env bash
# Installs what is missing, builds with warnings as errors and runs every test, then a short
# run of each fuzz target over its committed seeds.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" ci -DTW_WERROR=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo
ctest --test-dir "$root/build/ci" --output-on-failure -j2
"$root/scripts/fuzz-smoke.sh" "${TW_FUZZ_SECONDS:-45}"
