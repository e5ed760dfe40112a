#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs each one for a short while over its seed folder.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-45}
ls "$root"/fuzz/*.cpp >/dev/null 2>&1 || { echo "no fuzz targets"; exit 0; }
CXX=clang++ "$root/scripts/build.sh" fuzz -DTW_FUZZ=ON -DTW_BUILD_TESTS=OFF -DTW_BUILD_BENCH=OFF \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo
passed=0
for src in "$root"/fuzz/*.cpp; do
  name=$(basename "$src" .cpp)
  seeds="$root/fuzz/seeds/${name#fuzz_}"
  corpus=$(mktemp -d)
  [ -d "$seeds" ] && cp -r "$seeds"/. "$corpus"/
  echo "fuzzing $name for ${seconds}s"
  "$root/build/fuzz/fuzz/$name" -max_total_time="$seconds" -max_len=65536 -rss_limit_mb=2048 \
    -print_final_stats=1 "$corpus" 2>"$corpus.log" || { tail -n 60 "$corpus.log"; exit 1; }
  grep -E 'stat::number_of_executed_units' "$corpus.log" || true
  rm -rf "$corpus" "$corpus.log"
  passed=$((passed + 1))
done
echo "fuzz: $passed passed, 0 failed"
