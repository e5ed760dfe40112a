#!/usr/bin/env bash
# Installs what is missing, builds and opens the program window (a file argument is passed on).
# What the set-up prints goes to standard error, so the program's own output stays clean.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh" >&2
# scripts/test.sh builds this configuration with warnings as errors: change both together.
"$root/scripts/build.sh" app -DCMAKE_BUILD_TYPE=Release -DTW_BUILD_TESTS=OFF -DTW_BUILD_BENCH=OFF >&2
exec "$root/build/app/src/app/tonalweaver" "$@"
