#!/usr/bin/env python3
"""Whole-program test of the block: carts queued with Shift+click (their badges turn red), then
one click plays the whole block with AUTO MIX, each next cart starting MIXAGEM ms before the
end of the one on air while that one fades out over FADE ms; with AUTO MIX off a block cart
plays to its end and the next waits for a click. The settings files are written by hand first:
the fader stands at 50, so every cart sounds at half its file's level until the fader is moved;
"Sair" saves it."""

import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from bandora_e2e import Layout, Span, click_at, main  # noqa: E402

MIX_MS, FADE_MS = 900, 800
AMPLITUDE = 0.8  # in the files; at fader 50 they sound at 0.4
CARTS = {1: (440, 2500), 2: (660, 2000), 3: (880, 1800)}  # cart: (Hz, ms)
ORDER = [3, 1, 2]
SEGUE_TOLERANCE_MS = 5  # the segue is scheduled on a frame; the rest is measurement


def fill(s, wall):
    for n, (hz, ms) in CARTS.items():
        wall.insert(n, s.tone("cart%d.wav" % n, hz, ms, AMPLITUDE))


def queue(s, wall):
    for n in ORDER:
        wall.click(n, shift=True)
    wall.click(5, shift=True)  # an empty cart is not queued
    shot = wall.screenshot()
    badges = {n: shot.cart_badge_red(n) for n in (1, 2, 3, 5)}
    s.check(all(badges[n] > 8 for n in ORDER) and badges[5] < 3,
            "Shift+click queues carts 3, 1, 2 (red badges) and not empty cart 5 %s" % badges)


def auto_mix(s, wall):
    with s.record("block") as rec:
        wall.click(2)  # any click plays the block's next cart
        rec.wait_ms(sum(ms for _, ms in CARTS.values()) - 2 * MIX_MS + 800)
    shot = wall.screenshot()
    out = rec.out
    spans = {n: out.span(CARTS[n][0], 0.02) for n in ORDER}
    onsets = {n: out.onset_ms(CARTS[n][0], 0.2) for n in ORDER}
    s.check(all(spans.values()) and all(v is not None for v in onsets.values()),
            "one click plays carts 3, 1 and 2")
    if not all(v is not None for v in onsets.values()):
        return
    s.check(onsets[3] < onsets[1] < onsets[2], "in the order they were queued")
    for prev, nxt in zip(ORDER, ORDER[1:]):
        hz, ms = CARTS[prev]
        segue = onsets[nxt] - onsets[prev]
        expected = ms - MIX_MS
        s.check(abs(segue - expected) <= SEGUE_TOLERANCE_MS,
                "cart %d starts %d ms before cart %d ends: %.1f ms after it (expected %d ± %d)" %
                (nxt, MIX_MS, prev, segue, expected, SEGUE_TOLERANCE_MS))
        fade = out.fade(hz, spans[prev])
        s.check(fade is not None and abs(fade[1] - FADE_MS) <= 100 and
                abs(fade[0] - onsets[nxt]) <= 60,
                "cart %d fades out over FADE as cart %d starts: %s ms from %s ms" %
                (prev, nxt, fade and round(fade[1]), fade and round(fade[0])))
        s.check(spans[prev].end_ms < onsets[prev] + ms - 50,
                "and falls silent before its own end (%d < %d ms)" %
                (spans[prev].end_ms, onsets[prev] + ms))
    last_hz, last_ms = CARTS[ORDER[-1]]
    last = out.heard_ms(last_hz)
    s.check(abs(last - last_ms) <= 60, "the block's last cart plays to its end (%d ms)" % last)
    levels = {n: round(out.steady(CARTS[n][0], out.span(CARTS[n][0], 0.2)), 3) for n in ORDER}
    s.check(all(abs(v - AMPLITUDE / 2) <= 0.04 for v in levels.values()),
            "every cart at half its level, the fader's 50 from bandoracfg.ini %s" % levels)
    s.check(all(shot.cart_badge_red(n) < 3 for n in ORDER), "the block is empty afterwards")


def without_auto_mix(s, wall):
    wall.press("auto_mix")
    wall.click(3, shift=True)
    wall.click(1, shift=True)
    with s.record("no-mix") as rec:
        wall.click(3)
        rec.wait_ms(CARTS[3][1] + 700)
        second_click = rec.recorded_ms()
        wall.click(3)  # the next click plays the block's next cart
        rec.wait_ms(800)
    first, then = rec.out.heard_ms(880), rec.out.onset_ms(440, 0.2)
    s.check(abs(first - CARTS[3][1]) <= 60,
            "with AUTO MIX off the block's cart plays to its end (%d ms)" % first)
    s.check(then is not None and then >= second_click - 100,
            "and the next one waits for a click (starts at %s ms, click at %d ms)" %
            (then and round(then), second_click))


def master_fader(s, wall):
    hz, ms = CARTS[2]
    with s.record("fader") as rec:
        wall.click(2)
        rec.wait_ms(900)
        left, top, width, _ = Layout.STRIP["fader"]
        click_at(*Layout.strip_point(left + width / 2, top + 2))  # the top of its track
        rec.wait_ms(ms)
    span = rec.out.span(hz, 0.1)
    before = rec.out.steady(hz, Span(span.start_ms, span.start_ms + 700))
    after = rec.out.steady(hz, Span(span.end_ms - 900, span.end_ms))
    s.check(abs(before - AMPLITUDE / 2) <= 0.04 and abs(after - AMPLITUDE) <= 0.06,
            "the master fader moved to the top brings the cart on air from %.2f to %.2f" %
            (before, after))
    code = wall.quit(save_changes=False)
    saved = s.read("bandoracfg.ini")
    s.check(code == 0 and saved == b"VOLUME=100\r\nAUTO_FADE=0\r\nAUTO_MIX=0\r\n",
            "Sair saves the fader and AUTO MIX as they were left (%r)" % saved)


def scenario(s):
    s.write_device_settings(output=0, cue=1, mix_ms=MIX_MS, fade_ms=FADE_MS)
    s.write_window_settings(volume=50, auto_fade=False, auto_mix=True)
    wall = s.start()
    fill(s, wall)
    queue(s, wall)
    auto_mix(s, wall)
    without_auto_mix(s, wall)
    master_fader(s, wall)


if __name__ == "__main__":
    sys.exit(main(scenario))
