#!/usr/bin/env python3
"""Whole-program test: the first start of a freshly installed program folder, without any
settings file. The designed state holds (AUTO FADE off, AUTO MIX on, fader at 100); the setup
dialog chooses the two sinks as output and cue and sets the mix and fade times, which act at
once; "Sair" asks first and writes bandoracfg.ini; at the next start the cue device chosen is
in use: pre-listening sounds on the cue sink only."""

import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from bandora_e2e import CONFIRM_TITLE, RED, Layout, main, titled, wait_gone, windows  # noqa: E402

FADE_MS = 400
MIX_MS = 1500


def designed_state(s, wall):
    shot = wall.screenshot()
    fade_box, mix_box = shot.check_box_marked("auto_fade"), shot.check_box_marked("auto_mix")
    s.check(mix_box > fade_box + 4,
            "AUTO MIX is ticked and AUTO FADE is not (tick pixels %d and %d)" % (mix_box, fade_box))

    # Two carts fired one after the other mix: AUTO FADE is off, the fader at 100.
    wall.insert(1, s.tone("low.wav", 440, 6000))
    wall.insert(2, s.tone("high.wav", 880, 1500))
    with s.record("mix") as rec:
        wall.click(1)
        rec.wait_ms(700)
        wall.click(2)
        rec.wait_ms(2200)
    low, high = rec.out.span(440), rec.out.span(880)
    s.check(bool(low) and bool(high), "both carts sound")
    if high:
        together = rec.out.steady(440, high)
        s.check(together > 0.45, "cart 1 keeps its full level while cart 2 plays (%.2f)" % together)
        s.check(0.45 < rec.out.steady(880, high) < 0.55,
                "cart 2 plays at the file's level, fader at 100 (%.2f)" % rec.out.steady(880, high))
    wall.click(1)  # stops it (a cut: never set otherwise)


def choose_devices_and_times(s, wall):
    dialog = wall.setup_dialog()
    dialog.choose_devices(0, 1)
    dialog.set_times(MIX_MS, FADE_MS)
    dialog.ok()
    saved = s.read("BANDORA40.CFG")
    s.check(saved.endswith(b"\r\nTAMBR=3000\r\nDVTRA=0\r\nDVCUE=1\r\nMIXAGEM=%d\r\nFADE=%d\r\n" %
                           (MIX_MS, FADE_MS)),
            "OK writes the devices and times (%r)" % saved)
    s.check(not windows(titled("Configuração")), "the dialog is gone after OK")

    # The fade time acts at once.
    wall.stop_with_fade(1)
    _, fade = s.fire_and_stop(wall, 1, 440, 1000)
    s.check(fade is not None and abs(fade - FADE_MS) <= 80,
            "the new fade time acts at once: cart 1 fades in %s ms (expected %d)" %
            (fade and round(fade), FADE_MS))


def quit_writes_window_settings(s, wall):
    s.check(wall.quit(confirm=False) is None and wall.proc.poll() is None,
            "Cancel on \"Deseja Sair do Bandora ?\" keeps the program running")
    wait_gone(CONFIRM_TITLE)
    s.check(not os.path.exists(s.path("bandoracfg.ini")), "nothing written before Sair")
    code = wall.quit(save_changes=False)  # the carts filled here belong to no profile
    s.check(code == 0, "OK ends the program (exit code %s)" % code)
    s.check(s.read("bandoracfg.ini") == b"VOLUME=100\r\nAUTO_FADE=0\r\nAUTO_MIX=1\r\n",
            "Sair writes bandoracfg.ini (%r)" % s.read("bandoracfg.ini"))


def cue_on_chosen_device(s, wall):
    wall.insert(1, s.tone("cue.wav", 660, 1000))
    wall.press("cue")
    shot = wall.screenshot()
    with s.record("cue") as rec:
        wall.click(1)
        rec.wait_ms(1500)
    heard = rec.cue.span(660)
    s.check(heard.length_ms >= 900,
            "pre-listening sounds on the cue sink (%d ms at 660 Hz, pitch %.1f Hz)" %
            (heard.length_ms, rec.cue.pitch(heard.start_ms + 50, heard.end_ms - 50)
             if heard else 0))
    s.check(rec.out.loudest(660) < 0.02,
            "nothing on the output sink (peak %.3f)" % rec.out.loudest(660))
    red = shot.count(Layout.control_rect("cue", 6), RED)
    s.check(red > 1000, "the CUE button turns red (%d red pixels)" % red)


def scenario(s):
    s.check(not os.path.exists(s.path("BANDORA40.CFG")) and
            not os.path.exists(s.path("bandoracfg.ini")), "the installed folder has no settings")
    wall = s.start()
    designed_state(s, wall)
    choose_devices_and_times(s, wall)
    quit_writes_window_settings(s, wall)

    wall = s.start()
    cue_on_chosen_device(s, wall)
    s.stop(wall)


if __name__ == "__main__":
    sys.exit(main(scenario))
