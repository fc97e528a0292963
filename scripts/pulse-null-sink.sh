#!/usr/bin/env bash
# Starts a private PulseAudio server whose only sink is a null sink "cwnull", so tests hear
# exactly what an operator's speakers would get, without a sound card.
#   source scripts/pulse-null-sink.sh DIR     exports PULSE_SERVER and starts the server
#   scripts/pulse-null-sink.sh --stop DIR     stops it
# norewinds=1 keeps the monitor from losing the first milliseconds when a stream starts. At debug
# level the log tells each stream that ran dry ("Implicit underrun of 'Morse'"): the end-to-end
# tests read there whether the program came late with its sound.
# With CWT_SOUND_SERVER=pipewire the same two commands start and stop a private PipeWire with
# its pulse server instead (pipewire-null-sink.sh), so every caller runs on either server.
set -u
if [ "${CWT_SOUND_SERVER:-pulseaudio}" = pipewire ]; then
    source "$(dirname "${BASH_SOURCE[0]}")/pipewire-null-sink.sh" "$@"
    cwt_status=$?
    return $cwt_status 2>/dev/null || exit $cwt_status
fi
if [ "${1:-}" = "--stop" ]; then
    dir=$2
    PULSE_SERVER=unix:$dir/native pactl exit >/dev/null 2>&1 || true
    if [ -f "$dir/pid" ]; then
        pid=$(cat "$dir/pid")
        kill "$pid" 2>/dev/null || true
        # Gone before this returns: a server still closing would answer the next start's probe.
        for _ in $(seq 1 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
        rm -f "$dir/pid"
    fi
    # A server whose pid was not recorded (one found already running by another start, say)
    # would outlive the tests and answer the next start's probe: every server of this socket goes.
    pkill -f "socket=$dir/native" 2>/dev/null || true
    for _ in $(seq 1 50); do pgrep -f "socket=$dir/native" >/dev/null || break; sleep 0.1; done
    return 0 2>/dev/null || exit 0
fi
dir=$(realpath -m "${1:?usage: pulse-null-sink.sh DIR}")
mkdir -p "$dir/run" "$dir/home"
chmod 700 "$dir/run"
export PULSE_SERVER=unix:$dir/native
export CWT_PULSE_DIR=$dir
if ! pactl info >/dev/null 2>&1; then
    XDG_RUNTIME_DIR=$dir/run HOME=$dir/home pulseaudio --daemonize=yes -n --exit-idle-time=-1 \
        --disallow-exit --use-pid-file=no --log-target=file:$dir/pulse.log --log-level=debug \
        -L "module-native-protocol-unix socket=$dir/native auth-anonymous=1" \
        -L "module-null-sink sink_name=cwnull norewinds=1 rate=48000 channels=2" \
        -L "module-always-sink" >/dev/null 2>&1
    for _ in $(seq 1 50); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
fi
pactl set-default-sink cwnull >/dev/null 2>&1
pgrep -f "socket=$dir/native" | head -n1 > "$dir/pid"
pactl info >/dev/null 2>&1
