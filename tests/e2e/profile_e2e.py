#!/usr/bin/env python3
"""Whole-program test of a profile written by another program: Windows-1252 text with CRLF
lines, a Windows path, an accent and text where a number belongs. The program, started from
another working directory, lists it, "Ativar" shows it in its colours, its cart sounds on the
sound server, and "Salvar" writes the file back byte for byte."""

import os
import shutil
import subprocess
import sys
import tempfile
import time

from wall_e2e import Recorder, Wall, check, failures, levels, run, wait_window, write_tone, xdo

GREEN_BGR = 0x00FF00  # 00BBGGRR
DEFAULT_FACE_RGB = (219, 208, 149)


def strip_point(x, y):
    """A point of the control strip's design layout (the strip sits at 1,1) on the screen."""
    wall = Wall()
    return int((1 + x) * wall.sx), int((1 + y) * wall.sy)


def click_at(point):
    xdo("mousemove", str(point[0]), str(point[1]))
    time.sleep(0.15)
    xdo("click", "1")
    time.sleep(0.4)


def pixel(shot, point):
    out = run("convert", shot, "-crop", "1x1+%d+%d" % point, "-depth", "8", "txt:-")
    rgb = out.splitlines()[-1].split("(")[1].split(")")[0].split(",")
    return tuple(int(float(v)) for v in rgb[:3])


def face_point(n):
    """Inside cart n's face, clear of its badge, caption and frame."""
    x, y = Wall().cart(n)
    return x + 40, y + 14


def profile_bytes(tone):
    lines = ["|001|CAN\xc7\xc3O|%s|%d|1|0|0|3000|" % (tone, GREEN_BGR),
             "|002|VINHETA|C:\\AUDIO\\vinheta.mp3|255|0|0|0|5000|",
             "|003|JUNK|/nada.mp3|verde|0|0|0|12x|"]
    lines += ["|%03d||||||||" % n for n in range(4, 97)]
    return "".join(line + "\r\n" for line in lines).encode("cp1252")


def main():
    exe = sys.argv[1]
    work = tempfile.mkdtemp(prefix="bandora-profile-e2e-")
    try:
        program = os.path.join(work, "bandora")
        shutil.copy(exe, program)
        with open(os.path.join(work, "BANDORA40.CFG"), "w", newline="") as f:
            f.write("Quallon Sistemas\r\nBrasil\r\nTAMBR=3000\r\nDVTRA=0\r\nDVCUE=0\r\n"
                    "MIXAGEM=900\r\nFADE=800\r\n")
        tone = os.path.join(work, "ARQUIVOS", "tom.wav")
        os.makedirs(os.path.dirname(tone))
        write_tone(tone, 440, 3000)
        profile = os.path.join(work, "SHOW.PFL")
        original = profile_bytes(tone)
        with open(profile, "wb") as f:
            f.write(original)

        app = subprocess.Popen([program], cwd="/")  # not the program folder
        try:
            wait_window("Quallon Cartucheira Digital")
            time.sleep(1.5)
            click_at(strip_point(655 + 60, 610 + 16))  # "Ativar": the first listed profile
            time.sleep(0.5)

            shot = os.path.join(work, "wall.png")
            run("import", "-window", "root", shot)
            face1 = pixel(shot, face_point(1))
            check(face1 == (0, 255, 0), "cart 1 shows its green face %s" % (face1,))
            face3 = pixel(shot, face_point(3))
            check(all(abs(a - b) <= 2 for a, b in zip(face3, DEFAULT_FACE_RGB)),
                  "a colour that is not a number shows the default face %s" % (face3,))

            rec = Recorder(os.path.join(work, "fire.wav"))
            Wall().click(1)
            time.sleep(3.5)
            a440 = levels(rec.stop(), 440)
            on = [i for i, v in enumerate(a440) if v > 0.2]
            check(bool(on), "the profile's cart sounds at 440 Hz on the output sink")
            if on:
                length_ms = (on[-1] - on[0] + 1) * 20
                check(abs(length_ms - 3000) <= 80, "it plays its 3000 ms (%d ms)" % length_ms)

            os.remove(profile)  # "Salvar" must write the whole file anew
            click_at(strip_point(414 + 41, 660 + 16))  # "Salvar"
            deadline = time.time() + 5
            while not os.path.exists(profile) and time.time() < deadline:
                time.sleep(0.1)
            saved = open(profile, "rb").read() if os.path.exists(profile) else b""
            check(saved == original, "Salvar writes the profile back byte for byte")
        finally:
            app.terminate()
            try:
                app.wait(timeout=10)
            except subprocess.TimeoutExpired:
                app.kill()
    finally:
        if not failures:
            shutil.rmtree(work, ignore_errors=True)
        else:
            print("files kept in", work)
    print("%d failed" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
