#!/usr/bin/env bash
# The whole test suite: a Release build and an AddressSanitizer + UndefinedBehaviorSanitizer
# build, each running every test (unit, screen, file and end-to-end tests, the real-window tests
# under Xvfb included); then each fuzz target for a bounded time (scripts/fuzz.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

jobs=$(nproc)

cmake -S . -B build -DCMAKE_BUILD_TYPE=Release > /dev/null
cmake --build build -j"$jobs"
(cd build && ctest --output-on-failure -j"$jobs")

cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DPELINOR_SANITIZE=ON -DPELINOR_BENCH=OFF > /dev/null
cmake --build build-asan -j"$jobs"
(cd build-asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
   ctest --output-on-failure -j"$jobs")

bash scripts/fuzz.sh
