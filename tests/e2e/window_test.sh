#!/usr/bin/env bash
# The main window as it first comes up: its size, the framed empty canvas, the palette and a
# few captions where the control table puts them, the pointer read-out, and the manual from the
# Help menu.
# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$(dirname "$0")/lib.sh"
e2e_begin window "$@"

replay <<EOF
write $work/empty.ppm
EOF

start_quillet
wait_main_window "at the start"

# The window manager gets the icon in every size up to 128 pixels (Qt leaves out larger ones).
icon_sizes() {
  got=$(xprop -id "$win" _NET_WM_ICON | grep -o 'Icon ([0-9]* x [0-9]*)' | sed 's/Icon (//; s/)//' |
    paste -sd,)
  [ "$got" = "16 x 16,24 x 24,32 x 32,48 x 48,64 x 64,128 x 128" ]
}
wait_for icon_sizes || fail "the window's icon has the sizes: $got"

# The client area ends where the table says: the window's last pixels are its own, the next
# ones are the bare screen.
window_edges() {
  grab && got=$(screen_pixels $((cx + CLIENT_W - 1)) $((cy + CLIENT_H - 1)) \
    $((cx + CLIENT_W)) $((cy + 100)) $((cx + 100)) $((cy + CLIENT_H))) &&
    background=${got%% *} && [ "$background" != 000000 ] && [ "${got#* }" = "000000 000000" ]
}
wait_for window_edges || fail "the window is not ${CLIENT_W}x$CLIENT_H below its menu bar (edges: $got)"

# The canvas is white inside a frame two pixels wide on every side.
expect_canvas "the empty canvas" "$work/empty.ppm"
framed() {
  local colour
  grab && got=$(screen_pixels $((ox - 1)) $((oy + 200)) $((ox - 2)) $((oy + 200)) \
    $((ox + 300)) $((oy - 1)) $((ox + 300)) $((oy - 2)) \
    $((ox + CANVAS_W)) $((oy + 200)) $((ox + 300)) $((oy + CANVAS_H))) || return 1
  for colour in $got; do
    [ "$colour" != FFFFFF ] && [ "$colour" != "$background" ] || return 1
  done
}
wait_for framed || fail "the canvas has no frame (frame pixels: $got, window: $background)"

# The sixteen standard colours in two columns, and the current colour, white.
colours=(000000 000080 008000 008080 800000 800080 808000 C0C0C0
         808080 0000FF 00FF00 00FFFF FF0000 FF00FF FFFF00 FFFFFF)
palette_shown() {
  local i at=()
  for i in "${!colours[@]}"; do
    at+=($((cx + ((i % 2 == 0) ? 608 : 632) + 8)) $((cy + 56 + 24 * (i / 2) + 8)))
  done
  grab && got=$(screen_pixels "${at[@]}" $((cx + 628)) $((cy + 28))) &&
    [ "$got" = "${colours[*]} FFFFFF" ]
}
wait_for palette_shown || fail "the palette shows $got, not ${colours[*]} and a white current colour"

# Captions in their places, in the window's own font size; fill mode is off and greyed out.
expect_text "the corner-count label" $((cx + 8)) $((cy + 8)) 305 33 \
  "De volgende veelhoek die ik ga tekenen" --any-size
expect_text "the pointer read-out" $((cx + 232)) $((cy + 32)) 137 25 "X: 0     Y: 0" --any-size
expect_text "the fill mode box" $((cx + 600)) $((cy + 272)) 65 17 "Fill Mode" --disabled --any-size
expect_text "the fill warning" $((cx + 600)) $((cy + 296)) 65 257 "Opgepast: Als" --any-size

# The read-out follows the pointer over the canvas.
xdotool mousemove $((ox + 123)) $((oy + 45))
expect_text "the pointer read-out" $((cx + 232)) $((cy + 32)) 137 25 "X: 123     Y: 45" --any-size

# Help, "How to use Quillet", by their underlined letters: the manual, and its Ok.
activate
menu h h
wait_dialog Manual "from the Help menu"
manual=$found
eval "$(xdotool getwindowgeometry --shell "$manual")"
if [ "$WIDTH" -ne 289 ] || [ "$HEIGHT" -ne 243 ]; then
  fail "the manual is ${WIDTH}x$HEIGHT, not 289x243"
fi
expect_text "the manual" $((X + 8)) $((Y + 8)) 265 57 "To draw a shape on the" --any-size
xdotool key alt+o
wait_for gone "$manual" || fail "the manual's Ok did not close it"
echo "e2e window: all checks passed"
