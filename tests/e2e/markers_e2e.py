#!/usr/bin/env python3
"""The marker editor on the whole program: a cart's file holds one second of a low tone and two
of a high one, and its cue-in was set at 0.3 s. The operator opens "Marcas do Áudio" from the
cart's menu, drags the cue-in line to the middle of the waveform, past the low tone, and
confirms with Enter. bandoramarks.ini then holds the new cue-in, and the cart fired afterwards
sounds the high tone alone, from its first moment on the output sink."""

import math
import os
import struct
import sys
import time
import wave

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from bandora_e2e import (RATE, Shot, drag, keys, main, near, titled,  # noqa: E402
                         wait_for, wait_gone, wait_window, window_geometry)

LOW_HZ, LOW_MS = 440, 1000
HIGH_HZ, HIGH_MS = 1000, 2000
TOTAL = RATE * (LOW_MS + HIGH_MS) // 1000
OLD_CUE_IN = RATE * 3 // 10
EDITOR = titled("Marcas do Áudio")
WAVE_COLOURS = [(0, 200, 200), (0, 90, 90)]  # the waveform inside and outside cue-in..cue-out
CUE_IN_COLOUR = (0, 220, 0)


def write_two_tones(path):
    samples = []
    for i in range(TOTAL):
        hz = LOW_HZ if i < RATE * LOW_MS // 1000 else HIGH_HZ
        v = int(0.5 * 32767 * math.sin(2 * math.pi * hz * i / RATE))
        samples += [v, v]
    with wave.open(path, "wb") as w:
        w.setnchannels(2)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(struct.pack("<%dh" % len(samples), *samples))
    return path


def write_profile(s, path):
    lines = ["|001|DOIS TONS|%s|9818331|1|0|0|%d|" % (path, LOW_MS + HIGH_MS)]
    lines += ["|%03d||||||||" % n for n in range(2, 97)]
    with open(s.path("MARCAS.PFL"), "wb") as f:
        f.write("".join(line + "\r\n" for line in lines).encode("cp1252"))


def stored_cue_in(s, path):
    try:
        with open(s.path("bandoramarks.ini"), encoding="utf-8") as f:
            for line in f.read().splitlines()[1:]:
                fields = line.split("\t")
                if len(fields) == 6 and fields[5] == path:
                    return None if fields[1] == "-" else int(fields[1])
    except OSError:
        pass
    return None


def wave_area(window):
    """The waveform's span on screen, (left, right, middle row), found by its colours."""
    x0, y0, width, height = window_geometry(window)
    shot = Shot()
    columns, rows = [], []
    for y in range(y0, y0 + height, 4):
        for x in range(x0, x0 + width, 2):
            if any(near(shot.pixel(x, y), c, 12) for c in WAVE_COLOURS):
                columns.append(x)
                rows.append(y)
    if not columns:
        return None, shot
    return (min(columns), max(columns), (min(rows) + max(rows)) // 2), shot


def cue_in_line(shot, left, right, row):
    found = [x for x in range(left - 3, right + 3) if near(shot.pixel(x, row), CUE_IN_COLOUR, 30)]
    return (min(found) + max(found)) // 2 if found else None


def scenario(s):
    s.write_device_settings(output=0, cue=1)
    s.write_window_settings(volume=100, auto_fade=False, auto_mix=False)
    path = write_two_tones(os.path.join(s.folder, "ARQUIVOS", "dois tons.wav"))
    write_profile(s, path)
    with open(s.path("bandoramarks.ini"), "w", encoding="utf-8", newline="\n") as f:
        f.write("BANDORA-MARKS 1\n%d\t%d\t-\t-\t-\t%s\n" % (TOTAL, OLD_CUE_IN, path))

    wall = s.start()
    wall.activate_profile()
    wall.menu(1, "Marcas do Áudio")
    editor = wait_window(EDITOR)
    # The peaks come from the loudness pass; the waveform shows once they are in.
    area = wait_for(lambda: wave_area(editor)[0], 30, "the waveform in the editor")
    left, right, row = area
    shot = wave_area(editor)[1]
    line = cue_in_line(shot, left, right, row)
    s.check(line is not None and abs((line - left) - (right - left) * 0.1) <= 6,
            "the editor shows cue-in at 0.3 s of 3 s (line at %s, wave %d..%d)" %
            (line, left, right))
    if line is None:
        return
    target = left + (right - left) // 2  # 1.5 s: past the low tone
    drag((line, row), (target, row))
    keys("Return", window=editor)
    wait_gone(EDITOR)

    cue_in = wait_for(lambda: (stored_cue_in(s, path) or 0) > OLD_CUE_IN and
                      stored_cue_in(s, path), 5, "the new cue-in stored")
    s.check(abs(cue_in - TOTAL // 2) <= TOTAL * 0.03,
            "OK stores the dragged cue-in in bandoramarks.ini (%.3f s)" % (cue_in / RATE))

    with s.record("after") as rec:
        wall.click(1)
        rec.wait_ms(2500)
    high = rec.out.span(HIGH_HZ, 0.05)
    low = rec.out.span(LOW_HZ, 0.05)
    s.check(bool(high), "the cart sounds its high tone")
    s.check(not low, "and never the low tone before the cue-in (%d ms of it)" %
            (low.length_ms if low else 0))
    if high:
        heard = high.length_ms
        expected = (TOTAL - cue_in) * 1000 // RATE
        s.check(abs(heard - expected) <= 120,
                "it plays from the cue-in to the end: %d ms, %d ms expected" % (heard, expected))
    s.stop(wall)
    time.sleep(0.3)


if __name__ == "__main__":
    sys.exit(main(scenario))
