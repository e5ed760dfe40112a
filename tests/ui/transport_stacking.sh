#!/usr/bin/env bash
# The transport window under a stacking window manager (openbox on Xvfb): it stays above the main
# window after clicks on the main window, and "Reposition Transport Window" (Alt+W, R) brings it
# above and makes it the active window. Exits 77 (skipped) where Xvfb, openbox or xdotool is
# missing. Usage: transport_stacking.sh PROGRAM [SCREENSHOT_DIR]
set -uo pipefail
program=$1
shots=${2:-}
source "$(dirname "$0")/xvfb_session.sh"
start_program

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

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
