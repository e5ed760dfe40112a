#!/usr/bin/env bash
# Installs what is missing, builds and starts the program (arguments are passed on).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" release
if [ $# -eq 0 ]; then set -- --help; fi
exec "$root/build/release/src/tonalweaver-cli" "$@"
