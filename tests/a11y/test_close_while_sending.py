"""Closing the real program while a macro sends: F1 (the first run's "34567", sent at once)
starts the send through the sound server, and once two letters have gone, "종    료" is chosen
from the menu through its accessible action. The program must be gone within a second, not
after the letter being played or a replay of the macro's line.
"""

import time

from atspi_tools import (activate_window, check, choose_menu_item, run, status_panel, wait_for,
                         xdotool)

# Two letters sent: the third has begun.
THIRD_LETTER = "진행부호수: 3"
GONE_WITHIN_S = 1.0


def test(program):
    activate_window(program)
    xdotool("key", "F1")
    wait_for(lambda: status_panel(program.window, "진행부호수").name == THIRD_LETTER, 30,
             "the macro's third letter")
    closed_at = time.monotonic()
    choose_menu_item(program, "종    료")
    end = closed_at + 5
    while program.process.poll() is None and time.monotonic() < end:
        time.sleep(0.01)
    gone_after = time.monotonic() - closed_at
    check(program.process.poll() is not None, "the program still runs 5 s after closing")
    check(gone_after < GONE_WITHIN_S, "the program ended %.2f s after closing" % gone_after)
    check(program.process.returncode == 0,
          "the program ended with status %d" % program.process.returncode)
    print("gone %.0f ms after closing" % (gone_after * 1000))


run(test)
