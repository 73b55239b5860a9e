#!/usr/bin/env python3
"""Whole-program test of the search window: the real program under the test X server with its
output on one PulseAudio null sink and its cue on the other. F3, part of a name, Enter; the
preview must sound on the cue sink only (both sinks recorded with parec). Then the first row
is dragged onto cart 1 with real X button and motion events, and the cart, fired, must sound
on the output sink at the file's own pitch. The file's name is not UTF-8."""

import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import wave
import struct

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from wall_e2e import RATE, Wall, check, failures, levels, run, wait_window, write_tone, xdo  # noqa: E402

OUT_SINK = "bandora_out"  # device 1: the server's default sink
CUE_SINK = "bandora_cue"  # device 2: the next sink by name
TONE_HZ = 1000


class MonitorRecorder:
    """Records one sink's monitor into a WAV file until stopped."""

    def __init__(self, sink, path):
        self.path = path
        self.proc = subprocess.Popen(
            ["parec", "-d", sink + ".monitor", "--file-format=wav", "--rate=%d" % RATE,
             "--channels=1", "--format=s16le", path])

    def stop(self):
        self.proc.send_signal(signal.SIGINT)
        self.proc.wait(timeout=10)
        with wave.open(self.path, "rb") as w:
            raw = w.readframes(w.getnframes())
        return struct.unpack("<%dh" % (len(raw) // 2), raw)


def record_both(work, name, action, seconds):
    out = MonitorRecorder(OUT_SINK, os.path.join(work, name + "-out.wav"))
    cue = MonitorRecorder(CUE_SINK, os.path.join(work, name + "-cue.wav"))
    time.sleep(0.4)
    action()
    time.sleep(seconds)
    return out.stop(), cue.stop()


def loudest(samples, hz):
    series = levels(samples, hz)
    return max(series) if series else 0.0


def pitch(samples):
    """Frequency from the periods between rising zero crossings (interpolated); a gap in the
    sound (a dropout) is one long period and is left out, so it cannot pass for a pitch."""
    crossings = [i + a / (a - b) for i, (a, b) in enumerate(zip(samples, samples[1:]))
                 if a < 0 <= b]
    periods = sorted(b - a for a, b in zip(crossings, crossings[1:]))
    if not periods:
        return 0.0
    median = periods[len(periods) // 2]
    kept = [p for p in periods if p < 1.5 * median]
    return RATE * len(kept) / sum(kept)


class SearchWindow:
    """Screen points of the search window's controls, from its design layout."""

    def __init__(self, window_id):
        geometry = run("xdotool", "getwindowgeometry", "--shell", window_id)
        values = dict(line.split("=") for line in geometry.splitlines())
        self.x, self.y = int(values["X"]), int(values["Y"])

    def row(self, n):
        # panel (1, 2), grid (6, 34) with its frame, header row of 17 pixels, rows of 17 + 1
        return self.x + 1 + 6 + 80, self.y + 2 + 34 + 2 + 18 * n + 8

    def button(self, left, width):
        # buttons inside the preview panel (6, 171), 4 pixels down, 32 high
        return self.x + 1 + 6 + left + width // 2, self.y + 2 + 171 + 4 + 16

    def click(self, point):
        xdo("mousemove", str(point[0]), str(point[1]))
        time.sleep(0.15)
        xdo("click", "1")
        time.sleep(0.3)


def main():
    exe = sys.argv[1]
    work = tempfile.mkdtemp(prefix="bandora-search-e2e-")
    try:
        program = os.path.join(work, "bandora")
        shutil.copy(exe, program)
        with open(os.path.join(work, "BANDORA40.CFG"), "w", newline="") as f:
            f.write("Quallon Sistemas\r\nBrasil\r\nTAMBR=3000\r\nDVTRA=0\r\nDVCUE=1\r\n"
                    "MIXAGEM=900\r\nFADE=800\r\n")
        with open(os.path.join(work, "bandoracfg.ini"), "w", newline="") as f:
            f.write("VOLUME=100\r\nAUTO_FADE=0\r\nAUTO_MIX=0\r\n")
        audio = os.path.join(work, "ARQUIVOS")
        os.makedirs(os.path.join(audio, "vinhetas"))
        # Named in Latin-1, as on an old disc: the name is not UTF-8 and must still be found,
        # dragged and played.
        write_tone(os.path.join(audio, "vinhetas", os.fsdecode(b"Sinal Hor\xe1rio.wav")),
                   TONE_HZ, 2500)
        write_tone(os.path.join(audio, "abertura.wav"), 440, 500)
        write_tone(os.path.join(audio, "encerramento sinal.wav"), 440, 500)

        app = subprocess.Popen([program], cwd="/")
        try:
            wait_window("Quallon Cartucheira Digital")
            time.sleep(1.5)
            wall = Wall()
            wall.hover(1)

            # 1. F3, part of a name, Enter: the one name that begins with it.
            xdo("key", "F3")
            search = SearchWindow(wait_window("^Pesquisa$"))
            time.sleep(0.5)
            xdo("type", "--delay", "20", "sinal")
            xdo("key", "Return")
            time.sleep(1.0)

            # 2. The first row chosen and previewed: sound on the cue sink only.
            search.click(search.row(1))
            out, cue = record_both(work, "preview",
                                   lambda: search.click(search.button(6, 73)), 1.5)
            check(loudest(cue, TONE_HZ) > 0.2,
                  "the preview sounds on the cue sink (%.2f)" % loudest(cue, TONE_HZ))
            check(loudest(out, TONE_HZ) < 0.02,
                  "nothing of the preview on the output sink (%.3f)" % loudest(out, TONE_HZ))
            search.click(search.button(81, 55))  # Stop

            # 3. The first row dragged onto cart 1 with real button and motion events.
            start = search.row(1)
            target = wall.cart(1)
            xdo("mousemove", str(start[0]), str(start[1]))
            time.sleep(0.2)
            xdo("mousedown", "1")
            time.sleep(0.3)
            steps = 8
            for i in range(1, steps + 1):
                x = start[0] + (target[0] - start[0]) * i // steps
                y = start[1] + (target[1] - start[1]) * i // steps
                xdo("mousemove", str(x), str(y))
                time.sleep(0.08)
            time.sleep(0.3)
            xdo("mouseup", "1")
            colour = wait_window("Select Color|Selecionar|Cor")
            xdo("windowfocus", "--sync", colour)
            time.sleep(0.2)
            xdo("key", "Escape")  # keep the default face colour
            time.sleep(0.5)

            # 4. Cart 1 now holds the file: it sounds on the output sink at the file's pitch.
            out, cue = record_both(work, "cart", lambda: wall.click(1), 3.0)
            check(loudest(out, TONE_HZ) > 0.2,
                  "the dropped cart sounds on the output sink (%.2f)" % loudest(out, TONE_HZ))
            hz = pitch(out)
            check(abs(hz - TONE_HZ) <= TONE_HZ * 0.01,
                  "the cart plays at the file's pitch (%.1f Hz)" % hz)
            on = [i for i, v in enumerate(levels(out, TONE_HZ)) if v > 0.2]
            if on:
                length_ms = (on[-1] - on[0] + 1) * 20
                check(abs(length_ms - 2500) <= 80, "the cart plays its 2500 ms (%d ms)" % length_ms)
            check(loudest(cue, TONE_HZ) < 0.02,
                  "the fired cart stays off the cue sink (%.3f)" % loudest(cue, TONE_HZ))
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
    print("%d passed, %d failed" % (0 if failures else 1, 1 if failures else 0))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
