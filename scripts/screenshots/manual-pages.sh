#!/usr/bin/env bash
# Renders the pages of the manual the build wrote next to the program, to look
# at them: legible text, pictures whole, no empty pages. Writes one PNG per
# page and, for a first look, sheets of four pages side by side.
# Usage: scripts/screenshots/manual-pages.sh [BUILD_DIR] [OUT_DIR] [DPI]
#   BUILD_DIR  build tree holding app/mp3Morvelta_Manual.pdf (default build/relwithdebinfo)
#   OUT_DIR    where the PNG files go (default build/screenshots/manual-pages)
#   DPI        resolution of the pages (default 80)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build/relwithdebinfo}
out=${2:-$root/build/screenshots/manual-pages}
dpi=${3:-80}
pdf=$build/app/mp3Morvelta_Manual.pdf
[ -f "$pdf" ] || { echo "manual-pages.sh: no $pdf; build the program first" >&2; exit 1; }
rm -rf "$out"
mkdir -p "$out"
pdfinfo "$pdf" | grep -E '^(Pages|Page size):'
pdftoppm -r "$dpi" -png "$pdf" "$out/page"
pages=("$out"/page-*.png)
for ((i = 0; i < ${#pages[@]}; i += 4)); do
  sheet=$out/sheet-$(printf %02d $((i / 4 + 1))).png
  montage "${pages[@]:i:4}" -tile 4x1 -geometry +6+6 -background '#888888' "$sheet"
  echo "$sheet"
done
