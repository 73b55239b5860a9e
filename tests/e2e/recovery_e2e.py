#!/usr/bin/env python3
"""Whole-program test of recovery after the program is killed: a wall changed (a green cart, a
queued cart) and a cart on air, then kill -9. At the next start the program asks whether to
recover the wall; OK brings the carts, the block and the changed flag back and nothing plays,
while the play that was on air is in the day's log, closed as "crash". "Sair" removes the
journal."""

import csv
import glob
import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from bandora_e2e import (CONFIRM_TITLE, DEFAULT_FACE, Shot, answer, main, near,  # noqa: E402
                         wait_for)

JOURNAL = "bandorajournal.txt"
GREEN = (0, 160, 0)


def journal_holds(s, text):
    try:
        return text.encode() in s.read(JOURNAL)
    except OSError:
        return False


def log_rows(s):
    rows = []
    for day in sorted(glob.glob(s.path("LOG", "*.csv"))):
        with open(day, newline="", encoding="utf-8") as f:
            rows.extend(list(csv.reader(f))[1:])
    return rows


def scenario(s):
    wall = s.start()
    jingle = s.tone("jingle.wav", 440, 20000)
    wall.insert(2, jingle, GREEN)
    wall.insert(3, s.tone("bed.wav", 660, 2000))
    wall.click(2)  # on air (a click with carts in the block would play the block instead)
    wall.click(3, shift=True)
    wait_for(lambda: journal_holds(s, "bed.wav") and journal_holds(s, "block=3\n"), 5,
             "the journal to hold both carts and the block")
    time.sleep(1.5)  # the open play's position is brought up to date meanwhile
    wall.proc.kill()
    wall.proc.wait()
    s.check(os.path.exists(s.path(JOURNAL)), "kill -9 leaves the journal")

    wall = s.start()
    answer(CONFIRM_TITLE, "Return")  # "Recuperar a parede?": OK
    time.sleep(0.5)
    shot = Shot()
    s.check(near(shot.cart_face(2), GREEN), "cart 2 is green again (%s)" % (shot.cart_face(2),))
    s.check(shot.cart_badge_red(3) > 8, "cart 3 is queued again")
    s.check(shot.cart_frame_red(2) < 3 and near(shot.cart_face(5), DEFAULT_FACE),
            "nothing plays by itself, and empty carts stay empty")
    crashed = [row for row in log_rows(s) if row and row[-1] == "crash"]
    s.check(len(crashed) == 1 and jingle in crashed[0],
            "the play that was on air is logged, closed as crash (%s)" % crashed)
    # Its position reached the open plays' file while it played (columns: start, end, aired).
    s.check(crashed and int(crashed[0][2]) >= 500,
            "the crash row has the last position known (%s ms aired)" % (crashed and crashed[0][2]))

    # The changed flag came back: "Sair" offers the wall for saving (Cancel: not saved).
    code = wall.quit(confirm=True, save_changes=False)
    s.check(code == 0, "Sair ends the program (exit %s)" % code)
    s.check(not os.path.exists(s.path(JOURNAL)), "a normal end removes the journal")


if __name__ == "__main__":
    sys.exit(main(scenario))
