#!/usr/bin/env bash
# At a scale of 2, every canvas pixel covers two by two screen pixels. Clicks on the second
# screen pixel of a canvas pixel, each way, draw a triangle; the canvas on the screen, taken
# back to one screen pixel a canvas pixel, must equal the triangle the core draws for clicks on
# those canvas pixels.
# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$(dirname "$0")/lib.sh"
e2e_screen=1600x1300x24
e2e_scale=2
e2e_begin scaled "$@"

replay <<EOF2
click 161 100
click 261 100
click 211 40
write $work/triangle.ppm
EOF2

QT_SCALE_FACTOR=2 start_quillet
wait_main_window "at a scale of 2"

click_second() { xdotool mousemove $((ox + 2 * $1 + 1)) $((oy + 2 * $2 + 1)) click 1; }
click_second 161 100
click_second 261 100
click_second 211 40

# The top left screen pixel of each canvas pixel.
scaled_canvas_equals() {
  import -window root -crop "$((2 * CANVAS_W))x$((2 * CANVAS_H))+$ox+$oy" +repage \
    "png24:$work/scaled.png" 2>/dev/null &&
    convert "$work/scaled.png" -sample 50% "png24:$work/canvas.png" &&
    compare -metric AE "$work/canvas.png" "$work/triangle.ppm" null: 2>/dev/null
}
if ! wait_for scaled_canvas_equals; then
  mkdir -p "$artifacts"
  cp "$work/canvas.png" "$artifacts/$test_name-canvas-shown.png"
  fail "the triangle clicked at a scale of 2 differs from the one drawn by canvas pixels" \
    "(kept: $artifacts/$test_name-canvas-shown.png)"
fi
echo "e2e scaled: all checks passed"
