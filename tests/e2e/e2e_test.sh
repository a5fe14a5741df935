#!/usr/bin/env bash
# Starts the real program on a virtual X display and uses it as a person would: draws a square
# with three clicks, fills it, saves it through the dialog, and opens the file from the
# command line; the screen is read back pixel by pixel.
#
# Nothing waits a fixed time for the program: every step waits for what it needs to see, with
# a deadline far beyond a busy machine's delays, so only a real fault fails the test.
set -euo pipefail
quillet=$1
work=$(mktemp -d)
xvfb=
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  if [ -n "$xvfb" ]; then kill "$xvfb" 2>/dev/null || true; wait "$xvfb" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }

# Runs "$@" until it succeeds; fails after a minute.
wait_for() {
  local deadline=$((SECONDS + 60))
  until "$@"; do
    [ "$SECONDS" -lt "$deadline" ] || return 1
    sleep 0.1
  done
}

# The server picks a free display and writes its number once it accepts clients. It must not
# reset when a client leaves, or a program connecting at that moment loses its display.
mkfifo "$work/displayfd"
Xvfb -displayfd 3 -noreset -nolisten tcp -screen 0 1024x768x24 \
  3>"$work/displayfd" >/dev/null 2>&1 &
xvfb=$!
read -r -t 60 number <"$work/displayfd" || fail "Xvfb did not start"
export DISPLAY=:$number
unset QT_QPA_PLATFORM
xdpyinfo >/dev/null 2>&1 || fail "display $DISPLAY does not answer"

pixel() { # canvas pixel as rrggbb
  import -window root "$work/screen.png" 2>/dev/null
  convert "$work/screen.png" -crop 1x1+$((ox + $1))+$((oy + $2)) txt:- |
    grep -o '#[0-9A-F]\{6\}' | head -n 1 | tr -d '#' | tr 'A-F' 'a-f'
}

pixel_is() { got=$(pixel "$1" "$2") && [ "$got" = "$3" ]; }

expect_pixel() {
  got=
  wait_for pixel_is "$1" "$2" "$3" || fail "pixel ($1, $2) is $got, expected $3 ($4)"
}

find_window() { # the main window once it is on screen
  win=$(xdotool search --onlyvisible --name '^Quillet$' 2>/dev/null | head -n 1) && [ -n "$win" ]
}

no_window() { ! xdotool search --onlyvisible --name '^Quillet$' >/dev/null 2>&1; }

# The window is fixed: a menu bar above a client area of 667 x 561 pixels, and the canvas's
# inner area starts at (10, 58) of the client area. It is ready once it has that size and the
# canvas is painted where it should be: (500, 450) is white in every drawing used here.
window_ready() {
  local geometry
  geometry=$(xdotool getwindowgeometry --shell "$win" 2>/dev/null) || return 1
  eval "$geometry"
  [ "$WIDTH" -eq 667 ] && [ "$HEIGHT" -gt 561 ] || return 1
  ox=$((X + 10)); oy=$((Y + HEIGHT - 561 + 58))
  pixel_is 500 450 ffffff
}

start() { # start quillet [args] and wait for its window
  "$quillet" "$@" 2>/dev/null &
  pids+=($!)
  wait_for find_window || fail "no window"
  wait_for window_ready || fail "the window never showed its canvas"
}

# X handles the fake input of every xdotool call in order, and the program reads its events
# in that order, so input needs no pauses; the short ones keep clicks apart in time as well.
click() { xdotool mousemove $((ox + $1)) $((oy + $2)); sleep 0.1; xdotool click 1; sleep 0.1; }

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
xdotool mousemove "$chk" "$chky" click 1; sleep 0.1
sw=$(( X + 9120/15 + 8 )); swy=$(( Y + HEIGHT - 561 + (840 + 360*6)/15 + 8 ))
xdotool mousemove "$sw" "$swy" click 1; sleep 0.1
click 150 150
expect_pixel 150 150 ff0000 "filled red"
expect_pixel 300 300 ffffff "outside untouched"

# Save through the dialog (Ctrl+S), typing a file name without extension: a project file.
# The name is typed only once the dialog has the keyboard.
dialog_has_focus() {
  local dialog
  dialog=$(xdotool search --onlyvisible --name '^Save Quillet File as' 2>/dev/null | head -n 1) &&
    [ -n "$dialog" ] && [ "$(xdotool getwindowfocus 2>/dev/null)" = "$dialog" ]
}
saved() { grep -q "<FloodFill num=1>" "$work/drawing.qlf" 2>/dev/null; }
xdotool key ctrl+s
wait_for dialog_has_focus || fail "the save dialog did not open"
xdotool type "$work/drawing.qlf"; xdotool key Return
wait_for saved || fail "the project was not saved with its fill"
kill "${pids[0]}"; wait "${pids[0]}" 2>/dev/null || true
wait_for no_window || fail "the window stayed after the program ended"

# Opening it from the command line shows the lines and the replayed fill.
start "$work/drawing.qlf"
expect_pixel 150 150 ff0000 "replayed fill"
expect_pixel 100 150 000000 "loaded line"
echo "e2e: all checks passed"
