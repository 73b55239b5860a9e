#!/usr/bin/env python3
"""Whole-program test of the setup dialog: the real program under the test X server, driven by
xdotool. The setup button opens the dialog, the second sound device is chosen for the cue and
OK writes DVCUE=1; after a restart, CUE pre-listening sounds on that sink only (both sinks of
the test sound server are recorded)."""

import os
import re
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time
import wave

from wall_e2e import RATE, Wall, levels, run, wait_window, write_tone, xdo

OUT_SINK = "bandora_out"
CUE_SINK = "bandora_cue"
TONE_HZ = 660

failures = []


def check(condition, text):
    print(("ok   " if condition else "FAIL ") + text, flush=True)
    if not condition:
        failures.append(text)


class SinkRecorder:
    def __init__(self, path, sink):
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


def window_origin(window):
    geometry = xdo("getwindowgeometry", window)
    x, y = re.search(r"Position: (\d+),(\d+)", geometry).groups()
    return int(x), int(y)


def click_at(x, y):
    xdo("mousemove", str(x), str(y))
    time.sleep(0.1)
    xdo("click", "1")
    time.sleep(0.3)


def strip_point(x, y):
    """Screen point of a point of the control strip's design layout (the strip sits at 1,1)."""
    wall = Wall()
    return int((1 + x) * wall.sx), int((1 + y) * wall.sy)


def start(program):
    app = subprocess.Popen([program], cwd="/")
    wait_window("Quallon Cartucheira Digital", timeout=30)
    time.sleep(1.5)
    return app


def stop(app):
    app.terminate()
    try:
        app.wait(timeout=10)
    except subprocess.TimeoutExpired:
        app.kill()


def choose_second_cue_device(config):
    click_at(*strip_point(719 + 28, 655 + 21))  # the setup button
    dialog = wait_window("Configuração")
    left, top = window_origin(dialog)
    click_at(left + 260, top + 167)  # the cue list opens
    xdo("key", "Down")
    xdo("key", "Return")
    time.sleep(0.3)
    click_at(left + 193, top + 262 + 29)  # OK
    box = wait_window("^Quallon Cartucheira Digital$")
    xdo("windowfocus", "--sync", box)
    xdo("key", "Return")
    time.sleep(0.5)
    with open(config, "rb") as f:
        saved = f.read()
    check(b"\r\nDVTRA=0\r\nDVCUE=1\r\n" in saved, "OK writes DVCUE=1 (%r)" % saved)
    check(not run("xdotool", "search", "--onlyvisible", "--name", "Configuração", check=False),
          "the dialog is gone after OK")


def pre_listen(work, tone):
    wall = Wall()
    wall.insert(1, tone)
    click_at(*strip_point(871 + 57, 585 + 14))  # CUE
    out = SinkRecorder(os.path.join(work, "out.wav"), OUT_SINK)
    cue = SinkRecorder(os.path.join(work, "cue.wav"), CUE_SINK)
    time.sleep(0.5)
    wall.click(1)
    time.sleep(2.0)
    on_cue = levels(cue.stop(), TONE_HZ)
    on_out = levels(out.stop(), TONE_HZ)
    heard = [v for v in on_cue if v > 0.2]
    check(len(heard) * 20 >= 700, "pre-listening sounds on the cue sink (%d ms)" %
          (len(heard) * 20))
    check(max(on_out) < 0.02, "nothing on the output sink (peak %.3f)" % max(on_out))


def main():
    exe = sys.argv[1]
    work = tempfile.mkdtemp(prefix="bandora-setup-e2e-")
    try:
        program = os.path.join(work, "bandora")
        shutil.copy(exe, program)
        tone = os.path.join(work, "cue_tone.wav")
        write_tone(tone, TONE_HZ, 1000)

        app = start(program)
        try:
            choose_second_cue_device(os.path.join(work, "BANDORA40.CFG"))
        finally:
            stop(app)

        app = start(program)
        try:
            pre_listen(work, tone)
        finally:
            stop(app)
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
