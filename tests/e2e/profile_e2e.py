#!/usr/bin/env python3
"""Profiles, as an operator uses them.

A profile written by another program (Windows-1252, CRLF, a Windows path, an accent, text where
a number belongs) is listed, activated in its colours, fires its cart on the output sink, and
"Salvar" writes it back byte for byte. Then a profile is created, filled, saved, switched away
from with the change warning, switched back to, and another one deleted; and "Sair" with a
changed wall asks whether to save it, both answers."""

import os
import sys
import time

from bandora_e2e import CONFIRM_TITLE, DEFAULT_FACE, answer, main, near, wait_for

GREEN = (0, 255, 0)  # 65280 as 00BBGGRR


def foreign_profile(tone):
    lines = ["|001|CAN\xc7\xc3O|%s|65280|1|0|0|3000|" % tone,
             "|002|VINHETA|C:\\AUDIO\\vinheta.mp3|255|0|0|0|5000|",
             "|003|JUNK|/nada.mp3|verde|0|0|0|12x|"]
    lines += ["|%03d||||||||" % n for n in range(4, 97)]
    return "".join(line + "\r\n" for line in lines).encode("cp1252")


def cart_line(data, n):
    return data.split(b"\r\n")[n - 1]


def scenario(s):
    s.write_device_settings(output=0, cue=1)
    low = s.tone("ARQUIVOS/tom.wav", 440, 3000, folder=s.folder)
    mid = s.tone("mid.wav", 660, 1500)
    high = s.tone("high.wav", 880, 1500)
    third = s.tone("third.wav", 550, 1500)
    original = foreign_profile(low)
    with open(s.path("SHOW.PFL"), "wb") as f:
        f.write(original)

    # 1. A profile from elsewhere, started from another working directory.
    wall = s.start()
    wall.activate_profile()
    shot = wall.screenshot()
    s.check(near(shot.cart_face(1), GREEN, 2), "cart 1 shows its green face %s" %
            (shot.cart_face(1),))
    s.check(near(shot.cart_face(3), DEFAULT_FACE, 2),
            "a colour that is not a number shows the default face %s" % (shot.cart_face(3),))
    with s.record() as rec:
        wall.click(1)
        rec.wait_ms(3500)
    span = rec.out.span(440)
    s.check(abs(span.length_ms - 3000) <= 60, "the profile's cart plays its 3000 ms at 440 Hz "
            "on air (%d ms)" % span.length_ms)
    s.check(rec.cue.loudest(440) < 0.01, "and nothing on the cue sink")
    os.remove(s.path("SHOW.PFL"))  # "Salvar" must write the whole file anew
    wall.save_profile()
    wait_for(lambda: os.path.exists(s.path("SHOW.PFL")), 5, "the saved profile")
    s.check(s.read("SHOW.PFL") == original, "Salvar writes the profile back byte for byte")

    # 2. A new profile, filled and saved.
    wall.new_profile("noite")
    wait_for(lambda: os.path.exists(s.path("NOITE.PFL")), 5, "the new profile")
    blank = s.read("NOITE.PFL")
    s.check(blank.startswith(b"001#$$%%%\r\n") and len(blank) == 96 * 11,
            "Novo writes 96 blank lines under the upper-case name")
    s.check(near(wall.screenshot().cart_face(1), GREEN, 2), "and leaves the wall alone")
    wall.choose_profile(0)  # NOITE sorts before SHOW
    wall.activate_profile()
    s.check(near(wall.screenshot().cart_face(1), DEFAULT_FACE, 2), "Ativar shows the empty wall")
    wall.insert(1, mid)
    wall.save_profile()
    s.check(b"|MID.WAV|" + mid.encode() + b"|" in cart_line(s.read("NOITE.PFL"), 1),
            "Salvar writes the filled cart into the current profile")

    # 3. A changed wall, switched away from with F10: the question, then both walls as saved.
    wall.insert(2, high)
    wall.profile_list(1)  # SHOW
    answer(CONFIRM_TITLE, "Return")
    time.sleep(0.5)
    s.check(b"|HIGH.WAV|" in cart_line(s.read("NOITE.PFL"), 2),
            "OK to 'Perfil foi alterado' saves the changed wall first")
    s.check(near(wall.screenshot().cart_face(1), GREEN, 2), "then the other profile is shown")
    wall.profile_list(0)  # NOITE again
    with s.record() as rec:
        wall.click(2)
        rec.wait_ms(1900)
    s.check(abs(rec.out.span(880).length_ms - 1500) <= 60,
            "the saved cart plays from the profile (%d ms at 880 Hz)" %
            rec.out.span(880).length_ms)

    # 4. Deleting the other profile from the box's menu, after its question.
    wall.choose_profile(1)
    wall.profile_menu("Excluir Perfil")
    answer(CONFIRM_TITLE, "Return")
    wait_for(lambda: not os.path.exists(s.path("SHOW.PFL")), 5, "the deleted profile to go")
    s.check(os.path.exists(s.path("NOITE.PFL")), "Excluir Perfil deletes only the chosen one")

    # 5. "Sair" with a changed wall: Cancel leaves it unsaved, OK saves it.
    before = s.read("NOITE.PFL")
    wall.insert(3, third)
    code = wall.quit(save_changes=False)
    s.check(code == 0 and s.read("NOITE.PFL") == before,
            "Cancel to the question at Sair leaves without saving (exit %s)" % code)

    wall = s.start()
    wall.activate_profile()
    wall.insert(3, third)
    code = wall.quit(save_changes=True)
    s.check(code == 0 and b"|THIRD.WAV|" in cart_line(s.read("NOITE.PFL"), 3),
            "OK to the question at Sair saves the wall, then leaves (exit %s)" % code)


if __name__ == "__main__":
    sys.exit(main(scenario))
