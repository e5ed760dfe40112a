#!/usr/bin/env bash
# The transport window under a stacking window manager (openbox on Xvfb): it stays above the main
# window after clicks on the main window, and "Reposition Transport Window" (Alt+W, R) brings it
# above and makes it the active window. Exits 77 (skipped) where Xvfb, openbox or xdotool is
# missing. Usage: transport_stacking.sh PROGRAM [SCREENSHOT_DIR]
set -uo pipefail
program=$1
shots=${2:-}
for tool in Xvfb openbox xdotool xprop; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done

work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# Xvfb picks a free display number itself and writes it to the file.
Xvfb -displayfd 3 -screen 0 1600x1000x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || { echo "Xvfb did not start"; cat "$work/xvfb.log"; exit 1; }
display=":$(head -1 "$work/display")"
export DISPLAY=$display
# A loaded machine may take a while before the display answers.
for _ in $(seq 300); do xprop -root >/dev/null 2>&1 && break; sleep 0.1; done
xprop -root >/dev/null 2>&1 || { echo "Xvfb does not answer on $display"; cat "$work/xvfb.log"; exit 1; }
# Openbox is ready once it lists the windows it manages (an empty list at first); a window mapped
# before that would go unmanaged.
# A display that has just come up may still refuse a client now and then: try again.
for attempt in 1 2 3; do
  openbox --sm-disable >"$work/openbox.log" 2>&1 &
  wm=$!
  for _ in $(seq 100); do
    xprop -root _NET_CLIENT_LIST_STACKING 2>/dev/null | grep -q '(WINDOW)' && break
    kill -0 "$wm" 2>/dev/null || break
    sleep 0.1
  done
  kill -0 "$wm" 2>/dev/null && break
  sleep 0.5
done
pids+=($wm)
kill -0 "$wm" 2>/dev/null || { echo "openbox did not start"; cat "$work/openbox.log"; exit 1; }
sleep 0.5

export HOME=$work XDG_CONFIG_HOME=$work/config QT_QPA_PLATFORM=xcb
# No sound is wanted here: a fresh home would have PulseAudio try to start a server of its own.
export PULSE_SERVER=unix:/nonexistent
"$program" --midi virtual >"$work/program.log" 2>&1 &
pids+=($!)

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# The client windows bottom to top, as decimal ids.
stacking() {
  xprop -root _NET_CLIENT_LIST_STACKING 2>/dev/null | grep -o '0x[0-9a-f]*' |
    while read -r id; do printf '%d\n' "$id"; done
}
# The client window (one the window manager manages) whose title matches, as a decimal id.
wait_for() { # title pattern; a loaded machine may take a while to start the program
  for _ in $(seq 300); do
    for id in $(stacking); do
      xprop -id "$id" WM_NAME 2>/dev/null | sed 's/^[^"]*"//; s/"$//' | grep -q -- "$1" &&
        { echo "$id"; return 0; }
    done
    sleep 0.1
  done
  return 1
}
above() { # lower higher: true when higher is above lower in the stacking order
  local list lower_at higher_at
  list=$(stacking)
  lower_at=$(echo "$list" | grep -n -x "$1" | cut -d: -f1)
  higher_at=$(echo "$list" | grep -n -x "$2" | cut -d: -f1)
  [ -n "$lower_at" ] && [ -n "$higher_at" ] && [ "$higher_at" -gt "$lower_at" ]
}
shot() { [ -n "$shots" ] && mkdir -p "$shots" && import -display "$display" -window root "$shots/$1.png"; }

main=$(wait_for '^Tonalweaver$') || {
  echo "the main window did not show; managed windows: $(stacking | tr '\n' ' ')"
  cat "$work/program.log" "$work/openbox.log"; exit 1; }
transport=$(wait_for '^Transport Tonalweaver') || { echo "the transport did not show"; exit 1; }
sleep 0.5
xdotool windowsize "$main" 1200 800 windowmove "$main" 100 50
sleep 0.5

above "$main" "$transport" || fail "the transport starts below the main window"
# Clicks on the main window's menu bar, its client area and its title bar.
for spot in "300 70" "600 500" "700 30"; do
  xdotool mousemove $spot click 1
  sleep 0.4
  xdotool key Escape
  sleep 0.3
  above "$main" "$transport" || fail "the transport went below the main window after a click at $spot"
done
xdotool windowactivate --sync "$main" 2>/dev/null
sleep 0.4
above "$main" "$transport" || fail "the transport went below the main window when it was activated"
shot after-clicks

# Reposition: it lands on the main window's bottom edge, above and active.
xdotool windowactivate --sync "$main" 2>/dev/null
xdotool key --window "$main" alt+w
sleep 0.4
xdotool key r
sleep 0.6
above "$main" "$transport" || fail "Reposition left the transport below the main window"
active=$(xdotool getactivewindow 2>/dev/null)
[ "$active" = "$transport" ] || fail "Reposition did not activate the transport (active $active)"
eval "$(xdotool getwindowgeometry --shell "$transport")"
transport_bottom=$((Y + HEIGHT))
eval "$(xdotool getwindowgeometry --shell "$main")"
main_bottom=$((Y + HEIGHT))
[ $((main_bottom - transport_bottom)) -le 40 ] && [ $((main_bottom - transport_bottom)) -ge -40 ] ||
  fail "Reposition put the transport's bottom at $transport_bottom, the main window's is $main_bottom"
shot after-reposition

if [ "$failures" -ne 0 ]; then
  echo "stacking, bottom to top: $(stacking | tr '\n' ' ') (main $main, transport $transport)"
  exit 1
fi
echo "the transport stays above the main window"
