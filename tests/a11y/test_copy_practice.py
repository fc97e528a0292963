"""Copy practice as a screen reader meets it: "수신 연습" opened from the menu "연습" through
the menu item's accessible action, its controls found by name, a session of three items in
lesson 1 started with "연습 시작", each item copied right with the keyboard, and the score
label read back as "점수: 100%"; then a single five-character item copied with one wrong
character reads "점수: 80%".

What each item was is learned the way an operator with the transcript window open would:
from "해독 메모", the letters decoded from the sound the program played. So the test also
shows that the items sound as the letters they are scored against.
"""

import subprocess
import time

from atspi_tools import (check, choose_menu_item, find, has_state, press, pump, pyatspi, run,
                         text_of, wait_for, walk, xdotool)

R = pyatspi
PRACTICE = "수신 연습"


def focus_window(program, caption):
    """Gives a window of the program the keyboard focus (there is no window manager)."""
    result = subprocess.run(["xdotool", "search", "--sync", "--onlyvisible", "--pid",
                             str(program.process.pid), "--name", "."],
                            capture_output=True, text=True, timeout=10)
    windows = [w for w in result.stdout.split()
               if subprocess.run(["xdotool", "getwindowname", w], capture_output=True,
                                 text=True, timeout=10).stdout.strip() == caption]
    check(len(windows) == 1, "xdotool finds %d windows %r" % (len(windows), caption))
    xdotool("windowfocus", "--sync", windows[0])


def set_value(acc, value):
    acc.queryValue().currentValue = value
    wait_for(lambda: abs(acc.queryValue().currentValue - value) < 0.01, 5,
             "%s to read %s" % (acc.name, value))


def labelled_by(acc):
    """The names of the labels that label `acc` (Qt names a combo box by its current item on
    Linux and gives its label as a relation, which screen readers read with it)."""
    names = []
    for relation in acc.getRelationSet():
        if relation.getRelationType() == R.RELATION_LABELLED_BY:
            names += [relation.getTarget(i).name for i in range(relation.getNTargets())]
    return names


def combo_box(frame, label):
    boxes = [a for a in walk(frame) if a.getRole() == R.ROLE_COMBO_BOX and label in labelled_by(a)]
    check(len(boxes) == 1, "expected one combo box labelled %r, found %d" % (label, len(boxes)))
    return boxes[0]


def score_label(frame):
    labels = [a for a in walk(frame) if a.getRole() == R.ROLE_LABEL and a.name.startswith("점수:")]
    check(len(labels) == 1, "expected one score label, found %d" % len(labels))
    return labels[0]


def transcript_letters(memo):
    return [line for line in text_of(memo).splitlines() if line.strip()]


def copy_items(program, frame, memo, start, count, wrong_in=None):
    """Presses `start` and copies `count` items as they sound, one character wrong in item
    `wrong_in`."""
    progress = find(frame, "진행", R.ROLE_LABEL)
    answer = find(frame, "받아 적기", R.ROLE_TEXT)
    # Where an item's letters begin in the transcript is read before anything can start it:
    # the first item sounds as the press is taken, each later one after the Enter of the one
    # before. Read afterwards, a slow look-up of the window's controls may already find
    # letters of the item there.
    before = len(transcript_letters(memo))
    press(start)
    for index in range(count):
        wait_for(lambda: text_of(progress).startswith("문제 %d/%d" % (index + 1, count))
                 and text_of(progress).endswith("Enter"), 30, "item %d to sound" % (index + 1))
        # Each letter is written to the transcript as it is handed to the sound server, before
        # the next one goes, so the prompt comes after the item's last letter.
        prompted = time.monotonic()
        try:
            wait_for(lambda: len(transcript_letters(memo)) - before >= 5, 5,
                     "item %d's five letters in the transcript" % (index + 1))
        except Exception:
            print("transcript: %r (item %d begins after line %d)" % (text_of(memo), index + 1,
                                                                      before))
            raise
        print("item %d: transcript complete %.0f ms after the prompt"
              % (index + 1, 1000 * (time.monotonic() - prompted)))
        pump(0.1)  # nothing more comes
        letters = transcript_letters(memo)
        item = "".join(letters[before:])
        check(len(item) == 5 and set(item) <= {"K", "M"},
              "item %d was heard as %r" % (index + 1, item))
        if index == wrong_in:
            item = item[:2] + ("M" if item[2] == "K" else "K") + item[3:]
        wait_for(lambda: has_state(answer, R.STATE_FOCUSED), 10, "the answer box to have the focus")
        xdotool("type", "--delay", "20", item.lower())
        before = len(transcript_letters(memo))
        check(before == len(letters), "letters came after item %d had ended: %r"
              % (index + 1, transcript_letters(memo)[len(letters):]))
        xdotool("key", "Return")


def test(program):
    window = program.window
    # The fastest speed, so that each item takes about a second.
    press(find(window, "x1", R.ROLE_RADIO_BUTTON), "Toggle")
    choose_menu_item(program, "해독 메모 보기")
    memo = find(wait_for(lambda: program.frame("해독 메모"), 10, "the transcript window"),
                "해독 메모", R.ROLE_TEXT)

    choose_menu_item(program, PRACTICE)
    frame = wait_for(lambda: program.frame(PRACTICE), 10, "the copy-practice window")
    check(combo_box(frame, "과정").name == "영문 Koch", "the course is not 영문 Koch")
    check(combo_box(frame, "문제 종류").name == "다섯 글자 묶음", "the items are not groups")
    for name, role in [("단계", R.ROLE_SPIN_BUTTON), ("문제 수", R.ROLE_SPIN_BUTTON),
                       ("유효 속도", R.ROLE_SPIN_BUTTON), ("연습 시작", R.ROLE_PUSH_BUTTON),
                       ("연습 멈춤", R.ROLE_PUSH_BUTTON), ("받아 적기", R.ROLE_TEXT),
                       ("결과", R.ROLE_LABEL)]:
        find(frame, name, role)
    charts = [a.name for a in walk(frame) if a.name in ("점수 그래프", "글자별 정확도 그래프")]
    check(sorted(charts) == ["글자별 정확도 그래프", "점수 그래프"], "the plot's charts: %r" % charts)
    check(find(frame, "단계", R.ROLE_SPIN_BUTTON).queryValue().currentValue == 1,
          "the practice starts in lesson 1")
    set_value(find(frame, "문제 수", R.ROLE_SPIN_BUTTON), 3)
    set_value(find(frame, "유효 속도", R.ROLE_SPIN_BUTTON), 150)  # the character speed
    focus_window(program, PRACTICE)

    start = find(frame, "연습 시작", R.ROLE_PUSH_BUTTON)
    copy_items(program, frame, memo, start, 3)
    wait_for(lambda: has_state(start, R.STATE_ENABLED), 30, "the session to end")
    score = score_label(frame).name
    check(score == "점수: 100%", "after three right copies the score reads %r" % score)

    set_value(find(frame, "문제 수", R.ROLE_SPIN_BUTTON), 1)
    copy_items(program, frame, memo, start, 1, wrong_in=0)
    wait_for(lambda: has_state(start, R.STATE_ENABLED), 30, "the second session to end")
    score = score_label(frame).name
    check(score == "점수: 80%", "one wrong character of five reads %r" % score)
    result = text_of(find(frame, "결과", R.ROLE_LABEL))
    check("틀림 1" in result, "the result reads %r" % result)


run(test)
