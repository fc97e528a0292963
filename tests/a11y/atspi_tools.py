"""What the screen-reader tests share: starting the program, finding it on the AT-SPI
desktop, walking its tree, reading texts and states, pressing through actions, keys
through xdotool, and events as a screen reader receives them.

Run inside tests/a11y/run.sh, which provides the display, the buses and the sound server.
"""

import os
import re
import subprocess
import sys
import time

import pyatspi
from gi.repository import GLib

MAIN_CAPTION = "CW Tamarik - 타마릭"


def homepage():
    """The program's homepage, as its AppStream file names it."""
    path = os.path.join(os.environ["CWT_SOURCE_DIR"], "resources",
                        "io.github.cwtamarik.CwTamarik.metainfo.xml")
    with open(path, encoding="utf-8") as metainfo:
        return re.search(r'<url type="homepage">([^<]+)</url>', metainfo.read()).group(1)


def homepage_shown():
    """The homepage as the link label shows it: without the scheme and a trailing slash."""
    return re.sub(r"^https?://", "", homepage()).rstrip("/")


class TestFailure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise TestFailure(message)


def pump(seconds=0.0):
    """Lets events arrive (pyatspi hands them over in the GLib main loop)."""
    context = GLib.MainContext.default()
    end = time.monotonic() + seconds
    while True:
        while context.pending():
            context.iteration(False)
        if time.monotonic() >= end:
            return
        time.sleep(0.01)


def wait_for(predicate, timeout, what):
    """Polls `predicate` until it returns a true value, which is returned."""
    end = time.monotonic() + timeout
    last_error = None
    while time.monotonic() < end:
        try:
            value = predicate()
            if value:
                return value
        except TestFailure:
            raise
        except Exception as error:  # the tree may change under our feet; ask again
            last_error = error
        pump(0.05)
    raise TestFailure("timed out waiting for %s%s" % (what, "" if last_error is None else " (%s)" % last_error))


class Program:
    """The program under test, started with its output kept for the failure report."""

    def __init__(self, path):
        work = os.environ.get("CWT_A11Y_WORK", "/tmp")
        self.log_path = os.path.join(work, "program.log")
        self.log = open(self.log_path, "w")
        self.process = subprocess.Popen([path], stdout=self.log, stderr=subprocess.STDOUT)
        self.app = wait_for(self._application, 30, "the program on the AT-SPI desktop")
        self.window = wait_for(lambda: self.frame(MAIN_CAPTION), 20, "the main window")

    def _application(self):
        status = self.process.poll()
        if status is not None:
            raise TestFailure("the program ended at start-up with status %d" % status)
        desktop = pyatspi.Registry.getDesktop(0)
        for i in range(desktop.childCount):
            app = desktop.getChildAtIndex(i)
            if app is not None and app.get_process_id() == self.process.pid:
                return app
        return None

    def frame(self, caption):
        for i in range(self.app.childCount):
            child = self.app.getChildAtIndex(i)
            if child is not None and child.name == caption:
                return child
        return None

    def close(self):
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(5)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        self.log.close()

    def output(self):
        with open(self.log_path, errors="replace") as log:
            return log.read()


def walk(root, depth=0, max_depth=40):
    """Every object under `root`, depth first, `root` included."""
    if root is None or depth > max_depth:
        return
    yield root
    # Tables list one child per cell; their cells are read through the table itself.
    if root.getRole() == pyatspi.ROLE_TABLE:
        return
    for i in range(root.childCount):
        yield from walk(root.getChildAtIndex(i), depth + 1, max_depth)


def role_name(acc):
    return acc.getRoleName()


def has_state(acc, state):
    return acc.getState().contains(state)


def showing(acc):
    return has_state(acc, pyatspi.STATE_SHOWING)


def find(root, name, role, visible_only=True):
    """The one object under `root` with this name and role."""
    found = [a for a in walk(root)
             if a.name == name and a.getRole() == role and (showing(a) or not visible_only)]
    check(len(found) == 1, "expected one %s named %r, found %d" % (
        pyatspi.Role(role).value_nick if hasattr(pyatspi.Role(role), "value_nick") else role,
        name, len(found)))
    return found[0]


def status_panel(window, prefix):
    """The status bar's panel whose text starts with `prefix`."""
    bar = find(window, "상태 표시줄", pyatspi.ROLE_STATUS_BAR)
    panels = [a for a in walk(bar) if a.getRole() == pyatspi.ROLE_LABEL and a.name.startswith(prefix)]
    check(len(panels) == 1, "expected one status panel %r, found %d" % (prefix, len(panels)))
    return panels[0]


def text_of(acc):
    text = acc.queryText()
    return text.getText(0, text.characterCount)


def press(acc, action_name="Press"):
    action = acc.queryAction()
    names = [action.getName(i) for i in range(action.nActions)]
    check(action_name in names, "%r offers no %s action (it offers %s)" % (acc.name, action_name, names))
    action.doAction(names.index(action_name))


def menu_item(program, caption):
    """The one item of the main window's menus with this caption."""
    items = [a for a in walk(program.window)
             if a.getRole() == pyatspi.ROLE_MENU_ITEM and a.name == caption]
    check(len(items) == 1, "expected one menu item %r, found %d" % (caption, len(items)))
    return items[0]


def choose_menu_item(program, caption):
    """Chooses a menu item through its accessible action, as a screen reader does."""
    item = menu_item(program, caption)
    press(item, item.queryAction().getName(0))


def focused_object(root):
    for acc in walk(root):
        if has_state(acc, pyatspi.STATE_FOCUSED):
            return acc
    return None


def xdotool(*args):
    subprocess.run(["xdotool"] + list(args), check=True, timeout=10)


def focus_window(program, caption):
    """Gives the program's window with this caption the keyboard focus (there is no window
    manager) and returns its X window id."""
    result = subprocess.run(["xdotool", "search", "--sync", "--onlyvisible", "--pid",
                             str(program.process.pid), "--name", "."],
                            capture_output=True, text=True, timeout=10)
    windows = [w for w in result.stdout.split()
               if subprocess.run(["xdotool", "getwindowname", w], capture_output=True,
                                 text=True, timeout=10).stdout.strip() == caption]
    check(len(windows) == 1, "xdotool finds %d windows %r" % (len(windows), caption))
    xdotool("windowfocus", "--sync", windows[0])
    return windows[0]


def activate_window(program):
    """Gives the program's main window the keyboard focus (there is no window manager)."""
    result = subprocess.run(["xdotool", "search", "--sync", "--onlyvisible", "--pid",
                             str(program.process.pid), "--name", MAIN_CAPTION],
                            capture_output=True, text=True, timeout=10)
    windows = result.stdout.split()
    check(windows, "xdotool finds no window of the program")
    xdotool("windowfocus", "--sync", windows[0])


class EventLog:
    """Events as a screen reader receives them, with the name and role of their source."""

    def __init__(self, *event_types):
        self.events = []
        self.event_types = event_types
        for event_type in event_types:
            pyatspi.Registry.registerEventListener(self._record, event_type)
        pump(0.3)  # the program learns of the listeners through the registry

    def _record(self, event):
        try:
            source_name = event.source.name
            source_role = event.source.getRole()
        except Exception:
            source_name, source_role = None, None
        self.events.append((event.type, source_name, source_role, event.detail1, event.any_data))

    def of(self, source_name, type_prefix):
        return [e for e in self.events if e[1] == source_name and str(e[0]).startswith(type_prefix)]

    def close(self):
        for event_type in self.event_types:
            pyatspi.Registry.deregisterEventListener(self._record, event_type)


def run(test_function):
    """Runs one test with the program; prints the outcome and exits with its status."""
    program = None
    try:
        program = Program(sys.argv[1])
        test_function(program)
    except (TestFailure, Exception) as failure:
        print("FAIL:", repr(failure) if not isinstance(failure, TestFailure) else failure)
        if program is not None:
            print("--- program output ---")
            print(program.output())
        elif os.path.exists(os.path.join(os.environ.get("CWT_A11Y_WORK", "/nonexistent"), "program.log")):
            with open(os.path.join(os.environ["CWT_A11Y_WORK"], "program.log"), errors="replace") as log:
                print("--- program output ---")
                print(log.read())
        sys.exit(1)
    finally:
        if program is not None:
            program.close()
    print("PASS")
    sys.exit(0)
