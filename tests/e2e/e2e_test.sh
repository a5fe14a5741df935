#!/usr/bin/env bash
# Starts the real program on a virtual X display and uses it as a person would: draws a square
# with three clicks, fills it, saves it through the dialog, and opens the file from the
# command line; the screen is read back pixel by pixel.
set -euo pipefail
quillet=$1
work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  sleep 0.2
  kill $(jobs -p) 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

display=:$((90 + RANDOM % 400))
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
export DISPLAY=$display
unset QT_QPA_PLATFORM
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done

fail() { echo "FAIL: $*" >&2; exit 1; }

start() { # start quillet [args] and wait for its window
  "$quillet" "$@" 2>/dev/null &
  pids+=($!)
  for _ in $(seq 100); do
    win=$(xdotool search --name '^Quillet$' 2>/dev/null | head -n 1 || true)
    [ -n "$win" ] && break
    sleep 0.1
  done
  [ -n "$win" ] || fail "no window"
  sleep 0.5
  eval "$(xdotool getwindowgeometry --shell "$win")"
  # The window is fixed: a menu bar above a client area of 667 x 561 pixels, and the canvas's
  # inner area starts at (10, 58) of the client area.
  ox=$((X + 10)); oy=$((Y + HEIGHT - 561 + 58))
}

click() { xdotool mousemove $((ox + $1)) $((oy + $2)); sleep 0.1; xdotool click 1; sleep 0.2; }

pixel() { # canvas pixel as rrggbb
  import -window root "$work/screen.png" 2>/dev/null
  convert "$work/screen.png" -crop 1x1+$((ox + $1))+$((oy + $2)) txt:- |
    grep -o '#[0-9A-F]\{6\}' | head -n 1 | tr -d '#' | tr 'A-F' 'a-f'
}

expect_pixel() {
  local got; got=$(pixel "$1" "$2")
  [ "$got" = "$3" ] || fail "pixel ($1, $2) is $got, expected $3 ($4)"
}

start
xdotool type --window "$win" 4 2>/dev/null || true
xdotool key --window "$win" BackSpace BackSpace 4
click 100 100
click 200 100
click 150 150
expect_pixel 100 150 000000 "left side black"
expect_pixel 150 100 000000 "top side black"
expect_pixel 200 200 00ff00 "corner green"
expect_pixel 150 150 ffffff "inside white"

# Fill mode, the light red swatch, and a click inside the square.
chk=$(( X + 9000/15 + 5 )); chky=$(( Y + HEIGHT - 561 + 4080/15 + 8 ))
xdotool mousemove "$chk" "$chky" click 1; sleep 0.2
sw=$(( X + 9120/15 + 8 )); swy=$(( Y + HEIGHT - 561 + (840 + 360*6)/15 + 8 ))
xdotool mousemove "$sw" "$swy" click 1; sleep 0.2
click 150 150
expect_pixel 150 150 ff0000 "filled red"
expect_pixel 300 300 ffffff "outside untouched"

# Save through the dialog (Ctrl+S), typing a file name without extension: a project file.
xdotool key ctrl+s; sleep 1
xdotool type "$work/drawing.qlf"; xdotool key Return; sleep 1
[ -f "$work/drawing.qlf" ] || fail "the project was not saved"
grep -q "<FloodFill num=1>" "$work/drawing.qlf" || fail "the fill was not saved"
kill "${pids[0]}"; wait "${pids[0]}" 2>/dev/null || true

# Opening it from the command line shows the lines and the replayed fill.
start "$work/drawing.qlf"
expect_pixel 150 150 ff0000 "replayed fill"
expect_pixel 100 150 000000 "loaded line"
echo "e2e: all checks passed"
