#!/usr/bin/env bash
# Start-up time: from launch to the first painted window, of Quillet and of a bare Qt window of
# the same size and flags, on one virtual display, the programs run by turns.
#
#   bash bench/startup/startup.sh BUILD_DIR [RUNS] [-- QUILLET_ARGUMENTS...]
#
# With BASELINE=/path/to/an/older/quillet in the environment, that program runs by turns with
# the two others as well, for a before and after on the same machine at the same time.
#
# Each program is started through perl, which notes the monotonic clock and then becomes the
# program; the program notes the clock again once its first paint has been flushed and quits
# (QUILLET_REPORT_FIRST_PAINT). Prints every run, the medians and their ratios to the bare
# window's.
set -euo pipefail

build=${1:?usage: startup.sh BUILD_DIR [RUNS] [-- QUILLET_ARGUMENTS...]}
shift
runs=15
if [ $# -gt 0 ] && [ "$1" != "--" ]; then
  runs=$1
  shift
fi
[ $# -gt 0 ] && [ "$1" = "--" ] && shift
names=(bare quillet)
programs=("$build/bench/startup/bare_window" "$build/quillet")
if [ -n "${BASELINE:-}" ]; then
  names+=(baseline)
  programs+=("$BASELINE")
fi
for p in "${programs[@]}"; do
  [ -x "$p" ] || { echo "startup.sh: $p is not built" >&2; exit 1; }
done

# One server for all runs; it must not reset when a client leaves.
source "$(dirname "$0")/xvfb.sh"
start_xvfb startup.sh
export QUILLET_REPORT_FIRST_PAINT=1

# Milliseconds from launch to first paint of program number $1; the bare window takes no
# arguments, the others take the rest.
one_run() {
  local i=$1 out launch paint args=()
  shift
  [ "$i" -gt 0 ] && args=("$@")
  out=$(timeout 30 perl -MTime::HiRes=clock_gettime,CLOCK_MONOTONIC \
    -e '$| = 1; printf "launch %.6f\n", clock_gettime(CLOCK_MONOTONIC); exec @ARGV or die' \
    "${programs[$i]}" "${args[@]}" 2>>"$work/stderr.log") || true
  launch=$(awk '$1 == "launch" { print $2 }' <<<"$out")
  paint=$(awk '$1 == "first-paint" { print $2 }' <<<"$out")
  if [ -z "$launch" ] || [ -z "$paint" ]; then
    echo "startup.sh: no first paint from ${programs[$i]}" >&2
    cat "$work/stderr.log" >&2
    exit 1
  fi
  awk -v a="$launch" -v b="$paint" 'BEGIN { printf "%.1f\n", (b - a) * 1000 }'
}

median() {
  sort -n | awk '{ v[NR] = $1 } END { print (NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2) }'
}

count=${#programs[@]}
# One run of each first, not counted: the files are in the page cache afterwards.
for ((i = 0; i < count; i++)); do
  one_run "$i" "$@" >/dev/null
  : >"$work/$i.ms"
done

for ((r = 0; r < runs; r++)); do
  # By turns, each program first in its turn.
  line=$(printf 'run %2d' "$((r + 1))")
  declare -A took=()
  for ((k = 0; k < count; k++)); do
    i=$(((r + k) % count))
    took[$i]=$(one_run "$i" "$@")
    echo "${took[$i]}" >>"$work/$i.ms"
  done
  for ((i = 0; i < count; i++)); do
    line+=$(printf '  %s %7.1f ms' "${names[$i]}" "${took[$i]}")
  done
  echo "$line"
done

line='median'
bare_median=$(median <"$work/0.ms")
for ((i = 0; i < count; i++)); do
  m=$(median <"$work/$i.ms")
  line+=$(printf '  %s %7.1f ms' "${names[$i]}" "$m")
  if [ "$i" -gt 0 ]; then
    line+=$(awk -v q="$m" -v b="$bare_median" 'BEGIN { printf " (%.2fx)", q / b }')
  fi
done
echo "$line"
