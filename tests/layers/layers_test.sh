#!/usr/bin/env bash
# The levels of the code: every include follows the table in docs/architecture.md, and an
# include across the levels is caught (each below is put into a copy of the sources).
#
# Usage: layers_test.sh SOURCE_DIR
set -euo pipefail
source=$1
check=$source/tests/layers/check_includes.py
python3 "$check" "$source"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
while IFS='|' read -r file include; do
  rm -rf "$work/tree"
  mkdir -p "$work/tree"
  cp -r "$source/src" "$source/docs" "$work/tree/"
  echo "#include $include" >>"$work/tree/src/$file"
  if out=$(python3 "$check" "$work/tree"); then
    echo "FAIL: $include in $file was not caught" >&2
    exit 1
  fi
  grep -qF "includes ${include//[\"<>]/}," <<<"$out" || { echo "FAIL: unexpected report: $out" >&2; exit 1; }
  echo "ok: caught $include in $file"
done <<'CASES'
geometry/render.h|"app/main_window.h"
drawing/drawing_state.h|"platform/surface.h"
project/project_format.cpp|"geometry/polygon.h"
drawing/undo.cpp|<QImage>
analysis/report.cpp|<CGAL/Arrangement_2.h>
app/main_window.cpp|<nlohmann/json.hpp>
tool/info.cpp|<nlohmann/json.hpp>
platform/qtgui/file_output.cpp|"platform/qt/qt_platform.h"
app/tiling_generator.h|"app/main_window.h"
CASES
