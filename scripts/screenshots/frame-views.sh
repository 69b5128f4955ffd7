#!/usr/bin/env bash
# Screenshots of the frame display, overview map and rulers on a generated
# 60-second MP3, light and dark, at 1x and 2x. Look at them after changing
# the views.
#   scripts/screenshots/frame-views.sh [OUTPUT_DIR]   (default build/screenshots)
set -euo pipefail
cd "$(dirname "$0")/../.."
out=${1:-build/screenshots}
build=build/relwithdebinfo
mkdir -p "$out"
[ -f "$build/build.ninja" ] || cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target kv_frame_view_shots | { grep -v '^\[' || true; }

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
# A sweep under noise whose loudness rises and falls, so that the bars vary.
sox -R -q -n -r 44100 -c 2 -b 16 "$tmp/song.wav" synth 60 sine 220-3000 synth 60 pinknoise mix \
  tremolo 0.08 60 fade t 12 60 15 vol 0.8
lame --quiet -b 128 "$tmp/song.wav" "$tmp/song.mp3"

for scale in 1 2; do
  for look in light dark; do
    flag=
    [ "$look" = dark ] && flag=--dark
    QT_QPA_PLATFORM=offscreen QT_SCALE_FACTOR=$scale XDG_CONFIG_HOME="$tmp" \
      "$build/views/kv_frame_view_shots" $flag "$tmp/song.mp3" "$out/frame-views-$look-${scale}x.png"
    echo "$out/frame-views-$look-${scale}x.png"
  done
done
