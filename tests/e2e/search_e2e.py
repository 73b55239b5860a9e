#!/usr/bin/env python3
"""Whole-program test of the search window, with the output on one null sink and the cue on
the other. F3, part of a name, Enter; the preview sounds on the cue sink only. Then the first
row is dragged onto cart 1 with real X button and motion events, and the cart, fired, sounds
on the output sink at the file's own pitch and length. The file's name is not UTF-8."""

import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from bandora_e2e import (Layout, click_at, drag, main, titled, type_text, wait_window,  # noqa: E402
                         window_geometry, xdo)

TONE_HZ, TONE_MS = 1000, 2500


class SearchWindow:
    """Screen points of the search window's controls, from its design layout."""

    def __init__(self, window):
        self.x, self.y, _, _ = window_geometry(window)

    def row(self, n):
        # panel (1, 2), grid (6, 34) with its frame, header row of 17 pixels, rows of 17 + 1
        return self.x + 1 + 6 + 80, self.y + 2 + 34 + 2 + 18 * n + 8

    def button(self, left, width):
        # buttons inside the preview panel (6, 171), 4 pixels down, 32 high
        return self.x + 1 + 6 + left + width // 2, self.y + 2 + 171 + 4 + 16

    def play(self):
        click_at(*self.button(6, 73))

    def stop(self):
        click_at(*self.button(81, 55))


def scenario(s):
    s.write_device_settings(output=0, cue=1)
    audio = s.path("ARQUIVOS")
    # Named in Latin-1, as on an old disc: the name is not UTF-8 and must still be found,
    # dragged and played.
    s.tone(os.path.join("vinhetas", os.fsdecode(b"Sinal Hor\xe1rio.wav")), TONE_HZ, TONE_MS,
           folder=audio)
    s.tone("abertura.wav", 440, 500, folder=audio)
    s.tone("encerramento sinal.wav", 440, 500, folder=audio)

    wall = s.start()
    wall.hover(1)
    wall.key("F3")
    search = SearchWindow(wait_window(titled("Pesquisa")))
    time.sleep(0.5)  # the query field takes the focus as the window shows
    type_text("sinal")  # "Aproximado": names that begin with it
    xdo("key", "Return")
    time.sleep(1.0)  # the scan runs in the background
    click_at(*search.row(1))

    with s.record("preview") as rec:
        search.play()
        rec.wait_ms(1500)
    s.check(rec.cue.loudest(TONE_HZ) > 0.4,
            "the preview sounds on the cue sink (%.2f)" % rec.cue.loudest(TONE_HZ))
    s.check(rec.out.loudest(TONE_HZ) < 0.02,
            "nothing of the preview on the output sink (%.3f)" % rec.out.loudest(TONE_HZ))
    search.stop()

    drag(search.row(1), Layout.cart(1), steps=8)
    wall.choose_colour()  # keep the default face colour

    with s.record("cart") as rec:
        wall.click(1)
        rec.wait_ms(TONE_MS + 500)
    span = rec.out.span(TONE_HZ, 0.2)
    heard = rec.out.heard_ms(TONE_HZ)
    s.check(abs(heard - TONE_MS) <= 60,
            "the dropped cart plays its %d ms on the output sink (%d ms)" % (TONE_MS, heard))
    if span:
        hz = rec.out.pitch(span.start_ms + 50, span.end_ms - 50)
        s.check(abs(hz - TONE_HZ) <= TONE_HZ * 0.005, "at the file's pitch (%.1f Hz)" % hz)
    s.check(rec.cue.loudest(TONE_HZ) < 0.02,
            "the fired cart stays off the cue sink (%.3f)" % rec.cue.loudest(TONE_HZ))
    s.stop(wall)


if __name__ == "__main__":
    sys.exit(main(scenario))
