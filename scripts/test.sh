#!/usr/bin/env bash
# Installs what is missing, builds CW Tamarik and runs every test, as CI does.
#   scripts/test.sh            the whole suite
# Build trees: build/ (release with debug info) and build-asan/ (sanitizers).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

scripts/setup-debian.sh

jobs=2
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j$jobs

# A private sound server with a null sink for the tests that play through it.
pulse_dir=$root/build/pulse
source scripts/pulse-null-sink.sh "$pulse_dir"
trap 'scripts/pulse-null-sink.sh --stop "$pulse_dir"' EXIT
export CWT_PULSE_REQUIRED=1

# Timing tests run alone so that nothing else competes for the two cores.
ctest --test-dir build --output-on-failure -j$jobs -LE pulse
ctest --test-dir build --output-on-failure -L pulse
