#!/usr/bin/env bash
# Installs what is missing, builds and starts the program (arguments are passed on).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" app -DCMAKE_BUILD_TYPE=Release -DTW_BUILD_TESTS=OFF -DTW_BUILD_BENCH=OFF
if [ $# -eq 0 ]; then set -- --help; fi
exec "$root/build/app/src/tonalweaver-cli" "$@"
