"""An operator's session with the real program, end to end.

On a virtual display of its own with a private sound server whose only sink is a null sink
(tests/a11y/run.sh provides both, and the accessibility bus), the program built from this tree
is driven with xdotool as a person would drive it: choose a speed, type a text with Korean
and signs, Start, Pause, resume, Stop, record to a WAV file through the save dialog and Start
again, open a text file through the open dialog, press a macro key, generate random groups for
a few seconds and stop them, and key dots and dashes with quick clicks on the big letter.
Where to click is taken from the accessibility tree, and so is what the window shows (the
status bar, the editor), as a screen reader reads it.

Checked afterwards: the status bar and the editor, the recorded file (byte for byte what the
headless renderer makes of the same text) and the sound server's output recorded from the
null sink's monitor (every tone where the timing model puts it). Screenshots of each step go
to out/screens/e2e-*.png.
"""

import ctypes
import ctypes.util
import os
import re
import subprocess
import tempfile
import time
import wave

from atspi_tools import (TestFailure, activate_window, check, find, has_state, pump, pyatspi,
                         run, status_panel, text_of, wait_for, walk, xdotool)
from monitor_tools import MONITOR_RATE, Monitor, ServerWatch, tone_runs_of_samples

R = pyatspi
SOURCE_DIR = os.environ.get("CWT_SOURCE_DIR", os.path.join(os.path.dirname(__file__), "..", ".."))
RENDERER = os.environ.get("CWT_RENDER", "")
SCREENS = os.path.join(SOURCE_DIR, "out", "screens")
WORK = os.environ.get("CWT_A11Y_WORK", tempfile.mkdtemp())

TEXT = "CQ DE HL1ABC 안녕 [AR] 73?"  # letters, digits, Hangul, a sign and a punctuation mark
FILE_TEXT = "QRL? 감사합니다 73"
MACRO_F1 = "34567"  # the first run's macro for F1, sent at once
DEVICE_RATE = 11025

timings = {}


def note(step, started):
    timings[step] = time.monotonic() - started
    print("%-28s %6.2f s" % (step, timings[step]), flush=True)


# ----- The desktop -----

def screenshot(name):
    os.makedirs(SCREENS, exist_ok=True)
    picture = os.path.join(SCREENS, "e2e-%s.png" % name)
    taken = subprocess.run(["import", "-window", "root", picture], check=False, timeout=20,
                           capture_output=True, text=True)
    if taken.returncode != 0:
        print("no screenshot %s: %s" % (name, taken.stderr.strip()), flush=True)


def point_at(acc):
    """Moves the pointer to the middle of a control, where the accessibility tree says it is."""
    extents = acc.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    check(extents.width > 0 and extents.height > 0, "%r has no place on the screen" % acc.name)
    x, y = extents.x + extents.width // 2, extents.y + extents.height // 2
    here = subprocess.run(["xdotool", "getmouselocation", "--shell"], capture_output=True,
                          text=True, timeout=10).stdout
    # A --sync move waits for the pointer to move, and never returns when it is there already.
    if "X=%d\nY=%d\n" % (x, y) not in here:
        xdotool("mousemove", "--sync", str(x), str(y))


def click(acc):
    """A left click in the middle of a control."""
    point_at(acc)
    xdotool("click", "1")


def enabled(acc):
    return has_state(acc, R.STATE_ENABLED)


def checked(acc):
    return has_state(acc, R.STATE_CHECKED) or has_state(acc, R.STATE_PRESSED)


def visible_windows(program):
    """The X windows of the program that are shown."""
    return subprocess.run(["xdotool", "search", "--onlyvisible", "--pid", str(program.process.pid),
                           "--name", "."], capture_output=True, text=True, timeout=10).stdout.split()


def shown_messages(window):
    """The texts of the message boxes the program shows: what a failed step was told."""
    app = window.parent
    texts = []
    for top in (app.getChildAtIndex(i) for i in range(app.childCount)):
        if top.getRole() in (R.ROLE_ALERT, R.ROLE_DIALOG) and has_state(top, R.STATE_SHOWING):
            texts += [a.name for a in walk(top) if a.getRole() == R.ROLE_LABEL and a.name]
    return texts


def choose_file_in_dialog(program, path):
    """Puts the file's name into the file dialog that opened and confirms it with Enter.

    The name goes in through the field's accessible text, as a screen reader or voice input puts
    it, not typed by xdotool: at 5 ms a key the dialog's file-name completer races the typing on
    a busy machine (seen: the field left holding only the path's last part, and an Enter taken
    by the completion list), which is the toolkit's dialog against a typist no one is, not this
    program."""
    def dialog_window():
        for window in visible_windows(program):
            name = subprocess.run(["xdotool", "getwindowname", window], capture_output=True,
                                  text=True, timeout=10).stdout.strip()
            if name and not name.startswith("CW Tamarik"):
                return window
        return None
    window = wait_for(dialog_window, 10, "the file dialog")
    try:
        field = wait_for(lambda: next(dialog_fields(program), None), 10,
                         "the file dialog's name field")
        field.queryEditableText().setTextContents(path)
        wait_for(lambda: text_of(field) == path, 10, "the name field to hold %r" % path)
        xdotool("windowfocus", "--sync", window)
        pump(0.3)
        xdotool("key", "Return")
        wait_for(lambda: window not in visible_windows(program), 10, "the file dialog to close")
    except TestFailure as failure:
        screenshot("failed-dialog")
        raise TestFailure("%s; the dialog shows %s" % (failure, dialog_contents(program)))
    pump(0.3)


def open_dialogs(program):
    app = program.app
    for top in (app.getChildAtIndex(i) for i in range(app.childCount)):
        if top is not None and top.getRole() != R.ROLE_FRAME and has_state(top, R.STATE_SHOWING):
            yield top


def dialog_fields(program):
    """The editable fields of the program's open dialogs."""
    return (acc for top in open_dialogs(program) for acc in walk(top)
            if acc.getRole() == R.ROLE_TEXT and has_state(acc, R.STATE_EDITABLE))


def dialog_contents(program):
    """What the program's open dialogs hold, as a screen reader reads it: the name field's text,
    the labels, and which control has the keyboard focus. For the report of a dialog that stayed
    open."""
    parts = []
    for top in open_dialogs(program):
        parts.append("%s %r:" % (top.getRoleName(), top.name))
        for acc in walk(top):
            role = acc.getRole()
            if role == R.ROLE_TEXT and has_state(acc, R.STATE_EDITABLE):
                parts.append("field %r holds %r" % (acc.name, text_of(acc)))
            elif role == R.ROLE_LABEL and acc.name:
                parts.append("label %r" % acc.name)
            elif role == R.ROLE_COMBO_BOX:
                parts.append("list %r shows %r" % (acc.name, combo_text(acc)))
            if has_state(acc, R.STATE_FOCUSED):
                parts.append("focus on %s %r" % (acc.getRoleName(), acc.name))
    return "; ".join(parts) or "nothing"


def combo_text(acc):
    """A list box's chosen entry (the folder a file dialog shows)."""
    chosen = [a.name for a in walk(acc) if a is not acc and has_state(a, R.STATE_SELECTED)]
    return chosen[0] if chosen else acc.name


def bind_spare_keys(text):
    """Gives every character of `text` that the keyboard map lacks a spare keycode of its own.

    xdotool types such a character by binding it to a spare keycode for one key press and
    taking the binding back at once; a program that reads the key press after that (on a busy
    machine) looks it up in the map as it is by then and types another character or none.
    Bound for the whole session, the map no longer changes under the typing.
    """
    x11 = ctypes.CDLL(ctypes.util.find_library("X11"))
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XDisplayKeycodes.argtypes = [ctypes.c_void_p, ctypes.POINTER(ctypes.c_int),
                                     ctypes.POINTER(ctypes.c_int)]
    x11.XGetKeyboardMapping.restype = ctypes.POINTER(ctypes.c_ulong)
    x11.XGetKeyboardMapping.argtypes = [ctypes.c_void_p, ctypes.c_ubyte, ctypes.c_int,
                                        ctypes.POINTER(ctypes.c_int)]
    x11.XChangeKeyboardMapping.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int,
                                           ctypes.POINTER(ctypes.c_ulong), ctypes.c_int]
    x11.XFree.argtypes = [ctypes.c_void_p]
    x11.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
    x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
    display = x11.XOpenDisplay(None)
    check(display, "no connection to the display")
    low, high, per_key = ctypes.c_int(), ctypes.c_int(), ctypes.c_int()
    x11.XDisplayKeycodes(display, ctypes.byref(low), ctypes.byref(high))
    count = high.value - low.value + 1
    keysyms = x11.XGetKeyboardMapping(display, low.value, count, ctypes.byref(per_key))
    width = per_key.value
    present = {keysyms[i] for i in range(count * width)}
    spare = [low.value + k for k in range(count)
             if not any(keysyms[k * width + level] for level in range(width))]
    x11.XFree(keysyms)
    # Unicode keysyms, as xdotool names the characters that have no keysym of their own.
    wanted = sorted({0x1000000 + ord(c) for c in text if ord(c) > 0x7e} - present)
    check(len(spare) >= len(wanted), "no spare keycodes for %d characters" % len(wanted))
    for keycode, keysym in zip(reversed(spare), wanted):
        x11.XChangeKeyboardMapping(display, keycode, 1, (ctypes.c_ulong * 1)(keysym), 1)
    x11.XSync(display, 0)
    x11.XCloseDisplay(display)


# ----- The sound -----

def tone_runs_of_bytes(data, rate, silence=128):
    """Tones of 8-bit data: every byte other than `silence` (as RhythmMeter does)."""
    runs, i, n = [], 0, len(data)
    while i < n:
        if data[i] == silence:
            i += 1
            continue
        start = i
        while i < n and data[i] != silence:
            i += 1
        runs.append((start * 1000.0 / rate, i * 1000.0 / rate))
    return runs


def compare_rhythm(meant, measured, tolerance_ms=1.0):
    """Edge, element and gap errors after lining up the first tone (as RhythmMeter does)."""
    n = min(len(meant), len(measured))
    report = {"expected": len(meant), "measured": len(measured), "max_edge_ms": 0.0,
              "max_gap_ms": 0.0, "stretched_gaps": 0, "duration_ratio": 0.0}
    if n == 0:
        return report
    offset = measured[0][0] - meant[0][0]
    for i in range(n):
        report["max_edge_ms"] = max(report["max_edge_ms"],
                                    abs(measured[i][0] - offset - meant[i][0]),
                                    abs(measured[i][1] - offset - meant[i][1]))
        if i + 1 < n:
            gap_error = ((measured[i + 1][0] - measured[i][1]) - (meant[i + 1][0] - meant[i][1]))
            report["max_gap_ms"] = max(report["max_gap_ms"], abs(gap_error))
            if gap_error > tolerance_ms:
                report["stretched_gaps"] += 1
    meant_length = meant[n - 1][1] - meant[0][0]
    report["duration_ratio"] = (measured[n - 1][1] - measured[0][0]) / meant_length
    return report


def print_first_difference(meant, measured):
    """The tones around the first one that is not where it was meant, to tell a tone split, lost
    or late from the rest lined up wrong. Times in ms from each one's first tone."""
    if not meant or not measured:
        return

    def shown(runs, i):
        if i >= len(runs):
            return "%20s" % "-"
        return "%8.2f .. %8.2f" % (runs[i][0] - runs[0][0], runs[i][1] - runs[0][0])

    def off(i):
        return any(abs((measured[i][edge] - measured[0][0]) - (meant[i][edge] - meant[0][0])) > 1.5
                   for edge in (0, 1))

    n = min(len(meant), len(measured))
    first = next((i for i in range(n) if off(i)), n)
    print("first tone off: %d; meant / heard:" % first)
    for i in range(max(0, first - 2), first + 3):
        print("  %3d  %s  /  %s" % (i, shown(meant, i), shown(measured, i)))


def rendered(text, multiplier):
    """The bytes the renderer plays for `text`: what the window must have played."""
    check(RENDERER and os.access(RENDERER, os.X_OK), "no renderer (CWT_RENDER=%r)" % RENDERER)
    source = os.path.join(WORK, "meant.txt")
    target = os.path.join(WORK, "meant.wav")
    with open(source, "w", encoding="utf-8") as out:
        out.write(text)
    subprocess.run([RENDERER, "--multiplier", str(multiplier), source, "-o", target],
                   check=True, timeout=60)
    with wave.open(target, "rb") as meant:
        return meant.readframes(meant.getnframes())


def cp949_count(text):
    """The status bar's character count: code page 949 bytes, every line with its CR LF."""
    count = len(text.encode("cp949")) + text.count("\n")
    return count if text.endswith("\n") else count + 2


# ----- The session -----

def session(program):
    begun = time.monotonic()
    window = program.window
    activate_window(program)
    memo = find(window, "송신 문장", R.ROLE_TEXT)
    start = find(window, "시작", R.ROLE_PUSH_BUTTON)
    stop = find(window, "멈춤", R.ROLE_PUSH_BUTTON)
    pause = find(window, "일시정지", R.ROLE_CHECK_BOX)
    record = find(window, "사운드녹음", R.ROLE_CHECK_BOX)
    random_groups = find(window, "무작위 5문자 생성", R.ROLE_CHECK_BOX)
    check(not checked(find(window, "PC Speaker", R.ROLE_CHECK_BOX)),
          "the program found no sound output")
    monitor = Monitor(os.path.join(WORK, "monitor.raw"))
    idle = lambda: enabled(start) and not enabled(stop)  # noqa: E731

    # The fastest speed, then the text: the welcome text selected and typed over.
    step = time.monotonic()
    bind_spare_keys(TEXT)
    pump(0.2)  # the program hears of the new map before the first key
    click(find(window, "x1", R.ROLE_RADIO_BUTTON))
    click(memo)
    xdotool("key", "--delay", "10", "Up", "Up", "Up", "Up", "Home",
            "shift+Down", "shift+Down", "shift+Down", "shift+End")
    xdotool("type", "--delay", "15", TEXT)
    try:
        wait_for(lambda: text_of(memo) == TEXT, 10, "the editor to hold the typed text")
    except TestFailure:
        raise TestFailure("the editor reads %r, not the typed %r" % (text_of(memo), TEXT))
    screenshot("01-typed")
    note("speed and text typed", step)

    # Start, Pause, resume, Stop.
    step = time.monotonic()
    click(start)
    wait_for(lambda: enabled(stop), 10, "the send to start")
    pump(0.8)
    click(pause)
    wait_for(lambda: checked(pause), 5, "the pause button to stay down")
    pump(0.4)  # the letter being played ends
    elapsed = status_panel(window, "진행시간").name
    paused_from = monitor.mark()
    pump(0.6)
    paused_to = monitor.mark()
    screenshot("02-paused")
    check(status_panel(window, "진행시간").name == elapsed,
          "the elapsed time ran on while paused: %s" % elapsed)
    check(enabled(stop) and not enabled(start), "pausing left the sending state")
    click(pause)
    wait_for(lambda: not checked(pause), 5, "the pause button to come up")
    pump(0.6)
    click(stop)
    wait_for(idle, 10, "Stop to end the send")
    sent_before_stop = status_panel(window, "진행부호수").name
    note("start, pause, resume, stop", step)

    # Record to a WAV file through the save dialog, then send the whole text again.
    step = time.monotonic()
    take = os.path.join(WORK, "take.wav")
    click(record)
    choose_file_in_dialog(program, take)
    try:
        wait_for(lambda: checked(record), 5, "the record button to stay down")
    except TestFailure:
        screenshot("failed-record")
        raise TestFailure("the record button came up (%r); the program shows %r; open dialogs: %s"
                          % (record.name, shown_messages(window), dialog_contents(program)))
    screenshot("03-recording")
    pump(1.2)  # silence before the send, so the monitor shows where it starts
    before = monitor.mark()
    server = ServerWatch()
    click(start)
    wait_for(lambda: enabled(stop), 10, "the send to start")
    wait_for(idle, 60, "the whole text to be sent")
    pump(1.2)
    after = monitor.mark()
    ran_dry, lost_cycles = server.ran_dry_and_went_on("Morse"), server.lost_cycles()
    server_said = ran_dry + lost_cycles
    print("during the recorded send the server logged the stream running dry and going on %d "
          "times and %d lost cycles" % (len(ran_dry), len(lost_cycles)))
    wait_for(lambda: not checked(record), 5, "the end of the send to end the recording")
    check(os.path.exists(take), "no recording at %s" % take)
    note("recorded send of the text", step)

    # Open a text file through the open dialog.
    step = time.monotonic()
    opened = os.path.join(WORK, "qrl.txt")
    with open(opened, "w", encoding="utf-8") as out:
        out.write(FILE_TEXT.replace(" ", "   ") + "\r\n")  # blanks that opening collapses
    click(find(window, "파일", R.ROLE_MENU_ITEM))
    open_item = wait_for(lambda: [a for a in walk(window) if a.name == "열    기"
                                  and a.getRole() == R.ROLE_MENU_ITEM
                                  and has_state(a, R.STATE_SHOWING)], 5, "the file menu")[0]
    click(open_item)
    choose_file_in_dialog(program, opened)
    wait_for(lambda: text_of(memo) == FILE_TEXT, 10, "the editor to show the file")
    screenshot("04-opened")
    note("text file opened", step)

    # A macro key: F1 appends its text and sends it.
    step = time.monotonic()
    activate_window(program)
    click(memo)
    xdotool("key", "F1")
    wait_for(lambda: enabled(stop), 10, "the macro to start a send")
    wait_for(idle, 30, "the macro's send to end")
    check(text_of(memo) == FILE_TEXT + "\n" + MACRO_F1, "the editor reads %r" % text_of(memo))
    macro_sent = status_panel(window, "진행부호수").name
    screenshot("05-macro")
    note("macro key F1", step)

    # Random groups for a few seconds.
    step = time.monotonic()
    click(random_groups)
    wait_for(lambda: checked(random_groups), 5, "random groups to start")
    pump(3.0)
    screenshot("06-random-groups")
    click(random_groups)
    wait_for(lambda: not checked(random_groups) and idle(), 15, "random groups to end")
    note("random groups", step)

    # Mouse keying on the big letter: clicks 250 ms apart, so every second press of each
    # button reaches the window as a double click.
    step = time.monotonic()
    point_at(find(window, "송신 문자", R.ROLE_LABEL))
    pump(0.3)
    keyed_from = monitor.mark()
    xdotool("click", "--repeat", "4", "--delay", "250", "1")
    pump(0.5)
    xdotool("click", "--repeat", "2", "--delay", "250", "3")
    pump(0.8)
    keyed_to = monitor.mark()
    note("mouse keying", step)
    pump(0.5)
    screenshot("07-end")
    samples = monitor.stop()

    # ----- What it all left -----
    text = text_of(memo)
    before_groups = FILE_TEXT + "\n" + MACRO_F1
    check(text.startswith(before_groups), "the editor reads %r" % text)
    # The first group joins the last line directly; ten to a line after that.
    groups = text[len(before_groups):]
    check(re.fullmatch(r"(?:[A-Z0-9.,?/=;:'\"()+-]{5}[ \n]?)+", groups),
          "the random groups read %r" % groups)
    count = status_panel(window, "문자수").name
    check(count == "문자수: %d" % cp949_count(text), "%r for the editor's %r" % (count, text))
    # The macro's send starts where the old text ended: its line break, then the digits.
    check(macro_sent == "진행부호수: %d" % (len(MACRO_F1) + 1), "after the macro: %r" % macro_sent)
    check(sent_before_stop != "진행부호수: 0", "nothing counted before Stop")

    meant = rendered(TEXT, 1)
    with wave.open(take, "rb") as recording:
        check((recording.getnchannels(), recording.getsampwidth(), recording.getframerate())
              == (1, 1, DEVICE_RATE), "the recording's format")
        recorded = recording.readframes(recording.getnframes())
    check(recorded == meant, "the recording (%d bytes) is not what the text sounds like (%d)"
          % (len(recorded), len(meant)))

    # At x1 with width 4 a unit is 13.6 ms: a dot sounds one unit, a dash three.
    keyed = tone_runs_of_samples(samples[keyed_from:keyed_to], MONITOR_RATE)
    lengths = ["%.1f" % (end - start) for start, end in keyed]
    dots = [run for run in keyed if run[1] - run[0] < 27.2]
    print("mouse keying: %d tones from the server (ms: %s)" % (len(keyed), ", ".join(lengths)))
    check(len(dots) == 4 and len(keyed) == 6,
          "four left and two right clicks gave %d dots of %d tones: %s" % (len(dots), len(keyed),
                                                                           lengths))

    paused_tones = tone_runs_of_samples(samples[paused_from:paused_to], MONITOR_RATE)
    check(not paused_tones, "%d tones sounded while paused" % len(paused_tones))
    print("paused: %.2f s of silence from the server" % ((paused_to - paused_from) / MONITOR_RATE))

    segment = samples[max(0, before - MONITOR_RATE // 4):after]
    report = compare_rhythm(tone_runs_of_bytes(meant, DEVICE_RATE),
                            tone_runs_of_samples(segment, MONITOR_RATE))
    print("recorded send through the server: %(measured)d of %(expected)d tones, edges within "
          "%(max_edge_ms).3f ms, gaps %(max_gap_ms).3f ms at most, %(stretched_gaps)d stretched "
          "gaps, duration ratio %(duration_ratio).5f" % report)
    print("recording: %d bytes (%.2f s of sound), monitor: %.1f s recorded"
          % (len(recorded), len(recorded) / DEVICE_RATE, len(samples) / MONITOR_RATE))
    exact = (report["measured"] == report["expected"] and report["max_edge_ms"] <= 1.5
             and report["stretched_gaps"] == 0)
    if not exact:
        print_first_difference(tone_runs_of_bytes(meant, DEVICE_RATE),
                               tone_runs_of_samples(segment, MONITOR_RATE))
    if not exact and server_said:
        # The machine held the program up until its stream ran dry, or the server mixed a cycle
        # without it: the sound broke, but not by the program's timing. The rhythm sound tests
        # judge that on a machine left alone.
        print("not judged: the sound server logged meanwhile:\n  " + "\n  ".join(server_said))
    else:
        check(report["measured"] == report["expected"], "tones: %r" % report)
        check(exact, "rhythm: %r" % report)
    print("whole session: %.1f s" % (time.monotonic() - begun))


if __name__ == "__main__":
    run(session)
