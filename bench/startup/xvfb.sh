# Sourced by the start-up and memory scripts: a work folder and one virtual display that does
# not reset when a client leaves, both removed on exit. Sets `work` and DISPLAY.
# shellcheck shell=bash

start_xvfb() { # start_xvfb SCRIPT-NAME
  work=$(mktemp -d)
  xvfb=
  trap '[ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null && wait "$xvfb" 2>/dev/null; rm -rf "$work"' EXIT
  mkfifo "$work/displayfd"
  Xvfb -displayfd 3 -noreset -nolisten tcp -screen 0 1024x768x24 3>"$work/displayfd" \
    >/dev/null 2>&1 &
  xvfb=$!
  local number
  read -r -t 20 number <"$work/displayfd" || { echo "$1: Xvfb did not start" >&2; exit 1; }
  export DISPLAY=:$number
  unset QT_QPA_PLATFORM WAYLAND_DISPLAY
  export XDG_RUNTIME_DIR=$work/runtime
  # A recovery file of the user's would put up its question before the first paint.
  export XDG_STATE_HOME=$work/state
  mkdir -m 700 "$XDG_RUNTIME_DIR"
}
