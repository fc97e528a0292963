"""What the end-to-end tests share about the sound: the null sink's monitor recorded with parec,
and the tones found in it."""

import os
import re
import struct
import subprocess
import time

from atspi_tools import wait_for

MONITOR_RATE = 48000


class Monitor:
    """The null sink's monitor recorded with parec: exactly what speakers would get.

    With 100 ms of recording latency: at 10 ms the recording stream drives PipeWire's graph at
    a 5.3 ms cycle, and under load the recording then loses or repeats a cycle now and then.
    """

    def __init__(self, path):
        self.path = path
        self.file = open(path, "wb")
        self.process = subprocess.Popen(
            ["parec", "-d", "cwnull.monitor", "--rate=%d" % MONITOR_RATE, "--channels=1",
             "--format=s16le", "--latency-msec=100"], stdout=self.file)
        wait_for(lambda: os.path.getsize(path) > 0, 10, "parec to deliver samples")

    def mark(self):
        """Where the recording is now, in samples."""
        return os.path.getsize(self.path) // 2

    def stop(self):
        self.process.terminate()
        self.process.wait(5)
        self.file.close()
        with open(self.path, "rb") as raw:
            data = raw.read()
        return struct.unpack("<%dh" % (len(data) // 2), data[:len(data) // 2 * 2])


def tone_runs_of_samples(samples, rate, threshold=1000, min_gap_ms=0.5):
    """Tones of a 16-bit recording; a quieter stretch under `min_gap_ms` ends none."""
    runs, in_tone, start, last_loud = [], False, 0, 0
    min_gap = int(-(-min_gap_ms * rate // 1000))
    for i, sample in enumerate(samples):
        if abs(sample) <= threshold:
            continue
        if in_tone and i - last_loud > min_gap:
            runs.append((start * 1000.0 / rate, (last_loud + 1) * 1000.0 / rate))
            in_tone = False
        if not in_tone:
            in_tone, start = True, i
        last_loud = i
    if in_tone:
        runs.append((start * 1000.0 / rate, (last_loud + 1) * 1000.0 / rate))
    return runs


class ServerWatch:
    """What the private sound server logged while watched (scripts/pulse-null-sink.sh starts it
    logging so): a playback stream that ran dry and went on, the program having come late
    with its sound, and, on PipeWire, graph cycles mixed without a late stream.

    A send's own end runs the stream dry too; only a stream that ran dry and then played on
    counts. PipeWire logs only the first lost cycle or two in two seconds: one logged in the
    two seconds before the watch began may hide more after it, so it counts as well.
    """

    LOGS_ONE_IN_S = 2.0
    LOOK_BACK_BYTES = 8 << 20

    def __init__(self):
        folder = os.environ.get("CWT_PULSE_DIR", "")
        self.logs = {}
        for name in ("pulse.log", "pipewire.log", "pipewire-pulse.log"):
            path = os.path.join(folder, name)
            if folder and os.path.exists(path):
                self.logs[name] = (path, os.path.getsize(path))
        self.since_raw = time.clock_gettime(time.CLOCK_MONOTONIC_RAW) - self.LOGS_ONE_IN_S

    def _lines(self, name, look_back=False):
        if name not in self.logs:
            return []
        path, start = self.logs[name]
        with open(path, "rb") as log:
            log.seek(max(0, start - self.LOOK_BACK_BYTES) if look_back else start)
            return log.read().decode("utf-8", "replace").splitlines()

    def lost_cycles(self):
        """PipeWire's lines about cycles its graph mixed without a stream that came late."""
        found = []
        for line in self._lines("pipewire.log", look_back=True):
            stamp = re.match(r"\[\w\]\[(\d+\.\d+)\]", line)
            if (stamp and float(stamp.group(1)) >= self.since_raw
                    and ("graph not finished" in line or "XRun!" in line)):
                found.append(line)
        return found

    def ran_dry_and_went_on(self, stream):
        """The server's lines telling that `stream` ran dry and then played on.

        PulseAudio names the stream ("Implicit underrun of 'Morse'") and asks its sink to
        rewind when data comes again; pipewire-pulse names the client and tells how far it had
        read, so a stream that ran dry at more than one place went on after the first.
        """
        found = []
        dry = None
        for line in self._lines("pulse.log"):
            if re.search(r"underrun of '%s'" % re.escape(stream), line):
                dry = line
            elif dry and "Requesting rewind due to end of underrun" in line:
                found.append(dry)
                dry = None
        places = {}
        for line in self._lines("pipewire-pulse.log"):
            underrun = re.search(r"(0x[0-9a-f]+): \[([^\]]*)\] underrun read:(\d+)", line)
            if underrun and underrun.group(2) == "CW Tamarik":
                places.setdefault(underrun.group(1), {}).setdefault(underrun.group(3), line)
        for reads in places.values():
            found.extend(list(reads.values())[:-1])  # the last place is where the stream ended
        return found
