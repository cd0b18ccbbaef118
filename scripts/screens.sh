#!/usr/bin/env bash
# Renders a PNG of every screen of both programs through the script host, on a database that has
# been stored and analysed (as scripts/demo.sh leaves it):
#
#   scripts/screens.sh BUILD_DIR DATABASE_DIR OUT_DIR CODE BASE_DATE [CODE ...]
#
# CODE is the stock whose charts are shown; BASE_DATE (yymmdd) the comparison's base date; the
# further codes are shown first, so that the comparison has several recent stocks to draw.
# The viewer's 注目 page needs a watch list: CODE and the further codes are registered in it.
# Writes pelinoru.win (watch list), the ranking files (the analysis screen runs again with the
# ranking's own comparison date) and kabudata.txt (情報) in DATABASE_DIR.
set -euo pipefail
if [ $# -lt 5 ]; then
  echo "usage: $0 BUILD_DIR DATABASE_DIR OUT_DIR CODE BASE_DATE [CODE ...]" >&2
  exit 2
fi
build=$(cd "$1" && pwd)
db=$2
mkdir -p "$3"
out=$(cd "$3" && pwd)
code=$4
base=$5
shift 5
others=("$@")

cd "$db"
x() { "$build/apps/pelinorx" --script - > /dev/null; }
w() { "$build/apps/pelinorw" --script - > /dev/null; }

# The database program: store prompt, analysis, both ranking displays sorted by the composite
# sign (key 6), settings editor. (At start its client area is empty: only the frame's menu bar,
# which a script run has no window for, shows anything.)
printf 'menu 1\nsnapshot %s/db-store-prompt.png\n' "$out" | x
printf 'menu 2\nkeys %s\nkey RETURN\nsnapshot %s/db-analysis.png\n' "$base" "$out" | x
printf 'menu 3\nkey 6\nsnapshot %s/db-ranking-1.png\n' "$out" | x
printf 'menu 4\nkey 6\nsnapshot %s/db-ranking-2.png\n' "$out" | x
printf 'menu 5\nsnapshot %s/db-settings.png\n' "$out" | x

# The viewer: register the watch list (Insert on each chart), then the menu pages.
{
  for c in "${others[@]}" "$code"; do printf 'keys %s\nkey RETURN\nkey INSERT\n' "$c"; done
} | w
printf 'snapshot %s/viewer-menu.png\n' "$out" | w
printf 'keys 30\nkey RETURN\nsnapshot %s/viewer-watch.png\n' "$out" | w
printf 'keys 31\nkey RETURN\nsnapshot %s/viewer-links.png\n' "$out" | w

# The chart views of one stock, after the further codes were shown (the comparison's stocks).
{
  for c in "${others[@]}"; do printf 'keys %s\nkey RETURN\n' "$c"; done
  printf 'keys %s\nkey RETURN\nsnapshot %s/view-9-daily.png\n' "$code" "$out"
  printf 'key F3\nsnapshot %s/view-3-ichimoku.png\n' "$out"
  printf 'key F4\nsnapshot %s/view-4-oscillators.png\n' "$out"
  printf 'key F5\nsnapshot %s/view-5-oscillators.png\n' "$out"
  printf 'key F6\nsnapshot %s/view-7-sign.png\n' "$out"
  printf 'key F7\nsnapshot %s/view-77-sign.png\n' "$out"
  printf 'key F8\nsnapshot %s/view-8-weekly.png\n' "$out"
  printf 'key F9\nkey LEFT\nsnapshot %s/price-table.png\n' "$out"
  printf 'key F1\nsnapshot %s/information.png\n' "$out"
  printf 'key F2\nkeys %s\nkey RETURN\nsnapshot %s/view-97-comparison.png\n' "$base" "$out"
} | w

# Reading the daily chart with the mouse: the crosshair with its readout, then the chart moved
# 60 days back (the long-term chart marks the shown range), each in a run of its own.
{
  printf 'keys %s\nkey RETURN\nmove 330 150\nsnapshot %s/view-9-crosshair.png\n' "$code" "$out"
} | w
{
  printf 'keys %s\nkey RETURN\nwheel 12\nsnapshot %s/view-9-scrolled.png\n' "$code" "$out"
} | w
