#!/usr/bin/env bash
# Builds the libFuzzer targets (clang-14, AddressSanitizer + UndefinedBehaviorSanitizer) in
# build-fuzz and runs each for a bounded time from its seed corpus in fuzz/corpus/<target>.
# FUZZ_SECONDS sets the time per target (default 8; the targets run as many at a time as there
# are cores, so about a minute for the fourteen on two).
# New inputs go to build-fuzz/corpus/<target>; a crash leaves its input in build-fuzz/findings
# and makes the script fail.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD  # the targets work in a folder of their own: every path they get is absolute

seconds=${FUZZ_SECONDS:-8}
targets=(daily_file index_file system_file settings_file ranking_file price_blocks csv_import
  script_host daily_parser index_parser wide_daily_parser wide_index wide_system wide_header)

cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=Debug -DPELINOR_FUZZ=ON -DPELINOR_TESTS=OFF \
  -DPELINOR_BENCH=OFF -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 > /dev/null
cmake --build build-fuzz -j"$(nproc)" --target "${targets[@]/#/fuzz_}"

mkdir -p "$root/build-fuzz/findings"

# One target; its verdict goes to build-fuzz/fuzz_<target>.result.
fuzz_one() {
  local t=$1
  mkdir -p "$root/build-fuzz/corpus/$t"
  local log="$root/build-fuzz/fuzz_$t.log"
  if ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
      "$root/build-fuzz/fuzz/fuzz_$t" -max_total_time="$seconds" -print_final_stats=1 \
      -max_len=65536 -timeout=20 -rss_limit_mb=2048 \
      -artifact_prefix="$root/build-fuzz/findings/$t-" \
      "$root/build-fuzz/corpus/$t" "$root/fuzz/corpus/$t" > "$log" 2>&1; then
    echo ok > "$root/build-fuzz/fuzz_$t.result"
  else
    echo FAILED > "$root/build-fuzz/fuzz_$t.result"
  fi
}

# As many targets at a time as there are cores; each fuzzer runs on one.
parallel=$(nproc)
for t in "${targets[@]}"; do
  rm -f "$root/build-fuzz/fuzz_$t.result"
  fuzz_one "$t" &
  while [ "$(jobs -rp | wc -l)" -ge "$parallel" ]; do wait -n || true; done
done
wait

status=0
summary=()
for t in "${targets[@]}"; do
  log="$root/build-fuzz/fuzz_$t.log"
  result=$(cat "$root/build-fuzz/fuzz_$t.result" 2>/dev/null || echo FAILED)
  if [ "$result" != ok ]; then
    status=1
    tail -40 "$log"
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  summary+=("$(printf '%-14s %10s executions  %s' "$t" "${runs:-?}" "$result")")
done
printf '%s\n' "${summary[@]}"
exit $status
