# Sourced by the screenshot scripts: a private X server (Xvfb) per shot, a fresh
# Qt configuration per theme, and clean-up on exit. Sets tmp, xpid, apid and import.
# ImageMagick's own import, not a stand-in earlier on the PATH.
import=/usr/bin/import
tmp=$(mktemp -d)
xpid=
apid=
kill_on_exit=()  # further processes the script started
cleanup() {
  local p
  for p in "$apid" "$xpid" "${kill_on_exit[@]}"; do
    [ -n "$p" ] && kill "$p" 2>/dev/null || true
  done
  rm -rf "$tmp"
}
trap cleanup EXIT

# Starts Xvfb on a free display of the given size; sets DISPLAY and xpid.
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

# The Fusion style and, for dark, a dark palette, as a Linux desktop sets them
# through qt5ct; fonts as Qt picks them without a desktop: Sans Serif 9 pt.
make_config() { # theme dir
  mkdir -p "$2/qt5ct"
  local palette='custom_palette=false'
  [ "$1" = dark ] && palette='color_scheme_path=/usr/share/qt5ct/colors/darker.conf\ncustom_palette=true'
  printf '[Appearance]\n%b\nstyle=Fusion\n[Fonts]\ngeneral="Sans Serif,9,-1,5,50,0,0,0,0,0"\nfixed="Monospace,9,-1,5,50,0,0,0,0,0"\n' \
    "$palette" >"$2/qt5ct/qt5ct.conf"
}

# The program's settings file in a configuration folder, holding the given
# text ("\n" for a new line).
app_settings() { # config-dir text
  mkdir -p "$1/Veltranix Ltd"
  printf '%b' "$2" >"$1/Veltranix Ltd/mp3Morvelta.conf"
}

# The first visible window whose name matches; waits up to TENTHS tenths of a second.
window_id() { # title regex [tenths]
  for _ in $(seq "${2:-200}"); do
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1 || true)
    [ -n "$id" ] && { echo "$id"; return; }
    sleep 0.1
  done
  echo "$(basename "$0"): no window '$1' showed" >&2
  exit 1
}

# A private PulseAudio server whose one sink plays into nothing (its monitor is
# an input to record from); sets PULSE_SERVER for the programs started later.
start_pulse() {
  mkdir -p "$tmp/pulse"
  printf 'load-module module-null-sink sink_name=kvnull rate=44100 channels=2\nload-module module-native-protocol-unix socket=%s auth-anonymous=1\n' \
    "$tmp/pulse/native" >"$tmp/pulse/shot.pa"
  HOME=$tmp/pulse XDG_RUNTIME_DIR=$tmp/pulse XDG_CONFIG_HOME=$tmp/pulse pulseaudio -n -F "$tmp/pulse/shot.pa" \
    --daemonize=no --exit-idle-time=-1 --use-pid-file=no --disable-shm=yes >"$tmp/pulse/log" 2>&1 &
  kill_on_exit+=($!)
  for _ in $(seq 100); do [ -S "$tmp/pulse/native" ] && break; sleep 0.1; done
  export PULSE_SERVER=unix:$tmp/pulse/native
}
