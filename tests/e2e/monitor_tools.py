"""What the end-to-end tests share about the sound: the null sink's monitor recorded with parec,
and the tones found in it."""

import os
import struct
import subprocess

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
