#!/usr/bin/env python3
"""Whole-program test of loudness normalisation: the real program under the test X server,
playing to a PulseAudio null sink. Two carts about 20 dB apart (a quiet and a loud 1 kHz tone)
are filled through the menu and the open dialog and fired one after the other while the sink's
monitor is recorded. With LOUDNESS=1 and target -23 both come out at the same level; with
LOUDNESS=0 they keep their 20 dB difference."""

import math
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import wave

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from wall_e2e import RATE, Recorder, Wall, check, failures, levels, wait_window  # noqa: E402

HZ = 1000
QUIET_DBFS = -33.0  # a stereo 1 kHz sine reads its level in dBFS as LUFS
LOUD_DBFS = -13.0
TARGET = -23


def write_tone(path, dbfs, ms):
    amplitude = 10 ** (dbfs / 20)
    frames = RATE * ms // 1000
    data = bytearray()
    for i in range(frames):
        s = int(round(amplitude * 32767 * math.sin(2 * math.pi * HZ * i / RATE)))
        data += struct.pack("<hh", s, s)
    with wave.open(path, "wb") as w:
        w.setnchannels(2)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(bytes(data))


def write_settings(work, loudness):
    with open(os.path.join(work, "BANDORA40.CFG"), "w", newline="") as f:
        f.write("Quallon Sistemas\r\nBrasil\r\nTAMBR=3000\r\nDVTRA=0\r\nDVCUE=0\r\n"
                "MIXAGEM=900\r\nFADE=800\r\n")
    with open(os.path.join(work, "bandoracfg.ini"), "w", newline="") as f:
        f.write("VOLUME=100\r\nAUTO_FADE=0\r\nAUTO_MIX=0\r\n")
    with open(os.path.join(work, "bandoraext.ini"), "w", newline="") as f:
        f.write("LOUDNESS=%d\r\nLOUDNESS_TARGET=%d\r\n" % (1 if loudness else 0, TARGET))


def cache_entries(work):
    try:
        with open(os.path.join(work, "bandoraloud.cache"), encoding="latin-1") as f:
            return len(f.read().splitlines()) - 1
    except OSError:
        return 0


def level_dbfs(samples):
    """The tone's steady level: the median of the 20 ms windows in which it sounds."""
    sounding = sorted(v for v in levels(samples, HZ) if v > 0.003)
    if len(sounding) < 20:
        return None
    return 20 * math.log10(sounding[len(sounding) // 2])


def play_both(work, program, quiet, loud, loudness):
    """Runs the program once; returns the recorded levels of the quiet and the loud cart."""
    write_settings(work, loudness)
    app = subprocess.Popen([program], cwd="/")
    try:
        wait_window("Quallon Cartucheira Digital")
        time.sleep(1.5)
        wall = Wall()
        wall.insert(1, quiet)
        wall.insert(2, loud)
        end = time.time() + 20
        while cache_entries(work) < 2 and time.time() < end:
            time.sleep(0.2)  # measured in the background; the cache is written when done
        check(cache_entries(work) == 2, "both carts are measured and kept in the cache")
        found = []
        for n in (1, 2):
            rec = Recorder(os.path.join(work, "cart%d-%d.wav" % (n, loudness)))
            wall.click(n)
            time.sleep(3.4)
            found.append(level_dbfs(rec.stop()))
        return found
    finally:
        app.terminate()
        try:
            app.wait(timeout=10)
        except subprocess.TimeoutExpired:
            app.kill()


def main():
    exe = sys.argv[1]
    work = tempfile.mkdtemp(prefix="bandora-e2e-loudness-")
    try:
        program = os.path.join(work, "bandora")
        shutil.copy(exe, program)
        quiet = os.path.join(work, "quiet.wav")
        loud = os.path.join(work, "loud.wav")
        write_tone(quiet, QUIET_DBFS, 3000)
        write_tone(loud, LOUD_DBFS, 3000)

        q, l = play_both(work, program, quiet, loud, True)
        check(q is not None and l is not None, "with normalisation both carts sound")
        if q is not None and l is not None:
            print("     normalised: quiet cart %.2f dBFS, loud cart %.2f dBFS" % (q, l))
            check(abs(q - l) <= 1.0, "normalised, the carts are within 1 dB (%.2f dB apart)" %
                  abs(q - l))
            check(abs(q - TARGET) <= 1.0 and abs(l - TARGET) <= 1.0,
                  "both play at the target's level (%.2f and %.2f dBFS)" % (q, l))

        q, l = play_both(work, program, quiet, loud, False)
        check(q is not None and l is not None, "without normalisation both carts sound")
        if q is not None and l is not None:
            print("     as before: quiet cart %.2f dBFS, loud cart %.2f dBFS" % (q, l))
            check(abs((l - q) - (LOUD_DBFS - QUIET_DBFS)) <= 1.0,
                  "switched off, the carts keep their 20 dB difference (%.2f dB)" % (l - q))
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
