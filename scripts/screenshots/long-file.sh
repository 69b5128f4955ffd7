#!/usr/bin/env bash
# Screenshots of a 60-minute MP3 in the real window, at 1x: the progress
# window while the file is indexed (read as from a slow medium), the window
# after opening, at the end, after scrolling, while playing into a private
# PulseAudio null sink, and the window after Escape cancelled an open. They
# come from the test that checks all this (tests/app/KvLongFileTest.cpp);
# the 60-minute file is made once under the build tree.
# Usage: scripts/screenshots/long-file.sh [BUILD_DIR] [OUT_DIR]
#   BUILD_DIR  build tree with the tests (default build/relwithdebinfo)
#   OUT_DIR    where the PNG files go (default build/screenshots)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build/relwithdebinfo}
out=${2:-$root/build/screenshots}
test=$build/tests/app/kv_long_file_tests
[ -x "$test" ] || { echo "long-file.sh: no $test; build the tests first" >&2; exit 1; }
mkdir -p "$out"
KV_SCREENSHOT_DIR=$out "$test"
ls "$out"/long-*.png
