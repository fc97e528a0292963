"""The main window as a screen reader meets it: every control is found by its name and role,
no control the operator can see is nameless, Start pressed through its accessible action sends
a short text through the sound server, and afterwards the status bar's "진행부호수" panel and
the play display read back what was sent. While the text sounds, the letter display and the
sign line announce every character, as a screen reader follows them.
"""

from atspi_tools import (EventLog, check, find, has_state, homepage_shown, press, pump, pyatspi,
                         run, showing, status_panel, text_of, wait_for, walk)

R = pyatspi

# Every control of the main window that the operator can see, by name and role.
CONTROLS = [
    ("소리 주파수", R.ROLE_SLIDER), ("소리주파수 컷", R.ROLE_SLIDER), ("기울기", R.ROLE_SLIDER),
    ("음폭", R.ROLE_SPIN_BUTTON), ("음색", R.ROLE_SPIN_BUTTON),
    ("음 종류", R.ROLE_PANEL), ("배수", R.ROLE_PANEL), ("무작위 5문자 생성", R.ROLE_PANEL),
    ("사운드녹음", R.ROLE_CHECK_BOX), ("무작위 5문자 생성", R.ROLE_CHECK_BOX),
    ("송신 문자", R.ROLE_LABEL), ("송신 부호", R.ROLE_LABEL), ("송신 부호 그림", R.ROLE_LABEL),
    ("PC Speaker", R.ROLE_CHECK_BOX), ("마스타볼륨", R.ROLE_SLIDER),
    (homepage_shown(), R.ROLE_LINK),
    ("송신 문장", R.ROLE_TEXT), ("실시간 입력", R.ROLE_TEXT), ("송신 표시", R.ROLE_TEXT),
    ("시작", R.ROLE_PUSH_BUTTON), ("멈춤", R.ROLE_PUSH_BUTTON), ("일시정지", R.ROLE_CHECK_BOX),
    ("Function", R.ROLE_PANEL), ("상태 표시줄", R.ROLE_STATUS_BAR),
]
CONTROLS += [(item, R.ROLE_RADIO_BUTTON) for item in ["M1", "M2", "M3", "M4"]]
CONTROLS += [("x%d" % n, R.ROLE_RADIO_BUTTON) for n in range(1, 11)]
CONTROLS += [(item, R.ROLE_RADIO_BUTTON) for item in ["문자", "숫자", "문자,숫자"]]
# VE is never shown: it cannot be sent from the box.
CONTROLS += [(sign, R.ROLE_PUSH_BUTTON)
             for sign in ["VVV", "AR", "AS", "BK", "BT", "HH", "KA", "KN", "K", "VA", "I I"]]

# Roles of things an operator acts on or reads; none of them may be nameless.
NAMED_ROLES = {R.ROLE_PUSH_BUTTON, R.ROLE_CHECK_BOX, R.ROLE_RADIO_BUTTON, R.ROLE_SLIDER,
               R.ROLE_SPIN_BUTTON, R.ROLE_TEXT, R.ROLE_LINK, R.ROLE_TABLE, R.ROLE_COMBO_BOX,
               R.ROLE_STATUS_BAR, R.ROLE_PANEL}

# A short text: two letters, a word space and a sign. The sign line shows only signs and
# Hangul letters, so the sign is what makes it speak.
TEXT = "TE [AR]"
LETTERS_SENT = 3  # T, E and the word space; a sign is not counted
PLAY_DISPLAY = "|T|E| |[AR]"  # one cell per unit sent


def every_control_by_name_and_role(window):
    for name, role in CONTROLS:
        find(window, name, role)
    nameless = [a.getRoleName() for a in walk(window)
                if showing(a) and a.getRole() in NAMED_ROLES and not a.name]
    check(not nameless, "controls without a name: %s" % nameless)


def inserted_texts(events, source_name):
    """What `source_name` announced as inserted, a repeat of the same text counted once."""
    texts = []
    for event in events.of(source_name, "object:text-changed:insert"):
        if not texts or texts[-1] != event[4]:
            texts.append(event[4])
    return texts


def test(program):
    window = program.window
    every_control_by_name_and_role(window)

    memo = find(window, "송신 문장", R.ROLE_TEXT)
    memo.queryEditableText().setTextContents(TEXT)
    wait_for(lambda: text_of(memo) == TEXT, 5, "the editor to hold the text")

    events = EventLog("object:text-changed", "object:property-change:accessible-name")
    start = find(window, "시작", R.ROLE_PUSH_BUTTON)
    stop = find(window, "멈춤", R.ROLE_PUSH_BUTTON)
    press(start)
    wait_for(lambda: has_state(stop, R.STATE_ENABLED), 10, "the send to start")
    wait_for(lambda: not has_state(stop, R.STATE_ENABLED)
             and has_state(start, R.STATE_ENABLED), 60, "the send to end")
    pump(0.5)  # the last announcements

    count = status_panel(window, "진행부호수")
    check(count.name == "진행부호수: %d" % LETTERS_SENT,
          "the status panel reads %r after sending %r" % (count.name, TEXT))
    shown = text_of(find(window, "송신 표시", R.ROLE_TEXT))
    check(shown == PLAY_DISPLAY, "the play display reads %r" % shown)

    letters = inserted_texts(events, "송신 문자")
    check(letters[:3] == ["T", "E", " "] and "A" in letters and "R" in letters,
          "the letter display announced %r" % letters)
    signs = inserted_texts(events, "송신 부호")
    check("AR" in signs, "the sign line announced %r" % signs)
    check(inserted_texts(events, "해독 메모"), "the transcript announced nothing")
    panels = [e for e in events.events if str(e[0]).startswith("object:text-changed:insert")
              and e[2] == R.ROLE_LABEL and str(e[4]).startswith("진행부호수")]
    check(len(panels) >= LETTERS_SENT, "the status panel announced %d changes" % len(panels))
    events.close()


run(test)
