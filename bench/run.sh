#!/usr/bin/env bash
# The performance table: builds Release, makes the full sample database once (3019 stocks,
# 640 days, cached under the build folder), measures every figure as whole processes (median
# of several runs, peak memory from the kernel's accounting) and in process (Google
# Benchmark), and prints each beside its target.
#
#   bench/run.sh [--store]     --store: time the 640-day store into an empty database again
#                              (about half a minute; otherwise the figure of the database's
#                              making is shown)
# Environment: BUILD_DIR (default build), RUNS (default 5), PELINOR_BIN (a folder with other
# pelinorx/pelinorw binaries to time, e.g. of an older build).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
runs=${RUNS:-5}
restore=0
[ "${1:-}" = "--store" ] && restore=1

echo "building (Release) in $build ..." >&2
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DPELINOR_BENCH=ON > /dev/null
cmake --build "$build" -j2 --target pelinorx pelinorw pelinor-sample timed_runs paint_bench pointer_bench > /dev/null

bin=${PELINOR_BIN:-$build/apps}
x=$bin/pelinorx
w=$bin/pelinorw
timed=$build/bench/timed_runs
data=$build/bench-data
daily=$data/daily

stock_days() { ls "$daily" | sort | head -n 640 | sed "s|^|$daily/|"; }

# The full database: 641 daily files; the first 640 are stored, the last is the next day.
if [ ! -f "$data/full/pelinoru.dat" ]; then
  echo "making the full sample database (once) ..." >&2
  rm -rf "$data"
  mkdir -p "$data/make"
  "$build/tools/pelinor-sample" --out "$daily" --kind W --stocks 3019 --days 641 > /dev/null
  (cd "$data/make" && "$build/apps/pelinorx" init W > /dev/null)
  # shellcheck disable=SC2046
  "$timed" -n 1 -C "$data/make" "$x" store $(stock_days) > "$data/store640.txt"
  mv "$data/make" "$data/full"
  restore=0
fi
if [ "$restore" = 1 ]; then
  rm -rf "$data/again" && mkdir -p "$data/again"
  (cd "$data/again" && "$x" init W > /dev/null)
  # shellcheck disable=SC2046
  "$timed" -n 1 -C "$data/again" "$x" store $(stock_days) > "$data/store640.txt"
  rm -rf "$data/again"
fi

next_day=$daily/$(ls "$daily" | sort | tail -n 1)
compare_date=$(ls "$daily" | sort | sed -n 540p | cut -c2-)

# Working copies: the store's changes one, the rest read it (the analysis writes rankings).
work=$data/work
rm -rf "$work" && mkdir -p "$work/store" "$work/read"
cp "$data/full"/pelinoru.* "$work/read/"
printf '' > "$work/read/start.txt"
printf 'click 20 24\nsnapshot chart.png\n' > "$work/read/chart640.txt"
printf 'click 60 72\nsnapshot chart.png\n' > "$work/read/chart1920.txt"

# The viewer keeps rendered glyphs in the user's cache folder; the benchmark keeps its own,
# filled by one run of each script before the timing (as on any day after the first).
export XDG_CACHE_HOME=$data/cache
rm -rf "$XDG_CACHE_HOME"
for script in start chart640 chart1920; do
  size=640x480
  [ "$script" = chart1920 ] && size=1920x1440
  (cd "$work/read" && "$w" --script "$script.txt" --size "$size" > /dev/null)
done

store640=$(cat "$data/store640.txt")
# The copy is synced first: otherwise the store's first flush waits for the copy's 35 MB.
store1=$("$timed" -n "$runs" -C "$work/store" -s "cp '$data/full'/pelinoru.* . && sync" "$x" store "$next_day")
analyze=$("$timed" -n "$runs" -C "$work/read" "$x" analyze "$compare_date")
start=$("$timed" -n "$runs" -C "$work/read" "$w" --script start.txt)
help=$("$timed" -n "$runs" -C "$work/read" "$w" --help)
chart640=$("$timed" -n "$runs" -C "$work/read" "$w" --script chart640.txt --size 640x480)
chart1920=$("$timed" -n "$runs" -C "$work/read" "$w" --script chart1920.txt --size 1920x1440)

# In-process figures; the real window needs a display (a virtual one when there is none).
csv=$data/paint.csv
bench_cmd=("$build/bench/paint_bench" --benchmark_format=csv --benchmark_repetitions=5
           --benchmark_report_aggregates_only=true)
if [ -n "${DISPLAY:-}" ]; then
  PELINOR_BENCH_DB=$work/read "${bench_cmd[@]}" > "$csv" 2> /dev/null || true
elif command -v xvfb-run > /dev/null; then
  PELINOR_BENCH_DB=$work/read xvfb-run -a -s "-screen 0 2048x1600x24" "${bench_cmd[@]}" > "$csv" 2> /dev/null || true
else
  PELINOR_BENCH_DB=$work/read "${bench_cmd[@]}" > "$csv" 2> /dev/null || true
fi
# The mouse on the chart (headless: the frame as it is handed to the window), rows added.
PELINOR_BENCH_DB=$work/read "$build/bench/pointer_bench" --benchmark_format=csv \
  --benchmark_repetitions=5 --benchmark_report_aggregates_only=true 2> /dev/null | tail -n +2 >> "$csv" || true
# Median real time (column 3) or CPU time (column 4) in ms of a benchmark by its name's
# beginning. On a busy machine the CPU time is the steadier figure.
inproc() {
  awk -F, -v name="$1" -v col="${2:-3}" 'index($1, "\"" name) == 1 && $1 ~ /_median"$/ { printf "%.2f", $col; found = 1; exit }
                        END { if (!found) printf "n/a" }' "$csv"
}

field() { echo "$1" | awk -v n="$2" '{ print $n }'; }
ms() { printf '%s ms (CPU %s)' "$(field "$1" 1)" "$(field "$1" 2)"; }
peak_mib() { awk -v k="$(field "$1" 3)" 'BEGIN { printf "%.1f", k / 1024 }'; }
met() { awk -v v="$1" -v t="$2" 'BEGIN { if (v == "n/a") print "?"; else print (v + 0 < t + 0) ? "yes" : "no" }'; }
row() { printf '| %-50s | %-38s | %-7s | %-4s |\n' "$1" "$2" "$3" "$4"; }

peak_x=$(awk -v a="$(peak_mib "$store1")" -v b="$(peak_mib "$analyze")" -v c="$(peak_mib "$store640")" \
  'BEGIN { m = a; if (b > m) m = b; if (c > m) m = c; print m }')
peak_w=$(awk -v a="$(peak_mib "$start")" -v b="$(peak_mib "$chart640")" -v c="$(peak_mib "$chart1920")" \
  'BEGIN { m = a; if (b > m) m = b; if (c > m) m = c; print m }')
rep_chart=$(inproc "BM_Repaint/chart/1920/1440")
rep_table=$(inproc "BM_Repaint/price_table/1920/1440")
rep_chart_cpu=$(inproc "BM_Repaint/chart/1920/1440" 4)
rep_table_cpu=$(inproc "BM_Repaint/price_table/1920/1440" 4)
show=$(inproc "BM_ShowFrameInWindow")

echo
echo "pelinor performance, $(date '+%Y-%m-%d %H:%M'), $(nproc) cores; whole processes: median of $runs runs"
row "work" "now" "target" "met"
row "---" "---" "---" "---"
row "pelinorx store of 640 files into an empty database" "$(awk -v v="$(field "$store640" 1)" 'BEGIN { printf "%.2f s", v / 1000 }') (CPU $(awk -v v="$(field "$store640" 2)" 'BEGIN { printf "%.2f s", v / 1000 }'))" "3 s" "$(met "$(field "$store640" 1)" 3000)"
row "store of one file into a full database" "$(ms "$store1")" "15 ms" "$(met "$(field "$store1" 1)" 15)"
row "pelinorx analyze" "$(ms "$analyze")" "25 ms" "$(met "$(field "$analyze" 1)" 25)"
row "pelinorw start to the first painted stock menu" "$(ms "$start"); --help $(field "$help" 1)" "8 ms" "$(met "$(field "$start" 1)" 8)"
row "chart view with a 640x480 PNG, whole process" "$(ms "$chart640")" "12 ms" "$(met "$(field "$chart640" 1)" 12)"
row "the same at 1920x1440" "$(ms "$chart1920")" "35 ms" "$(met "$(field "$chart1920" 1)" 35)"
row "one repaint at 1920x1440 (chart / price table)" "$rep_chart / $rep_table ms (CPU $rep_chart_cpu / $rep_table_cpu)" "4 ms" "$(met "$(awk -v a="$rep_chart" -v b="$rep_table" 'BEGIN { if (a == "n/a" || b == "n/a") print "n/a"; else print (a > b ? a : b) }')" 4)"
row "showing a 1920x1440 frame in the real window" "$show ms" "2 ms" "$(met "$show" 2)"
move640=$(inproc "BM_PointerMove/640/480")
move1920=$(inproc "BM_PointerMove/1920/1440")
wheel1920=$(inproc "BM_WheelStep/1920/1440")
row "pointer move over a chart, 640x480" "$move640 ms" "1 ms" "$(met "$move640" 1)"
row "pointer move over a chart, 1920x1440" "$move1920 ms" "3 ms" "$(met "$move1920" 3)"
row "wheel step of the daily chart, 1920x1440" "$wheel1920 ms" "4 ms" "$(met "$wheel1920" 4)"
row "peak memory (pelinorx / pelinorw)" "$peak_x / $peak_w MiB" "32 MiB" "$(met "$(awk -v a="$peak_x" -v b="$peak_w" 'BEGIN { print (a > b ? a : b) }')" 32)"
echo
echo "in process (Google Benchmark medians, ms, real and CPU):"
awk -F, '$1 ~ /_median"$/ { gsub(/"/, "", $1); sub(/_median$/, "", $1); printf "  %-52s %8.3f %8.3f\n", $1, $3, $4 }' "$csv"
