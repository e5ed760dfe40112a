# Shared by the window-manager tests: a private Xvfb with openbox and a fresh home. Source it
# after setting program; it sets work, display and pids, cleans up on exit, and exits 77 (skipped)
# where Xvfb, openbox or xdotool is missing. start_program ARGS... starts the program on the
# virtual MIDI backend (its output goes to $work/program.log); stacking and wait_for find the
# windows openbox manages.
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
start_program() {
  "$program" --midi virtual "$@" >"$work/program.log" 2>&1 &
  pids+=($!)
}


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
