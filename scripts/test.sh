#!/usr/bin/env bash
# Installs what is missing, builds CW Tamarik and runs every test, as CI does:
#   1. the release build and its whole test suite,
#   2. the same suite built with AddressSanitizer and UndefinedBehaviorSanitizer,
#   3. every fuzz target for a bounded time.
# Tests that play through the sound server (label "pulse") run twice in each build: on a private
# PulseAudio server and on a private PipeWire with its pulse server, each with a null sink.
# Set CWT_FUZZ_SECONDS to change the time each fuzz target runs (default 30).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
jobs=2

scripts/setup-debian.sh

sound_servers=(pulseaudio pipewire)
mkdir -p build
stop_sound_servers() {
    local server
    for server in "${sound_servers[@]}"; do
        CWT_SOUND_SERVER=$server scripts/pulse-null-sink.sh --stop "$root/build/sound-$server"
    done
}
trap stop_sound_servers EXIT
export CWT_PULSE_REQUIRED=1

run_suite() {  # build directory
    local server
    ctest --test-dir "$1" --output-on-failure -j$jobs -LE 'pulse|timing'
    # Timing tests run alone so that nothing else competes for the two cores. Tests that start
    # servers of their own start the same kind (CWT_SOUND_SERVER).
    ctest --test-dir "$1" --output-on-failure -L timing -LE pulse
    for server in "${sound_servers[@]}"; do
        echo "== sound tests on $server"
        export CWT_SOUND_SERVER=$server
        # Each build's tests start on a fresh server: nothing an earlier run left in it (a
        # volume a session manager remembers for the program) decides what they hear.
        scripts/pulse-null-sink.sh --stop "$root/build/sound-$server"
        source scripts/pulse-null-sink.sh "$root/build/sound-$server" ||
            { echo "no private $server server could be started" >&2; exit 1; }
        ctest --test-dir "$1" --output-on-failure -L pulse
    done
}

echo "== release build"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j$jobs
run_suite build

echo "== sanitizer build"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCWT_SANITIZE=ON \
    -DCWT_BUILD_BENCH=OFF
cmake --build build-asan -j$jobs
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS=suppressions=$root/scripts/lsan.supp:print_suppressions=0
run_suite build-asan
unset ASAN_OPTIONS UBSAN_OPTIONS LSAN_OPTIONS

echo "== fuzzing"
scripts/fuzz.sh "${CWT_FUZZ_SECONDS:-30}"
