#!/usr/bin/env bash
# The keypad's Ctrl+plus and Ctrl+minus typed on a real X server (Xvfb with openbox): in the
# project window they add a phrase bank at the end and delete the selected one. The project is
# saved with Ctrl+S and read back with the command-line tool. Exits 77 (skipped) where Xvfb,
# openbox or xdotool is missing. Usage: keypad_keys.sh PROGRAM CLI EMPTY_PROJECT
set -uo pipefail
program=$1
cli=$2
source "$(dirname "$0")/xvfb_session.sh"
project=$work/keys.tnw
cp "$3" "$project"
start_program "$project"

main=$(wait_for '^Tonalweaver$') || { echo "the main window did not show"; cat "$work/program.log"; exit 1; }
xdotool windowactivate --sync "$main" 2>/dev/null
sleep 0.5

banks() { "$cli" dump "$project" | python3 -c 'import json, sys; print(len(json.load(sys.stdin)["banks"]))'; }
# Types the keys, then saves and waits until the file holds the expected number of banks.
expect_banks() { # count keys...
  local count=$1 now=""
  shift
  xdotool key --delay 150 "$@" ctrl+s
  for _ in $(seq 100); do
    now=$(banks 2>/dev/null)
    [ "$now" = "$count" ] && return 0
    sleep 0.1
  done
  echo "FAIL: after '$*' the project has ${now:-no} banks, not $count"
  cat "$work/program.log"
  exit 1
}
# Alt+1 brings the project window forward; End selects the phrase bank folder.
expect_banks 2 alt+1 End ctrl+KP_Add ctrl+KP_Add
expect_banks 1 Down ctrl+KP_Subtract
echo "the keypad keys add and delete phrase banks"
