#!/usr/bin/env bash
# Screenshots of the pop-up guide tour over the real window, light and dark, at
# 1x and 2x, each on a private X server (Xvfb): the first three guides of a fresh
# user ("welcome", "options", "open", the last one also expanded by its "More..."
# link), and the welcome guide giving way to the About box and back after it.
# Look at them: the pointer must touch its tool bar button, no text may be cut
# off and no bubble may stand over the About box.
# Usage: scripts/screenshots/guides.sh [BUILD_DIR] [OUT_DIR]
#   BUILD_DIR  build tree holding app/kvedit (default build/relwithdebinfo)
#   OUT_DIR    where the PNG files go (default build/screenshots)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build/relwithdebinfo}
out=${2:-$root/build/screenshots}
app=$build/app/kvedit
[ -x "$app" ] || { echo "guides.sh: no $app; build it first" >&2; exit 1; }
mkdir -p "$out"

. "$(dirname "$0")/xvfb-lib.sh"

# The one bubble: a program window without a title of its own, which X names
# after the program (xdotool does not find it by that name).
bubble_id() {
  for _ in $(seq 300); do
    id=$(xwininfo -root -tree | awk '/"mp3Morvelta": \("kvedit"/ { split($5, s, "x"); if (s[1] > 100) { print $1; exit } }')
    [ -n "$id" ] && { echo "$((id))"; return; }
    sleep 0.1
  done
  echo "guides.sh: no guide bubble showed" >&2
  exit 1
}

shoot() { # main window id, file
  eval "$(xdotool getwindowgeometry --shell "$1")"
  $import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$2"
  echo "$2"
}

# Clicks a point of the bubble given in its own logical pixels.
click_bubble() { # bubble id, x, y, scale
  eval "$(xdotool getwindowgeometry --shell "$1")"
  xdotool mousemove "$((X + $2 * $4))" "$((Y + $3 * $4))" click 1
}

for scale in 1 2; do
  for theme in light dark; do
    cfg=$tmp/config-$theme-$scale
    make_config "$theme" "$cfg"
    start_x "$((1600 * scale))x$((1000 * scale))x24"
    XDG_CONFIG_HOME=$cfg QT_QPA_PLATFORM=xcb QT_QPA_PLATFORMTHEME=qt5ct QT_SCALE_FACTOR=$scale \
      "$app" >"$tmp/app.log" 2>&1 &
    apid=$!
    wid=$(window_id '^mp3Morvelta - ' 600)
    for guide in welcome options open; do
      sleep 3.5
      bid=$(bubble_id)
      sleep 0.3
      shoot "$wid" "$out/guide-$guide-$theme-${scale}x.png"
      if [ "$guide" = welcome ]; then
        # Help, About: the bubble gives way while the box is open.
        xdotool windowfocus --sync "$wid" key alt+h
        sleep 0.5
        xdotool key a
        about=$(window_id '^About ' 100)
        sleep 3.5
        shoot "$wid" "$out/guide-held-by-about-$theme-${scale}x.png"
        xdotool windowfocus --sync "$about" key Escape
        sleep 1
        shoot "$wid" "$out/guide-back-after-about-$theme-${scale}x.png"
      fi
      if [ "$guide" = open ]; then
        # The "More..." link sits at the end of the text; find it by its colour.
        eval "$(xdotool getwindowgeometry --shell "$bid")"
        $import -window "$bid" "$tmp/bubble.png"
        link=$(convert "$tmp/bubble.png" -fill black +opaque '#0000ff' -fill white -opaque '#0000ff' \
          -trim -format '%X %Y %w %h' info: 2>/dev/null | tr -d '+')
        read -r lx ly lw lh <<<"$link"
        xdotool mousemove "$((X + lx + lw / 2))" "$((Y + ly + lh / 2))" click 1
        sleep 0.8
        shoot "$wid" "$out/guide-open-more-$theme-${scale}x.png"
      fi
      # welcome is a notice with one dismiss button; the others go on with "next".
      eval "$(xdotool getwindowgeometry --shell "$bid")"
      w=$((WIDTH / scale)) h=$((HEIGHT / scale))
      if [ "$guide" = welcome ]; then
        click_bubble "$bid" "$((w - 62))" "$((h - 62))" "$scale"
      else
        click_bubble "$bid" "$((w / 2 + 20))" "$((h - 62))" "$scale"
      fi
    done
    stop_x
  done
done
