#!/usr/bin/env bash
# A project file that is no drawing, named on the command line: its message comes up before
# the main window, and after OK the window shows an empty drawing.
# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$(dirname "$0")/lib.sh"
e2e_begin bad_file "$@"

printf 'write %s\n' "$work/empty.ppm" | replay
bad=$work/broken.qlf
printf 'This is no drawing.\n' >"$bad"

start_quillet "$bad"
wait_dialog Quillet "the message about the file"
box=$found
main_window_shown && fail "the main window came up before the message"
eval "$(xdotool getwindowgeometry --shell "$box")"
expect_text "the message" "$X" "$Y" "$WIDTH" "$HEIGHT" "Failed to open '$bad'"

xdotool key Return
wait_for gone "$box" || fail "Return did not close the message"
wait_main_window "after the message"
expect_canvas "the drawing after the message" "$work/empty.ppm"
echo "e2e bad_file: all checks passed"
