#!/usr/bin/env bash
# Starts the real program on a virtual X display and uses it as a person would: draws a square
# with three clicks, fills it, saves it through the dialog, and opens the file from the
# command line; the screen is read back pixel by pixel.
# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$(dirname "$0")/lib.sh"
e2e_begin e2e "$@"

start_quillet
wait_main_window "at the start"
corners 4
click_canvas 100 100
click_canvas 200 100
click_canvas 150 150
expect_pixels "the square" 100 150 000000 150 100 000000 200 200 00ff00 150 150 ffffff

# Fill mode, the light red swatch, and a click inside the square.
click_fill_mode
click_swatch 12
click_canvas 150 150
expect_pixels "the fill" 150 150 ff0000 300 300 ffffff

# Save through the dialog (Ctrl+S) into a project file; the name is typed only once the dialog
# has the keyboard.
saved() { grep -q "<FloodFill num=1>" "$work/drawing.qlf" 2>/dev/null; }
xdotool key ctrl+s
wait_dialog "Save Quillet File as..." "Ctrl+S"
xdotool type "$work/drawing.qlf"
xdotool key Return
wait_for saved || fail "the project was not saved with its fill"
kill "$quillet_pid"
wait_for ended "$quillet_pid" || fail "the program did not end"
wait_for gone "$win" || fail "the window stayed after the program ended"

# Opening it from the command line shows the lines and the replayed fill.
start_quillet "$work/drawing.qlf"
wait_main_window "with the saved project"
expect_pixels "the opened project" 150 150 ff0000 100 150 000000
echo "e2e: all checks passed"
