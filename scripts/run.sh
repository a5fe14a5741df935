#!/usr/bin/env bash
# Builds Quillet and starts it; an optional project path is passed on.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLET_BUILD_BENCH=OFF >/dev/null
cmake --build build --target quillet
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "Quillet is built (build/quillet) but there is no display to show its window:" >&2
  echo "DISPLAY and WAYLAND_DISPLAY are both unset. Run this from a desktop session," >&2
  echo "or start a virtual one first, e.g.: xvfb-run -a bash scripts/run.sh" >&2
  exit 2
fi
exec build/quillet "$@"
