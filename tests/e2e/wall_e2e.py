#!/usr/bin/env python3
"""Whole-program test: the real program under the test X server, playing to a PulseAudio null
sink. Fills two carts through the menu and the open dialog, fires them with real X events
(xdotool), records the sink's monitor (parec) and checks what really sounded: the right tones,
a fade over FADE ms, and the automatic segue from one block cart into the next."""

import math
import os
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time
import wave

RATE = 44100
FADE_MS = 800
MIX_MS = 900
SINK = "bandora_out"


def write_tone(path, hz, ms):
    frames = RATE * ms // 1000
    with wave.open(path, "wb") as w:
        w.setnchannels(2)
        w.setsampwidth(2)
        w.setframerate(RATE)
        data = bytearray()
        for i in range(frames):
            s = int(0.5 * 32767 * math.sin(2 * math.pi * hz * i / RATE))
            data += struct.pack("<hh", s, s)
        w.writeframes(bytes(data))


def run(*args, check=True):
    return subprocess.run(args, check=check, capture_output=True, text=True).stdout.strip()


def xdo(*args):
    return run("xdotool", *args)


class Recorder:
    def __init__(self, path):
        self.path = path
        self.proc = subprocess.Popen(
            ["parec", "-d", SINK + ".monitor", "--file-format=wav", "--rate=%d" % RATE,
             "--channels=1", "--format=s16le", path])
        time.sleep(0.3)

    def stop(self):
        time.sleep(0.2)
        self.proc.send_signal(signal.SIGINT)
        self.proc.wait(timeout=10)
        with wave.open(self.path, "rb") as w:
            n = w.getnframes()
            raw = w.readframes(n)
        return struct.unpack("<%dh" % (len(raw) // 2), raw)


def levels(samples, hz, window_ms=20):
    """Amplitude of `hz` in consecutive windows (Goertzel), full scale 1.0."""
    n = RATE * window_ms // 1000
    coeff = 2 * math.cos(2 * math.pi * hz / RATE)
    hann = [0.5 - 0.5 * math.cos(2 * math.pi * i / (n - 1)) for i in range(n)]
    out = []
    for start in range(0, len(samples) - n, n):
        s1 = s2 = 0.0
        for x, h in zip(samples[start:start + n], hann):
            s0 = h * x / 32768.0 + coeff * s1 - s2
            s2, s1 = s1, s0
        power = s1 * s1 + s2 * s2 - coeff * s1 * s2
        out.append(4 * math.sqrt(max(power, 0)) / n)  # Hann window: coherent gain 0.5
    return out


def dropouts(samples, hz, amplitude=0.5):
    """Places where the waveform jumps further than the tone itself can move in one sample."""
    limit = 1.5 * amplitude * 32768 * 2 * math.pi * hz / RATE
    return [i for i in range(1, len(samples)) if abs(samples[i] - samples[i - 1]) > limit]


def first_at_or_above(series, threshold, start=0):
    for i in range(start, len(series)):
        if series[i] >= threshold:
            return i
    return None


def last_at_or_above(series, threshold):
    for i in range(len(series) - 1, -1, -1):
        if series[i] >= threshold:
            return i
    return None


class Wall:
    """Screen positions of the wall, from the window's design layout fitted to 1280x1024."""

    def __init__(self):
        self.sx = 100 / 98 * 1280 / 1035
        self.sy = 100 / 98 * 1024 / 768

    def cart(self, n):
        r, c = divmod(n - 1, 8)
        x = 1 + 10 + 4 + 121 * c + 60
        y = 1 + 17 + 28 + 44 * r + 21
        return int(x * self.sx), int(y * self.sy)

    def hover(self, n):
        x, y = self.cart(n)
        xdo("mousemove", str(x + 5), str(y))
        time.sleep(0.1)
        xdo("mousemove", str(x), str(y))
        time.sleep(0.15)

    def click(self, n, shift=False):
        self.hover(n)
        if shift:
            xdo("keydown", "shift")
        xdo("click", "1")
        if shift:
            xdo("keyup", "shift")
        time.sleep(0.15)

    def menu_keys(self, n, *keys):
        self.hover(n)
        xdo("click", "3")
        time.sleep(0.5)
        for k in keys:
            xdo("key", k)
            time.sleep(0.15)

    def insert(self, n, path):
        self.menu_keys(n, "Down", "Down", "Return")
        dialog = wait_window("Incluir")
        xdo("windowfocus", "--sync", dialog)
        time.sleep(0.3)
        xdo("type", "--delay", "5", path)
        xdo("key", "Return")
        colour = wait_window("Select Color|Selecionar|Cor")
        xdo("windowfocus", "--sync", colour)
        time.sleep(0.2)
        xdo("key", "Escape")  # keep the default face colour
        time.sleep(0.5)


def wait_window(pattern, timeout=15):
    end = time.time() + timeout
    while time.time() < end:
        ids = run("xdotool", "search", "--onlyvisible", "--name", pattern, check=False)
        if ids:
            return ids.split()[-1]
        time.sleep(0.2)
    raise AssertionError("no window named %r appeared" % pattern)


failures = []


def check(condition, text):
    print(("ok   " if condition else "FAIL ") + text, flush=True)
    if not condition:
        failures.append(text)


def main():
    exe = sys.argv[1]
    work = tempfile.mkdtemp(prefix="bandora-e2e-")
    try:
        program = os.path.join(work, "bandora")
        shutil.copy(exe, program)
        with open(os.path.join(work, "BANDORA40.CFG"), "w", newline="") as f:
            f.write("Quallon Sistemas\r\nBrasil\r\nTAMBR=3000\r\nDVTRA=0\r\nDVCUE=0\r\n"
                    "MIXAGEM=%d\r\nFADE=%d\r\n" % (MIX_MS, FADE_MS))
        with open(os.path.join(work, "bandoracfg.ini"), "w", newline="") as f:
            f.write("VOLUME=100\r\nAUTO_FADE=0\r\nAUTO_MIX=1\r\n")
        low = os.path.join(work, "low.wav")
        high = os.path.join(work, "high.wav")
        write_tone(low, 440, 3000)
        write_tone(high, 880, 2500)

        app = subprocess.Popen([program], cwd="/")
        try:
            wait_window("Quallon Cartucheira Digital")
            time.sleep(1.5)
            wall = Wall()
            wall.insert(1, low)
            wall.insert(2, high)

            # 1. Cart 1 sounds: 440 Hz for its 3 s, nothing at 880 Hz.
            rec = Recorder(os.path.join(work, "fire.wav"))
            wall.click(1)
            time.sleep(3.6)
            s = rec.stop()
            a440, a880 = levels(s, 440), levels(s, 880)
            on = [i for i, v in enumerate(a440) if v > 0.2]
            check(len(on) > 0, "cart 1 sounds at 440 Hz")
            if on:
                length_ms = (on[-1] - on[0] + 1) * 20
                check(abs(length_ms - 3000) <= 80, "cart 1 plays its 3000 ms (%d ms)" % length_ms)
            check(max(a880) < 0.02, "no 880 Hz while only cart 1 plays")
            if on:
                inside = s[(on[0] + 1) * 882:on[-1] * 882]
                gaps = dropouts(inside, 440)
                check(not gaps, "no dropout or click while cart 1 plays (%d found)" % len(gaps))

            # 2. Cart 1 with "Parar com Fade": the second click fades it out over FADE ms.
            wall.menu_keys(1, *(["Down"] * 8), "Right", "Down", "Return")
            rec = Recorder(os.path.join(work, "fade.wav"))
            wall.click(1)
            time.sleep(1.2)
            wall.click(1)
            time.sleep(1.4)
            a440 = levels(rec.stop(), 440)
            steady = sorted(a440)[len(a440) * 3 // 4]
            top = first_at_or_above(a440, 0.9 * steady)
            # The fade starts where the level last stood at full strength...
            full = [i for i, v in enumerate(a440) if v >= 0.95 * steady]
            end = last_at_or_above(a440, 0.02)
            if full and end is not None:
                fade_ms = (end - full[-1]) * 20
                check(abs(fade_ms - FADE_MS) <= 120,
                      "the fade falls to silence in about %d ms (%d ms)" % (FADE_MS, fade_ms))
                check(max(a440[end + 1:] or [0]) < 0.02, "silence after the fade")
            else:
                check(False, "the fade could be measured (top %s)" % top)

            # 3. The block: Shift-press carts 2 then 1, one click plays both, segueing MIX_MS
            #    before the end of the first.
            wall.click(2, shift=True)
            wall.click(1, shift=True)
            rec = Recorder(os.path.join(work, "mix.wav"))
            wall.click(1)  # a click on any loaded cart starts the block's first cart
            time.sleep(5.0)
            s = rec.stop()
            a880, a440 = levels(s, 880), levels(s, 440)
            start_high = first_at_or_above(a880, 0.2)
            start_low = first_at_or_above(a440, 0.2, (start_high or 0) + 1)
            check(start_high is not None and start_low is not None,
                  "the block plays cart 2 and then cart 1")
            if start_high is not None and start_low is not None:
                segue_ms = (start_low - start_high) * 20
                expected = 2500 - MIX_MS
                check(expected - 40 <= segue_ms <= expected + 90,
                      "cart 1 starts %d ms before cart 2 ends (segue after %d ms, expected %d)" %
                      (MIX_MS, segue_ms, expected))
                before, during = a880[start_low - 2], a880[start_low + 10]
                check(0.02 < during < 0.8 * before,
                      "the outgoing cart fades while the next one starts (%.2f -> %.2f)" %
                      (before, during))
                silent = next((i for i in range(start_low, len(a880)) if a880[i] < 0.02), None)
                natural_end = start_high + 2500 // 20
                check(silent is not None and silent < natural_end,
                      "the outgoing cart is silent before its own end (window %s < %d)" %
                      (silent, natural_end))
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
            print("recordings kept in", work)
    passed = 0 if failures else 1
    print("%d passed, %d failed" % (passed, 1 - passed))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
