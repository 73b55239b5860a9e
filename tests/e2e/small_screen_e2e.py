#!/usr/bin/env python3
"""Whole-program test: on a screen below 1024x768 the program shows the resolution message and
ends without ever showing the wall."""

import os
import shutil
import subprocess
import sys
import tempfile
import time


def visible_windows(display, name):
    out = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", name],
                         env=dict(os.environ, DISPLAY=display), capture_output=True, text=True)
    return out.stdout.split()


def free_display():
    for n in range(141, 190):
        if not os.path.exists("/tmp/.X11-unix/X%d" % n) and not os.path.exists("/tmp/.X%d-lock" % n):
            return ":%d" % n
    raise RuntimeError("no free X display")


def main():
    exe = sys.argv[1]
    display = free_display()
    xvfb = subprocess.Popen(["Xvfb", display, "-screen", "0", "800x600x24", "-nolisten", "tcp"],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    work = tempfile.mkdtemp(prefix="bandora-small-")
    failures = []

    def check(condition, text):
        print(("ok   " if condition else "FAIL ") + text, flush=True)
        if not condition:
            failures.append(text)

    try:
        for _ in range(50):
            if subprocess.run(["xdpyinfo"], env=dict(os.environ, DISPLAY=display),
                              capture_output=True).returncode == 0:
                break
            time.sleep(0.1)
        program = os.path.join(work, "bandora")
        shutil.copy(exe, program)
        app = subprocess.Popen([program], env=dict(os.environ, DISPLAY=display))
        box = []
        for _ in range(100):
            box = visible_windows(display, "^Quallon Cartucheira Digital$")
            if box:
                break
            time.sleep(0.1)
        check(bool(box), "a message box titled with the application title appears")
        check(not visible_windows(display, "4.0-PRO"), "the wall is never shown")
        if box:
            subprocess.run(["xdotool", "windowfocus", "--sync", box[-1]],
                           env=dict(os.environ, DISPLAY=display))
            subprocess.run(["xdotool", "key", "Return"], env=dict(os.environ, DISPLAY=display))
        try:
            code = app.wait(timeout=10)
            check(code == 0, "the program ends after the message (exit code %d)" % code)
        except subprocess.TimeoutExpired:
            app.kill()
            check(False, "the program ends after the message")
        check(not visible_windows(display, "4.0-PRO"), "the wall was never shown")
        check(os.path.exists(os.path.join(work, "bandoracfg.ini")),
              "closing the refused window still writes its settings")
    finally:
        xvfb.terminate()
        xvfb.wait()
        shutil.rmtree(work, ignore_errors=True)
    passed = 0 if failures else 1
    print("%d passed, %d failed" % (passed, 1 - passed))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
