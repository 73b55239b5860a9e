#!/usr/bin/env python3
"""Whole-program test: on a screen below 1024x768 (an X server of its own at 800x600) the
program shows the resolution message and ends without ever showing the wall; closing the
refused window still writes its settings."""

import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from bandora_e2e import MESSAGE_TITLE, WALL_TITLE, main, wait_for  # noqa: E402


def free_display():
    for n in range(141, 190):
        if not any(os.path.exists(p % n) for p in ("/tmp/.X11-unix/X%d", "/tmp/.X%d-lock")):
            return ":%d" % n
    raise RuntimeError("no free X display")


def scenario(s):
    display = free_display()
    env = dict(os.environ, DISPLAY=display)
    s.spawn(["Xvfb", display, "-screen", "0", "800x600x24", "-nolisten", "tcp", "-noreset"],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    wait_for(lambda: subprocess.run(["xdpyinfo"], env=env, capture_output=True).returncode == 0,
             10, "the small X server")

    def visible(name):
        return subprocess.run(["xdotool", "search", "--onlyvisible", "--name", name], env=env,
                              capture_output=True, text=True).stdout.split()

    app = s.spawn([s.path("bandora")], cwd="/", env=env)
    box = wait_for(lambda: visible(MESSAGE_TITLE), 20, "the resolution message")
    s.check(not visible(WALL_TITLE), "the message comes and the wall is not shown")
    subprocess.run(["xdotool", "windowfocus", "--sync", box[-1]], env=env)
    time.sleep(0.2)
    subprocess.run(["xdotool", "key", "Return"], env=env)
    code = s.wait_exit(app)
    s.check(code == 0, "the program ends after the message (exit code %s)" % code)
    s.check(os.path.exists(s.path("bandoracfg.ini")),
            "closing the refused window still writes its settings")


if __name__ == "__main__":
    sys.exit(main(scenario))
