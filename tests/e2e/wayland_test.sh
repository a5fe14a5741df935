#!/usr/bin/env bash
# The program on a real Wayland compositor: weston, drawing its screen into the test's own X
# display, which gives it the mouse and the keyboard. The window carries the desktop entry's
# app id, a square drawn with clicks saves the very bytes the same clicks save on X, and
# maximizing any of the program's windows from Qt's own title bar leaves the program running
# with the controls in their places.
#
# The compositor's view of its windows (title, app id, place) is read with weston-debug.
# Skipped (status 77) where weston is not installed.
# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$(dirname "$0")/lib.sh"

for tool in weston weston-debug; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIP: $tool is not installed (Debian package weston; scripts/install-deps.sh installs it)"
    exit 77
  fi
done
e2e_begin wayland "$@"

entry=$(basename "$(dirname "$0")"/../../data/*.desktop .desktop)
readonly OUTPUT_W=1000 OUTPUT_H=740

# --- The compositor --------------------------------------------------------------------------

# Its X window takes the screen's top left corner: no window manager moves it.
start_weston() {
  setpriv --pdeathsig KILL weston --backend=x11-backend.so --use-pixman --width=$OUTPUT_W \
    --height=$OUTPUT_H --socket=quillet-e2e --no-config --idle-time=0 --debug \
    --log="$work/weston.log" >/dev/null 2>&1 &
  pids+=($!)
  export WAYLAND_DISPLAY=quillet-e2e
  wait_for scene || fail "weston did not start: $(tail -n 5 "$work/weston.log" 2>/dev/null)"
  # shellcheck disable=SC2034 # all of them are set from xdotool's answer
  local geometry WINDOW X Y WIDTH HEIGHT SCREEN
  wait_for xdotool search --onlyvisible --class '^Weston Compositor$' >/dev/null 2>&1 ||
    fail "weston's window did not show"
  geometry=$(xdotool getwindowgeometry --shell "$(xdotool search --onlyvisible --class \
    '^Weston Compositor$' | head -n 1)")
  eval "$geometry"
  wx=$X wy=$Y
}

# The compositor's scene: its outputs and every window on them, into $work/scene.
scene() {
  weston-debug scene-graph >"$work/scene" 2>/dev/null && grep -q '^Output' "$work/scene"
}

# The program's window titled $1 as the compositor shows it, with a picture: sets $app_id,
# the window with its title bar on the screen (x1 y1 x2 y2) and its content (ix1 iy1 ix2 iy2).
view() {
  local found
  scene || return 1
  found=$(awk -v title="top-level window '$1' of " '
    index($0, title) { on = 1; print; next }
    on && /^\t\tposition:|opaque: \(/ { print }
    on && /buffer/ { print "buffer"; exit }
    on && /^\tView / { exit }' "$work/scene")
  grep -qx buffer <<<"$found" || return 1
  app_id=$(sed -n "s/.*' of \\([^,]*\\),.*/\\1/p" <<<"$found" | head -n 1)
  read -r x1 y1 x2 y2 <<<"$(numbers position <<<"$found")"
  read -r ix1 iy1 ix2 iy2 <<<"$(numbers opaque <<<"$found")"
  [ -n "$x2" ] && [ -n "$iy2" ] || return 1
  x1=$((wx + x1)) y1=$((wy + y1)) x2=$((wx + x2)) y2=$((wy + y2))
  ix1=$((wx + ix1)) iy1=$((wy + iy1)) ix2=$((wx + ix2)) iy2=$((wy + iy2))
}
# The four numbers of the line with this word: "(a, b) -> (c, d)".
numbers() { grep "$1" | head -n 1 | sed 's/.*(\(-*[0-9]*\), \(-*[0-9]*\)) -> (\(-*[0-9]*\), \(-*[0-9]*\)).*/\1 \2 \3 \4/'; }
no_view() { scene && ! grep -q "top-level window '$1' of " "$work/scene"; }
# A menu of the program is open: a popup window.
popup_open() { scene && grep -q 'role xdg_popup' "$work/scene"; }

wait_view() { wait_for view "$1" || fail "no window \"$1\" on weston (${2:-})"; }

# The main window in its normal size, painted: sets the client area's origin ($cx, $cy) and
# the canvas's ($ox, $oy) as lib.sh does on X.
main_window_on_weston() {
  view Quillet || return 1
  [ $((ix2 - ix1)) -eq "$CLIENT_W" ] || return 1
  menu_h=$((iy2 - iy1 - CLIENT_H))
  client_at "$ix1" $((iy1 + menu_h))
  frame_painted
}
client_at() {
  cx=$1 cy=$2
  ox=$((cx + CANVAS_X)) oy=$((cy + CANVAS_Y))
}
frame_painted() {
  local left
  grab || return 1
  left=$(screen_pixels $((ox - 1)) $((oy + 100)))
  [ "$left" != 000000 ] && [ "$left" != FFFFFF ]
}

# Weston draws the pointer into its picture: it rests on the panel while the screen is judged.
pointer_aside() { xdotool mousemove $((wx + OUTPUT_W / 2)) $((wy + 10)); }

# Qt's title bar on Wayland: the maximize button is the second from the right, 18 pixels
# wide, 5 apart and 8 from the right edge, in the middle of the 30 pixels above the content.
click_maximize() { xdotool mousemove $((x2 - 40)) $((y1 + (iy1 - y1) / 2)) click 1; }
fills_output() { view "$1" && [ $((x2 - x1)) -eq "$OUTPUT_W" ]; }
normal_width() { view "$1" && [ $((x2 - x1)) -eq "$2" ]; }

# --- The square, on X and on Wayland ---------------------------------------------------------

square() {
  cat <<EOF
corners 4
click 100 100
click 180 100
click 140 160
EOF
}
{ square; echo "write $work/square.ppm"; } | replay

# Types a path into the save dialog, which has the keyboard, in place of any name it offers.
type_path() {
  xdotool key ctrl+a
  xdotool type "$1"
  xdotool key Return
  wait_for test -s "$1" || fail "$1 was not written ($2)"
}

# On X.
start_quillet
wait_main_window "on X"
square | draw
expect_canvas "the square on X" "$work/square.ppm"
xdotool key ctrl+s
wait_dialog "Save Quillet File as..." "on X"
type_path "$work/x.qlf" "on X"
activate
menu f q
wait_for ended "$quillet_pid" || fail "the program did not end at Quit on X"

# On Wayland, with the platform asked for by name: no silent fall back to X.
start_weston
QT_QPA_PLATFORM=wayland start_quillet
wait_for main_window_on_weston || fail "the main window did not show on weston"
[ "$app_id" = "$entry" ] || fail "the window's app id is '$app_id', not the desktop entry's '$entry'"
square | draw
pointer_aside
expect_canvas "the square on Wayland" "$work/square.ppm"
xdotool key ctrl+s
wait_view "Save Quillet File as..." "Ctrl+S on Wayland"
type_path "$work/wayland.qlf" "on Wayland"
wait_for no_view "Save Quillet File as..." || fail "the save dialog stayed on Wayland"
cmp "$work/x.qlf" "$work/wayland.qlf" >&2 ||
  fail "the square saved on Wayland differs from the one saved on X"

# --- Maximize --------------------------------------------------------------------------------

# The main window: maximized, the square shows where the canvas was, now at the content's top
# left corner; restored, the window has its size again.
wait_view Quillet "before maximize"
normal=$((x2 - x1))
click_maximize
wait_for fills_output Quillet || fail "the main window did not maximize"
ended "$quillet_pid" && fail "the program ended when its main window was maximized"
client_at "$ix1" $((iy1 + menu_h))
pointer_aside
expect_canvas "the square in the maximized window" "$work/square.ppm"
click_maximize
wait_for normal_width Quillet "$normal" || fail "the main window did not come back from maximized"

# The main window takes the keyboard by a click on the empty part of its bottom right label.
activate_on_weston() {
  wait_for main_window_on_weston || fail "the main window is not shown on weston"
  xdotool mousemove $((cx + 630)) $((cy + 556)) click 1
}
menu_on_weston() {
  xdotool key "alt+$1"
  wait_for popup_open || fail "the menu alt+$1 did not open on weston"
  xdotool key "$2"
}

# Every other window of the program: its title, how it opens and the key that closes it.
windows=(
  "Manual|menu_on_weston h h|Return"
  "About Quillet|menu_on_weston h a|Return"
  "Select a color|click_swatch 16|Escape"
)
for entry_line in "${windows[@]}"; do
  IFS='|' read -r title open close <<<"$entry_line"
  activate_on_weston
  $open
  wait_view "$title" "opened"
  normal=$((x2 - x1))
  click_maximize
  wait_for fills_output "$title" || fail "the window \"$title\" did not maximize"
  ended "$quillet_pid" && fail "the program ended when the window \"$title\" was maximized"
  click_maximize
  wait_for normal_width "$title" "$normal" || fail "\"$title\" did not come back from maximized"
  xdotool key "$close"
  wait_for no_view "$title" || fail "\"$title\" did not close with $close"
done

# Nothing changed since the save: Quit ends the program at once.
activate_on_weston
menu_on_weston f q
wait_for ended "$quillet_pid" || fail "the program did not end at Quit on Wayland"
[ "$exit_status" -eq 0 ] || fail "the program ended with status $exit_status on Wayland"
