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
import=/usr/bin/import
mkdir -p "$out"

names=("$@")
[ ${#names[@]} -gt 0 ] || names=(insert-silence normalize options-0 options-1 options-2 options-3 options-4
  convert-notice project-notice lame-notice heaac-notice about rate rate-wide)

tmp=$(mktemp -d)
xpid=
apid=
cleanup() {
  [ -n "$apid" ] && kill "$apid" 2>/dev/null || true
  [ -n "$xpid" ] && kill "$xpid" 2>/dev/null || true
  rm -rf "$tmp"
}
trap cleanup EXIT

# The normalize dialog scans a tone that decodes at about -7 dB.
sox -R -q -n -r 44100 -c 1 -b 16 "$tmp/tone.wav" synth 3 sine 1000 vol 0.45
lame --quiet -b 128 -m m "$tmp/tone.wav" "$tmp/tone.mp3"

start_x() { # WxHxD
  exec 3>"$tmp/display"
  Xvfb -displayfd 3 -nolisten tcp -screen 0 "$1" >/dev/null 2>&1 &
  xpid=$!
  exec 3>&-
  for _ in $(seq 100); do [ -s "$tmp/display" ] && break; sleep 0.1; done
  export DISPLAY=":$(cat "$tmp/display")"
}

stop_x() {
  kill "$apid" 2>/dev/null || true
  wait "$apid" 2>/dev/null || true
  kill "$xpid" 2>/dev/null || true
  wait "$xpid" 2>/dev/null || true
  apid= xpid=
  : >"$tmp/display"
}

# The Fusion style and, for dark, a dark palette, as a Linux desktop sets them through
# qt5ct; fonts as Qt picks them without a desktop.
make_config() { # theme dir
  mkdir -p "$2/qt5ct"
  local palette='custom_palette=false'
  [ "$1" = dark ] && palette='color_scheme_path=/usr/share/qt5ct/colors/darker.conf\ncustom_palette=true'
  printf '[Appearance]\n%b\nstyle=Fusion\n[Fonts]\ngeneral="Sans Serif,9,-1,5,50,0,0,0,0,0"\nfixed="Monospace,9,-1,5,50,0,0,0,0,0"\n' \
    "$palette" >"$2/qt5ct/qt5ct.conf"
}

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
