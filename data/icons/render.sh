#!/usr/bin/env bash
# Renders the PNG icons from the SVGs beside this script into the hicolor layout that is
# installed. Run by hand after changing an SVG (needs rsvg-convert, package librsvg2-bin);
# the PNGs are kept in the tree so that a build needs no SVG renderer.
set -euo pipefail
cd "$(dirname "$0")"

sizes=(16 24 32 48 64 128 256)
for size in "${sizes[@]}"; do
  for pair in apps:org.example.Quillet mimetypes:application-x-quillet; do
    context=${pair%%:*} name=${pair#*:}
    dir="hicolor/${size}x${size}/$context"
    mkdir -p "$dir"
    rsvg-convert --width "$size" --height "$size" --output "$dir/$name.png" "$name.svg"
  done
done
