#!/usr/bin/env bash
# Screenshots of the program's dialogs (insert silence, normalize, each options tab,
# the notices, about, the rate prompt wide and tall), light and dark, at 1x and 2x,
# each shown on its own on a private X server (Xvfb) by kv_dialog_gallery. Look at
# them before calling a change of a dialog done.
# Usage: scripts/screenshots/dialogs.sh [BUILD_DIR] [OUT_DIR] [NAME...]
#   BUILD_DIR  build tree (default build/relwithdebinfo)
#   OUT_DIR    where the PNG files go (default build/screenshots)
#   NAME       only these dialogs (default all)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build/relwithdebinfo}
out=${2:-$root/build/screenshots}
shift $(($# < 2 ? $# : 2))
[ -f "$build/build.ninja" ] || cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target kv_dialog_gallery | { grep -v '^\[' || true; }
gallery=$build/views/kv_dialog_gallery
mkdir -p "$out"

names=("$@")
[ ${#names[@]} -gt 0 ] || names=(insert-silence normalize options-0 options-1 options-2 options-3 options-4
  convert-notice project-notice lame-notice heaac-notice about rate rate-wide)

. "$(dirname "$0")/xvfb-lib.sh"

# The normalize dialog scans a tone that decodes at about -7 dB.
sox -R -q -n -r 44100 -c 1 -b 16 "$tmp/tone.wav" synth 3 sine 1000 vol 0.45
lame --quiet -b 128 -m m "$tmp/tone.wav" "$tmp/tone.mp3"

for scale in 1 2; do
  for theme in light dark; do
    cfg=$tmp/config-$theme-$scale
    make_config "$theme" "$cfg"
    start_x "$((1400 * scale))x$((1000 * scale))x24"
    for name in "${names[@]}"; do
      XDG_CONFIG_HOME=$cfg QT_QPA_PLATFORM=xcb QT_QPA_PLATFORMTHEME=qt5ct QT_SCALE_FACTOR=$scale \
        "$gallery" "$name" "$tmp/tone.mp3" >"$tmp/$name.log" 2>&1 &
      apid=$!
      wid=$(xdotool search --sync --onlyvisible --pid "$apid" 2>/dev/null | head -1)
      # Time to lay out, and for normalize to finish its scan.
      sleep $([ "$name" = normalize ] && echo 2.5 || echo 1)
      file=$out/$name-$theme-${scale}x.png
      $import -window "$wid" "$file"
      kill "$apid" 2>/dev/null || true
      wait "$apid" 2>/dev/null || true
      apid=
      echo "$file"
    done
    stop_x
  done
done
