#!/usr/bin/env bash
# Renders the screens of the README (docs/screens/, 640 x 480) anew with the Release build, after
# a change to what the programs draw. The test DemoScreens compares them with the programs'
# output, so they never fall behind.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release > /dev/null
cmake --build build -j"$(nproc)"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
env -u DISPLAY bash scripts/demo.sh --build-dir build --dir "$work" > /dev/null
mkdir -p docs/screens
rm -f docs/screens/*.png
cp "$work"/screens/*.png docs/screens/
ls docs/screens
