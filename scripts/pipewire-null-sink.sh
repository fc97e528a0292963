#!/usr/bin/env bash
# Starts a private PipeWire with WirePlumber and pipewire-pulse whose only sink is a null sink
# "cwnull", as most Linux desktops run it, without systemd (also as root):
#   source scripts/pipewire-null-sink.sh DIR     exports PULSE_SERVER and starts what is not running
#   scripts/pipewire-null-sink.sh --stop DIR     stops every process it started, each by its pid
# Everything lives in DIR: the runtime folder (mode 700), a home of its own (WirePlumber keeps
# its state there), the logs and one pid file per process. DIR/pid holds pipewire-pulse's pid,
# the server that clients talk to: tests kill or freeze that one. DIR/native leads to its
# socket, as it does for the PulseAudio server of pulse-null-sink.sh.
# After pipewire-pulse was killed, sourcing the script again starts it again and loads the
# null sink again (the sink was pipewire-pulse's and went with it).
set -u
# True while the process runs (a zombie, exited but not yet reaped, counts as gone).
cwt_pw_alive() {
    local state
    state=$(ps -o stat= -p "$1" 2>/dev/null)
    [ -n "$state" ] && [ "${state#Z}" = "$state" ]
}
if [ "${1:-}" = "--stop" ]; then
    cwt_pw_dir=$2
    for cwt_pw_name in pipewire-pulse wireplumber pipewire dbus; do
        if [ -f "$cwt_pw_dir/$cwt_pw_name.pid" ]; then
            cwt_pw_pid=$(cat "$cwt_pw_dir/$cwt_pw_name.pid")
            kill -CONT "$cwt_pw_pid" 2>/dev/null
            kill "$cwt_pw_pid" 2>/dev/null
            for _ in $(seq 1 50); do cwt_pw_alive "$cwt_pw_pid" || break; sleep 0.05; done
            cwt_pw_alive "$cwt_pw_pid" && kill -KILL "$cwt_pw_pid" 2>/dev/null
            rm -f "$cwt_pw_dir/$cwt_pw_name.pid"
        fi
    done
    rm -f "$cwt_pw_dir/pid"
    unset cwt_pw_dir cwt_pw_name cwt_pw_pid
    unset -f cwt_pw_alive
    return 0 2>/dev/null || exit 0
fi

cwt_pw_dir=$(realpath -m "${1:?usage: pipewire-null-sink.sh DIR}")
mkdir -p "$cwt_pw_dir/run" "$cwt_pw_dir/home"
chmod 700 "$cwt_pw_dir/run"
ln -sfn "$cwt_pw_dir/run/pulse/native" "$cwt_pw_dir/native"
export PULSE_SERVER=unix:$cwt_pw_dir/run/pulse/native
# Clients of PipeWire's own (the sidetone) find its socket here, as on a desktop through
# XDG_RUNTIME_DIR.
export PIPEWIRE_RUNTIME_DIR=$cwt_pw_dir/run
export CWT_PULSE_DIR=$cwt_pw_dir

# True when the process of DIR/NAME.pid runs.
cwt_pw_running() {
    [ -f "$cwt_pw_dir/$1.pid" ] && cwt_pw_alive "$(cat "$cwt_pw_dir/$1.pid")"
}
# Waits up to five seconds for a command to succeed.
cwt_pw_wait() {
    for _ in $(seq 1 100); do "$@" >/dev/null 2>&1 && return 0; sleep 0.05; done
    return 1
}
# Starts a daemon in the private session; its pid goes to DIR/NAME.pid. The daemon outlives
# its caller and keeps none of the caller's open files: an inherited lock (flock) would
# otherwise stay taken as long as the server runs.
cwt_pw_start() {
    local name=$1 fd
    shift
    (
        for fd in /proc/$BASHPID/fd/*; do
            fd=${fd##*/}
            if [ "$fd" -gt 2 ] && [ "$fd" -lt 255 ]; then eval "exec $fd>&-"; fi
        done
        exec env -u PIPEWIRE_REMOTE -u PIPEWIRE_RUNTIME_DIR XDG_RUNTIME_DIR="$cwt_pw_dir/run" \
            HOME="$cwt_pw_dir/home" XDG_CONFIG_HOME="$cwt_pw_dir/home/.config" \
            XDG_STATE_HOME="$cwt_pw_dir/home/.local/state" \
            DBUS_SESSION_BUS_ADDRESS="$(cat "$cwt_pw_dir/dbus.address")" "$@"
    ) >>"$cwt_pw_dir/$name.log" 2>&1 &
    echo $! >"$cwt_pw_dir/$name.pid"
    disown $!  # the caller's shell neither waits for it nor reports its end
}
# True when cwnull is the default sink and the only one (WirePlumber's stand-in sink
# "auto_null", made while there was none, is gone).
cwt_pw_sink_settled() {
    [ "$(pactl list short sinks 2>/dev/null | cut -f2)" = cwnull ] &&
        pactl info 2>/dev/null | grep -q '^Default Sink: cwnull$'
}

if ! cwt_pw_running pipewire; then
    # A fresh start: whatever is left of an earlier one goes first, WirePlumber's memory too
    # (it restores the volume a test last gave the program's streams, 0.03 once: the sends of
    # the next suite run in the same folder went unheard).
    "${BASH_SOURCE[0]}" --stop "$cwt_pw_dir"
    rm -rf "${cwt_pw_dir:?}/run/"* "$cwt_pw_dir/home/.local/state"
    env XDG_RUNTIME_DIR="$cwt_pw_dir/run" HOME="$cwt_pw_dir/home" dbus-launch --sh-syntax \
        >"$cwt_pw_dir/dbus.env" 2>>"$cwt_pw_dir/dbus.log"
    sed -n "s/^DBUS_SESSION_BUS_ADDRESS='\(.*\)';$/\1/p" "$cwt_pw_dir/dbus.env" \
        >"$cwt_pw_dir/dbus.address"
    sed -n 's/^DBUS_SESSION_BUS_PID=\([0-9]*\);$/\1/p' "$cwt_pw_dir/dbus.env" \
        >"$cwt_pw_dir/dbus.pid"
    # pw.node at debug level logs each cycle of the graph that ended unfinished (a stream came
    # late and the sink mixed a cycle without it): tests that heard a tone break off read there
    # whether the server lost a cycle (ServerCycleWatch, ServerWatch).
    cwt_pw_start pipewire env PIPEWIRE_DEBUG=pw.node:4 pipewire
    cwt_pw_wait test -S "$cwt_pw_dir/run/pipewire-0" || true
    cwt_pw_start wireplumber wireplumber
fi
if ! cwt_pw_running pipewire-pulse; then
    rm -rf "$cwt_pw_dir/run/pulse"
    # Its pulse protocol at debug level logs each cycle in which a stream had run dry
    # ("underrun read:..."), for the same tests.
    cwt_pw_start pipewire-pulse env PIPEWIRE_DEBUG=mod.protocol-pulse:4 pipewire-pulse
    cwt_pw_wait pactl info || true
fi
cp "$cwt_pw_dir/pipewire-pulse.pid" "$cwt_pw_dir/pid" 2>/dev/null
if ! pactl list short sinks 2>/dev/null | cut -f2 | grep -qx cwnull; then
    pactl load-module module-null-sink sink_name=cwnull rate=48000 channels=2 >/dev/null 2>&1
fi
pactl set-default-sink cwnull >/dev/null 2>&1
cwt_pw_wait cwt_pw_sink_settled || echo "pipewire-null-sink.sh: cwnull is not the only sink;" \
    "see $cwt_pw_dir/*.log" >&2
unset -f cwt_pw_alive cwt_pw_running cwt_pw_wait cwt_pw_start cwt_pw_sink_settled
unset cwt_pw_dir
pactl info >/dev/null 2>&1
