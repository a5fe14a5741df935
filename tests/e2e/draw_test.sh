#!/usr/bin/env bash
# Draws a triangle and a square on one of its sides, fills both through the palette, undoes a
# fill, uses the three redraw buttons and undoes the square. After every step the whole canvas
# on the screen must equal, pixel for pixel, the canvas the core draws for the same clicks.
# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$(dirname "$0")/lib.sh"
e2e_begin draw "$@"

replay <<EOF
click 200 300
click 280 300
click 240 250
write $work/triangle.ppm
corners 4
click 203 302 # near the corners: they snap to them
click 277 298
write $work/chosen.ppm
click 240 350
write $work/square.ppm
fill
swatch 12
click 240 340
swatch 9
click 240 280
write $work/filled.ppm
undo
write $work/fill-undone.ppm
fill
lines
write $work/lines.ppm
points
write $work/points.ppm
all
write $work/all.ppm
undo
write $work/square-undone.ppm
EOF

start_quillet
wait_main_window "at the start"

# A triangle (the box starts at 3 corners) on the side from (200, 300) to (280, 300), above it.
click_canvas 200 300
click_canvas 280 300
click_canvas 240 250
expect_pixels "the triangle" 240 300 000000 200 300 00ff00 240 280 ffffff
expect_canvas "the triangle" "$work/triangle.ppm"

# A square below the triangle's base: both corners are picked near them and snap; the chosen
# corners show red until the side is clicked.
corners 4
click_canvas 203 302
click_canvas 277 298
expect_pixels "the chosen side" 200 300 ff0000 280 300 ff0000
expect_canvas "the chosen side" "$work/chosen.ppm"
click_canvas 240 350
expect_pixels "the square" 200 340 000000 240 380 000000 280 380 00ff00 240 340 ffffff
expect_canvas "the square" "$work/square.ppm"

# Fill mode; the square red and the triangle blue.
click_fill_mode
click_swatch 12
click_canvas 240 340
click_swatch 9
click_canvas 240 280
expect_pixels "the fills" 240 340 ff0000 240 280 0000ff 400 100 ffffff
expect_canvas "the fills" "$work/filled.ppm"

# Undo's shortcut in fill mode takes the last fill back.
xdotool key ctrl+z
expect_pixels "the fill undone" 240 280 ffffff 240 340 ff0000
expect_canvas "the fill undone" "$work/fill-undone.ppm"

# Out of fill mode the redraw buttons work: only the lines, only the points, everything.
# "&Teken alles" is pressed by its underlined letter.
click_fill_mode
click_control cmdOnlyLines
expect_pixels "only the lines" 240 340 ffffff 240 300 000000 279 379 ffffff
expect_canvas "only the lines" "$work/lines.ppm"
click_control cmdOnlyPoints
expect_pixels "only the points" 240 300 ffffff 279 379 00ff00
expect_canvas "only the points" "$work/points.ppm"
xdotool key alt+t
expect_pixels "everything" 240 300 000000 279 379 00ff00
expect_canvas "everything" "$work/all.ppm"

# Undo out of fill mode takes the square away.
xdotool key ctrl+z
expect_pixels "the square undone" 200 340 ffffff 240 300 000000
expect_canvas "the square undone" "$work/square-undone.ppm"
echo "e2e draw: all checks passed"
