#!/usr/bin/env bash
# Screenshots of the main window with a generated MP3 opened with -e, light
# and dark, at 1x and 2x, each on a private X server (Xvfb); also one with
# the File menu open, and the agreement dialog that start-up can show. Look
# at them before calling a change of the window done.
# Usage: scripts/screenshots/mainwindow.sh [BUILD_DIR] [OUT_DIR]
#   BUILD_DIR  build tree holding app/kvedit (default build/release)
#   OUT_DIR    where the PNG files go (default build/screenshots)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build/release}
out=${2:-$root/build/screenshots}
app=$build/app/kvedit
[ -x "$app" ] || { echo "mainwindow.sh: no $app; build it first (scripts/run builds it)" >&2; exit 1; }
mkdir -p "$out"

. "$(dirname "$0")/xvfb-lib.sh"

sox -R -q -n -r 44100 -c 2 -b 16 "$tmp/song.wav" synth 20 sine 220-3000 synth 20 pinknoise mix vol 0.5
lame --quiet -b 128 "$tmp/song.wav" "$tmp/song.mp3"

start_app() { # config scale theme log args...
  local cfg=$1 scale=$2 log=$4
  shift 4
  XDG_CONFIG_HOME=$cfg QT_QPA_PLATFORM=xcb QT_QPA_PLATFORMTHEME=qt5ct QT_SCALE_FACTOR=$scale \
    "$app" "$@" >"$log" 2>&1 &
  apid=$!
}

for scale in 1 2; do
  for theme in light dark; do
    name=mainwindow-$theme-${scale}x
    cfg=$tmp/config-$name
    make_config "$theme" "$cfg"
    start_x "$((1600 * scale))x$((1000 * scale))x24"
    start_app "$cfg" "$scale" "$theme" "$tmp/$name.log" -e "$tmp/song.mp3"
    wid=$(window_id '^mp3Morvelta - ')
    sleep 1.5
    $import -window "$wid" "$out/$name.png"
    if [ "$scale" = 1 ]; then
      # The File menu, over the window.
      xdotool windowfocus --sync "$wid" key alt+f
      sleep 0.8
      eval "$(xdotool getwindowgeometry --shell "$wid")"
      $import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$out/$name-filemenu.png"
    fi
    stop_x
    echo "$out/$name.png"

    # The agreement, as after the warnings were reset.
    name=agreement-$theme-${scale}x
    app_settings "$cfg" '[Warnings]\nShowLicenseDlg2017-11-25=true\n'
    start_x "$((1600 * scale))x$((1000 * scale))x24"
    start_app "$cfg" "$scale" "$theme" "$tmp/$name.log"
    wid=$(window_id '^License Agreement$')
    sleep 1
    $import -window "$wid" "$out/$name.png"
    stop_x
    echo "$out/$name.png"
  done
done

# Playing, at 1x light and dark: the song plays (no -e) into a private
# PulseAudio null sink, so the play head and the running time show.
if command -v pulseaudio >/dev/null; then
  start_pulse
  for theme in light dark; do
    name=mainwindow-$theme-1x-playing
    cfg=$tmp/config-$name
    make_config "$theme" "$cfg"
    start_x "1600x1000x24"
    start_app "$cfg" 1 "$theme" "$tmp/$name.log" "$tmp/song.mp3"
    wid=$(window_id '^mp3Morvelta - ')
    sleep 4
    # From the screen, so the guide bubble that may be up over the window shows too.
    eval "$(xdotool getwindowgeometry --shell "$wid")"
    $import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$out/$name.png"
    stop_x
    echo "$out/$name.png"
  done
fi
