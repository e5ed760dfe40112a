#!/usr/bin/env bash
# Screenshots of the transport window and a panel of every control under Xvfb, at pixel ratios 1
# and 2: each window as the program paints it, and the whole X screen as a user would see it.
# Usage: scripts/controls-screenshots.sh BUILD_DIR OUT_DIR
set -euo pipefail
build=${1:-build/dev}
out=${2:-/tmp/tw-controls-shots}
demo="$build/tests/controls/tw_controls_demo"
mkdir -p "$out"
for scale in 1 2; do
  display=":$((90 + scale + RANDOM % 100))"
  Xvfb "$display" -screen 0 2000x1500x24 -nolisten tcp &
  xvfb=$!
  sleep 1
  DISPLAY=$display QT_QPA_PLATFORM=xcb QT_SCALE_FACTOR=$scale "$demo" --shots "$out/x$scale" &
  demo_pid=$!
  sleep 2
  DISPLAY=$display import -window root "$out/x$scale/screen.png" || true
  wait "$demo_pid" || true
  kill "$xvfb"
  wait "$xvfb" 2>/dev/null || true
done
echo "screenshots in $out"
