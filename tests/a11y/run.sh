#!/usr/bin/env bash
# Runs one screen-reader test against the real program, in a private desktop of its own:
# a virtual X display, a D-Bus session bus with the AT-SPI bus and registry, and a sound
# server whose only sink is the null sink. The test is a system Python 3 script that uses
# pyatspi, as a screen reader does, and starts the program itself.
#   tests/a11y/run.sh PROGRAM TEST.py
# Exit status: 0 passed, 1 failed, 77 skipped (something missing while CWT_PULSE_REQUIRED is
# not 1; with CWT_PULSE_REQUIRED=1 a missing piece fails the test).
set -u
program=$(realpath "${1:?usage: run.sh PROGRAM TEST.py}")
test_script=$(realpath "${2:?usage: run.sh PROGRAM TEST.py}")
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
python=/usr/bin/python3  # the system's: pyatspi comes from Debian's python3-pyatspi

missing() {
    echo "a11y: $1" >&2
    if [ "${CWT_PULSE_REQUIRED:-}" = 1 ]; then exit 1; fi
    exit 77
}

find_tool() {
    local name=$1 dir
    command -v "$name" 2>/dev/null && return 0
    for dir in /usr/libexec /usr/lib/at-spi2-core /usr/lib/x86_64-linux-gnu/at-spi2-core; do
        [ -x "$dir/$name" ] && { echo "$dir/$name"; return 0; }
    done
    return 1
}

[ -x "$program" ] || missing "no program at $program"
[ -x "$python" ] && "$python" -c 'import pyatspi' 2>/dev/null ||
    missing "system Python 3 with pyatspi is missing (python3-pyatspi)"
xvfb=$(find_tool Xvfb) || missing "Xvfb is missing (xvfb)"
dbus_daemon=$(find_tool dbus-daemon) || missing "dbus-daemon is missing (dbus)"
launcher=$(find_tool at-spi-bus-launcher) || missing "at-spi-bus-launcher is missing (at-spi2-core)"
find_tool xdotool >/dev/null || missing "xdotool is missing (xdotool)"
find_tool pactl >/dev/null || missing "pactl is missing (pulseaudio-utils)"

work=$(mktemp -d /tmp/cwt-a11y.XXXXXX)
pids=()
pulse_started=0
cleanup() {
    local pid
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
    if [ "$pulse_started" = 1 ]; then "$root/scripts/pulse-null-sink.sh" --stop "$work/pulse"; fi
    [ -n "${CWT_A11Y_KEEP:-}" ] && echo "kept $work" >&2 || rm -rf "$work"
}
trap cleanup EXIT

# Waits up to five seconds for a command to succeed.
wait_for() {
    local i
    for i in $(seq 1 100); do "$@" >/dev/null 2>&1 && return 0; sleep 0.05; done
    return 1
}

# A display of our own, far from the low numbers other programs choose; Xvfb writes the
# number to fd 3 once it takes connections. A number taken meanwhile makes it exit: try another.
# -noreset: by default the server resets whenever its last client leaves, and a program that
# connects just then is refused.
start_display() {
    local n
    for _ in $(seq 1 20); do
        n=$((400 + RANDOM % 500))
        [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
        : >"$work/display"
        "$xvfb" ":$n" -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset \
            3>"$work/display" 2>"$work/xvfb.log" &
        local pid=$!
        if wait_for test -s "$work/display" && kill -0 "$pid" 2>/dev/null &&
            DISPLAY=":$n" wait_for xdotool getdisplaygeometry; then
            pids+=("$pid")
            export DISPLAY=":$n"
            return 0
        fi
        kill "$pid" 2>/dev/null
    done
    return 1
}
start_display || missing "Xvfb did not start: $(tail -n 3 "$work/xvfb.log")"

mkdir -m 700 "$work/run" "$work/config" "$work/data"
export XDG_RUNTIME_DIR=$work/run
export XDG_CONFIG_HOME=$work/config  # the program keeps its macro file here
export XDG_DATA_HOME=$work/data      # and its practice history here

# A session bus of our own; the AT-SPI bus launcher registers on it and starts the
# accessibility bus, on which the registry is started on demand.
"$dbus_daemon" --session --fork --print-address=4 --print-pid=5 4>"$work/bus" 5>"$work/bus.pid" ||
    missing "the D-Bus session bus did not start"
pids+=("$(head -n 1 "$work/bus.pid")")
export DBUS_SESSION_BUS_ADDRESS=$(head -n 1 "$work/bus")
"$launcher" --launch-immediately 2>"$work/launcher.log" &
pids+=($!)
get_a11y_bus() {
    dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress
}
wait_for get_a11y_bus || missing "the AT-SPI bus did not start: $(tail -n 3 "$work/launcher.log")"

# The sound server: the one the test run already has, else a private one.
if ! pactl info >/dev/null 2>&1; then
    # shellcheck source=../../scripts/pulse-null-sink.sh
    source "$root/scripts/pulse-null-sink.sh" "$work/pulse"
    pulse_started=1
    pactl info >/dev/null 2>&1 || missing "no PulseAudio server could be started"
fi

export QT_QPA_PLATFORM=xcb
export QT_ACCESSIBILITY=1
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
export PYTHONPATH=$here${PYTHONPATH:+:$PYTHONPATH}
export CWT_A11Y_WORK=$work
"$python" "$test_script" "$program"
