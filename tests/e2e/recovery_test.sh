#!/usr/bin/env bash
# The end of the process with an unsaved drawing: SIGTERM and SIGHUP end the program at once
# with 128 + the signal (a question open or not), the drawing in a recovery file that opens;
# the next start asks about it, opens it on Yes and removes it on No. An unchanged drawing
# leaves nothing, and a lost display keeps the drawing too.
#
# Usage: recovery_test.sh QUILLET CANVAS_REPLAY TEXT_SHOWN QUILLET_TOOL
# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$(dirname "$0")/lib.sh"
tool=$4
e2e_begin recovery "$1" "$2" "$3"

folder=$XDG_STATE_HOME/quillet

# The recovery files there, one a line.
recovery_files() { find "$folder" -maxdepth 1 -name 'recovery-*.qlf' 2>/dev/null | sort; }
count_is() { [ "$(recovery_files | grep -c .)" -eq "$1" ]; }

# A triangle, drawn with three clicks; its corners show green.
draw_triangle() {
  click_canvas 200 300
  click_canvas 280 300
  click_canvas 240 250
  expect_pixels "the triangle" 200 300 00ff00 280 300 00ff00
}

# Ends the program with a signal; it must end at once with 128 + the signal's number.
end_with() {
  kill "-$1" "$quillet_pid"
  wait_for ended "$quillet_pid" || fail "the program did not end on SIG$1"
  [ "$exit_status" -eq "$2" ] || fail "SIG$1 ended the program with $exit_status, not $2"
}

# Exactly one recovery file, which opens: sets $kept, and keeps its canvas in $work/kept.ppm.
expect_one_kept() {
  count_is 1 || fail "$1: recovery files: $(recovery_files | tr '\n' ' ')"
  kept=$(recovery_files)
  [ "$(stat -c %a "$folder")" = 700 ] || fail "the folder $folder is not private"
  "$tool" check "$kept" >/dev/null 2>&1 || fail "$1: $kept does not open: $("$tool" check "$kept" 2>&1)"
  grep -qF "kept in '$kept'" "$work/quillet.log" || fail "$1: stderr does not say where the drawing is"
  printf 'load %s\nwrite %s\n' "$kept" "$work/kept.ppm" | replay
}

# Starts the program, which asks about the recovery file before its window shows.
start_and_answer() {
  start_quillet
  wait_dialog Quillet "the recovery question"
  local box=$found
  main_window_shown && fail "the main window came up before the recovery question"
  xdotool key "$1"
  wait_for gone "$box" || fail "the key $1 did not answer the recovery question"
  wait_main_window "after the recovery question"
}

# SIGTERM with a drawing: kept.
start_quillet
wait_main_window "at the start"
draw_triangle
end_with TERM 143
expect_one_kept "after SIGTERM"

# Yes opens it, and it is gone from the folder; the drawing is unsaved work again.
start_and_answer y
expect_canvas "the recovered drawing" "$work/kept.ppm"
count_is 0 || fail "the opened recovery file was not removed"

# SIGHUP while the save-changes question of Quit is open: the recovered drawing, still
# unsaved, is kept again, and the question ends with the program.
activate
menu f q
wait_dialog Quillet "the save-changes question at Quit"
end_with HUP 129
expect_one_kept "after SIGHUP"

# No removes it and leaves an empty drawing.
printf 'write %s\n' "$work/empty.ppm" | replay
start_and_answer n
expect_canvas "the drawing after No" "$work/empty.ppm"
count_is 0 || fail "the declined recovery file was not removed"

# An unchanged drawing writes nothing.
end_with TERM 143
count_is 0 || fail "an unchanged drawing wrote $(recovery_files)"

# The display goes away under a drawing: Qt ends the program with exit status 1.
start_quillet
wait_main_window "before the display is lost"
draw_triangle
kill "$xvfb"
wait "$xvfb" 2>/dev/null || true
xvfb=''
wait_for ended "$quillet_pid" || fail "the program did not end when the display went away"
[ "$exit_status" -eq 1 ] || fail "a lost display ended the program with $exit_status"
expect_one_kept "after the display went away"
echo "e2e recovery: all checks passed"
