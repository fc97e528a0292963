"""수신 해독 end to end, as an operator with a screen reader uses it: the window opened from the
menu "연습", the null sink's monitor picked from the source list with the keyboard, 해독 시작
pressed through its accessible action, and a station at 20 WPM played into the sink with paplay
while the window listens to the sink's monitor. The text must come out as sent, and reach the
screen reader as text-inserted events while the station is still sending, the events together
making the text shown; the pitch and speed shown must be the station's.

Figures (printed): how long after each letter's end the screen reader was told of it, counted
from paplay's start (the server's playback and capture latency included), and the share of one
core the program took while it decoded.
"""

import math
import os
import random
import struct
import subprocess
import time
import wave

from atspi_tools import (EventLog, check, choose_menu_item, find, has_state, press, pump,
                         pyatspi, run, text_of, wait_for, walk, xdotool)

R = pyatspi
WINDOW = "수신 해독"
TEXT = "CQ CQ DE HL1ABC HL1ABC K"
WPM = 20
PITCH_HZ = 700
RATE_HZ = 48000
MORSE = {
    "A": ".-", "B": "-...", "C": "-.-.", "D": "-..", "E": ".", "H": "....", "K": "-.-",
    "L": ".-..", "Q": "--.-", "1": ".----",
}


def station(path):
    """Writes the text keyed as a transmitter sends it (a sine with 4 ms raised-cosine edges,
    standard spacing, a little white noise) and returns when each letter's last mark ends, in
    seconds from the file's start."""
    unit = 1.2 / WPM
    keying = []  # (on, seconds)
    for word_index, word in enumerate(TEXT.split()):
        if word_index:
            keying.append((False, 7 * unit))
        for letter_index, letter in enumerate(word):
            if letter_index:
                keying.append((False, 3 * unit))
            for element_index, element in enumerate(MORSE[letter]):
                if element_index:
                    keying.append((False, unit))
                keying.append((True, unit if element == "." else 3 * unit))
            keying.append(("end", 0))
    lead, tail, edge = 1.0, 1.5, 0.004
    samples = [0.0] * int(lead * RATE_HZ)
    letter_ends = []
    for on, seconds in keying:
        if on == "end":
            letter_ends.append(len(samples) / RATE_HZ)
            continue
        n = int(round(seconds * RATE_HZ))
        if not on:
            samples.extend([0.0] * n)
            continue
        ramp = int(edge * RATE_HZ)
        for i in range(n):
            shape = 1.0
            if i < ramp:
                shape = 0.5 - 0.5 * math.cos(math.pi * i / ramp)
            elif i >= n - ramp:
                shape = 0.5 - 0.5 * math.cos(math.pi * (n - i) / ramp)
            samples.append(0.3 * shape * math.sin(2 * math.pi * PITCH_HZ * len(samples) / RATE_HZ))
    samples.extend([0.0] * int(tail * RATE_HZ))
    noise = random.Random(1)
    with wave.open(path, "wb") as out:
        out.setnchannels(1)
        out.setsampwidth(2)
        out.setframerate(RATE_HZ)
        out.writeframes(b"".join(
            struct.pack("<h", int(max(-1.0, min(1.0, s + noise.gauss(0, 0.02))) * 32767))
            for s in samples))
    return letter_ends


def monitor_description():
    """The description the server gives the null sink's monitor, as the source list shows it."""
    listing = subprocess.run(["pactl", "list", "sources"], capture_output=True, text=True,
                             timeout=10, check=True).stdout
    for block in listing.split("\n\n"):
        if "Name: cwnull.monitor" in block:
            for line in block.splitlines():
                if line.strip().startswith("Description:"):
                    return line.split(":", 1)[1].strip()
    raise AssertionError("the server has no cwnull.monitor")


def pick_source(program, frame, description):
    """Moves the source list to `description` with the arrow key, as an operator does."""
    windows = subprocess.run(["xdotool", "search", "--sync", "--onlyvisible", "--pid",
                              str(program.process.pid), "--name", "."],
                             capture_output=True, text=True, timeout=10).stdout.split()
    names = [subprocess.run(["xdotool", "getwindowname", w], capture_output=True, text=True,
                            timeout=10).stdout.strip() for w in windows]
    windows = [w for w, name in zip(windows, names) if name == WINDOW]
    check(len(windows) == 1, "xdotool finds %d windows %r" % (len(windows), WINDOW))
    xdotool("windowfocus", "--sync", windows[0])
    combo = [a for a in walk(frame) if a.getRole() == R.ROLE_COMBO_BOX]
    check(len(combo) == 1, "the window has %d combo boxes" % len(combo))
    combo = combo[0]
    combo.queryComponent().grabFocus()
    wait_for(lambda: has_state(combo, R.STATE_FOCUSED), 5, "the source list to have the focus")
    for _ in range(10):
        if combo.name == description:
            return
        xdotool("key", "Down")
        pump(0.2)
    raise AssertionError("the source list never offered %r (it shows %r)" % (description, combo.name))


class TimedEventLog(EventLog):
    """Events with the moment each arrived."""

    def _record(self, event):
        super()._record(event)
        self.events[-1] = self.events[-1] + (time.monotonic(),)


def cpu_seconds(pid):
    with open("/proc/%d/stat" % pid) as stat:
        fields = stat.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def test(program):
    wav = os.path.join(os.environ.get("CWT_A11Y_WORK", "/tmp"), "station.wav")
    letter_ends = station(wav)

    choose_menu_item(program, WINDOW)
    frame = wait_for(lambda: program.frame(WINDOW), 10, "the window %r" % WINDOW)
    pick_source(program, frame, monitor_description())
    status = find(frame, "상태", R.ROLE_LABEL)
    text = find(frame, "해독한 글", R.ROLE_TEXT)

    events = TimedEventLog("object:text-changed:insert")
    press(find(frame, "해독 시작", R.ROLE_PUSH_BUTTON))
    wait_for(lambda: "듣는 중" in text_of(status), 10, "the window to listen")
    pump(0.5)

    cpu_before = cpu_seconds(program.process.pid)
    started = time.monotonic()
    player = subprocess.Popen(["paplay", "--device=cwnull", wav])
    while player.poll() is None:
        pump(0.02)
    ended = time.monotonic()
    check(player.returncode == 0, "paplay failed with status %d" % player.returncode)
    pump(1.0)
    cpu_share = (cpu_seconds(program.process.pid) - cpu_before) / (time.monotonic() - started)
    press(find(frame, "해독 멈춤", R.ROLE_PUSH_BUTTON))
    pump(0.3)

    shown = text_of(text)
    inserted = events.of("해독한 글", "object:text-changed:insert")
    check(len(inserted) >= len(TEXT.split()), "%d insertions were announced" % len(inserted))
    check("".join(e[4] for e in inserted) == shown,
          "the insertions announced %r, the window shows %r"
          % ("".join(e[4] for e in inserted), shown))
    check(inserted[0][5] < ended, "nothing was announced before the station stopped sending")

    print("program's CPU while decoding: %.1f %% of one core" % (100 * cpu_share))
    check(" ".join(shown.split()) == TEXT, "the window shows %r, not %r" % (shown, TEXT))

    # Each insertion against the end of the last letter it brings.
    delays = []
    letters = 0
    for event in inserted:
        letters += len(event[4].replace(" ", "").replace("\n", ""))
        if letters >= 2:
            delays.append(event[5] - started - letter_ends[letters - 1])
    delays.sort()
    print("letter end to announcement, from paplay's start: median %.0f ms, worst %.0f ms "
          "(%d insertions)" % (1000 * delays[len(delays) // 2], 1000 * delays[-1], len(delays)))

    pitch = text_of(find(frame, "찾은 음높이", R.ROLE_LABEL))
    speed = text_of(find(frame, "속도", R.ROLE_LABEL))
    hz = float(pitch.split(":")[1].split("Hz")[0])
    wpm = float(speed.split(":")[1].split("WPM")[0])
    check(abs(hz - PITCH_HZ) <= 15, "the pitch reads %r" % pitch)
    check(abs(wpm - WPM) <= 3, "the speed reads %r" % speed)


run(test)
