#!/usr/bin/env bash
# Saves a drawing through the file dialog, exports it as a bitmap after a change, and quits
# through the save-changes question, answered with the keyboard: Cancel stays, No quits
# without saving, Yes saves through the dialog and quits. Every file opened again from the
# command line shows the picture it was saved from.
# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$(dirname "$0")/lib.sh"
e2e_begin save_quit "$@"

pattern() { # a triangle with a red square below it and a blue inside
  cat <<EOF
click 200 300
click 280 300
click 240 250
corners 4
click 203 302
click 277 298
click 240 350
fill
swatch 12
click 240 340
swatch 9
click 240 280
EOF
}
{ pattern; echo "write $work/saved.ppm"; } | replay

# Asks to quit through the File menu; the question comes up and takes the keyboard.
quit_asks() {
  activate
  menu f q
  wait_dialog Quillet "the save-changes question at Quit"
}
# Quits through the File menu; the program ends at once, asking nothing.
quit_unchanged() {
  activate
  menu f q
  wait_for ended_or_asks || fail "the program did not end at Quit"
  [ -z "$found" ] || fail "Quit asked to save an unchanged drawing"
}
ended_or_asks() {
  found=
  ended "$quillet_pid" || find_window Quillet DIALOG
}
# Types a path into the save dialog, in place of any name it offers.
save_as() {
  wait_dialog "Save Quillet File as..." "$2"
  xdotool key ctrl+a
  xdotool type "$1"
  xdotool key Return
  wait_for test -s "$1" || fail "$1 was not written ($2)"
}

start_quillet
wait_main_window "at the start"
pattern | draw
expect_canvas "the drawing" "$work/saved.ppm"
canvas_shot "$work/saved.png"

# Save as with its shortcut, into a project file.
xdotool key ctrl+s
save_as "$work/pattern.qlf" "Ctrl+S"

# A change, then an export from the menu: the bitmap holds the canvas as shown.
click_swatch 14
click_canvas 400 100
expect_pixels "the yellow background" 400 100 ffff00 240 340 ff0000
canvas_shot "$work/changed.png"
menu f s
save_as "$work/pattern.bmp" "Save as from the File menu"
differing=$(compare -metric AE "$work/changed.png" "bmp:$work/pattern.bmp" null: 2>&1) ||
  fail "the exported bitmap differs from the canvas in $differing pixels"

# An export does not save the drawing: Quit asks. Escape is Cancel and keeps the program.
quit_asks
question=$found
xdotool key Escape
wait_for gone "$question" || fail "Escape did not close the save-changes question"
main_window_shown || fail "the main window went away after Cancel"
ended "$quillet_pid" && fail "the program ended after Cancel"

# N is No: the program ends without saving.
quit_asks
xdotool key n
wait_for ended "$quillet_pid" || fail "the program did not end after No"
[ "$exit_status" -eq 0 ] || fail "the program ended with status $exit_status after No"

# Opens a project from the command line. It shows its lines and fills as the core draws them
# from the file; its corners show after "&Teken alles", and then it is the picture it was
# saved from.
reopen() {
  printf 'load %s\nwrite %s\n' "$1" "$work/opened.ppm" | replay
  start_quillet "$1"
  wait_main_window "with $1"
  expect_canvas "$1 opened" "$work/opened.ppm"
  activate
  xdotool key alt+t
  expect_canvas "$1 opened, everything drawn" "$2"
}

# The project saved before the change.
reopen "$work/pattern.qlf" "$work/saved.png"

# The same change again; at Quit, Y is Yes: the dialog saves it, and the program ends.
click_fill_mode
click_swatch 14
click_canvas 400 100
expect_canvas "the changed project" "$work/changed.png"
quit_asks
xdotool key y
save_as "$work/changed.qlf" "Yes to the save-changes question"
wait_for ended "$quillet_pid" || fail "the program did not end after saving at Quit"

reopen "$work/changed.qlf" "$work/changed.png"
quit_unchanged
echo "e2e save_quit: all checks passed"
