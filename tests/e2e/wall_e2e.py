#!/usr/bin/env python3
"""Whole-program test of the wall as an operator plays it: carts filled through the open dialog
and by file-manager drops (XDND from another process), fired by click and by Ctrl+letter,
stopped with a cut, with a fade and with Alt, looped, faded out by AUTO FADE, and pre-listened
on the cue sink. Every check of what sounded is measured on the recordings of both sinks."""

import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from bandora_e2e import (DEFAULT_FACE, FIRST_DIALOG_COLOUR, MESSAGE_TITLE, OFFERED,  # noqa: E402
                         RATE, RED, answer, main, near, windows)

FADE_MS = 800
A_HZ, A_MS = 440, 3000  # cart 1, from the open dialog
B_HZ, B_MS = 880, 2500  # cart 2, dropped
C_HZ, C_MS = 660, 2500  # cart 3, looped
CUT_MS = 60  # a cut falls silent within a few ms; a window or two of the analysis


def fill(s, wall):
    wall.insert(1, s.tone("vinheta.wav", A_HZ, A_MS))
    first = s.tone("drop first.wav", B_HZ, B_MS)
    second = s.tone("drop second.wav", 1320, 500)
    # The pointer last rested on cart 1, and the file is dropped on cart 2.
    seen = wall.drop_files(2, [first, second], colour=OFFERED, rested_on=1)
    s.check(seen == "accepted", "the drop from the file manager is accepted (%s)" % seen)
    wall.insert(3, s.tone("loop.wav", C_HZ, C_MS), colour=RED)
    box = windows(MESSAGE_TITLE)  # "Vermelho cor Reservada para o Sistema"
    s.check(bool(box), "red, the on-air colour, is refused as a face colour with a message")
    if box:
        answer()

    notes = os.path.join(s.work, "notes.txt")
    with open(notes, "w") as f:
        f.write("not audio\n")
    wall.drop_files(4, [notes])
    box = windows(MESSAGE_TITLE)
    s.check(bool(box), "a dropped file that is not audio is refused with a message")
    if box:
        answer()
    s.check(not windows("Select Color|Selecionar|Cor"), "and no colour is asked for it")

    shot = wall.screenshot()
    s.check(near(shot.cart_face(1), DEFAULT_FACE),
            "cart 1 keeps the default face (colour dialog cancelled) %s" % (shot.cart_face(1),))
    s.check(near(shot.cart_face(2), FIRST_DIALOG_COLOUR),
            "the file lands on cart 2, where it was dropped, with the colour chosen after it %s"
            % (shot.cart_face(2),))
    s.check(near(shot.cart_face(3), DEFAULT_FACE),
            "cart 3 keeps the default face instead of red %s" % (shot.cart_face(3),))


def fire_take(s, wall, take):
    shots = []
    with s.record("fire%d" % take) as rec:
        wall.click(1)
        for _ in range(5):
            rec.wait_ms(300)
            shots.append(wall.screenshot())
        rec.wait_ms(A_MS)
    return rec, shots, wall.screenshot()


def fire(s, wall):
    # A gap in the sound is the program's fault unless the sound server's log shows it was late
    # for every stream at that moment (a stalled virtual machine does that); then, and only
    # then, the cart is fired again, at most twice.
    for take in range(3):
        rec, shots, after = fire_take(s, wall, take)
        span = rec.out.span(A_HZ, 0.2)
        gaps = span and rec.out.dropouts(A_HZ, 0.5, span)
        if gaps:
            print("gaps at %s ms; the sound server found empty: %s" %
                  ([g * 1000 // RATE for g in gaps], rec.server.underruns()), flush=True)
        if not gaps or not rec.server.server_fell_behind():
            break
        print("note the sound server fell behind during take %d (%d gaps): fired again" %
              (take, len(gaps)), flush=True)
    heard = rec.out.heard_ms(A_HZ)
    s.check(abs(heard - A_MS) <= 60, "cart 1 plays its %d ms (%d ms)" % (A_MS, heard))
    if span:
        hz = rec.out.pitch(span.start_ms + 50, span.end_ms - 50)
        s.check(abs(hz - A_HZ) <= A_HZ * 0.005, "at the file's pitch (%.1f Hz)" % hz)
        level = rec.out.steady(A_HZ, span)
        s.check(0.45 < level < 0.55, "at the file's level (%.2f)" % level)
        s.check(not gaps, "without dropouts or clicks (%d found)" % len(gaps))
    s.check(rec.out.loudest(B_HZ) < 0.02, "nothing of cart 2 meanwhile")
    s.check(rec.cue.loudest(A_HZ) < 0.02, "nothing on the cue sink")
    for i, shot in enumerate(shots):  # kept with the recordings if the test fails
        shot.save(os.path.join(s.work, "on-air-%d.png" % i))
    red = [shot.cart_frame_red(1) for shot in shots]
    s.check(max(red) > 20 and min(red) < 5,
            "while on air the cart's frame blinks red (red pixels per shot %s)" % red)
    s.check(after.cart_frame_red(1) < 5, "and the red frame is gone when it has ended")


def stop_modes(s, wall):
    span, fall = s.fire_and_stop(wall, 1, A_HZ, 1000)
    s.check(fall is not None and fall < CUT_MS and span.length_ms < A_MS - 500,
            "a second click cuts cart 1 (\"Parar com Stop\"): silent in %s ms" %
            (fall and round(fall)))

    wall.stop_with_fade(1)
    span, fade = s.fire_and_stop(wall, 1, A_HZ, 1000)
    s.check(fade is not None and abs(fade - FADE_MS) <= 100 and span.length_ms < A_MS - 300,
            "with \"Parar com Fade\" it fades out over FADE: %s ms (expected %d)" %
            (fade and round(fade), FADE_MS))

    # The pointer still rests on cart 1.
    span, fall = s.fire_and_stop(wall, 1, A_HZ, 800, stop=lambda: wall.key("alt"))
    s.check(fall is not None and fall < CUT_MS and span.length_ms < A_MS - 500,
            "Alt cuts the cart under the pointer although it stops with a fade: silent in %s ms" %
            (fall and round(fall)))


def loop(s, wall):
    with s.record("loop") as rec:
        wall.click(3)
        wall.toggle_loop(3)  # switched on while it plays
        rec.wait_ms(2 * C_MS + 500)
        stopped_at = rec.recorded_ms()
        wall.click(3)  # clears the loop and cuts it
        rec.wait_ms(C_MS + 300)
    plays = rec.out.spans(C_HZ, 0.2)
    heard = rec.out.heard_ms(C_HZ)
    # The tone holds whole cycles, so a seamless turn leaves the waveform unbroken.
    breaks = rec.out.dropouts(C_HZ, 1.0, plays[0]) if plays else None
    s.check(heard > 2 * C_MS + 200 and len(plays) == 1 and breaks == [],
            "with Loop the cart plays again and again at its end without a gap: %d ms of its "
            "%d ms heard in %d stretch(es), %s breaks in the waveform" %
            (heard, C_MS, len(plays), breaks if breaks is None else len(breaks)))
    s.check(bool(plays) and plays[-1].end_ms < stopped_at + 400 and
            rec.out.loudest(C_HZ, plays[-1].end_ms + 100) < 0.02,
            "a click stops it for good (silent from %s ms, click at %d ms)" %
            (plays and plays[-1].end_ms, stopped_at))


def cart_key(s, wall):
    wall.rename(2, "&VINHETA")
    wall.hover(20)  # an empty cart: the key, not the pointer, picks cart 2
    with s.record("key") as rec:
        wall.key("ctrl+v")
        rec.wait_ms(1000)
        wall.key("ctrl+v")  # cart 2 is on air and skipped: no other cart has &V
        rec.wait_ms(B_MS)
    heard = rec.out.heard_ms(B_HZ)
    s.check(abs(heard - B_MS) <= 60,
            "Ctrl+V fires the cart named &VINHETA, and again while it plays changes nothing "
            "(%d ms of %d Hz)" % (heard, B_HZ))


def auto_fade(s, wall):
    wall.press("auto_fade")
    shot = wall.screenshot()
    s.check(shot.check_box_marked("auto_fade") > 4, "AUTO FADE is ticked")
    with s.record("auto-fade") as rec:
        wall.click(1)
        rec.wait_ms(1000)
        wall.click(2)
        rec.wait_ms(1500)
    wall.press("auto_fade")
    first = rec.out.span(A_HZ, 0.02)
    second = rec.out.span(B_HZ, 0.2)
    fade = rec.out.fade(A_HZ, first) if first else None
    s.check(fade is not None and abs(fade[1] - FADE_MS) <= 100,
            "firing cart 2 fades cart 1 out over FADE: %s ms" % (fade and round(fade[1])))
    if fade and second:
        s.check(abs(fade[0] - second.start_ms) <= 60,
                "the fade starts as cart 2 starts (at %d and %d ms)" % (fade[0], second.start_ms))
        level = rec.out.level_at(B_HZ, second.start_ms + 400)
        s.check(level > 0.45, "cart 2 starts at full level (%.2f)" % level)


def cue(s, wall):
    wall.press("cue")
    with s.record("cue") as rec:
        wall.click(2)
        rec.wait_ms(1000)
        wall.click(2)  # stops the cue
        rec.wait_ms(500)
    wall.press("cue")
    with s.record("cue-off") as off:
        wall.click(2)
        off.wait_ms(1000)
        wall.click(2)
        off.wait_ms(300)
    heard = rec.cue.span(B_HZ, 0.2)
    s.check(heard and 700 <= heard.length_ms < B_MS - 800,
            "in CUE mode a click pre-listens cart 2 on the cue sink and a second click stops it "
            "(%d ms)" % heard.length_ms)
    s.check(rec.out.loudest(B_HZ) < 0.02, "nothing of it on the output sink")
    s.check(off.out.loudest(B_HZ) > 0.4 and off.cue.loudest(B_HZ) < 0.02,
            "with CUE off the cart goes on air again, not to the cue sink")


def scenario(s):
    s.drag_source = s.extra[0]
    s.write_device_settings(output=0, cue=1, mix_ms=900, fade_ms=FADE_MS)
    s.write_window_settings(volume=100, auto_fade=False, auto_mix=True)
    wall = s.start()
    fill(s, wall)
    fire(s, wall)
    stop_modes(s, wall)
    loop(s, wall)
    cart_key(s, wall)
    auto_fade(s, wall)
    cue(s, wall)
    s.stop(wall)


if __name__ == "__main__":
    sys.exit(main(scenario))
