#!/usr/bin/env bash
# Configures and builds into build/<name> (default build/release). Extra arguments go to cmake.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
name=${1:-release}
shift || true
# A compiler cache makes the builds after the first quick. Paths are kept relative to the checkout,
# so another clone of the same sources (a CI run) finds what this one compiled.
launcher=()
if command -v ccache >/dev/null; then
  export CCACHE_BASEDIR="$root"
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
cmake -S "$root" -B "$root/build/$name" -G Ninja "${launcher[@]}" "$@" >/dev/null
cmake --build "$root/build/$name"
