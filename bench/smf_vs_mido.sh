#!/usr/bin/env bash
# Opens a generated 20 MB format-1 MIDI file (16 tracks, about 2,000,000 notes) as a project
# with our reader and parses it into messages with python3-mido, printing both times, their
# ratio and each side's peak memory. Usage: bench/smf_vs_mido.sh [notes]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
notes=${1:-2000000}
build="$root/build/bench-release"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# mido comes from Debian's package, which installs for the system interpreter.
python=/usr/bin/python3
if ! "$python" -c 'import mido' 2>/dev/null; then
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq python3-mido >/dev/null
fi
[ -x /usr/bin/time ] || { echo "needs /usr/bin/time (Debian package time)"; exit 1; }

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTW_BUILD_TESTS=OFF >/dev/null
ninja -C "$build" -j2 tw_bench >/dev/null

file="$work/big.mid"
"$python" "$root/bench/gen_smf.py" "$file" --notes "$notes"
echo "file: $(stat -c %s "$file") bytes, $notes notes in 16 tracks"

TW_SMF_BENCH_FILE="$file" /usr/bin/time -v -o "$work/ours.time" \
  "$build/bench/tw_bench" --benchmark_filter='^BM_SmfOpenAsProjectFile' \
  --benchmark_format=json >"$work/ours.json"
ours_ms=$("$python" -c 'import json,sys; b=json.load(open(sys.argv[1]))["benchmarks"][0]; print(b["real_time"])' "$work/ours.json")

/usr/bin/time -v -o "$work/mido.time" "$python" -c '
import sys, time, mido
t0 = time.perf_counter()
f = mido.MidiFile(sys.argv[1])
t1 = time.perf_counter()
count = sum(len(track) for track in f.tracks)
print((t1 - t0) * 1000.0, count)
' "$file" >"$work/mido.out"
read -r mido_ms mido_messages <"$work/mido.out"

peak() { awk -F': ' '/Maximum resident set size/ {printf "%.0f MB", $2 / 1024}' "$1"; }
printf 'ours (open as project): %10.1f ms   peak %s\n' "$ours_ms" "$(peak "$work/ours.time")"
printf 'mido (parse, %s messages): %10.1f ms   peak %s\n' "$mido_messages" "$mido_ms" \
  "$(peak "$work/mido.time")"
"$python" -c 'import sys; print("ratio: %.1fx" % (float(sys.argv[2]) / float(sys.argv[1])))' \
  "$ours_ms" "$mido_ms"
