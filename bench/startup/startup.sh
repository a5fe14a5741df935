#!/usr/bin/env bash
# Start-up time: from launch to the first painted window, of Quillet and of a bare Qt window of
# the same size and flags, on one virtual display, the two programs run by turns.
#
#   bash bench/startup/startup.sh BUILD_DIR [RUNS] [-- QUILLET_ARGUMENTS...]
#
# Each program is started through perl, which notes the monotonic clock and then becomes the
# program; the program notes the clock again once its first paint has been flushed and quits
# (QUILLET_REPORT_FIRST_PAINT). Prints every run, the medians and their ratio.
set -euo pipefail

build=${1:?usage: startup.sh BUILD_DIR [RUNS] [-- QUILLET_ARGUMENTS...]}
shift
runs=15
if [ $# -gt 0 ] && [ "$1" != "--" ]; then
  runs=$1
  shift
fi
[ $# -gt 0 ] && [ "$1" = "--" ] && shift
quillet=$build/quillet
bare=$build/bench/startup/bare_window
for p in "$quillet" "$bare"; do
  [ -x "$p" ] || { echo "startup.sh: $p is not built" >&2; exit 1; }
done

work=$(mktemp -d)
xvfb=
cleanup() {
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null && wait "$xvfb" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# One server for all runs; it must not reset when a client leaves.
mkfifo "$work/displayfd"
Xvfb -displayfd 3 -noreset -nolisten tcp -screen 0 1024x768x24 3>"$work/displayfd" \
  >/dev/null 2>&1 &
xvfb=$!
read -r -t 20 number <"$work/displayfd" || { echo "startup.sh: Xvfb did not start" >&2; exit 1; }
export DISPLAY=:$number
unset QT_QPA_PLATFORM WAYLAND_DISPLAY
export XDG_RUNTIME_DIR=$work/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"
export QUILLET_REPORT_FIRST_PAINT=1

# Milliseconds from launch to first paint of one run of "$@".
one_run() {
  local out launch paint
  out=$(timeout 30 perl -MTime::HiRes=clock_gettime,CLOCK_MONOTONIC \
    -e '$| = 1; printf "launch %.6f\n", clock_gettime(CLOCK_MONOTONIC); exec @ARGV or die' \
    "$@" 2>>"$work/stderr.log") || true
  launch=$(awk '$1 == "launch" { print $2 }' <<<"$out")
  paint=$(awk '$1 == "first-paint" { print $2 }' <<<"$out")
  if [ -z "$launch" ] || [ -z "$paint" ]; then
    echo "startup.sh: no first paint from $1" >&2
    cat "$work/stderr.log" >&2
    exit 1
  fi
  awk -v a="$launch" -v b="$paint" 'BEGIN { printf "%.1f\n", (b - a) * 1000 }'
}

median() {
  sort -n | awk '{ v[NR] = $1 } END { print (NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2) }'
}

# One run of each first, not counted: the files are in the page cache afterwards.
one_run "$bare" >/dev/null
one_run "$quillet" "$@" >/dev/null

: >"$work/bare.ms"
: >"$work/quillet.ms"
for ((i = 1; i <= runs; i++)); do
  # By turns, and each program first every other round.
  if ((i % 2)); then
    b=$(one_run "$bare")
    q=$(one_run "$quillet" "$@")
  else
    q=$(one_run "$quillet" "$@")
    b=$(one_run "$bare")
  fi
  echo "$b" >>"$work/bare.ms"
  echo "$q" >>"$work/quillet.ms"
  printf 'run %2d  bare %7.1f ms  quillet %7.1f ms\n' "$i" "$b" "$q"
done

bare_median=$(median <"$work/bare.ms")
quillet_median=$(median <"$work/quillet.ms")
printf 'median  bare %7.1f ms  quillet %7.1f ms  ratio %.2f\n' "$bare_median" "$quillet_median" \
  "$(awk -v q="$quillet_median" -v b="$bare_median" 'BEGIN { print q / b }')"
