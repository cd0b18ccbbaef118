#!/usr/bin/env bash
# The daily routine on the bundled sample data: installs what is missing, builds, generates the
# sample daily price files, creates a database in demo/, stores every day, runs the analysis,
# sorts the ranking by the composite sign, stores its best page as the chart-link list, and
# opens the chart viewer on it (headless machines get a snapshot of the viewer instead).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

cmake -S . -B build -DCMAKE_BUILD_TYPE=Release > /dev/null
cmake --build build -j"$(nproc)"

top=$(pwd)
rm -rf demo
mkdir -p demo/daily
./build/tools/pelinor-sample --out demo/daily --kind W
cd demo
"$top/build/apps/pelinorx" init W
files=(daily/W*)
echo "storing ${#files[@]} daily files..."
"$top/build/apps/pelinorx" store "${files[@]}" | tail -n 3
# Compare with the close of about three months before the newest day.
base=$(basename "${files[$(( ${#files[@]} - 60 ))]}")
"$top/build/apps/pelinorx" analyze "${base#W}"
# 分析表示１部, sorted by the composite sign (key 6), and 分析ﾌｧｲﾙ出力 (F11): the best page
# becomes the viewer's 連動 list.
printf 'menu 3\nkey 6\nkey F11\n' | "$top/build/apps/pelinorx" --script -
echo "the ranking by sｻｲﾝ (ranking.dat):"
head -n 14 ranking.dat | iconv -f CP932 -t UTF-8

if [ -n "${DISPLAY:-}" ]; then
  echo "opening the chart viewer (close its window to end)"
  "$top/build/apps/pelinorw"
else
  printf 'keys 31\nkey RETURN\nsnapshot viewer-links.png\n' | "$top/build/apps/pelinorw" --script -
  echo "no display: the viewer's 連動 page was written to demo/viewer-links.png"
fi
