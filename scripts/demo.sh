#!/usr/bin/env bash
# The daily routine on the bundled sample data: installs what is missing, builds, generates the
# sample daily price files (once: a later run reuses them), creates a database in demo/, stores
# every day, checks that no stock kept a day of the ring's previous lap, runs the analysis, sorts
# the ranking by the composite sign, stores its best page as the chart-link list, and opens the
# chart viewer on it. Without a display it renders every screen of both programs into
# demo/screens/ instead.
#
#   scripts/demo.sh [--build-dir DIR] [--dir DIR] [--wide]
#
# --build-dir DIR  use the programs already built in DIR (no install, no build)
# --dir DIR        the demo folder (default demo/ at the top of the repository, demo-wide/
#                  with --wide)
# --wide           the same on a wide database: today's whole market of 4,000 stocks, codes
#                  with letters and prices above 32,767 yen; the chart shown is of a stock with
#                  a letter code above 32,767 yen
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)

# Folders given are taken from where the script was started.
build=""
demo=""
wide=""
while [ $# -gt 0 ]; do
  case "$1" in
    --build-dir) build=$(cd "$2" && pwd); shift 2 ;;
    --dir) mkdir -p "$2"; demo=$(cd "$2" && pwd); shift 2 ;;
    --wide) wide=1; shift ;;
    *) echo "usage: $0 [--build-dir DIR] [--dir DIR] [--wide]" >&2; exit 2 ;;
  esac
done
if [ -z "$demo" ]; then demo="$top/demo${wide:+-wide}"; fi
cd "$top"

if [ -z "$build" ]; then
  bash scripts/install-deps.sh
  cmake -S . -B build -DCMAKE_BUILD_TYPE=Release > /dev/null
  cmake --build build -j"$(nproc)"
  build="$top/build"
fi
pelinorx="$build/apps/pelinorx"
pelinorw="$build/apps/pelinorw"

# The sample files are deterministic: generate them once and keep them. The marker is written
# last, so an interrupted generation is done again.
mkdir -p "$demo"
if [ ! -f "$demo/daily/.complete" ]; then
  rm -rf "$demo/daily"
  mkdir -p "$demo/daily"
  if [ -n "$wide" ]; then
    "$build/tools/pelinor-sample" --out "$demo/daily" --wide
  else
    "$build/tools/pelinor-sample" --out "$demo/daily" --kind W
  fi
  touch "$demo/daily/.complete"
else
  echo "reusing the sample daily files in $demo/daily"
fi

# A new database each run.
cd "$demo"
rm -rf pelinoru.* pelwide.* ranking.dat ranking2.dat kabudata.txt screens
"$pelinorx" init W ${wide:+--wide}
files=(daily/W*)
echo "storing ${#files[@]} daily files..."
"$pelinorx" store "${files[@]}" | tail -n 3
# Every stored day gave the stocks without a line an empty day; this finds none left from the
# ring's previous lap (a database stored by an earlier version would have them cleared here).
"$pelinorx" clear-stale
# Compare with the close of about three months before the newest day.
base=$(basename "${files[$(( ${#files[@]} - 60 ))]}")
base=${base#W}
# A wide database takes the full date, as the extended daily file holds it.
if [ -n "$wide" ]; then
  base=$(awk -F, 'NR == 2 { print $8 }' "${files[$(( ${#files[@]} - 60 ))]}")
fi
"$pelinorx" analyze "$base"
# 分析表示１部, sorted by the composite sign (key 6), and 分析ﾌｧｲﾙ出力 (F11): the best page
# becomes the viewer's 連動 list.
printf 'menu 3\nkey 6\nkey F11\n' | "$pelinorx" --script -
echo "the ranking by sｻｲﾝ (ranking.dat):"
head -n 14 ranking.dat | iconv -f CP932 -t UTF-8

if [ -n "${DISPLAY:-}" ]; then
  echo "opening the chart viewer (close its window to end)"
  "$pelinorw"
else
  # The stocks of the sample with the largest traded value (volume x close; the index 1001 left
  # out): the first is charted, the others are shown before it for the comparison.
  mapfile -t liquid < <(cat daily/W* | awk -F, '$10 != "" && $10 != 10010 { v[$10] += $7 * $5 }
      END { for (c in v) printf "%.0f %s\n", v[c], substr(c, 1, 4) }' |
      sort -k1,1nr -k2,2 | head -n 4 | awk '{ print $2 }')
  if [ -n "$wide" ]; then
    # The charted stock: the most traded one with a letter code and a close above 32,767 yen.
    letter=$(awk -F, '$10 ~ /[A-Z]/ && $5 > 32767 { v[$10] += $7 * $5 }
        END { for (c in v) printf "%.0f %s\n", v[c], substr(c, 1, 4) }' "${files[-1]}" |
        sort -k1,1nr -k2,2 | head -n 1 | awk '{ print $2 }')
    liquid=("$letter" "${liquid[@]:0:3}")
  fi
  bash "$top/scripts/screens.sh" "$build" . screens "${liquid[0]}" "$base" "${liquid[@]:1}"
  echo "no display: every screen was written to $demo/screens/ (stock ${liquid[0]}):"
  ls screens
fi
