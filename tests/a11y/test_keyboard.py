"""The main window without a mouse, as a screen reader follows it: the program starts with
the editor focused, Tab alone reaches "시작" (through the live input box), Space on it sends
the editor's text through the sound server, and Tab goes on to the play display. Focus is
read through AT-SPI, the keys come from the X server.
"""

from atspi_tools import (activate_window, check, find, focused_object, has_state, pump, pyatspi,
                         run, status_panel, text_of, wait_for, xdotool)

R = pyatspi


def focus_after(program, key):
    xdotool("key", key)
    pump(0.2)
    return wait_for(lambda: focused_object(program.window), 5, "a focused control after " + key)


def describe(acc):
    return "%r (%s)" % (acc.name, acc.getRoleName())


def test(program):
    window = program.window
    memo = find(window, "송신 문장", R.ROLE_TEXT)
    memo.queryEditableText().setTextContents("EE")
    activate_window(program)
    wait_for(lambda: has_state(memo, R.STATE_FOCUSED), 10, "the editor to have the focus")

    path = []
    for _ in range(2):
        path.append(focus_after(program, "Tab"))
    check([(a.name, a.getRole()) for a in path] == [("실시간 입력", R.ROLE_TEXT),
                                                    ("시작", R.ROLE_PUSH_BUTTON)],
          "Tab from the editor went to %s" % ", ".join(describe(a) for a in path))

    start = path[-1]
    stop = find(window, "멈춤", R.ROLE_PUSH_BUTTON)
    xdotool("key", "space")
    wait_for(lambda: not has_state(start, R.STATE_ENABLED) or has_state(stop, R.STATE_ENABLED),
             10, "Space on 시작 to start the send")
    wait_for(lambda: has_state(start, R.STATE_ENABLED), 60, "the send to end")
    count = status_panel(window, "진행부호수").name
    check(count == "진행부호수: 2", "after Space on 시작 the status bar reads %r" % count)
    check(text_of(find(window, "송신 표시", R.ROLE_TEXT)) == "|E|E", "the play display")

    # The editor has the focus back after the send; Tab finds Start again, then goes on.
    wait_for(lambda: has_state(memo, R.STATE_FOCUSED), 10, "the editor to have the focus back")
    names = [focus_after(program, "Tab").name for _ in range(3)]
    check(names == ["실시간 입력", "시작", "송신 표시"], "Tab after the send went to %r" % names)


run(test)
