#!/usr/bin/env python3
"""A JACK device on the whole program, on the test script's JACK server (dummy driver, 48 kHz,
four playback ports). The setup dialog lists JACK's port pairs after the sound server's sinks;
"JACK: system playback 1/2" is chosen for the air and saved by number and by its ports. The
graph then changes under the saved number (the number is made to point at the other pair, as
when the list before it grew): at the next start the program still plays on playback 1/2,
found by its ports. A cart is fired, and what feeds those ports is recorded with jack_rec:
the cart's tone at its pitch and level, and nothing on playback 3/4."""

import math
import os
import subprocess
import sys
import time
import wave

from bandora_e2e import main, run, wait_for

HZ = 1000
AMPLITUDE = 0.5
TONE_MS = 2000
JACK_RATE = 48000
PAIR = ("system:playback_1", "system:playback_2")
OTHER_PAIR = ("system:playback_3", "system:playback_4")


def sound_server_sinks():
    return len(run("pactl", "list", "short", "sinks").splitlines())


def connections(port):
    """The ports connected to `port` (jack_lsp -c lists them indented under it)."""
    lines = run("jack_lsp", "-c", port, check=False).splitlines()
    return [line.strip() for line in lines[1:] if line.startswith((" ", "\t"))]


feeders = connections  # of a playback port: the output ports that feed it


def write_profile(s, tone):
    lines = ["|001|JACK|%s|9818331|1|0|0|%d|" % (tone, TONE_MS)]
    lines += ["|%03d||||||||" % n for n in range(2, 97)]
    with open(s.path("JACK.PFL"), "wb") as f:
        f.write("".join(line + "\r\n" for line in lines).encode("cp1252"))


def settings_lines(s, name):
    return s.read(name).decode("latin-1").split("\r\n")


def choose_jack_for_air(s, wall):
    """The first JACK pair on air, the cue on the second sink, through the setup dialog."""
    dialog = wall.setup_dialog()
    dialog.choose_devices(sound_server_sinks(), 1)
    dialog.ok()
    return settings_lines(s, "BANDORA40.CFG"), settings_lines(s, "bandoraext.ini")


def record_pair(s, seconds, ports):
    """jack_rec on the given output ports; returns once it is connected to them."""
    path = os.path.join(s.work, "jack.wav")
    proc = s.spawn(["jack_rec", "-f", path, "-d", seconds, "-b", "16"] + list(ports),
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    wait_for(lambda: all(any(c.startswith("jackrec:") for c in connections(p)) for p in ports),
             10, "jack_rec to connect")
    return proc, path


def analyse(path):
    """Pitch (zero crossings), peak and RMS of the left channel's sounding part, and its
    length in ms."""
    with wave.open(path) as w:
        channels, rate = w.getnchannels(), w.getframerate()
        raw = w.readframes(w.getnframes())
    count = len(raw) // 2
    values = [int.from_bytes(raw[2 * i:2 * i + 2], "little", signed=True) / 32768.0
              for i in range(0, count, channels)]
    loud = [i for i, v in enumerate(values) if abs(v) > 1e-3]
    if not loud:
        return None
    edge = rate // 100  # the start and the stop ramp
    part = values[loud[0] + edge:loud[-1] - edge]
    crossings = sum(1 for a, b in zip(part, part[1:]) if (a < 0) != (b < 0))
    return {
        "hz": crossings / 2.0 * rate / len(part),
        "peak": max(abs(v) for v in part),
        "rms": math.sqrt(sum(v * v for v in part) / len(part)),
        "ms": (loud[-1] - loud[0]) * 1000.0 / rate,
        "rate": rate,
    }


def scenario(s):
    s.write_device_settings(output=0, cue=1)
    s.write_window_settings(volume=100, auto_fade=False, auto_mix=False)
    tone = s.tone("ARQUIVOS/jack.wav", HZ, TONE_MS, AMPLITUDE, folder=s.folder)
    write_profile(s, tone)

    wall = s.start()
    sinks = sound_server_sinks()
    devices, ext = choose_jack_for_air(s, wall)
    s.check(devices[3] == "DVTRA=%d" % sinks,
            "the first JACK pair comes right after the %d sinks (%s)" % (sinks, devices[3]))
    s.check(len([line for line in devices if line]) == 7, "BANDORA40.CFG keeps its seven lines")
    s.check("JACK_TRA=%s,%s" % PAIR in ext, "bandoraext.ini names the pair's ports (%s)" % ext)
    s.check(not any(line.startswith("JACK_CUE=") for line in ext),
            "a sound server sink for the cue has no JACK line")
    s.stop(wall)
    wait_for(lambda: not feeders(PAIR[0]), 10, "the program to leave the JACK graph")

    # The number now points at the other pair, as after a change of the list before it.
    devices[3] = "DVTRA=%d" % (sinks + 1)
    with open(s.path("BANDORA40.CFG"), "w", newline="") as f:
        f.write("\r\n".join(devices))
    wall = s.start()
    ours = wait_for(lambda: feeders(PAIR[0]) and feeders(PAIR[1]) and
                    (feeders(PAIR[0])[0], feeders(PAIR[1])[0]), 10,
                    "the program's ports on playback 1/2")
    s.check(not feeders(OTHER_PAIR[0]), "nothing on playback 3/4, where the number points")

    wall.activate_profile()
    time.sleep(0.5)
    proc, path = record_pair(s, "4", ours)
    wall.click(1)
    wait_for(lambda: proc.poll() is not None, 15, "jack_rec to finish")
    heard = analyse(path)
    if s.check(heard is not None, "the cart sounds at the JACK ports"):
        s.check(heard["rate"] == JACK_RATE, "recorded at the server's rate")
        s.check(abs(heard["hz"] - HZ) <= HZ * 0.01, "at its pitch (%.1f Hz)" % heard["hz"])
        s.check(abs(heard["peak"] - AMPLITUDE) <= 0.02, "at its level (peak %.3f)" % heard["peak"])
        s.check(abs(heard["rms"] - AMPLITUDE / math.sqrt(2)) <= 0.02,
                "RMS %.3f" % heard["rms"])
        s.check(abs(heard["ms"] - TONE_MS) <= 60, "for its length (%.0f ms)" % heard["ms"])
    s.stop(wall)


if __name__ == "__main__":
    sys.exit(main(scenario))
