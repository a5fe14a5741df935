#!/usr/bin/env bash
# Replays the seed corpora through both fuzz targets, then fuzzes each for a while, one process
# at a time. A crash, a sanitizer report, a failed check or a hang fails the script, and the
# input that caused it is kept in BUILD-DIR/fuzz-findings.
# Usage: fuzz/run.sh BUILD-DIR [SECONDS-PER-TARGET]
set -euo pipefail
cd "$(dirname "$0")/.."
build=$1
seconds=${2:-60}
findings="$build/fuzz-findings"
mkdir -p "$findings"
export UBSAN_OPTIONS=print_stacktrace=1
# The slowest input of at most max_len bytes, hundreds of fills each flooding the whole canvas,
# takes a few seconds with the sanitizers; the timeout is well above that, so only a hang
# reaches it.
options=(-max_len=4096 -timeout=60 -rss_limit_mb=2048 -dict=fuzz/project.dict
         -artifact_prefix="$findings/" -print_final_stats=1)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for name in project load; do
  target="$build/fuzz/${name}_fuzz"
  seeds="fuzz/corpus/$name"
  echo "== $name: the seed corpus"
  if ! "$target" "${options[@]}" "$seeds"/* >"$work/replay.log" 2>&1; then
    cat "$work/replay.log" >&2
    echo "fuzz: $name fails on a seed; see above" >&2
    exit 1
  fi
  grep -c '^Executed ' "$work/replay.log" | sed 's/$/ seeds replayed/'
  echo "== $name: fuzzing for ${seconds}s"
  mkdir -p "$work/$name"
  if ! "$target" "${options[@]}" -max_total_time="$seconds" "$work/$name" "$seeds" \
      >"$work/fuzz.log" 2>&1; then
    tail -n 80 "$work/fuzz.log" >&2
    echo "fuzz: $name found a fault; the input is in $findings" >&2
    exit 1
  fi
  grep -E '^(#[0-9]+[[:space:]]+DONE|Done |stat::)' "$work/fuzz.log" || true
done
