#!/usr/bin/env bash
# The pictures of the user manual (app/manual/images), taken from the real program
# on a private X server (Xvfb), light, at 2x for print, driven with keys as a
# person would: the window with an edited document (two files, two named
# tracks, a silenced and a louder stretch, a selection), parts of it, the main
# dialogs and the message about a damaged file. They are kept in 256 colours,
# which screenshots of the window lose nothing by. Look at every picture before
# committing.
# Usage: scripts/screenshots/manual.sh [BUILD_DIR] [OUT_DIR]
#   BUILD_DIR  build tree holding app/kvedit (default build/relwithdebinfo)
#   OUT_DIR    where the PNG files go (default app/manual/images)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build/relwithdebinfo}
out=${2:-$root/app/manual/images}
app=$build/app/kvedit
[ -x "$app" ] || { echo "manual.sh: no $app; build it first" >&2; exit 1; }
mkdir -p "$out"

. "$(dirname "$0")/xvfb-lib.sh"

# The files lie where a user keeps music, so that the pictures show a path like
# the reader's own: the program runs in a mount namespace of its own, where
# /home holds only /home/user, the scratch home made here. The files are
# written at $music and typed into the program as $shown.
home=$tmp/home
music=$home/Music
shown=/home/user/Music
mkdir -p "$music"
in_home=(unshare --mount)
[ "$(id -u)" = 0 ] || in_home=(unshare --user --map-root-user --mount)
in_home+=(sh -c 'mount -t tmpfs -o mode=0755 kvhome /home && mkdir /home/user && mount --bind "$0" /home/user &&
  exec "$@"' "$home")
"${in_home[@]}" test -d "$shown" || {
  echo "manual.sh: cannot give the program a home at /home/user (unshare needs root or user namespaces)" >&2
  exit 1
}

# Two songs with tags and a cover; a copy of the first with scattered damage.
convert -size 300x300 gradient:'#3a6ea5-#9fd3c7' -font DejaVu-Sans-Bold -gravity center -pointsize 40 -fill white \
  -annotate 0 'Summer\nDemo' "$tmp/cover.jpg"
sox -R -q -n -r 44100 -c 2 -b 16 "$tmp/a.wav" synth 24 sine 220-3000 synth 24 pinknoise mix \
  tremolo 0.15 70 fade t 2 24 4 vol 0.8
sox -R -q -n -r 44100 -c 2 -b 16 "$tmp/b.wav" synth 12 sine 330 synth 12 pinknoise mix tremolo 0.5 50 vol 0.6
lame --quiet -b 128 --tt "Morning Walk" --ta "The Demo Band" --tl "Summer Demo" --ty 2024 --tn 1/2 --tg Pop \
  --ti "$tmp/cover.jpg" "$tmp/a.wav" "$music/Morning Walk.mp3"
lame --quiet -b 128 --tt "Evening Run" --ta "The Demo Band" "$tmp/b.wav" "$music/Evening Run.mp3"
cp "$music/Morning Walk.mp3" "$music/Damaged Walk.mp3"
size=$(stat -c %s "$music/Damaged Walk.mp3")
RANDOM=7
for _ in $(seq 300); do
  # Drawn here, not in a subshell, which would draw from a fresh seed.
  byte=$((RANDOM % 256)) at=$((4000 + (RANDOM * 32768 + RANDOM) % (size - 4000)))
  printf "\\x$(printf %02x "$byte")" | dd of="$music/Damaged Walk.mp3" bs=1 seek="$at" conv=notrunc 2>/dev/null
done

# A sound server with a null sink: its monitor is the recording dialog's input.
start_pulse

# The guides are switched off: a bubble would cover what the pictures show.
cfg=$tmp/config
make_config light "$cfg"
app_settings "$cfg" '[Settings]\nshowPopupGuides=false\n'
scale=2
start_x "$((1600 * scale))x$((1000 * scale))x24"
HOME=/home/user XDG_CONFIG_HOME=$cfg QT_QPA_PLATFORM=xcb QT_QPA_PLATFORMTHEME=qt5ct QT_SCALE_FACTOR=$scale \
  "${in_home[@]}" "$app" -e "$shown/Morning Walk.mp3" \
  >"$tmp/app.log" 2>&1 &
apid=$!
wid=$(window_id '^mp3Morvelta - ')
sleep 1.5

keys() { # keys to the main window, then time to act on them
  xdotool windowfocus --sync "$wid" key --delay 120 "$@"
  sleep 0.6
}
# Types a path into the file dialog that has the focus and opens it.
choose_file() { # dialog title regex, path
  local d
  d=$(window_id "$1")
  sleep 0.8
  xdotool windowfocus --sync "$d" type --delay 20 "$2"
  xdotool key --delay 100 Return
  sleep 2
}
shrink() { # picture, name: in 256 colours without dithering, without metadata
  convert "$1" +dither -colors 256 -strip -define png:compression-level=9 "$out/$2@2x.png"
  echo "$out/$2@2x.png"
}
png() { # window id, name: the window's picture
  $import -window "$1" "$tmp/shot.png"
  shrink "$tmp/shot.png" "$2"
}
crop() { # name, geometry in logical pixels (WxH+X+Y): a part of the window's picture
  local w h x y
  IFS='x+' read -r w h x y <<<"$2"
  convert "$tmp/window.png" -crop "$((w * scale))x$((h * scale))+$((x * scale))+$((y * scale))" +repage "$tmp/crop.png"
  shrink "$tmp/crop.png" "$1"
}
dialog() { # title regex, name, [seconds to wait]
  local d
  d=$(window_id "$1")
  sleep "${3:-1}"
  png "$d" "$2"
}

# The second song after the first.
keys ctrl+shift+o
choose_file '^Append MP3 Files' "$shown/Evening Run.mp3"

# A track from the start and a second one from the seam of the two songs
# (End goes to the next edit point); each named in its tag editor.
keys ctrl+Home alt+r End alt+p
name_track() { # title
  local d
  keys ctrl+k
  d=$(window_id '^Edit Track Information$')
  sleep 0.5
  xdotool windowfocus --sync "$d" type --delay 20 "$1"
  xdotool key Return
  sleep 0.8
}
name_track "Evening Run"
keys ctrl+Home
name_track "Morning Walk"
# 5 to 7 s silenced; 10 to 12 s two steps louder. Ctrl+PgDown moves 5 s,
# Ctrl+Right half a second.
keys ctrl+Home ctrl+Next alt+s ctrl+Right ctrl+Right ctrl+Right ctrl+Right alt+n ctrl+i
keys ctrl+Right ctrl+Right ctrl+Right ctrl+Right ctrl+Right ctrl+Right alt+s \
  ctrl+Right ctrl+Right ctrl+Right ctrl+Right alt+n ctrl+Up ctrl+Up
# The selection shown: 19 to 22 s; the play position at 23 s.
keys ctrl+Home ctrl+Next ctrl+Next ctrl+Next ctrl+Right ctrl+Right ctrl+Right ctrl+Right ctrl+Right ctrl+Right \
  ctrl+Right ctrl+Right alt+s ctrl+Right ctrl+Right ctrl+Right ctrl+Right ctrl+Right ctrl+Right alt+n \
  ctrl+Right ctrl+Right
sleep 1
$import -window "$wid" "$tmp/window.png"
shrink "$tmp/window.png" window
# The selection and time fields under the views, and the playback controls.
crop times 700x88+0+500
crop playback 540x32+0+704

# The tags of the whole file.
keys ctrl+d
dialog '^Edit File Information$' file-info
xdotool key Escape
# Normalize scans the selection first.
keys ctrl+m
dialog '^Normalize$' normalize 3
xdotool key Escape
keys ctrl+n
dialog '^Insert Silence$' insert-silence
xdotool key Escape

# Options, tab by tab (the Options entry is second from the end of Tools).
keys alt+t Up Up Return
for tab in appearance toolbars volume tracks recording; do
  dialog '^Options$' "options-$tab"
  xdotool key ctrl+Tab
done
xdotool key Escape
sleep 0.5

# Convert All As, the ninth entry of File; a notice comes first.
keys alt+f Down Down Down Down Down Down Down Down Return
window_id 'Convert Message$' >/dev/null
sleep 0.5
xdotool key Return
dialog '^Audio Conversion$' convert 1.5
xdotool key Escape
sleep 0.5

keys ctrl+r
dialog '^Audio Recording$' record 1.5
xdotool key Escape
sleep 0.5

# The damaged copy opened in place of the document; No to saving the edits first.
keys ctrl+o
choose_file '^Open audio files' "$shown/Damaged Walk.mp3"
question=$(window_id '^mp3Morvelta$')
xdotool windowfocus --sync "$question" key alt+n
for _ in $(seq 100); do
  xdotool search --onlyvisible --name '^mp3Morvelta$' 2>/dev/null | grep -qx "$question" || break
  sleep 0.1
done
dialog '^mp3Morvelta$' damaged

# A first start: the welcome guide, and the button it points at.
kill "$apid" 2>/dev/null || true
wait "$apid" 2>/dev/null || true
first=$tmp/config-first
make_config light "$first"
XDG_CONFIG_HOME=$first QT_QPA_PLATFORM=xcb QT_QPA_PLATFORMTHEME=qt5ct QT_SCALE_FACTOR=$scale "$app" \
  >"$tmp/first.log" 2>&1 &
apid=$!
window_id '^mp3Morvelta - ' 600 >/dev/null
# The bubble: a window of the program without a title of its own, which X
# names after the program (xdotool does not find it by that name).
bubble=
for _ in $(seq 300); do
  bubble=$(xwininfo -root -tree | awk '/"mp3Morvelta": \("kvedit"/ { split($5, s, "x"); if (s[1] > 100) { print $1; exit } }')
  [ -n "$bubble" ] && break
  sleep 0.1
done
[ -n "$bubble" ] || { echo "manual.sh: no welcome guide showed" >&2; exit 1; }
sleep 0.8
eval "$(xdotool getwindowgeometry --shell "$((bubble))")"
# From the tool bar row above it to the end of the button's text beside it.
x0=$((X - 10 * scale)) y0=$((Y - 72 * scale))
$import -window root -crop "$((WIDTH + 190 * scale))x$((HEIGHT + 80 * scale))+$((x0 < 0 ? 0 : x0))+$((y0 < 0 ? 0 : y0))" \
  +repage "$tmp/welcome.png"
shrink "$tmp/welcome.png" welcome
