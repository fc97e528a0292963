"""Every window as a screen reader meets it: each one the menus open is announced as a window
(a frame or a dialog) named by its title, as the main window is, never as a bare filler or
under a placeholder name. The link label and the About box name the program's own homepage,
the one its AppStream file gives.
"""

from atspi_tools import (check, choose_menu_item, find, homepage_shown, pyatspi, run, showing,
                         text_of, wait_for, walk)

R = pyatspi
WINDOW_ROLES = (R.ROLE_FRAME, R.ROLE_DIALOG)

# Menu item, the title of the window it opens, and how it is announced.
WINDOWS = [
    ("모스 코드표", "모스 코드표", WINDOW_ROLES),
    ("해독 메모 보기", "해독 메모", WINDOW_ROLES),
    ("볼륨 조절", "Volume Control", WINDOW_ROLES),
    ("매크로 정의", "매크로 정의", WINDOW_ROLES),
    ("키잉 설정", "키잉 설정", WINDOW_ROLES),
    ("수신 연습", "수신 연습", WINDOW_ROLES),
    ("수신 해독", "수신 해독", WINDOW_ROLES),
    # A message box: a dialog that screen readers read out as it opens.
    ("About", "About", (R.ROLE_ALERT,)),
]


def top_level(program):
    return [program.app.getChildAtIndex(i) for i in range(program.app.childCount)]


def shown_window(program, title):
    for window in top_level(program):
        if window is not None and window.name == title and showing(window):
            return window
    return None


def test(program):
    check(program.window.getRole() == R.ROLE_FRAME,
          "the main window is a %s" % program.window.getRoleName())
    for item, title, roles in WINDOWS:
        choose_menu_item(program, item)
        window = wait_for(lambda: shown_window(program, title), 10, "the window %r" % title)
        check(window.getRole() in roles,
              "%r is announced as a %s, not as a window" % (title, window.getRoleName()))

    # With every window open: each top-level object is a window with a name.
    for window in top_level(program):
        if window is None or not showing(window):
            continue
        check(window.getRole() in WINDOW_ROLES + (R.ROLE_ALERT,) and window.name,
              "a window is announced as a %s named %r" % (window.getRoleName(), window.name))
        check(window.name != "Form2", "a window is still called Form2")

    shown = homepage_shown()
    link = find(program.window, shown, R.ROLE_LINK)
    check("CW Tamarik" in link.description,
          "the link's hint %r does not name the program" % link.description)
    about = shown_window(program, "About")
    texts = [text_of(a) for a in walk(about) if a.getRole() == R.ROLE_LABEL and showing(a)]
    check(any(shown in text and "CW Tamarik" in text for text in texts),
          "the About box reads %r" % texts)


run(test)
