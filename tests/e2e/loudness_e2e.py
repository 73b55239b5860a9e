#!/usr/bin/env python3
"""Loudness normalisation on the whole program: a profile with a quiet and a loud cart (1 kHz
tones 20 dB apart) is activated and both carts are fired while the output sink is recorded.
With LOUDNESS=1 and target -23 both come out at the target's level, within 1 dB of each other;
with LOUDNESS=0 they keep their 20 dB difference."""

import math
import os
import sys
import time

from bandora_e2e import main, wait_for

HZ = 1000
QUIET_DBFS = -33.0  # a stereo 1 kHz sine reads its level in dBFS as LUFS
LOUD_DBFS = -13.0
TARGET = -23


def cache_entries(s):
    try:
        with open(s.path("bandoraloud.cache"), encoding="latin-1") as f:
            return len(f.read().splitlines()) - 1  # after its version line
    except OSError:
        return 0


def write_profile(s, quiet, loud):
    lines = ["|001|QUIET|%s|9818331|1|0|0|3000|" % quiet,
             "|002|LOUD|%s|9818331|1|0|0|3000|" % loud]
    lines += ["|%03d||||||||" % n for n in range(3, 97)]
    with open(s.path("LOUD.PFL"), "wb") as f:
        f.write("".join(line + "\r\n" for line in lines).encode("cp1252"))


def play_both(s, loudness):
    """One run of the program; the recorded levels (dBFS) of the quiet and the loud cart."""
    with open(s.path("bandoraext.ini"), "w", newline="") as f:
        f.write("LOUDNESS=%d\r\nLOUDNESS_TARGET=%d\r\n" % (1 if loudness else 0, TARGET))
    wall = s.start()
    wall.activate_profile()
    if loudness:
        # Measured in the background after the load; the cache is written when both are done.
        wait_for(lambda: cache_entries(s) == 2, 30, "both carts measured and cached")
    found = []
    for n in (1, 2):
        with s.record() as rec:
            wall.click(n)
            rec.wait_ms(3400)
        span = rec.out.span(HZ, 0.003)
        level = rec.out.steady(HZ, span) if span else 0.0
        found.append(20 * math.log10(level) if level > 0 else None)
    s.stop(wall)
    time.sleep(0.3)
    return found


def scenario(s):
    s.write_device_settings(output=0, cue=1)
    s.write_window_settings(volume=100, auto_fade=False, auto_mix=False)
    quiet = s.tone("ARQUIVOS/quiet.wav", HZ, 3000, 10 ** (QUIET_DBFS / 20), folder=s.folder)
    loud = s.tone("ARQUIVOS/loud.wav", HZ, 3000, 10 ** (LOUD_DBFS / 20), folder=s.folder)
    write_profile(s, quiet, loud)

    q, l = play_both(s, True)
    if s.check(q is not None and l is not None, "with normalisation both carts sound"):
        s.check(abs(q - l) <= 1.0, "normalised, the carts come out within 1 dB (%.2f and "
                "%.2f dBFS)" % (q, l))
        s.check(abs(q - TARGET) <= 1.0 and abs(l - TARGET) <= 1.0,
                "both at the target's level")

    q, l = play_both(s, False)
    if s.check(q is not None and l is not None, "without normalisation both carts sound"):
        s.check(abs((l - q) - (LOUD_DBFS - QUIET_DBFS)) <= 1.0,
                "switched off, the carts keep their 20 dB difference (%.2f dB)" % (l - q))


if __name__ == "__main__":
    sys.exit(main(scenario))
