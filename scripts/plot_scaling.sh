#!/usr/bin/env bash
# Measures how loading, saving, redrawing and one polygon's clicks grow with the size of the
# drawing, and plots them: docs/scaling.png (log-log, each action beside a line of linear
# growth through its smallest size) and the medians in docs/scaling.csv and on the terminal.
#
#   bash scripts/plot_scaling.sh [path/to/quillet_bench] [benchmark options...]
#
# The benchmark binary defaults to build-test/bench/quillet_bench (built by scripts/test.sh).
# REPETITIONS (default 5) sets how many runs each median is taken over. Installs gnuplot when
# it is missing.
set -euo pipefail
cd "$(dirname "$0")/.."

bench=${1:-build-test/bench/quillet_bench}
shift || true
repetitions=${REPETITIONS:-5}
out_png=docs/scaling.png
out_csv=docs/scaling.csv

if [[ ! -x $bench ]]; then
  echo "No benchmark binary at $bench: build it first (bash scripts/test.sh)." >&2
  exit 1
fi
command -v gnuplot >/dev/null || bash scripts/install-deps.sh gnuplot-nox

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$bench" --benchmark_filter='^BM_Scale(Load|Save|Redraw|Click)/' \
  --benchmark_repetitions="$repetitions" --benchmark_report_aggregates_only=true \
  --benchmark_format=json "$@" >"$work/scaling.json"

# One row per run: action, lines, milliseconds. With repetitions the medians are taken,
# with a single run its own figures.
awk -v single=$((repetitions <= 1)) '
  /"name":/ { name = $2; gsub(/[",]/, "", name) }
  /"run_type":/ { type = $2; gsub(/[",]/, "", type) }
  /"aggregate_name":/ { aggregate = $2; gsub(/[",]/, "", aggregate) }
  /"real_time":/ { time = $2; gsub(/,/, "", time) }
  /"time_unit":/ {
    unit = $2; gsub(/[",]/, "", unit)
    wanted = single ? type == "iteration" : (type == "aggregate" && aggregate == "median")
    if (wanted && match(name, /^BM_Scale[A-Za-z]+\/lines:[0-9]+/)) {
      split(substr(name, 1, RLENGTH), part, /[\/:]/)
      action = tolower(substr(part[1], 9))
      scale = unit == "ns" ? 1e-6 : unit == "us" ? 1e-3 : unit == "s" ? 1e3 : 1
      printf "%s %s %.6g\n", action, part[3], time * scale
    }
    type = ""; aggregate = ""
  }
' "$work/scaling.json" >"$work/rows"

# The table: one line per size, one column per action.
{
  echo "lines,load_ms,save_ms,redraw_ms,click_ms"
  for size in $(awk '{ print $2 }' "$work/rows" | sort -n -u); do
    printf '%s' "$size"
    for action in load save redraw click; do
      printf ',%s' "$(awk -v a="$action" -v s="$size" '$1 == a && $2 == s { print $3 }' \
        "$work/rows")"
    done
    echo
  done
} >"$out_csv"
if [[ $(wc -l <"$out_csv") -lt 3 ]]; then
  echo "The benchmark gave no scaling figures." >&2
  exit 1
fi
awk -F, '{ printf "%8s %12s %12s %12s %12s\n", $1, $2, $3, $4, $5 }' "$out_csv"

# Each reference line passes through its action's figure at the smallest size.
IFS=, read -r x0 load0 save0 redraw0 click0 < <(sed -n 2p "$out_csv")
gnuplot <<EOF
set terminal pngcairo size 900,600 font "sans,10"
set output "$out_png"
set datafile separator ","
set logscale xy
set key top left
set grid xtics ytics mxtics mytics lc rgb "#dddddd"
set title "Cost of an action against the size of the drawing (medians of $repetitions runs)"
set xlabel "lines in the drawing (corners: half as many)"
set ylabel "milliseconds"
set xrange [700:46000]
set xtics (1000, 2000, 4000, 8000, 16000, 32000)
set format y "%g"
linear(x, y0) = y0 * x / $x0
plot "$out_csv" using 1:2 skip 1 with linespoints lw 2 pt 7 lc rgb "#1f77b4" title "load", \
     linear(x, $load0) with lines dt 2 lc rgb "#1f77b4" notitle, \
     "$out_csv" using 1:3 skip 1 with linespoints lw 2 pt 5 lc rgb "#2ca02c" title "save", \
     linear(x, $save0) with lines dt 2 lc rgb "#2ca02c" notitle, \
     "$out_csv" using 1:4 skip 1 with linespoints lw 2 pt 9 lc rgb "#d62728" title "redraw", \
     linear(x, $redraw0) with lines dt 2 lc rgb "#d62728" notitle, \
     "$out_csv" using 1:5 skip 1 with linespoints lw 2 pt 13 lc rgb "#9467bd" \
       title "click (a square's three clicks)", \
     linear(x, $click0) with lines dt 2 lc rgb "#9467bd" notitle, \
     NaN with lines dt 2 lc rgb "#555555" title "linear growth from the smallest size"
EOF
echo "Wrote $out_png and $out_csv"
