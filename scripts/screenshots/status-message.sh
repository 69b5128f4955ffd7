#!/usr/bin/env bash
# Screenshots of a passing message in the main window's status bar, light and
# dark, at 1x and 2x, each on a private X server (Xvfb): the thanks the Rate
# dialog leaves after its review link was followed. Look at them: the message
# stands between the playback controls and the format text, whole.
# Usage: scripts/screenshots/status-message.sh [BUILD_DIR] [OUT_DIR]
#   BUILD_DIR  build tree holding app/kvedit (default build/relwithdebinfo)
#   OUT_DIR    where the PNG files go (default build/screenshots)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build/relwithdebinfo}
out=${2:-$root/build/screenshots}
app=$build/app/kvedit
[ -x "$app" ] || { echo "status-message.sh: no $app; build it first" >&2; exit 1; }
mkdir -p "$out"

. "$(dirname "$0")/xvfb-lib.sh"

sox -R -q -n -r 44100 -c 2 -b 16 "$tmp/song.wav" synth 10 sine 220-3000 synth 10 pinknoise mix vol 0.5
lame --quiet -b 128 "$tmp/song.wav" "$tmp/song.mp3"

# A click at a point of a window given in its logical pixels.
click_at() { # window id, x, y, scale
  xdotool mousemove --sync --window "$1" "$(($2 * $4))" "$(($3 * $4))" click 1
}

for scale in 1 2; do
  for theme in light dark; do
    name=status-message-$theme-${scale}x
    cfg=$tmp/config-$name
    make_config "$theme" "$cfg"
    app_settings "$cfg" '[Settings]\nshowPopupGuides=false\n'
    start_x "$((1600 * scale))x$((1000 * scale))x24"
    # The review page is not opened: the browser is a program that does nothing.
    BROWSER=true XDG_CONFIG_HOME=$cfg QT_QPA_PLATFORM=xcb QT_QPA_PLATFORMTHEME=qt5ct QT_SCALE_FACTOR=$scale \
      "$app" -e "$tmp/song.mp3" >"$tmp/$name.log" 2>&1 &
    apid=$!
    wid=$(window_id '^mp3Morvelta - ')
    sleep 1.5
    # The Rate button on the options tool bar, its review link, then Close.
    click_at "$wid" 1018 190 "$scale"
    rid=$(window_id '^Please Rate ')
    sleep 1
    click_at "$rid" 175 245 "$scale"
    sleep 0.5
    click_at "$rid" 300 425 "$scale"
    sleep 0.8
    $import -window "$wid" "$out/$name.png"
    stop_x
    echo "$out/$name.png"
  done
done
