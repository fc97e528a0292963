"""The macro editor as a screen reader meets it: opened from the main window's menu through
the menu item's accessible action, its grid is a table whose column titles and cells read
the macros of the first run, Tab goes from the grid to 저장 and 닫기, and Space on 닫기
closes the window.
"""

from atspi_tools import (check, find, has_state, menu_item, press, pump, pyatspi, run, wait_for,
                         walk, xdotool)

R = pyatspi


def focused_in(frame):
    return next((a for a in walk(frame) if has_state(a, R.STATE_FOCUSED)), None)


def test(program):
    item = menu_item(program, "매크로 정의")
    action = item.queryAction()
    press(item, action.getName(0))
    editor = wait_for(lambda: program.frame("매크로 정의"), 10, "the macro editor window")

    table = find(editor, "매크로 목록", R.ROLE_TABLE).queryTable()
    titles = [table.getColumnHeader(c).name for c in range(table.nColumns)]
    check(titles == ["매크로", "매크로 정의"], "the grid's column titles read %r" % titles)
    rows = [[table.getAccessibleAt(r, c).name for c in range(table.nColumns)]
            for r in range(table.nRows)]
    check(["F1", "34567"] in rows and ["@F1", "123456"] in rows,
          "the grid's cells read %r" % rows)

    # The grid has the focus when the window opens; Tab reaches the two buttons.
    wait_for(lambda: focused_in(editor) is not None
             and focused_in(editor).getRole() == R.ROLE_TABLE, 10, "the grid to have the focus")
    stops = []
    for _ in range(2):
        xdotool("key", "Tab")
        pump(0.2)
        stops.append(wait_for(lambda: focused_in(editor), 5, "a focused control").name)
    check(stops == ["저장", "닫기"], "Tab from the grid went to %r" % stops)
    xdotool("key", "space")
    wait_for(lambda: program.frame("매크로 정의") is None
             or not has_state(program.frame("매크로 정의"), R.STATE_SHOWING),
             10, "Space on 닫기 to close the editor")


run(test)
