#!/usr/bin/env bash
# Writes PNG pictures of the program's windows into out/screens/: the main window idle and
# while sending, the chart window and the memo window, on a virtual X display (Xvfb).
#   scripts/screenshots.sh [BUILD_DIR]      (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2 --target cw-tamarik-screens
mkdir -p out/screens
# A configuration folder of its own, so the pictures do not depend on the user's macros.
config=$(mktemp -d)
trap 'rm -rf "$config"' EXIT
XDG_CONFIG_HOME=$config QT_QPA_PLATFORM=xcb \
    xvfb-run -a -s "-screen 0 1280x1024x24" "$build/src/tools/screens/cw-tamarik-screens" out/screens
