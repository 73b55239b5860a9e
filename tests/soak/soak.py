#!/usr/bin/env python3
"""Soak run: the installed program for a long show on a sound server of its own.

    soak.py PROGRAM_FOLDER [MINUTES]          default 20 minutes, after 2 minutes of warm-up

Two profiles of 96 carts (5-second jingles and 3-minute songs, MP3, WAV and WMA, stop with a
fade or a cut) are played with random clicks, stops, blocks segued by AUTO MIX and a profile
switch every few minutes, all driven by X events on the environment's X server. The run reports
the program's resident memory after the warm-up and at the end, the sound server's underruns,
its file descriptors and threads, whether it is still running, and any window it left open
that nobody asked for. Needs DISPLAY (the test script's Xvfb will do); starts its own
PulseAudio with one null sink and debug logging, so underruns can be counted on the server side.
Exit status 0 when every target is met."""

import os
import random
import re
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
import bandora_e2e as e2e  # noqa: E402

WARM_UP_S = float(os.environ.get("BANDORA_SOAK_WARM_UP_S", "120"))
JINGLE_MS, SONG_MS = 5000, 180000
FORMATS = [("mp3", "-c:a libmp3lame -b:a 192k"), ("wav", "-c:a pcm_s16le"),
           ("wma", "-c:a wmav2 -b:a 128k")]


def tone(path, hz, ms, options):
    subprocess.run("ffmpeg -nostdin -loglevel error -y -f lavfi -i "
                   "'sine=frequency=%d:sample_rate=44100:duration=%.3f' -ac 2 -af volume=0.4 "
                   "%s '%s'" % (hz, ms / 1000, options, path), shell=True, check=True)


def make_media(folder):
    """Three jingles and three songs, one per format; every cart gets a link of its own."""
    os.makedirs(folder, exist_ok=True)
    base = {}
    for i, (ext, options) in enumerate(FORMATS):
        for kind, ms, hz in (("jingle", JINGLE_MS, 500 + 100 * i), ("song", SONG_MS, 300 + 50 * i)):
            path = os.path.join(folder, "%s.%s" % (kind, ext))
            tone(path, hz, ms, options)
            base[(kind, ext)] = path
    return base


def write_profile(program, name, base):
    lines = []
    for n in range(1, 97):
        kind = "jingle" if n <= 64 else "song"
        ext = FORMATS[n % 3][0]
        link = os.path.join(program, "ARQUIVOS", "SOAK", "%s_%02d.%s" % (name, n, ext))
        os.link(base[(kind, ext)], link)
        ms = JINGLE_MS if kind == "jingle" else SONG_MS
        lines.append("|%03d|%s %s %02d|%s|%d|%d|0|0|%d|" %
                     (n, name, kind.upper(), n, link, 9818331 - n * 1000, n % 2, ms))
    with open(os.path.join(program, name + ".PFL"), "wb") as f:
        f.write("".join(line + "\r\n" for line in lines).encode("cp1252"))


def start_server(work):
    runtime = os.path.join(work, "pulse")
    os.makedirs(runtime, mode=0o700)
    log = os.path.join(work, "pulse.log")
    server = subprocess.Popen(
        ["pulseaudio", "--daemonize=no", "--exit-idle-time=-1", "-n", "--log-level=debug",
         "--log-time=1",
         "--log-target=file:" + log,
         "--load=module-native-protocol-unix socket=%s/native" % runtime,
         "--load=module-null-sink sink_name=%s sink_properties=device.description=Soak_Out"
         % e2e.OUT_SINK,
         "--load=module-null-sink sink_name=%s sink_properties=device.description=Soak_Cue"
         % e2e.CUE_SINK, "--load=module-always-sink"],
        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
        env=dict(os.environ, XDG_RUNTIME_DIR=runtime))  # beside any other server
    os.environ["PULSE_SERVER"] = "unix:%s/native" % runtime
    e2e.wait_for(lambda: subprocess.run(["pactl", "info"], capture_output=True).returncode == 0,
                 10, "the soak's sound server")
    subprocess.run(["pactl", "set-default-sink", e2e.OUT_SINK], capture_output=True)
    # A null sink sleeps long between blocks until a client asks for low latency.
    keeper = subprocess.Popen(["pacat", "--playback", "--raw", "--format=s16le", "--rate=44100",
                               "--channels=2", "--latency-msec=10", "--device=" + e2e.OUT_SINK,
                               "/dev/zero"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return [server, keeper], log


def underruns(log, since=None):
    """Underruns the server saw from `since` (a ServerLog) on, or from its start: the program's
    output at moments when the silent keeper stream beside it ran empty too (the machine was
    late for every stream), the program's alone, and the keeper's, a peer that shows what the
    machine alone does to a stream."""
    return e2e.ServerLog(log, since.offset if since else 0).classified()


def process_figures(pid):
    with open("/proc/%d/status" % pid) as f:
        status = f.read()
    rss_kib = int(re.search(r"VmRSS:\s+(\d+)", status).group(1))
    threads = int(re.search(r"Threads:\s+(\d+)", status).group(1))
    fds = len(os.listdir("/proc/%d/fd" % pid))
    return rss_kib / 1024.0, fds, threads


def stray_windows():
    """Visible windows of the program other than its wall: message boxes and questions."""
    found = []
    for pattern in (e2e.MESSAGE_TITLE, e2e.CONFIRM_TITLE):
        for window in e2e.windows(pattern):
            found.append(e2e.run("xdotool", "getwindowname", window, check=False))
    return found


class Operator:
    """Random but plausible work on the wall."""

    def __init__(self, wall, rng):
        self.wall, self.rng = wall, rng
        self.actions = {"click": 0, "block": 0, "switch": 0}

    def step(self):
        roll = self.rng.random()
        if roll < 0.12:
            self.block()
        else:
            self.wall.click(self.rng.randint(1, 96))  # fires, or stops by its fade or cut
            self.actions["click"] += 1
        time.sleep(self.rng.uniform(0.3, 1.5))

    def block(self):
        for n in self.rng.sample(range(1, 65), self.rng.randint(2, 3)):
            self.wall.click(n, shift=True)
        self.wall.click(self.rng.randint(1, 96))
        self.actions["block"] += 1

    def switch(self, index):
        self.wall.profile_list(index)
        self.actions["switch"] += 1


def settled_figures(operator, wall, profile):
    """The figures on a freshly loaded wall with nothing on air, the same state each time."""
    operator.switch(profile)
    time.sleep(10)  # its files opened ahead, nothing playing
    return process_figures(wall.proc.pid)


def main():
    program_source = sys.argv[1]
    minutes = float(sys.argv[2]) if len(sys.argv) > 2 else 20.0
    work = tempfile.mkdtemp(prefix="bandora-soak-")
    procs, log = start_server(work)
    session = None
    failures = []
    try:
        session = e2e.Session(program_source, work, [])
        program = session.folder
        session.write_device_settings(output=0, cue=1, mix_ms=900, fade_ms=800)
        session.write_window_settings(volume=100, auto_fade=False, auto_mix=True)
        base = make_media(os.path.join(work, "media"))
        os.makedirs(os.path.join(program, "ARQUIVOS", "SOAK"))
        for name in ("MANHA", "TARDE"):
            write_profile(program, name, base)

        wall = session.start()
        wall.activate_profile()
        rng = random.Random(20261209)
        operator = Operator(wall, rng)
        # Every player gets its timer the first time its cart plays: play each cart once on
        # both walls, so that what follows runs with the program's full set of threads.
        for profile in (1, 0):
            operator.switch(profile)
            for n in range(1, 97):
                wall.click(n)
                wall.click(n)
        end_warm = time.monotonic() + WARM_UP_S
        while time.monotonic() < end_warm:
            operator.step()
        warm = settled_figures(operator, wall, 0)
        warm_underruns = underruns(log)
        after_warm_up = e2e.ServerLog(log)
        print("after warm-up: %.1f MiB resident, %d fds, %d threads, underruns so far %s" %
              ((warm[0], warm[1], warm[2], warm_underruns)), flush=True)

        started = time.monotonic()
        next_switch = started + rng.uniform(180, 240)
        profile = 0
        next_report = started + 60
        while time.monotonic() - started < minutes * 60:
            if wall.proc.poll() is not None:
                failures.append("the program ended during the run (status %s)" %
                                wall.proc.returncode)
                break
            if time.monotonic() >= next_switch:
                profile = 1 - profile
                operator.switch(profile)
                next_switch = time.monotonic() + rng.uniform(180, 240)
            operator.step()
            if time.monotonic() >= next_report:
                rss, fds, threads = process_figures(wall.proc.pid)
                print("%4.1f min: %.1f MiB, %d fds, %d threads" %
                      ((time.monotonic() - started) / 60, rss, fds, threads), flush=True)
                next_report += 60

        alive = wall.proc.poll() is None
        end = settled_figures(operator, wall, 0) if alive else (0.0, 0, 0)
        stray = stray_windows()
        run_underruns = underruns(log, after_warm_up)
        print("actions: %s" % operator.actions)
        print("resident memory: %.1f MiB after warm-up, %.1f MiB at the end (growth %.1f MiB)" %
              (warm[0], end[0], end[0] - warm[0]))
        print("file descriptors: %d after warm-up, %d at the end" % (warm[1], end[1]))
        print("threads: %d after warm-up, %d at the end" % (warm[2], end[2]))
        print("server underruns during the run: the program's output %d alone and %d while "
              "the silent keeper stream (peer) ran empty too; the keeper %d; during warm-up %s" %
              (run_underruns["alone"], run_underruns["with keeper"], run_underruns["keeper"],
               warm_underruns))
        print("still running: %s; windows left open: %s" % (alive, stray or "none"))
        if not alive:
            failures.append("crashed")
        if end[0] - warm[0] >= 5.0:
            failures.append("memory grew by 5 MiB or more")
        if (end[1], end[2]) != (warm[1], warm[2]):
            failures.append("file descriptors or threads changed")
        if run_underruns["alone"]:
            failures.append("server underruns of the program's own")
        elif run_underruns["with keeper"]:
            print("target of no underrun at all not met: the server was late for every stream "
                  "%d times" % run_underruns["with keeper"])
        if stray:
            failures.append("windows left open")
    finally:
        if session is not None:
            session.close()
        for proc in procs:
            proc.terminate()
            proc.wait()
    print("soak: %s (work folder %s)" % ("all targets met" if not failures else
                                        "; ".join(failures), work))
    if not failures:
        shutil.rmtree(work, ignore_errors=True)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
