#!/usr/bin/env python3
"""Whole-program test of markers in playback, from broadcast WAVs whose cart chunk the test
writes: a cart whose file starts its audio (AUDs) at 1.000 s sounds from there, so the tone
before it is never heard; and a block with AUTO MIX starts its next cart at the outgoing cart's
segue start (SEGs), not MIXAGEM before its end, while the outgoing cart fades from there. While
a cart's intro runs (to INTe), its button counts down in amber."""

import math
import os
import struct
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from bandora_e2e import RATE, Layout, Shot, main  # noqa: E402

MIX_MS, FADE_MS = 900, 800
SEGUE_TOLERANCE_MS = 5  # the segue falls on a frame; the rest is measurement
CART_CHUNK_SIZE = 2048  # the fixed part: version .. URL, without tag text
POST_TIMERS_AT = 684  # after version, seven 64-byte texts, dates, times, three more, level


def cart_chunk(timers):
    """An AES46 cart chunk whose post timers are `timers`: (four-letter code, frame)."""
    body = bytearray(CART_CHUNK_SIZE)
    body[0:4] = b"0101"
    body[4:4 + 64] = b"Marks test".ljust(64, b"\0")
    for i, (code, frame) in enumerate(timers):
        body[POST_TIMERS_AT + 8 * i:POST_TIMERS_AT + 8 * i + 8] = struct.pack("<4sI", code, frame)
    return b"cart" + struct.pack("<I", len(body)) + bytes(body)


def write_broadcast_wav(path, parts, timers):
    """16-bit stereo: each part (Hz, ms) a sine of its own, then a cart chunk before the
    audio with `timers`."""
    frames = []
    for hz, ms in parts:
        step = 2 * math.pi * hz / RATE
        frames += [int(0.5 * 32767 * math.sin(step * i)) for i in range(RATE * ms // 1000)]
    data = struct.pack("<%dh" % (2 * len(frames)), *(s for f in frames for s in (f, f)))
    fmt = struct.pack("<HHIIHH", 1, 2, RATE, RATE * 4, 4, 16)
    chunks = (b"fmt " + struct.pack("<I", len(fmt)) + fmt + cart_chunk(timers) +
              b"data" + struct.pack("<I", len(data)) + data)
    with open(path, "wb") as f:
        f.write(b"RIFF" + struct.pack("<I", 4 + len(chunks)) + b"WAVE" + chunks)
    return path


def amber(shot, n):
    """Pixels of cart n in the intro count-down's deep amber: neither the face, the black
    caption nor the on-air red frame."""
    left, top, right, bottom = Layout.cart_rect(n)
    pixels = (shot.pixel(x, y) for y in range(top + 12, bottom - 4)
              for x in range(left + 12, right - 12))
    return sum(1 for r, g, b in pixels if 140 <= r <= 210 and 40 <= g <= 110 and b <= 50)


def starts_at_cue_in(s, wall):
    path = write_broadcast_wav(os.path.join(s.work, "trimmed.wav"), [(440, 1000), (880, 2000)],
                               [(b"AUDs", RATE), (b"INTe", 2 * RATE)])
    wall.insert(1, path)
    with s.record("cue-in") as rec:
        wall.click(1)
        rec.wait_ms(400)
        in_intro = amber(Shot(), 1)
        rec.wait_ms(1100)
        after_intro = amber(Shot(), 1)
        rec.wait_ms(1200)
    before, after = rec.out.heard_ms(440, 0.1), rec.out.heard_ms(880)
    s.check(before < 25, "the tone before AUDs at 1.000 s is not heard (%d ms)" % before)
    s.check(abs(after - 2000) <= 60, "the cart sounds from AUDs to its end (%d ms)" % after)
    s.check(in_intro > 10 and after_intro == 0,
            "its button counts the intro down in amber, then not (%d, %d pixels)" %
            (in_intro, after_intro))


def segues_at_segue_start(s, wall):
    out_hz, next_hz = 660, 990
    outgoing = write_broadcast_wav(os.path.join(s.work, "outgoing.wav"), [(out_hz, 3000)],
                                   [(b"SEGs", RATE * 3 // 2)])
    wall.insert(2, outgoing)
    wall.insert(3, s.tone("next.wav", next_hz, 1000))
    wall.click(2, shift=True)
    wall.click(3, shift=True)
    with s.record("segue") as rec:
        wall.click(2)
        rec.wait_ms(3000)
    out = rec.out
    start, then = out.onset_ms(out_hz, 0.2), out.onset_ms(next_hz, 0.2)
    s.check(start is not None and then is not None, "the block plays carts 2 and 3")
    if start is None or then is None:
        return
    segue = then - start
    s.check(abs(segue - 1500) <= SEGUE_TOLERANCE_MS,
            "cart 3 starts at cart 2's SEGs: %.1f ms after it (expected 1500 ± %d, not %d)" %
            (segue, SEGUE_TOLERANCE_MS, 3000 - MIX_MS))
    fade = out.fade(out_hz, out.span(out_hz, 0.02))
    s.check(fade is not None and abs(fade[0] - then) <= 60 and abs(fade[1] - FADE_MS) <= 100,
            "and cart 2 fades over FADE from there: %s ms from %s ms" %
            (fade and round(fade[1]), fade and round(fade[0])))


def scenario(s):
    s.write_device_settings(output=0, cue=1, mix_ms=MIX_MS, fade_ms=FADE_MS)
    s.write_window_settings(volume=100, auto_fade=False, auto_mix=True)
    wall = s.start()
    starts_at_cue_in(s, wall)
    segues_at_segue_start(s, wall)
    wall.quit(save_changes=False)


if __name__ == "__main__":
    sys.exit(main(scenario))
