#!/usr/bin/env bash
# Takes the README's screenshot: starts the given quillet on a virtual display, draws a hexagon
# with a square on every side and a triangle between every two squares, colours it, and keeps
# the window as a small PNG. Builds nothing itself.
#
#   bash scripts/screenshot.sh build/quillet [docs/screenshot.png]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
if [ $# -lt 1 ] || [ ! -x "$1" ]; then
  echo "usage: $0 QUILLET [OUT.png]" >&2
  exit 2
fi
quillet=$(realpath "$1")
out=$(realpath -m "${2:-$here/docs/screenshot.png}")
# shellcheck source-path=SCRIPTDIR source=../tests/e2e/lib.sh
source "$here/tests/e2e/lib.sh"
e2e_begin screenshot "$quillet" "" ""

start_quillet
wait_main_window "at the start"

# The hexagon, on its bottom side, with the centre above it.
corners 6
click_canvas 250 316
click_canvas 330 316
click_canvas 290 250
# A square outside every side: both corners snap, the third click is outside.
corners 4
while read -r x1 y1 x2 y2 sx sy; do
  click_canvas "$x1" "$y1"
  click_canvas "$x2" "$y2"
  click_canvas "$sx" "$sy"
done <<EOF
370 247 330 316 376 296
330 316 250 316 290 346
250 316 210 247 204 296
210 247 250 177 204 197
250 177 330 177 290 147
330 177 370 247 376 197
EOF
# A triangle in every gap: a hexagon corner, the square's corner beside it, and inside.
corners 3
while read -r x1 y1 x2 y2 sx sy; do
  click_canvas "$x1" "$y1"
  click_canvas "$x2" "$y2"
  click_canvas "$sx" "$sy"
done <<EOF
370 247 439 207 416 247
330 316 399 356 353 356
250 316 250 396 227 356
210 247 141 287 164 247
250 177 181 137 227 137
330 177 330 97 353 137
EOF
expect_pixels "the pattern" 290 316 000000 290 356 ffffff

# Yellow hexagon, cyan squares, blue triangles.
click_fill_mode
click_swatch 14
click_canvas 290 247
click_swatch 11
for at in "385 301" "290 356" "195 301" "195 192" "290 137" "385 192"; do
  # shellcheck disable=SC2086
  click_canvas $at
done
click_swatch 9
for at in "416 247" "353 356" "227 356" "164 247" "227 137" "353 137"; do
  # shellcheck disable=SC2086
  click_canvas $at
done
click_fill_mode
xdotool mousemove 1020 760
expect_pixels "the colours" 290 247 ffff00 290 356 00ffff 353 137 0000ff

mkdir -p "$(dirname "$out")"
import -window "$win" -strip -colors 64 "png8:$out"
echo "wrote $out ($(stat -c %s "$out") bytes)"
