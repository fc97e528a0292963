#!/usr/bin/env bash
# Writes PNG pictures of the program's windows into out/screens/: the main window idle and
# while sending, the chart window, the memo window and the copy practice (idle, during a
# session, after one with its plot), the decoding window (idle, after reading a recording), on a
# virtual X display (Xvfb).
#   scripts/screenshots.sh [BUILD_DIR]      (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2 --target cw-tamarik-screens
mkdir -p out/screens
# Configuration and data folders of its own, so the pictures depend neither on the user's
# macros nor on the user's practice history.
config=$(mktemp -d)
data=$(mktemp -d)
trap 'rm -rf "$config" "$data"' EXIT
XDG_CONFIG_HOME=$config XDG_DATA_HOME=$data QT_QPA_PLATFORM=xcb \
    xvfb-run -a -s "-screen 0 1280x1024x24" "$build/src/tools/screens/cw-tamarik-screens" out/screens
