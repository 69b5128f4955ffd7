#!/usr/bin/env bash
# Screenshots of scripts/run on a machine without a display or a sound
# server: the window as a VNC viewer gets it from the private server, at the
# default size (every tool bar button and the whole Source file field must
# show, and no box) and at a size given with KV_VNC_SIZE. Taken with the
# tests' minimal viewer (Raw encoding only), so the test build is needed.
# Usage: scripts/screenshots/vnc-session.sh [BUILD_DIR] [OUT_DIR]
#   BUILD_DIR  test build holding app/kvedit and tests/kv-vnc-grab
#              (default build/relwithdebinfo)
#   OUT_DIR    where the PNG files go (default build/screenshots)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build/relwithdebinfo}
out=${2:-$root/build/screenshots}
app=$build/app/kvedit
grab=$build/tests/kv-vnc-grab
for f in "$app" "$grab"; do
  [ -x "$f" ] || { echo "vnc-session.sh: no $f; build the tests first (scripts/build RelWithDebInfo)" >&2; exit 1; }
done
mkdir -p "$out"

tmp=$(mktemp -d)
rpid=
trap '[ -n "$rpid" ] && kill "$rpid" 2>/dev/null; wait 2>/dev/null; rm -rf "$tmp"' EXIT
sox -R -q -n -r 44100 -c 2 -b 16 "$tmp/song.wav" synth 20 sine 220-3000 synth 20 pinknoise mix vol 0.5
lame --quiet -b 128 "$tmp/song.wav" "$tmp/Some Artist - A Rather Long Song Title.mp3"

shot() { # name size
  local name=$1 size=$2
  mkdir -p "$tmp/$name/runtime" "$tmp/$name/config"
  chmod 700 "$tmp/$name/runtime"
  # A fresh user: no display, no sound server, the song started without -e.
  env -u DISPLAY -u WAYLAND_DISPLAY KV_RUN_PROGRAM="$app" KV_VNC_SIZE="$size" \
    XDG_RUNTIME_DIR="$tmp/$name/runtime" XDG_CONFIG_HOME="$tmp/$name/config" \
    PULSE_SERVER="unix:$tmp/no-sound-server" \
    "$root/scripts/run" "$tmp/Some Artist - A Rather Long Song Title.mp3" >"$tmp/$name/out" 2>&1 &
  rpid=$!
  local socket=
  for _ in $(seq 200); do
    socket=$(sed -n 's/.*served by VNC on the socket \([^;]*\);.*/\1/p' "$tmp/$name/out")
    [ -n "$socket" ] && break
    sleep 0.1
  done
  [ -n "$socket" ] || { echo "vnc-session.sh: scripts/run served nothing:" >&2; cat "$tmp/$name/out" >&2; exit 1; }
  # Time for a box about the sound device, had one come.
  sleep 5
  "$grab" "$socket" "$out/$name.png"
  sed 's/^/  /' "$tmp/$name/out"
  kill "$rpid"
  wait "$rpid" 2>/dev/null || true
  rpid=
  echo "$out/$name.png"
}

shot vnc-session-default 1280x800
shot vnc-session-1600x900 1600x900
