#!/usr/bin/env bash
# Peak memory of the bare Qt window, of Quillet with an empty drawing and of Quillet with a
# drawing at the file format's limits (32767 points, lines and fills), on a virtual display;
# then what each one's resident memory is made of once its window is painted.
#
#   bash bench/startup/memory.sh BUILD_DIR [RUNS]
#
# Peak: the largest resident set (GNU time's %M, the kernel's VmHWM) of a run that quits at its
# first paint (QUILLET_REPORT_FIRST_PAINT), the median of RUNS (default 5). Resident memory
# counts the pages of shared libraries that the program touched, shared or not.
set -euo pipefail

build=${1:?usage: memory.sh BUILD_DIR [RUNS]}
runs=${2:-5}
quillet=$build/quillet
bare=$build/bench/startup/bare_window
limits=$build/bench/startup/limits_project
for p in "$quillet" "$bare" "$limits"; do
  [ -x "$p" ] || { echo "memory.sh: $p is not built" >&2; exit 1; }
done
for tool in Xvfb xdotool /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "memory.sh: $tool is missing" >&2; exit 1; }
done

source "$(dirname "$0")/xvfb.sh"
start_xvfb memory.sh
unset QUILLET_REPORT_FIRST_PAINT
# Project files carry the locale's decimal separator; the limits file is written with '.'.
export LC_ALL=C.UTF-8

"$limits" "$work/limits.qlf"

median() {
  sort -n | awk '{ v[NR] = $1 } END { print (NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2) }'
}

# Peak resident kilobytes of "$@", run to its first paint.
peak() {
  local i
  for ((i = 0; i < runs; i++)); do
    QUILLET_REPORT_FIRST_PAINT=1 /usr/bin/time -f '%M' -o "$work/time" "$@" >/dev/null 2>&1
    tail -n 1 "$work/time"
  done | median
}

# Resident kilobytes by kind of mapping, of "$@" once its window shows and has been painted.
breakdown() {
  local pid
  "$@" >/dev/null 2>&1 &
  pid=$!
  timeout 30 xdotool search --sync --onlyvisible --pid "$pid" >/dev/null
  sleep 0.5
  awk '
    /^[0-9a-f]+-[0-9a-f]+ / {
      name = (NF >= 6) ? $6 : ""
      if (name == "") kind = "anonymous: malloc blocks of 128 KiB and more, thread arenas and stacks"
      else if (name == "[heap]") kind = "heap: the main malloc arena"
      else if (name == "[stack]") kind = "main stack"
      else if (name ~ /libQt6/) kind = "Qt libraries"
      else if (name ~ /qt6\/plugins/) kind = "Qt plugins"
      else if (name ~ /\.so/) kind = "other libraries"
      else if (name ~ /\.(ttf|otf|pfb|ttc)$/) kind = "font files"
      else if (name ~ /fontconfig/) kind = "fontconfig caches"
      else if (name ~ /SYSV|memfd|\/dev\/shm/) kind = "shared memory: the window image for the X server"
      else if (name ~ /\/locale\/|gconv/) kind = "locale data"
      else kind = "the executable and other files"
      next
    }
    /^Rss:/ { rss[kind] += $2 }
    END { for (k in rss) if (rss[k] > 0) printf "  %7d KB  %s\n", rss[k], k }
  ' "/proc/$pid/smaps" | sort -rn
  awk '/^VmRSS|^VmHWM/ { printf "  %s %d KB\n", $1, $2 }' "/proc/$pid/status"
  kill "$pid"
  wait "$pid" 2>/dev/null || true
}

printf 'Peak resident memory, median of %d runs to the first paint:\n' "$runs"
printf '  bare window             %6d KB\n' "$(peak "$bare")"
printf '  Quillet, empty          %6d KB\n' "$(peak "$quillet")"
printf '  Quillet, at the limits  %6d KB\n' "$(peak "$quillet" "$work/limits.qlf")"
echo
echo "bare window, painted:"
breakdown "$bare"
echo "Quillet, empty, painted:"
breakdown "$quillet"
echo "Quillet, at the limits, painted:"
breakdown "$quillet" "$work/limits.qlf"
