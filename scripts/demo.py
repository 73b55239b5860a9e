#!/usr/bin/env python3
"""The demo wall of scripts/run.sh.

    demo.py prepare PROGRAM_FOLDER
        Generates the tones of a morning show (jingles, beds, songs, spots) into
        PROGRAM_FOLDER/ARQUIVOS/DEMO and writes the profile DEMO.PFL beside the program;
        what is there already is left as it is.
    demo.py show PROGRAM_FOLDER OUTPUT_FOLDER
        On the X server and sound server of the environment: starts the program, activates the
        demo profile, fires its first cart, saves a screenshot and a recording of the output sink into
        OUTPUT_FOLDER and prints where they are.
"""

import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
import bandora_e2e as e2e  # noqa: E402

PROFILE = "DEMO"
DEFAULT_FACE = 9818331

# Face colours, 00BBGGRR as the profile stores them (never 255: red is the on-air colour).
GOLD, SKY, LEAF, PEACH, LILAC = 0x50C8FF, 0xFFC896, 0xA0E6A0, 0x78AAFF, 0xE6A0D2


def bgr(colour):
    """00BBGGRR as red, green, blue."""
    return colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF


# cart: (name, file, seconds, face, stop with fade, loop, notes in Hz)
CARTS = {
    1: ("&VINHETA ABERTURA", "vinheta abertura.wav", 4, GOLD, False, False, (523.3, 659.3)),
    2: ("VINHETA HORA CERTA", "vinheta hora certa.wav", 3, GOLD, False, False, (587.3, 740.0)),
    3: ("VINHETA ESPORTE", "vinheta esporte.wav", 3, GOLD, False, False, (659.3, 830.6)),
    4: ("VINHETA NOTÍCIAS", "vinheta noticias.wav", 3, GOLD, False, False, (698.5, 880.0)),
    5: ("VINHETA CLIMA", "vinheta clima.wav", 3, GOLD, False, False, (784.0, 987.8)),
    6: ("&PASSAGEM", "passagem.wav", 2, GOLD, False, False, (880.0, 1108.7)),
    8: ("&ENCERRAMENTO", "encerramento.wav", 5, GOLD, True, False, (392.0, 493.9)),
    9: ("BG MANHÃ", "bg manha.mp3", 60, SKY, True, True, (220.0, 277.2)),
    10: ("BG NOTÍCIAS", "bg noticias.mp3", 60, SKY, True, True, (196.0, 246.9)),
    11: ("BG ESPORTE", "bg esporte.mp3", 60, SKY, True, True, (246.9, 311.1)),
    12: ("BG SUAVE", "bg suave.mp3", 60, SKY, True, True, (174.6, 220.0)),
    17: ("SOL DE VERÃO", "sol de verao.mp3", 185, LEAF, True, False, (329.6, 415.3)),
    18: ("ESTRADA AZUL", "estrada azul.mp3", 212, LEAF, True, False, (293.7, 370.0)),
    19: ("CAFÉ COM LEITE", "cafe com leite.mp3", 198, LEAF, True, False, (349.2, 440.0)),
    20: ("NOITE CLARA", "noite clara.mp3", 174, LEAF, True, False, (261.6, 329.6)),
    25: ("SPOT PADARIA", "spot padaria.mp3", 15, PEACH, False, False, (440.0, 554.4)),
    26: ("SPOT FARMÁCIA", "spot farmacia.mp3", 15, PEACH, False, False, (493.9, 622.3)),
    27: ("SPOT AUTO PEÇAS", "spot auto pecas.mp3", 30, PEACH, False, False, (415.3, 523.3)),
    28: ("SPOT ACADEMIA", "spot academia.mp3", 15, PEACH, False, False, (466.2, 587.3)),
    33: ("APLAUSOS", "aplausos.wav", 4, LILAC, False, False, (1318.5, 1661.2)),
    34: ("RISADAS", "risadas.wav", 3, LILAC, False, False, (1174.7, 1480.0)),
    35: ("TELEFONE", "telefone.wav", 5, LILAC, False, True, (1400.0, 1760.0)),
}


def make_tone(path, seconds, notes, long_piece):
    """Two notes, one per channel, with a soft start and end; long pieces swell slowly."""
    effects = ["fade", "q", "0.05", str(seconds), "0.4" if not long_piece else "2"]
    if long_piece:
        effects = ["tremolo", "0.5", "40"] + effects
    subprocess.run(["sox", "-n", "-r", "44100", "-c", "2", path, "synth", str(seconds)] +
                   [w for hz in notes for w in ("sine", str(hz))] +
                   effects + ["gain", "-6"], check=True)


def profile_line(n, cart, folder):
    if cart is None:
        return "|%03d||||||||" % n
    name, file, seconds, face, fade, loop, _ = cart
    return "|%03d|%s|%s|%d|%s|%s|0|%d|" % (n, name, os.path.join(folder, file), face,
                                          "0" if fade else "1", "1" if loop else "0",
                                          seconds * 1000)


def prepare(program):
    folder = os.path.join(program, "ARQUIVOS", "DEMO")
    os.makedirs(folder, exist_ok=True)
    for name, file, seconds, _, _, _, notes in CARTS.values():
        path = os.path.join(folder, file)
        if not os.path.exists(path):
            make_tone(path, seconds, notes, seconds >= 60)
    profile = os.path.join(program, PROFILE + ".PFL")
    if os.path.exists(profile):  # the operator may have changed and saved it
        return
    text = "".join(profile_line(n, CARTS.get(n), folder) + "\r\n" for n in range(1, 97))
    try:
        data = text.encode("cp1252")
    except UnicodeEncodeError:  # a folder name beyond Windows-1252: the program reads UTF-8 too
        data = text.encode("utf-8")
    with open(profile, "wb") as f:
        f.write(data)


def on_air_shot(wall):
    """A screenshot that catches the blinking frame of cart 1 red, if one does within 2 s."""
    for _ in range(8):
        shot = wall.screenshot()
        if shot.cart_frame_red(1) > 20:
            break
    return shot


def show(program, out):
    os.makedirs(out, exist_ok=True)
    s = e2e.Session(program, out, [], folder=program)
    try:
        wall = s.start()
        profiles = sorted((f[:-4] for f in os.listdir(program) if f.upper().endswith(".PFL")),
                          key=str.lower)
        wall.choose_profile(profiles.index(PROFILE))
        wall.activate_profile()
        time.sleep(1.0)
        if not e2e.near(wall.screenshot().cart_face(1), bgr(CARTS[1][3])):
            sys.exit("The demo profile did not load: cart 1 does not show its colour.")
        screenshot = os.path.join(out, "wall.png")
        with s.record("on-air") as rec:
            wall.click(1)
            rec.wait_ms(1000)
            on_air_shot(wall).save(screenshot)
            rec.wait_ms(CARTS[1][2] * 1000)
        os.remove(rec.paths[e2e.CUE_SINK])
        heard = rec.out.span(CARTS[1][6][0], 0.05)
        wall.quit()
    finally:
        s.close()
    print("Screenshot of the wall with cart 1 on air: %s" % screenshot)
    print("Recording of the output (%d ms of cart 1 heard): %s" %
          (heard.length_ms, rec.paths[e2e.OUT_SINK]))


if __name__ == "__main__":
    if len(sys.argv) >= 3 and sys.argv[1] == "prepare":
        prepare(os.path.abspath(sys.argv[2]))
    elif len(sys.argv) >= 4 and sys.argv[1] == "show":
        show(os.path.abspath(sys.argv[2]), os.path.abspath(sys.argv[3]))
    else:
        sys.exit(__doc__)
