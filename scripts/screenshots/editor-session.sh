#!/usr/bin/env bash
# Screenshots of an editing session in the real window: the end-to-end test
# that opens, edits, exports, saves and reloads keeps a picture of the screen
# after each step. Look at them before calling a change of the editor done.
# Usage: scripts/screenshots/editor-session.sh [BUILD_DIR] [OUT_DIR]
#   BUILD_DIR  build tree holding the tests (default build/relwithdebinfo)
#   OUT_DIR    where the PNG files go (default build/screenshots/editor-session)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build/relwithdebinfo}
out=${2:-$root/build/screenshots/editor-session}
test=$build/tests/app/kv_editor_session_tests
[ -x "$test" ] || { echo "editor-session.sh: no $test; build the tests first" >&2; exit 1; }
mkdir -p "$out"
cfg=$(mktemp -d)
trap 'rm -rf "$cfg"' EXIT
XDG_CONFIG_HOME=$cfg KV_SCREENSHOT_DIR=$out "$test"
ls "$out"/*.png
