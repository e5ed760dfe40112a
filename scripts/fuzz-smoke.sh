#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs each one for a short while over its seed folder.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-45}
ls "$root"/fuzz/*.cpp >/dev/null 2>&1 || { echo "no fuzz targets"; exit 0; }
# Only the fuzz targets are built: the program window is not fuzzed.
CXX=clang++ cmake -S "$root" -B "$root/build/fuzz" -G Ninja -DTW_FUZZ=ON -DTW_BUILD_TESTS=OFF \
  -DTW_BUILD_BENCH=OFF -DTW_BUILD_GUI=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
targets=()
for src in "$root"/fuzz/*.cpp; do targets+=("$(basename "$src" .cpp)"); done
cmake --build "$root/build/fuzz" --target "${targets[@]}"
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
