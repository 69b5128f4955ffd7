#!/usr/bin/env bash
# Contact sheets of the program's artwork at 1x and 2x, light and dark:
#   scripts/screenshots/icon-sheet.sh [OUTPUT_DIR]   (default build/screenshots)
# Writes icon-sheet-1x.png and icon-sheet-2x.png. Look at both after changing
# a drawing (resources/render-icons.sh renders the PNGs first).
set -euo pipefail
cd "$(dirname "$0")/../.."
out=${1:-build/screenshots}
build=build/relwithdebinfo
mkdir -p "$out"
[ -f "$build/build.ninja" ] || cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target kv_icon_sheet | { grep -v '^\[' || true; }
for scale in 1 2; do
  QT_QPA_PLATFORM=offscreen QT_SCALE_FACTOR=$scale "$build/resources/kv_icon_sheet" "$out/icon-sheet-${scale}x.png"
done
echo "$out/icon-sheet-1x.png $out/icon-sheet-2x.png"
