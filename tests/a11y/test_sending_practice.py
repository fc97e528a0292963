"""Sending practice as a screen reader and a keyboard meet it: "송신 연습" opened from the menu
"연습" through the menu item's accessible action; every control found by its name; Tab from the
first control reaches every one of them, each with a name; Space on "키잉 시작" starts keying,
after which Left and Right Ctrl (pressed by the X server, as a USB paddle adapter presses them)
key the paddle and move no focus; Escape stops, and the focus goes back to "키잉 시작".
"""

from atspi_tools import (check, find, focus_window, focused_object, has_state, menu_item, press,
                         pump, pyatspi, run, wait_for, walk, xdotool)

R = pyatspi
SENDING = "송신 연습"

# Every control the operator uses, by name and role, in the order Tab reaches them (those that
# belong to the serial port are disabled while the keyboard is the input, and Tab skips them).
TAB_ORDER = [("입력", R.ROLE_COMBO_BOX), ("키", R.ROLE_COMBO_BOX),
             ("스트레이트 키", R.ROLE_PUSH_BUTTON), ("방식", R.ROLE_COMBO_BOX),
             ("속도", R.ROLE_SPIN_BUTTON), ("무게", R.ROLE_SPIN_BUTTON),
             ("단점 기억", R.ROLE_CHECK_BOX), ("장점 기억", R.ROLE_CHECK_BOX),
             ("자동 문자 간격", R.ROLE_CHECK_BOX), ("패들 좌우 바꿈", R.ROLE_CHECK_BOX),
             ("종류", R.ROLE_COMBO_BOX), ("과정", R.ROLE_COMBO_BOX),
             ("키잉 시작", R.ROLE_PUSH_BUTTON), ("송신", R.ROLE_CHECK_BOX)]


def names_of(acc):
    """The control's name and the names of the labels that label it: Qt names a combo box by
    its current item on Linux and gives its label as a relation."""
    names = {acc.name}
    for relation in acc.getRelationSet():
        if relation.getRelationType() == R.RELATION_LABELLED_BY:
            for i in range(relation.getNTargets()):
                label = relation.getTarget(i)
                if label.getRole() == R.ROLE_LABEL:  # not the group box around it
                    names.add(label.name)
    return names


def control(frame, name, role):
    found = [a for a in walk(frame) if a.getRole() == role and name in names_of(a)]
    check(len(found) == 1, "expected one %s named %r, found %d" % (role, name, len(found)))
    return found[0]


def focused(frame):
    return wait_for(lambda: focused_object(frame), 5, "a focused control")


def describe(acc):
    return "%r (%s)" % (acc.name, acc.getRoleName())


def test(program):
    item = menu_item(program, SENDING)
    press(item, item.queryAction().getName(0))
    frame = wait_for(lambda: program.frame(SENDING), 10, "the sending-practice window")
    for name, role in TAB_ORDER + [("멈춤", R.ROLE_PUSH_BUTTON), ("새 글", R.ROLE_PUSH_BUTTON),
                                   ("포트", R.ROLE_COMBO_BOX), ("단계", R.ROLE_SPIN_BUTTON),
                                   ("개수", R.ROLE_SPIN_BUTTON)]:
        control(frame, name, role)
    for name in ("보낼 글", "진행", "송신 상태", "연습 기록", "받은 글", "결과", "타이밍 띠",
                 "송신 연습 그래프"):
        check(any(a.name == name for a in walk(frame)), "nothing is named %r" % name)

    # From the first control, Tab goes through them all, each with a name.
    focus_window(program, SENDING)
    first = control(frame, "입력", R.ROLE_COMBO_BOX)
    first.queryComponent().grabFocus()
    wait_for(lambda: has_state(first, R.STATE_FOCUSED), 5, "입력 to have the focus")
    path = [focused(frame)]
    while len(path) < 40:
        xdotool("key", "Tab")
        pump(0.15)
        here = focused(frame)
        check(any(names_of(here)), "Tab reached a control without a name: %s" % describe(here))
        if here.name == "송신" and here.getRole() == R.ROLE_CHECK_BOX:
            path.append(here)
            break
        path.append(here)
    missing = [name for name, role in TAB_ORDER
               if not any(a.getRole() == role and name in names_of(a) for a in path)]
    check(not missing, "Tab never reached %r (it went %s)" % (
        missing, ", ".join(describe(a) for a in path)))

    # Keying: Space on 키잉 시작; the paddle's keys then key and leave the focus where it is.
    start = find(frame, "키잉 시작", R.ROLE_PUSH_BUTTON)
    start.queryComponent().grabFocus()
    wait_for(lambda: has_state(start, R.STATE_FOCUSED), 5, "키잉 시작 to have the focus")
    xdotool("key", "space")
    stop = find(frame, "멈춤", R.ROLE_PUSH_BUTTON)
    wait_for(lambda: has_state(stop, R.STATE_ENABLED), 5, "keying to start")
    before = focused(frame)
    check(before.name == "받은 글", "keying put the focus on %s" % describe(before))
    for key in ("Control_L", "Control_R", "Control_L"):
        xdotool("keydown", key)
        pump(0.12)
        xdotool("keyup", key)
        pump(0.25)
    after = focused(frame)
    check(after.name == before.name, "the paddle moved the focus to %s" % describe(after))
    xdotool("key", "Escape")
    wait_for(lambda: has_state(start, R.STATE_ENABLED), 5, "Escape to stop keying")
    wait_for(lambda: has_state(start, R.STATE_FOCUSED), 5, "키잉 시작 to have the focus back")


run(test)
