"""Sending practice end to end, with the real program on a virtual display and a private sound
server (tests/a11y/run.sh provides both, and the accessibility bus): "송신 연습" opened from the
menu, keying started with Space, and then Left and Right Ctrl pressed and released by the X
server (xdotool, as a USB paddle adapter presses them) in the rhythm of "PARIS CQ" at the
window's first-use 15 WPM in iambic B: every letter started by pressing its first lever and
the rest tapped while the element before sounds, as an operator uses the keyer's memory.

Checked afterwards: the text the window decoded and the fist score it gives (read through
AT-SPI, as a screen reader reads it), and the sidetone in the null sink's monitor: a tone for
every element, each as long as the keyer made it, every element of a letter where the keyer's
grid puts it, and the window's own count of the times the sidetone did not sound as keyed (a
busy machine) no lower than the elements found off. A screenshot of the window after the
stretch goes to out/screens/e2e-sending.png.
"""

import os
import re
import subprocess
import tempfile
import time

from atspi_tools import (check, find, focus_window, has_state, press, pump, pyatspi, run, text_of,
                         wait_for, walk)
from monitor_tools import MONITOR_RATE, Monitor, tone_runs_of_samples

R = pyatspi
SENDING = "송신 연습"
TEXT = "PARIS CQ"
WPM = 15
UNIT_MS = 60000.0 / (74 * WPM)  # this program's WPM: PARIS with its own gaps, 74 units
CODES = {"P": ".--.", "A": ".-", "R": ".-.", "I": "..", "S": "...", "C": "-.-.", "Q": "--.-"}
SOURCE_DIR = os.environ.get("CWT_SOURCE_DIR", os.path.join(os.path.dirname(__file__), "..", ".."))
WORK = os.environ.get("CWT_A11Y_WORK", tempfile.mkdtemp())


def plan(text):
    """The key actions (at in units, key, down) and the elements the keyer should make
    (start in units from the first press, dah, first of its letter) for `text`."""
    actions, elements, t = [], [], 0.0
    for letter in text:
        if letter == " ":
            t += 4  # with the letter gap, seven units
            continue
        start, previous = t, None
        for symbol in CODES[letter]:
            key = "Control_R" if symbol == "-" else "Control_L"
            at = start if previous is None else previous + 0.4
            actions += [(at, key, True), (at + (0.15 if previous is None else 0.3), key, False)]
            elements.append((start, symbol == "-", previous is None))
            previous = start
            start += 4 if symbol == "-" else 2
        t = start + 2
    return actions, elements


def ctrl_keys_alone():
    """xdotool presses the first key of a modifier along with any other key of it: Right Ctrl
    would come with Left Ctrl, which no paddle adapter does. Both Ctrl keys are taken out of the
    Control modifier on this display, so xdotool presses exactly the key it is asked for (the
    program tells the paddle's keys apart by their key codes, not by modifiers)."""
    display = os.environ["DISPLAY"]
    keymap = subprocess.run(["xkbcomp", "-xkb", display, "-"], capture_output=True, text=True,
                            check=True, timeout=20).stdout
    keymap = re.sub(r"modifier_map Control \{[^}]*\};", "", keymap)
    subprocess.run(["xkbcomp", "-w", "0", "-", display], input=keymap, text=True, check=True,
                   timeout=20)


def key_in_rhythm(actions):
    """One xdotool run: its own sleeps time the keys, not a process started for each. With
    real-time priority where the system grants it, so that other programs' work does not make
    the hands late (they would key a slower, worse fist than planned)."""
    realtime = subprocess.run(["chrt", "-f", "10", "true"], capture_output=True).returncode == 0
    command, clock = (["chrt", "-f", "10"] if realtime else []) + ["xdotool"], 0.0
    for at, key, down in actions:
        wait_ms = at * UNIT_MS - clock
        if wait_ms > 0:
            command += ["sleep", "%.4f" % (wait_ms / 1000)]
            clock += wait_ms
        command += ["keydown" if down else "keyup", "--delay", "0", key]
    started = time.monotonic()
    subprocess.run(command, check=True, timeout=60)
    return started


def screenshot(window, name):
    screens = os.path.join(SOURCE_DIR, "out", "screens")
    os.makedirs(screens, exist_ok=True)
    subprocess.run(["import", "-window", window, os.path.join(screens, "e2e-%s.png" % name)],
                   check=False, timeout=20)


def find_tone(tones, expected_ms, window_ms):
    """The tone that starts nearest `expected_ms`, if one starts within `window_ms` of it."""
    near = [t for t in tones if abs(t[0] - expected_ms) <= window_ms]
    return min(near, key=lambda t: abs(t[0] - expected_ms)) if near else None


def check_sidetone(samples, elements, disturbed):
    """Every element as a tone of its keyed length, on the keyer's grid within each letter.

    Each element is looked for where it should sound: a letter's first where its key press was
    (as far as xdotool's sleeps and the X server keep time, which is no measure of the sidetone's
    latency: the sidetone's benchmark measures that), the others on the keyer's grid after the
    element before. A busy machine makes the sound server run dry now and then, and
    the window counts each time the sidetone did not sound as keyed: as many elements as it
    counted may be off, no more. With none counted, every element must be exact."""
    tones = tone_runs_of_samples(samples, MONITOR_RATE)
    check(tones, "the monitor holds no tone at all")
    first_tone, first_element = tones[0][0], elements[0][0] * UNIT_MS
    off, errors, previous = [], [], None
    worst_length = worst_grid = worst_letter = 0.0
    for i, (at_units, dah, letter_start) in enumerate(elements):
        keyed_ms = (3 if dah else 1) * UNIT_MS
        if letter_start or previous is None:
            expected = first_tone + at_units * UNIT_MS - first_element
            # xdotool's sleeps time the presses: under load they run late by tens of
            # milliseconds, but a letter's first tone is still the nearest to its press.
            tone = find_tone(tones, expected, 1.5 * UNIT_MS)
        else:
            expected = previous[0] + (at_units - elements[i - 1][0]) * UNIT_MS
            tone = find_tone(tones, expected, 15)
        previous = tone
        if tone is None:
            off.append("%d: missing" % i)
            continue
        length = (tone[1] - tone[0]) - keyed_ms
        place = tone[0] - expected
        split = any(tone[1] < t[0] < tone[0] + keyed_ms + UNIT_MS / 2 for t in tones)
        if letter_start:
            worst_letter = max(worst_letter, abs(place))
        else:
            errors.append("%d:%+.2f" % (i, place))
        if abs(length) >= 0.2 or split or (not letter_start and abs(place) >= 0.2):
            off.append("%d: %+.2f ms long, %+.2f ms late%s" %
                       (i, length, place, ", broken up" if split else ""))
            continue
        worst_length = max(worst_length, abs(length))
        if not letter_start:
            worst_grid = max(worst_grid, abs(place))
    print("sidetone: %d tones for %d elements, %d off (%s); the window counted %d disturbances"
          % (len(tones), len(elements), len(off), "; ".join(off) or "none", disturbed),
          flush=True)
    print("intact elements: length error max %.2f ms, grid error max %.2f ms; press to tone "
          "(xdotool's timing) max %.1f ms; grid errors [ms]: %s" %
          (worst_length, worst_grid, worst_letter, " ".join(errors)), flush=True)
    # The tone's edges ramp over one of the program's samples (0.09 ms); the half-level points
    # lie on the keyed edges.
    check(len(off) <= disturbed, "%d elements off with %d disturbances counted" %
          (len(off), disturbed))


def disturbances(frame):
    """How often the window says the sidetone did not sound as keyed in the stretch."""
    state = text_of(find(frame, "사이드톤", R.ROLE_LABEL))
    print(state, flush=True)
    if "고르게" in state:
        return 0
    count = re.search(r"(\d+)번 끊기거나", state)
    check(count, "the window says nothing of how the sidetone sounded: %r" % state)
    return int(count.group(1))


def test(program):
    item = [a for a in walk(program.window)
            if a.getRole() == R.ROLE_MENU_ITEM and a.name == SENDING][0]
    press(item, item.queryAction().getName(0))
    frame = wait_for(lambda: program.frame(SENDING), 10, "the sending-practice window")
    window = focus_window(program, SENDING)
    start = find(frame, "키잉 시작", R.ROLE_PUSH_BUTTON)
    stop = find(frame, "멈춤", R.ROLE_PUSH_BUTTON)
    result = [a for a in walk(frame) if a.name == "결과"][-1]
    start.queryComponent().grabFocus()
    wait_for(lambda: has_state(start, R.STATE_FOCUSED), 5, "키잉 시작 to have the focus")
    monitor = Monitor(os.path.join(WORK, "monitor.raw"))
    subprocess.run(["xdotool", "key", "space"], check=True, timeout=10)
    wait_for(lambda: has_state(stop, R.STATE_ENABLED), 5, "keying to start")
    pump(1.0)  # the sidetone's stream has settled on its latency

    actions, elements = plan(TEXT)
    ctrl_keys_alone()
    pump(0.5)  # the program reads the new key map
    key_in_rhythm(actions)
    shown = wait_for(lambda: "손 점수" in text_of(result) and text_of(result), 15,
                     "the stretch to end and its results to show")
    subprocess.run(["xdotool", "key", "Escape"], check=True, timeout=10)
    wait_for(lambda: has_state(start, R.STATE_ENABLED), 5, "Escape to stop keying")
    pump(0.5)
    samples = monitor.stop()
    screenshot(window, "sending")

    print(shown, flush=True)
    check(re.search(r"보낸 글\s*PARIS CQ\b", shown), "the window decoded %r" % shown)
    score = re.search(r"손 점수 (\d+)", shown)
    check(score and int(score.group(1)) >= 85, "the fist score reads %r" % shown)
    check_sidetone(samples, elements, disturbances(frame))


run(test)
