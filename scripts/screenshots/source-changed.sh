#!/usr/bin/env bash
# Screenshots of the boxes that refuse to export, and to scan for Normalize, a
# source another program changed after it was opened, light and dark, at 1x and
# 2x, each on a private X server (Xvfb): the song is opened with -e, rewritten in
# place, File > Export All As is asked for, then Effects > Normalize over all of
# it. Look at them before calling a change of the texts done.
# Usage: scripts/screenshots/source-changed.sh [BUILD_DIR] [OUT_DIR]
#   BUILD_DIR  build tree holding app/kvedit (default build/release)
#   OUT_DIR    where the PNG files go (default build/screenshots)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build/release}
out=${2:-$root/build/screenshots}
app=$build/app/kvedit
[ -x "$app" ] || { echo "source-changed.sh: no $app; build it first (scripts/run builds it)" >&2; exit 1; }
mkdir -p "$out"

. "$(dirname "$0")/xvfb-lib.sh"

sox -R -q -n -r 44100 -c 2 -b 16 "$tmp/a.wav" synth 20 sine 220-3000 synth 20 pinknoise mix vol 0.5
sox -R -q -n -r 44100 -c 2 -b 16 "$tmp/b.wav" synth 20 sine 3000-220 vol 0.5
lame --quiet -b 128 "$tmp/a.wav" "$tmp/a.mp3"
lame --quiet -b 128 "$tmp/b.wav" "$tmp/b.mp3"

for scale in 1 2; do
  for theme in light dark; do
    name=source-changed-$theme-${scale}x
    cfg=$tmp/config-$name
    make_config "$theme" "$cfg"
    app_settings "$cfg" '[Settings]\nshowPopupGuides=false\n'
    song=$tmp/$name/song.mp3
    mkdir -p "$tmp/$name"
    cp "$tmp/a.mp3" "$song"
    start_x "$((1600 * scale))x$((1000 * scale))x24"
    XDG_CONFIG_HOME=$cfg QT_QPA_PLATFORM=xcb QT_QPA_PLATFORMTHEME=qt5ct QT_SCALE_FACTOR=$scale \
      PULSE_SERVER=unix:$tmp/no-sound-server "$app" -e "$song" >"$tmp/$name.log" 2>&1 &
    apid=$!
    wid=$(window_id '^mp3Morvelta - ')
    # The song is opened once the window shows: wait until the program holds it.
    for _ in $(seq 200); do
      ls -l "/proc/$apid/fd" 2>/dev/null | grep -q -- "-> $song\$" && break
      sleep 0.1
    done
    sleep 1.5
    # Another program rewrites it in place, keeping its length.
    dd if="$tmp/b.mp3" of="$song" conv=notrunc status=none
    xdotool windowfocus --sync "$wid" key alt+f
    sleep 0.5
    xdotool key p
    dialog=$(window_id '^Export All As')
    sleep 0.5
    xdotool windowfocus --sync "$dialog" type "$tmp/$name/exported.mp3"
    xdotool key Return
    box=$(window_id '^mp3Morvelta$')
    sleep 1
    $import -window "$box" "$out/$name.png"
    echo "$out/$name.png"
    # Normalize's peak scan of the same source names it too.
    xdotool windowfocus --sync "$box" key Return
    sleep 0.5
    xdotool windowfocus --sync "$wid" key ctrl+a
    sleep 0.3
    # Alt+E opens Edit, the first of two menus with that key; Effects is next to it.
    xdotool key alt+e
    sleep 0.5
    xdotool key Right
    sleep 0.5
    xdotool key n
    window_id '^Normalize$' >/dev/null
    box=$(window_id '^mp3Morvelta$')
    sleep 1
    $import -window root "$out/$name-normalize.png"
    echo "$out/$name-normalize.png"
    stop_x
  done
done
