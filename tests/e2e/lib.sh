# shellcheck shell=bash
# Shared by the end-to-end tests: each starts its own virtual X display, runs the real program
# on it and uses it as a person would, with the mouse and the keyboard, judging only what is
# on the screen.
#
# Nothing waits a fixed time for the program: every judgement waits for what it needs to see,
# with a deadline far beyond a busy machine's delays, so only a real fault fails a test. A
# failure names its reason and keeps a picture of the screen; the display and every program
# started here end with the test, however it ends.
#
# Usage: source lib.sh; e2e_begin NAME QUILLET CANVAS_REPLAY TEXT_SHOWN
set -euo pipefail

readonly E2E_DEADLINE=${E2E_DEADLINE:-60} # seconds for anything to show
readonly CLIENT_W=667 CLIENT_H=561 # the main window below its menu bar (controls.h / 15)
readonly CANVAS_W=581 CANVAS_H=493 # the canvas inside its two-pixel frame
readonly CANVAS_X=10 CANVAS_Y=58   # the canvas in the client area
# A test of a scaled program sets these before e2e_begin: the screen, and the device pixels of
# a logical pixel, by which the layout above is multiplied.
e2e_screen=1024x768x24
e2e_scale=1

e2e_begin() {
  test_name=$1 quillet=$2 canvas_replay=$3 text_shown=$4
  work=$(mktemp -d "${TMPDIR:-/tmp}/quillet-e2e.XXXXXX")
  artifacts=${E2E_ARTIFACTS:-${TMPDIR:-/tmp}/quillet-e2e-failures}
  xvfb='' win='' pids=()
  trap e2e_end EXIT
  trap 'exit 129' HUP
  trap 'exit 130' INT
  trap 'exit 143' TERM
  start_display
}

e2e_end() {
  local p
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  for p in "${pids[@]}"; do wait "$p" 2>/dev/null || true; done
  if [ -n "$xvfb" ]; then
    kill "$xvfb" 2>/dev/null || true
    wait "$xvfb" 2>/dev/null || true
  fi
  rm -rf "$work"
}

fail() {
  local shot=
  if [ -n "$xvfb" ] && mkdir -p "$artifacts" &&
    import -window root "png24:$artifacts/$test_name.png" 2>/dev/null; then
    shot=$artifacts/$test_name.png
  fi
  echo "FAIL [$test_name]: $*" >&2
  [ -z "$shot" ] || echo "  screen at the failure: $shot" >&2
  if [ -s "$work/quillet.log" ]; then
    echo "  the program said:" >&2
    sed 's/^/    /' "$work/quillet.log" | tail -n 20 >&2
  fi
  exit 1
}

# Runs "$@" until it succeeds; fails after the deadline.
wait_for() {
  local deadline=$((SECONDS + E2E_DEADLINE))
  until "$@"; do
    [ "$SECONDS" -lt "$deadline" ] || return 1
    sleep 0.1
  done
}

# The server picks a free display and writes its number once it accepts clients. It must not
# reset when a client leaves, or a program connecting at that moment loses its display. It and
# every program started here die with the test's shell, should the shell itself be killed.
start_display() {
  local number
  mkfifo "$work/displayfd"
  setpriv --pdeathsig KILL Xvfb -displayfd 3 -noreset -nolisten tcp -screen 0 "$e2e_screen" \
    3>"$work/displayfd" >/dev/null 2>&1 &
  xvfb=$!
  read -r -t "$E2E_DEADLINE" number <"$work/displayfd" || fail "Xvfb did not start"
  export DISPLAY=:$number
  # The program as it starts on a plain display, whatever the caller's Qt settings.
  unset QT_QPA_PLATFORM QT_QPA_PLATFORMTHEME QT_STYLE_OVERRIDE QT_SCALE_FACTOR \
    QT_SCREEN_SCALE_FACTORS QT_FONT_DPI
  # The C locale: project files carry the locale's decimal separator, which the headless replay
  # reads as C's, and the dialogs' buttons, answered by their letters, are in English.
  export LC_ALL=C.UTF-8
  export XDG_RUNTIME_DIR=$work/runtime
  mkdir -m 700 "$XDG_RUNTIME_DIR"
  # Recovery files of the test's own: none of the user's is offered, and a program ended with
  # a drawing leaves its file in the work folder, not in the user's state.
  export XDG_STATE_HOME=$work/state
  xdpyinfo >/dev/null 2>&1 || fail "display $DISPLAY does not answer"
  # The pointer rests where no window opens, so no window sees it until a test moves it.
  xdotool mousemove 1020 760
}

# Starts the program with the given arguments; $quillet_pid is its process.
# shellcheck disable=SC2120 # the arguments are optional
start_quillet() {
  setpriv --pdeathsig KILL "$quillet" "$@" >>"$work/quillet.log" 2>&1 &
  quillet_pid=$!
  pids+=("$quillet_pid")
}

# Whether the program has ended; its exit status is then in $exit_status and it is no longer
# among the processes to end.
ended() {
  local state p rest=()
  state=$(ps -o stat= -p "$1" 2>/dev/null) && [[ $state != Z* ]] && return 1
  exit_status=0 # read by the tests
  # shellcheck disable=SC2034
  wait "$1" 2>/dev/null || exit_status=$?
  for p in "${pids[@]}"; do [ "$p" = "$1" ] || rest+=("$p"); done
  pids=("${rest[@]}")
}

# --- Windows ---------------------------------------------------------------------------------

# The first visible window with this title and this kind (NORMAL, DIALOG): sets $found.
# (xdotool matches titles without regard to case.)
find_window() {
  local w
  for w in $(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null); do
    if is_kind "$w" "$2"; then
      found=$w
      return 0
    fi
  done
  return 1
}
is_kind() { xprop -id "$1" _NET_WM_WINDOW_TYPE 2>/dev/null | grep -q "= _NET_WM_WINDOW_TYPE_$2\b"; }

# Whether a menu of the program is open: a window of the program that the window manager
# does not place. Menus have no title, and not always their window type.
menu_open() {
  local w
  for w in $(xdotool search --onlyvisible --pid "$quillet_pid" 2>/dev/null); do
    xwininfo -id "$w" 2>/dev/null | grep -q 'Override Redirect State: yes' && return 0
  done
  return 1
}

shown() { xwininfo -id "$1" 2>/dev/null | grep -q 'Map State: IsViewable'; }
gone() { ! shown "$1"; }
has_focus() { [ "$(xdotool getwindowfocus 2>/dev/null)" = "$1" ]; }

# Sets $found to the dialog of this title once it has the keyboard.
dialog_ready() { find_window "$1" DIALOG && has_focus "$found"; }
wait_dialog() { wait_for dialog_ready "$1" || fail "no window \"$1\" with the keyboard (${2:-})"; }

# The main window has the client area's width and shows the canvas's frame; sets $win, the
# client area's origin ($cx, $cy) and the canvas's ($ox, $oy).
main_window_shown() {
  # shellcheck disable=SC2034 # all of them are set from xdotool's answer
  local geometry WINDOW X Y WIDTH HEIGHT SCREEN
  find_window Quillet NORMAL || return 1
  geometry=$(xdotool getwindowgeometry --shell "$found" 2>/dev/null) || return 1
  eval "$geometry"
  [ "$WIDTH" -eq $((CLIENT_W * e2e_scale)) ] && [ "$HEIGHT" -gt $((CLIENT_H * e2e_scale)) ] ||
    return 1
  win=$found
  cx=$X cy=$((Y + HEIGHT - CLIENT_H * e2e_scale))
  ox=$((cx + CANVAS_X * e2e_scale)) oy=$((cy + CANVAS_Y * e2e_scale))
  # An unpainted window shows the black root behind it; the frame is painted with the rest.
  grab || return 1
  local left
  left=$(screen_pixels $((ox - 2 * e2e_scale + 1)) $((oy + 100))) # in the frame, not its black line
  [ "$left" != 000000 ] && [ "$left" != FFFFFF ]
}
wait_main_window() { wait_for main_window_shown || fail "the main window did not show (${1:-})"; }

# A click on the window makes it the active one, and so the one the keyboard reaches. The
# place clicked is the empty part of the bottom right label, which does nothing with a click.
activate() {
  xdotool mousemove $((cx + 630)) $((cy + 556)) click 1
  wait_for has_focus "$win" || fail "the main window did not take the keyboard"
}

# --- Input -----------------------------------------------------------------------------------

# X handles the fake input of every xdotool call in order and the program reads its events in
# that order, so input needs no pauses between calls.
click_canvas() { xdotool mousemove $((ox + $1)) $((oy + $2)) click 1; }
click_client() { xdotool mousemove $((cx + $1)) $((cy + $2)) click 1; }
# Controls of controls.h by name, in twips: left, top, width, height.
declare -rA CONTROLS=(
  [txtNumCorners]="4680 120 615 285"
  [cmdOnlyLines]="5400 45 1845 375"
  [cmdOnlyPoints]="5400 450 1845 375"
  [chkFill]="9000 4080 975 255"
)
# Clicks the middle of a control.
click_control() {
  local left top width height
  read -r left top width height <<<"${CONTROLS[$1]}"
  click_client $((left / 15 + width / 30)) $((top / 15 + height / 30))
}
# Clicks palette swatch 0 to 15: two columns of 17 x 17 pixels.
click_swatch() {
  click_client $((($1 % 2 == 0 ? 9120 : 9480) / 15 + 8)) $(((840 + 360 * ($1 / 2)) / 15 + 8))
}
click_fill_mode() { click_control chkFill; }

# Types a corner count into its box; the box takes it when the focus leaves it.
corners() {
  click_control txtNumCorners
  xdotool key End BackSpace BackSpace BackSpace BackSpace
  xdotool type "$1"
}

# Runs a script of clicks read from standard input, one a line: "corners N", "click X Y" on
# the canvas, "fill" (the Fill Mode box), "swatch I".
draw() {
  local command a b
  while read -r command a b; do
    case $command in
      click) click_canvas "$a" "$b" ;;
      corners) corners "$a" ;;
      fill) click_fill_mode ;;
      swatch) click_swatch "$a" ;;
    esac
  done
}

# Opens a menu by its underlined letter (f, h) and picks an item by its own.
menu() {
  xdotool key "alt+$1"
  wait_for menu_open || fail "the menu alt+$1 did not open"
  xdotool key "$2"
}

# --- The screen ------------------------------------------------------------------------------

# The screen as a person sees it (xwd -root leaves out dialogs and menus on this server).
grab() { import -window root "png24:$work/screen.png" 2>/dev/null; }

# Screen pixels of the last grab as RRGGBB, one line.
screen_pixels() {
  local format=
  while [ $# -gt 0 ]; do format+="%[hex:p{$1,$2}] " && shift 2; done
  convert "$work/screen.png" -format "${format% }" info: 2>/dev/null
}

# Waits until every canvas pixel given shows its colour: expect_pixels WHAT X Y RRGGBB ...
canvas_pixels_are() {
  local at=() want=
  while [ $# -gt 0 ]; do at+=($((ox + $1)) $((oy + $2))) && want+="${3^^} " && shift 3; done
  grab && got=$(screen_pixels "${at[@]}") && [ "$got" = "${want% }" ]
}
expect_pixels() {
  local what=$1
  shift
  got=
  wait_for canvas_pixels_are "$@" || fail "$what: pixels $* show $got"
}

# The canvas as shown now, into a file.
canvas_shot() {
  import -window root -crop "${CANVAS_W}x${CANVAS_H}+$ox+$oy" +repage "png24:$1" 2>/dev/null
}
canvas_equals() { canvas_shot "$work/canvas.png" && compare -metric AE "$work/canvas.png" "$1" null: 2>/dev/null; }

# Waits until the canvas shows exactly the picture in the file; on a mismatch keeps both
# pictures and their difference for the report.
expect_canvas() {
  local what=$1 expected=$2
  if ! wait_for canvas_equals "$expected"; then
    local stem=$artifacts/$test_name-canvas
    mkdir -p "$artifacts"
    cp "$work/canvas.png" "$stem-shown.png"
    convert "$expected" "png24:$stem-expected.png"
    local differing
    differing=$(compare -metric AE "$stem-shown.png" "$stem-expected.png" "$stem-diff.png" 2>&1) || true
    fail "$what: the canvas differs from the expected picture in $differing pixels" \
      "(kept: $stem-shown.png, $stem-expected.png, $stem-diff.png)"
  fi
}

# Whether a text shows in a rectangle of the screen (screen coordinates); options of
# text_shown follow the text.
text_in() { grab && "$text_shown" "$work/screen.png" "$@" >/dev/null 2>&1; }
expect_text() {
  local what=$1
  shift
  wait_for text_in "$@" || fail "$what: \"$5\" is not shown in ${3}x$4+$1+$2"
}

# Writes the canvases the core draws for a script of canvas_replay, given on standard input.
replay() { "$canvas_replay" || fail "the headless replay did not run its script"; }
