#!/usr/bin/env bash
# The performance table: builds Release, makes the full sample database once (3019 stocks,
# 640 days, cached under the build folder), measures every figure as whole processes (median
# of several runs, peak memory from the kernel's accounting) and in process (Google
# Benchmark), and prints each beside its target.
#
#   bench/run.sh [--store] [--links]
#                              --store: time the 640-day store into an empty database again
#                              (about half a minute; otherwise the figure of the database's
#                              making is shown)
#                              --links: also build the programs linked statically
#                              (-DPELINOR_STATIC_DEPS=ON, in STATIC_BUILD_DIR, default
#                              build-static) and time their start beside the shared link's
# Start of pelinorw to the first painted stock menu, as measured on the shared two-core machine
# (December 2026, load about 8, medians of 41 runs, CPU time being the steadier figure there):
# shared link 13.5 ms CPU (35-56 ms wall), static link 10.5 ms CPU (25-36 ms wall); --help
# alone 10.1 / 6.4 ms CPU.
# Environment: BUILD_DIR (default build), RUNS (default 5), PELINOR_BIN (a folder with other
# pelinorx/pelinorw binaries to time, e.g. of an older build).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
runs=${RUNS:-5}
static_build=${STATIC_BUILD_DIR:-$root/build-static}
restore=0
links=0
for arg in "$@"; do
  case "$arg" in
    --store) restore=1 ;;
    --links) links=1 ;;
    *) echo "usage: $0 [--store] [--links]" >&2; exit 2 ;;
  esac
done

echo "building (Release) in $build ..." >&2
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DPELINOR_BENCH=ON > /dev/null
cmake --build "$build" -j2 --target pelinorx pelinorw pelinor-sample timed_runs paint_bench pointer_bench \
  wide_analysis_bench > /dev/null

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

# A whole market downloaded as per-stock CSV files: 3800 stocks of 250 days each (about 74 MB),
# made once. The import writes the 3019 stocks the database takes.
csvdir=$data/csv
if [ ! -f "$csvdir/.complete" ]; then
  echo "making 3800 per-stock CSV files (once) ..." >&2
  rm -rf "$csvdir" && mkdir -p "$csvdir"
  awk -v dir="$csvdir" 'BEGIN { srand(7); split("31 28 31 30 31 30 31 31 30 31 30 31", ml, " ")
    for (s = 0; s < 3800; s++) {
      f = dir "/" (1301 + s) ".csv"
      print "Date,Open,High,Low,Close,Adj Close,Volume" > f
      p = 500 + (s * 37) % 9000; y = 2023; m = 1; d = 4; w = 3
      for (n = 0; n < 250; ) {
        if (w < 5) {
          o = p; h = p * 1.02; l = p * 0.98; p = p * (0.98 + rand() * 0.04); if (p < 50) p = 50
          printf "%04d-%02d-%02d,%.6f,%.6f,%.6f,%.6f,%.6f,%d\n", y, m, d, o, h, l, p, p, 1000 + int(rand() * 900000) > f
          n++
        }
        w = (w + 1) % 7; d++; if (d > ml[m]) { d = 1; m++; if (m > 12) { m = 1; y++ } }
      }
      close(f)
    } }'
  touch "$csvdir/.complete"
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
mkdir -p "$work/import"
import=$("$timed" -n "$runs" -C "$work/import" -s "rm -rf out" "$x" import --kind W --out out "$csvdir")
# The copy is synced first: otherwise the store's first flush waits for the copy's 35 MB.
store1=$("$timed" -n "$runs" -C "$work/store" -s "cp '$data/full'/pelinoru.* . && sync" "$x" store "$next_day")
# Each analysis is timed after one untimed run. The machine's memory manager pages out the
# page cache of files left idle for some seconds, and a price file read after the minute of the
# other figures would be read partly from the disk (a full wide file: 130-150 ms instead of 80),
# where a day's routine reads a file it has just stored into.
(cd "$work/read" && "$x" analyze "$compare_date" > /dev/null)
analyze=$("$timed" -n "$runs" -C "$work/read" "$x" analyze "$compare_date")
# A full wide database (10,000 stocks x 640 days, 205 MB), written once by the benchmark's maker,
# and again when its price file is of an earlier version than init makes (bytes 8..11).
wide_version=$(od -An -tu4 -j8 -N4 "$data/wide/pelwide.dat" 2> /dev/null | tr -d ' ')
if [ "$wide_version" != 2 ]; then
  rm -rf "$data/wide"
  "$build/bench/wide_analysis_bench" --make-database "$data/wide"
fi
(cd "$data/wide" && "$x" analyze 20231229 > /dev/null)
analyze_wide=$("$timed" -n "$runs" -C "$data/wide" "$x" analyze 20231229)
# The viewer on it: the same scripts, after one warming run of each.
for script in start chart640 chart1920; do
  size=640x480
  [ "$script" = chart1920 ] && size=1920x1440
  (cd "$data/wide" && "$w" --script "$work/read/$script.txt" --size "$size" > /dev/null)
done
# The viewer's figures on the classic and the wide database are compared with each other, so
# they are taken in turns: three rounds of both, each figure the median of its three rounds'
# (by wall time). On a shared machine, figures taken a minute apart differ by more than the
# two kinds do.
median_line() { printf '%s\n' "$@" | sort -n -k1,1 | sed -n 2p; }
paired() {  # script, size: sets paired_classic and paired_wide
  local script=$1 size=$2 round
  local -a on_classic=() on_wide=()
  for round in 1 2 3; do
    on_classic+=("$("$timed" -n "$runs" -C "$work/read" "$w" --script "$work/read/$script.txt" $size)")
    on_wide+=("$("$timed" -n "$runs" -C "$data/wide" "$w" --script "$work/read/$script.txt" $size)")
  done
  paired_classic=$(median_line "${on_classic[@]}")
  paired_wide=$(median_line "${on_wide[@]}")
}
paired start ""
start=$paired_classic start_wide=$paired_wide
paired chart640 "--size 640x480"
chart640=$paired_classic chart640_wide=$paired_wide
paired chart1920 "--size 1920x1440"
chart1920=$paired_classic chart1920_wide=$paired_wide
help=$("$timed" -n "$runs" -C "$work/read" "$w" --help)
if [ "$links" = 1 ]; then
  echo "building the static link in $static_build ..." >&2
  cmake -S "$root" -B "$static_build" -DCMAKE_BUILD_TYPE=Release -DPELINOR_STATIC_DEPS=ON \
    -DPELINOR_TESTS=OFF -DPELINOR_BENCH=OFF > /dev/null
  cmake --build "$static_build" -j2 --target pelinorw > /dev/null
  start_static=$("$timed" -n "$runs" -C "$work/read" "$static_build/apps/pelinorw" --script start.txt)
  help_static=$("$timed" -n "$runs" -C "$work/read" "$static_build/apps/pelinorw" --help)
fi

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
# The chart of the first stock on the full wide database, in process (its names marked wide/).
PELINOR_BENCH_DB=$data/wide "$build/bench/paint_bench" --benchmark_filter='ChartPng|Repaint/chart/' \
  --benchmark_format=csv --benchmark_repetitions=5 --benchmark_report_aggregates_only=true \
  2> /dev/null | tail -n +2 | sed 's/^"BM_/"wide\/BM_/' >> "$csv" || true
# The analysis of the full wide database, in process.
"$build/bench/wide_analysis_bench" --benchmark_format=csv --benchmark_repetitions=5 \
  --benchmark_report_aggregates_only=true 2> /dev/null | tail -n +2 >> "$csv" || true
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
echo "pelinor performance, $(date '+%Y-%m-%d %H:%M'), $(nproc) cores; whole processes: median of $runs runs (the viewer: of three rounds of them, in turns with the wide database)"
row "work" "now" "target" "met"
row "---" "---" "---" "---"
row "pelinorx store of 640 files into an empty database" "$(awk -v v="$(field "$store640" 1)" 'BEGIN { printf "%.2f s", v / 1000 }') (CPU $(awk -v v="$(field "$store640" 2)" 'BEGIN { printf "%.2f s", v / 1000 }'))" "3 s" "$(met "$(field "$store640" 1)" 3000)"
row "pelinorx import of 3800 CSV files x 250 days (74 MB)" "$(awk -v v="$(field "$import" 1)" 'BEGIN { printf "%.2f s", v / 1000 }') (CPU $(awk -v v="$(field "$import" 2)" 'BEGIN { printf "%.2f s", v / 1000 }')), $(peak_mib "$import") MiB" "2 s, 64 MiB" "$(met "$(field "$import" 1)" 2000)"
row "store of one file into a full database" "$(ms "$store1")" "15 ms" "$(met "$(field "$store1" 1)" 15)"
row "pelinorx analyze" "$(ms "$analyze")" "25 ms" "$(met "$(field "$analyze" 1)" 25)"
row "pelinorx analyze, wide database 10,000 x 640" "$(ms "$analyze_wide"), $(peak_mib "$analyze_wide") MiB" "80 ms, 64 MiB" "$(met "$(field "$analyze_wide" 1)" 80)"
row "pelinorw start to the first painted stock menu" "$(ms "$start"); --help $(field "$help" 1)" "8 ms" "$(met "$(field "$start" 1)" 8)"
if [ "$links" = 1 ]; then
  row "the same, linked statically" "$(ms "$start_static"); --help $(field "$help_static" 1)" "8 ms" "$(met "$(field "$start_static" 1)" 8)"
fi
row "chart view with a 640x480 PNG, whole process" "$(ms "$chart640")" "12 ms" "$(met "$(field "$chart640" 1)" 12)"
row "the same at 1920x1440" "$(ms "$chart1920")" "35 ms" "$(met "$(field "$chart1920" 1)" 35)"
row "pelinorw start to the painted menu, wide 10,000 x 640" "$(ms "$start_wide"), $(peak_mib "$start_wide") MiB" "15 ms, 64 MiB" "$(met "$(field "$start_wide" 1)" 15)"
# A chart on the wide database is held to the classic one's figure of the same rounds (10 %
# leeway for the noise of a shared machine).
row "chart view with a 640x480 PNG, wide" "$(ms "$chart640_wide")" "$(field "$chart640" 1) ms" "$(met "$(field "$chart640_wide" 1)" "$(awk -v v="$(field "$chart640" 1)" 'BEGIN { print v * 1.1 }')")"
row "the same at 1920x1440, wide" "$(ms "$chart1920_wide")" "$(field "$chart1920" 1) ms" "$(met "$(field "$chart1920_wide" 1)" "$(awk -v v="$(field "$chart1920" 1)" 'BEGIN { print v * 1.1 }')")"
row "one repaint at 1920x1440 (chart / price table)" "$rep_chart / $rep_table ms (CPU $rep_chart_cpu / $rep_table_cpu)" "4 ms" "$(met "$(awk -v a="$rep_chart" -v b="$rep_table" 'BEGIN { if (a == "n/a" || b == "n/a") print "n/a"; else print (a > b ? a : b) }')" 4)"
row "showing a 1920x1440 frame in the real window" "$show ms" "2 ms" "$(met "$show" 2)"
move640=$(inproc "BM_PointerMove/640/480")
move1920=$(inproc "BM_PointerMove/1920/1440")
wheel1920=$(inproc "BM_WheelStep/1920/1440")
row "pointer move over a chart, 640x480" "$move640 ms" "1 ms" "$(met "$move640" 1)"
row "pointer move over a chart, 1920x1440" "$move1920 ms" "3 ms" "$(met "$move1920" 3)"
row "wheel step of the daily chart, 1920x1440" "$wheel1920 ms" "4 ms" "$(met "$wheel1920" 4)"
row "peak memory (pelinorx / pelinorw)" "$peak_x / $peak_w MiB" "32 MiB" "$(met "$(awk -v a="$peak_x" -v b="$peak_w" 'BEGIN { print (a > b ? a : b) }')" 32)"
peak_xw=$(peak_mib "$analyze_wide")
peak_ww=$(awk -v a="$(peak_mib "$start_wide")" -v b="$(peak_mib "$chart640_wide")" -v c="$(peak_mib "$chart1920_wide")" \
  'BEGIN { m = a; if (b > m) m = b; if (c > m) m = c; print m }')
row "peak memory on the wide database (pelinorx / pelinorw)" "$peak_xw / $peak_ww MiB" "64 MiB" "$(met "$(awk -v a="$peak_xw" -v b="$peak_ww" 'BEGIN { print (a > b ? a : b) }')" 64)"
echo
echo "in process (Google Benchmark medians, ms, real and CPU):"
awk -F, '$1 ~ /_median"$/ { gsub(/"/, "", $1); sub(/_median$/, "", $1); printf "  %-52s %8.3f %8.3f\n", $1, $3, $4 }' "$csv"
