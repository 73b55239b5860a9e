#!/usr/bin/env python3
"""Shared harness of the whole-program tests.

Every test copies the installed program folder (the one `cmake --install` gives) into a
temporary folder of its own, starts the program from there under the test X server
(1280x1024) and the test sound server (two null sinks, "bandora_out" and "bandora_cue"), and
drives it only with real X events (xdotool). It reads the screen from screenshots where a check
needs it and records both sinks' monitors (parec) to measure what really sounded: pitch, level,
length, fade time and segue points, always on the recorded frames, never on the wall clock.

A test is a function of one `Session`, run by `main`:

    def scenario(s):
        wall = s.start()
        wall.insert(1, s.tone("a.wav", 440, 2000))
        with s.record() as rec:
            wall.click(1)
            rec.wait_ms(2300)
        s.check(rec.out.span(440).length_ms > 1900, "cart 1 sounds")

    if __name__ == "__main__":
        sys.exit(main(scenario))
"""

import math
import operator
import os
import re
import select
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time
import traceback
import wave

RATE = 44100
OUT_SINK = "bandora_out"  # the server's default sink: device entry 0 of the setup dialog
CUE_SINK = "bandora_cue"  # the next sink by name: device entry 1


def titled(title):
    """An xdotool pattern for a window of the program titled `title`: X shows the title
    followed by the application's name, unless it is the application's name."""
    escaped = re.sub(r"([][.*+?{}()|^$\\])", r"\\\1", title)
    return "^%s( — Quallon Cartucheira Digital)?$" % escaped


WALL_TITLE = "4.0-PRO"  # the main window's title holds this; nothing else does
MESSAGE_TITLE = titled("Quallon Cartucheira Digital")  # plain message boxes
CONFIRM_TITLE = titled("Quallon Sistemas")  # questions with OK and Cancel
DEFAULT_FACE = (219, 208, 149)  # 9818331 as red, green, blue
RED = (255, 0, 0)
FIRST_DIALOG_COLOUR = (255, 221, 221)  # the colour dialog starts at 14540287
OFFERED = "offered"  # answers a colour dialog with the colour it offers


# ---------------------------------------------------------------------------------------------
# Processes and X


def run(*args, check=True, env=None):
    return subprocess.run(args, check=check, capture_output=True, text=True,
                          env=env).stdout.strip()


def xdo(*args):
    return run("xdotool", *[str(a) for a in args])


def wait_for(condition, timeout, what, interval=0.1):
    """Polls `condition` until it gives something true; fails the test after `timeout` s."""
    end = time.monotonic() + timeout
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() > end:
            raise AssertionError("timed out waiting for " + what)
        time.sleep(interval)


def windows(pattern):
    return run("xdotool", "search", "--onlyvisible", "--name", pattern, check=False).split()


def wait_window(pattern, timeout=20):
    return wait_for(lambda: windows(pattern), timeout, "a window named %r" % pattern)[-1]


def wait_gone(pattern, timeout=10):
    wait_for(lambda: not windows(pattern), timeout, "the window %r to close" % pattern)


def popups():
    """The program's open menus and drop-down lists: its windows without a title of their own
    (X has only the application's name for them), hints left out by their type."""
    found = set()
    for w in windows(".*"):
        props = run("xprop", "-id", w, "WM_CLASS", "WM_NAME", "_NET_WM_WINDOW_TYPE", check=False)
        untitled = re.search(r"^WM_NAME\(\w+\) = (\"\")?$", props, re.M)
        if '"bandora"' in props and untitled and "TOOLTIP" not in props:
            found.add(w)
    return found


def open_popup(action, timeout=10):
    """Does `action` (a right click, F10, a press on a box) and waits until a menu or list
    that was not there before is shown, so the keys that follow reach it and not the window
    below, however busy the machine is."""
    before = popups()
    action()
    wait_for(lambda: popups() - before, timeout, "a menu to open")
    time.sleep(0.1)


def window_geometry(window):
    values = dict(line.split("=", 1) for line in
                  xdo("getwindowgeometry", "--shell", window).splitlines())
    return int(values["X"]), int(values["Y"]), int(values["WIDTH"]), int(values["HEIGHT"])


def move_to(x, y):
    xdo("mousemove", int(x), int(y))
    time.sleep(0.1)


def click_at(x, y, button=1):
    move_to(x, y)
    xdo("click", button)
    time.sleep(0.25)


def drag(start, end, steps=10):
    """Left button pressed at `start`, moved in steps and released at `end`."""
    move_to(*start)
    xdo("mousedown", 1)
    time.sleep(0.3)
    for i in range(1, steps + 1):
        xdo("mousemove", start[0] + (end[0] - start[0]) * i // steps,
            start[1] + (end[1] - start[1]) * i // steps)
        time.sleep(0.08)
    time.sleep(0.3)
    xdo("mouseup", 1)
    time.sleep(0.3)


def keys(*names, window=None):
    if window is not None:
        xdo("windowfocus", "--sync", window)
        time.sleep(0.1)
    if names:
        xdo("key", "--delay", 40, *names)
        time.sleep(0.1)


def type_text(text):
    xdo("type", "--delay", 8, text)
    time.sleep(0.1)


def answer(title=MESSAGE_TITLE, key="Return", timeout=20):
    """Waits for a message box (or any window) by title and presses `key` in it."""
    box = wait_window(title, timeout)
    keys(key, window=box)
    time.sleep(0.3)
    return box


# ---------------------------------------------------------------------------------------------
# Screen


class Layout:
    """Screen points of the main window at 1280x1024, from its design layout: the window is
    scaled by 100/98 and then stretched from 1035x768 to the screen."""

    SX = 100 / 98 * 1280 / 1035
    SY = 100 / 98 * 1024 / 768

    # Controls of the control strip, design rectangles (left, top, width, height) in the strip.
    STRIP = {
        "setup": (719, 655, 57, 42),
        "cue": (871, 585, 115, 28),
        "auto_fade": (604, 658, 97, 17),
        "auto_mix": (604, 674, 97, 17),
        "quit": (889, 662, 86, 34),
        "minimize": (878, 627, 104, 25),
        "profile_box": (328, 617, 319, 19),
        "activate": (655, 610, 120, 32),
        "new_profile": (330, 660, 82, 32),
        "save_profile": (414, 660, 82, 32),
        "block_list": (799, 611, 55, 76),
        "clock": (174, 601, 79, 24),
        "fader": (276, 594, 30, 106),
        "logo": (17, 647, 243, 44),
    }

    @classmethod
    def strip_point(cls, x, y):
        """Screen point of a point of the strip's design layout (the strip sits at 1, 1)."""
        return int((1 + x) * cls.SX), int((1 + y) * cls.SY)

    @classmethod
    def control(cls, name):
        left, top, width, height = cls.STRIP[name]
        return cls.strip_point(left + width / 2, top + height / 2)

    @classmethod
    def control_rect(cls, name, inset=0):
        """Screen rectangle (left, top, right, bottom) of a strip control, `inset` design
        pixels inside its edges."""
        left, top, width, height = cls.STRIP[name]
        return (cls.strip_point(left + inset, top + inset) +
                cls.strip_point(left + width - inset, top + height - inset))

    @classmethod
    def cart_rect(cls, n):
        """Screen rectangle (left, top, right, bottom) of cart n; off by a pixel or two."""
        r, c = divmod(n - 1, 8)
        left, top = 1 + 10 + 4 + 121 * c, 1 + 17 + 28 + 44 * r
        return (round(left * cls.SX), round(top * cls.SY), round((left + 120) * cls.SX),
                round((top + 42) * cls.SY))

    @classmethod
    def cart(cls, n):
        left, top, right, bottom = cls.cart_rect(n)
        return (left + right) // 2, (top + bottom) // 2


def near(colour, expected, tolerance=24):
    return all(abs(a - b) <= tolerance for a, b in zip(colour, expected))


class Shot:
    """One screenshot of the whole X screen, as rows of RGB bytes."""

    def __init__(self):
        data = subprocess.run(["import", "-window", "root", "-depth", "8", "ppm:-"],
                              check=True, capture_output=True).stdout
        match = re.match(rb"P6\s+(\d+)\s+(\d+)\s+255\s", data)
        self.width, self.height = int(match.group(1)), int(match.group(2))
        self.pixels = data[match.end():]
        self._data = data

    def save(self, path):
        """Writes the screenshot as an image file (its type from the name: .png, ...)."""
        subprocess.run(["convert", "ppm:-", path], input=self._data, check=True)

    def pixel(self, x, y):
        i = 3 * (y * self.width + x)
        return tuple(self.pixels[i:i + 3])

    def _pixels(self, rect):
        left, top, right, bottom = rect
        return (self.pixel(x, y) for y in range(top, bottom) for x in range(left, right))

    def count(self, rect, colour):
        """How many pixels of rect (left, top, right, bottom) are near `colour`."""
        return sum(1 for p in self._pixels(rect) if near(p, colour))

    def dark(self, rect):
        return sum(1 for p in self._pixels(rect) if sum(p) < 200)

    # What a cart shows.
    def cart_frame_red(self, n):
        """Red pixels in the band of cart n's left edge, where its on-air frame is drawn."""
        left, top, _, bottom = Layout.cart_rect(n)
        mid = (top + bottom) // 2
        return self.count((left - 2, mid - 4, left + 8, mid + 4), RED)

    def cart_badge_red(self, n):
        """Red pixels in the corner of cart n where its number sits (red while queued)."""
        _, top, right, _ = Layout.cart_rect(n)
        return self.count((right - 14, top + 2, right - 3, top + 9), RED)

    def cart_face(self, n):
        """The face colour of cart n, taken left of its caption."""
        left, top, _, bottom = Layout.cart_rect(n)
        return self.pixel(left + 10, (top + bottom) // 2)

    def check_box_marked(self, name):
        """Dark pixels inside the box of a check box of the strip (its tick mark)."""
        left, top, _, height = Layout.STRIP[name]
        x0, y0 = Layout.strip_point(left, top)
        y1 = Layout.strip_point(left, top + height)[1]
        mid = (y0 + y1) // 2
        return self.dark((x0 + 4, mid - 3, x0 + 11, mid + 4))


# ---------------------------------------------------------------------------------------------
# Sound


def write_tone(path, hz, ms, amplitude=0.5, channels=2, rate=RATE):
    """A sine tone of `ms` milliseconds as a 16-bit WAV file."""
    frames = rate * ms // 1000
    step = 2 * math.pi * hz / rate
    one = [int(amplitude * 32767 * math.sin(step * i)) for i in range(frames)]
    data = struct.pack("<%dh" % (frames * channels),
                       *(s for s in one for _ in range(channels)))
    with wave.open(path, "wb") as w:
        w.setnchannels(channels)
        w.setsampwidth(2)
        w.setframerate(rate)
        w.writeframes(data)
    return path


class Span:
    """Where a tone sounded in a recording, in ms from the recording's start."""

    def __init__(self, start_ms, end_ms):
        self.start_ms, self.end_ms = start_ms, end_ms

    @property
    def length_ms(self):
        return self.end_ms - self.start_ms

    def __bool__(self):
        return self.end_ms > self.start_ms


class Sound:
    """A mono recording of one sink's monitor, and the measures taken on it."""

    WINDOW_MS = 20  # analysis window, Hann
    HOP_MS = 10

    def __init__(self, samples):
        self.samples = [s / 32768.0 for s in samples]
        self._levels = {}

    def levels(self, hz):
        """Amplitude of `hz` (1.0 = full scale) every HOP_MS, each over WINDOW_MS."""
        if hz not in self._levels:
            n = RATE * self.WINDOW_MS // 1000
            hop = RATE * self.HOP_MS // 1000
            hann = [0.5 - 0.5 * math.cos(2 * math.pi * i / (n - 1)) for i in range(n)]
            w = 2 * math.pi * hz / RATE
            hc = [h * math.cos(w * i) for i, h in enumerate(hann)]
            hs = [h * math.sin(w * i) for i, h in enumerate(hann)]
            gain = 2 / sum(hann)
            x = self.samples
            out = []
            for start in range(0, len(x) - n, hop):
                seg = x[start:start + n]
                re_ = sum(map(operator.mul, seg, hc))
                im = sum(map(operator.mul, seg, hs))
                out.append(gain * math.hypot(re_, im))
            self._levels[hz] = out
        return self._levels[hz]

    def ms(self, index):
        """The time of level window `index`: its centre."""
        return index * self.HOP_MS + self.WINDOW_MS // 2

    def index(self, ms):
        return max(0, int(ms - self.WINDOW_MS // 2) // self.HOP_MS)

    def loudest(self, hz, from_ms=0, to_ms=None):
        series = self.levels(hz)[self.index(from_ms):None if to_ms is None else self.index(to_ms)]
        return max(series, default=0.0)

    def level_at(self, hz, ms):
        series = self.levels(hz)
        return series[min(self.index(ms), len(series) - 1)] if series else 0.0

    def steady(self, hz, span):
        """The median level of `hz` over the middle of `span`."""
        series = self.levels(hz)[self.index(span.start_ms + 60):self.index(span.end_ms - 60)]
        return sorted(series)[len(series) // 2] if series else 0.0

    def spans(self, hz, threshold=0.05, min_gap_ms=30):
        """Every stretch where `hz` stands at or above `threshold`; gaps shorter than
        min_gap_ms are bridged (a window straddling a block boundary can dip)."""
        series = self.levels(hz)
        found = []
        start = None
        for i, v in enumerate(series + [0.0]):
            if v >= threshold and start is None:
                start = i
            elif v < threshold and start is not None:
                found.append([start, i])
                start = None
        merged = []
        for a, b in found:
            if merged and (a - merged[-1][1]) * self.HOP_MS < min_gap_ms:
                merged[-1][1] = b
            else:
                merged.append([a, b])
        return [Span(self.ms(a) - self.HOP_MS // 2, self.ms(b) - self.HOP_MS // 2)
                for a, b in merged]

    def span(self, hz, threshold=0.05, from_ms=0):
        """The first stretch of `hz` that ends after from_ms (an empty Span if none)."""
        for s in self.spans(hz, threshold):
            if s.end_ms > from_ms:
                return s
        return Span(0, 0)

    def heard_ms(self, hz, threshold=0.2):
        """How long `hz` stood at or above `threshold` in all: the length of what was played,
        even if a busy machine held the sound up somewhere (checked apart, by dropouts)."""
        return sum(s.length_ms for s in self.spans(hz, threshold))

    def onset_ms(self, hz, level, from_ms=0):
        """Where `hz` first rises through `level`, interpolated between windows."""
        series = self.levels(hz)
        for i in range(max(1, self.index(from_ms)), len(series)):
            if series[i - 1] < level <= series[i]:
                frac = (level - series[i - 1]) / (series[i] - series[i - 1])
                return self.ms(i - 1) + frac * self.HOP_MS
        return None

    def fall_ms(self, hz, level, from_ms=0):
        """Where `hz` first falls through `level` after from_ms, interpolated."""
        series = self.levels(hz)
        for i in range(max(1, self.index(from_ms)), len(series)):
            if series[i - 1] >= level > series[i]:
                frac = (series[i - 1] - level) / (series[i - 1] - series[i])
                return self.ms(i - 1) + frac * self.HOP_MS
        return None

    def last_fall_ms(self, hz, level, before_ms, from_ms=0):
        """Where `hz` last fell through `level` between from_ms and before_ms, interpolated."""
        series = self.levels(hz)
        found = None
        for i in range(max(1, self.index(from_ms)), min(self.index(before_ms) + 1, len(series))):
            if series[i - 1] >= level > series[i]:
                frac = (series[i - 1] - level) / (series[i - 1] - series[i])
                found = self.ms(i - 1) + frac * self.HOP_MS
        return found

    def fade(self, hz, span):
        """How the tone of `span` ended, as (start ms, length ms) of a linear fade: from the
        times it fell through 90 % and 10 % of its steady level (0.8 of a whole fade apart).
        A cut gives a length of a window or two. The fall through 90 % is the last one before
        the tone goes quiet, so a dip it recovered from (a block the sound server skipped on a
        busy machine; the dropout checks look for those) does not pass for the fade's start."""
        top = self.steady(hz, span)
        low = self.fall_ms(hz, 0.1 * top, span.start_ms + 60)
        high = self.last_fall_ms(hz, 0.9 * top, low, span.start_ms + 60) if low else None
        if high is None or low is None:
            return None
        length = (low - high) / 0.8
        return high - 0.1 * length, length

    def fade_ms(self, hz, span):
        """The length of the fade that ended `span` (None without a span or a fall)."""
        found = self.fade(hz, span) if span else None
        return found and found[1]

    def pitch(self, from_ms=0, to_ms=None):
        """Frequency from the periods between rising zero crossings (interpolated); a gap in
        the sound is one long period and is left out, so it cannot pass for a pitch."""
        x = self.samples[from_ms * RATE // 1000:None if to_ms is None else to_ms * RATE // 1000]
        crossings = [i + a / (a - b) for i, (a, b) in enumerate(zip(x, x[1:])) if a < 0 <= b]
        periods = sorted(b - a for a, b in zip(crossings, crossings[1:]))
        if not periods:
            return 0.0
        median = periods[len(periods) // 2]
        kept = [p for p in periods if p < 1.5 * median]
        return RATE * len(kept) / sum(kept)

    def dropouts(self, hz, amplitude, span):
        """Places inside `span` where the waveform jumps further than a tone of that pitch and
        amplitude can move in one sample: clicks and gaps."""
        limit = 1.5 * amplitude * 2 * math.pi * hz / RATE
        a, b = (span.start_ms + 30) * RATE // 1000, (span.end_ms - 30) * RATE // 1000
        x = self.samples
        return [i for i in range(a + 1, b) if abs(x[i] - x[i - 1]) > limit]


class ServerLog:
    """The test sound server's debug log (BANDORA_PULSE_LOG), read from `offset`, by default
    where it stood when this was made: which streams the server found empty, and when (server
    seconds)."""

    UNDERRUN = re.compile(r"^\(\s*([\d.]+)\|.*underrun of '([^']*)'")
    KEEPER = "/dev/zero"  # the silent low-latency streams that test-env.sh keeps on each sink

    def __init__(self, path=None, offset=None):
        self.path = path or os.environ.get("BANDORA_PULSE_LOG")
        self.offset = self._size() if offset is None else offset

    def _size(self):
        try:
            return os.path.getsize(self.path) if self.path else 0
        except OSError:
            return 0

    def underruns(self):
        if not self.path:
            return []
        with open(self.path, "rb") as f:
            f.seek(self.offset)
            text = f.read().decode("utf-8", "replace")
        return [(float(m.group(1)), m.group(2))
                for m in map(self.UNDERRUN.match, text.splitlines()) if m]

    def classified(self, within_s=0.03):
        """The program's underruns split in two: those at a moment when the server's keeper
        stream ran empty too (the server, or the machine under it, was late for every stream,
        which no client can prevent) and those of the program alone; and the keeper's own."""
        found = self.underruns()
        ours = [t for t, name in found if name.startswith("Bandora")]
        keeper = [t for t, name in found if name == self.KEEPER]
        shared = [t for t in ours if any(abs(t - k) <= within_s for k in keeper)]
        return {"with keeper": len(shared), "alone": len(ours) - len(shared),
                "keeper": len(keeper)}

    def server_fell_behind(self):
        """True when the program's streams ran empty at the server, but only when the server
        was late for every stream; False when they ran empty on their own, or never did."""
        counts = self.classified()
        return counts["with keeper"] > 0 and counts["alone"] == 0


class Recording:
    """Both sinks' monitors recorded at once; use as a context manager. `server` is the sound
    server's log over the recording, to tell a server that fell behind from a program fault."""

    def __init__(self, folder, name):
        self.paths = {sink: os.path.join(folder, "%s-%s.wav" % (name, sink))
                      for sink in (OUT_SINK, CUE_SINK)}
        self.out = self.cue = None
        self.server = None
        self._procs = {}

    def __enter__(self):
        self.server = ServerLog()
        for sink, path in self.paths.items():
            self._procs[sink] = subprocess.Popen(
                ["parec", "-d", sink + ".monitor", "--file-format=wav", "--rate=%d" % RATE,
                 "--channels=1", "--format=s16le", "--latency-msec=20", path])
        # Recording has begun once both files grow.
        wait_for(lambda: all(self.recorded_ms(s) > 100 for s in self.paths), 10,
                 "both recordings to start")
        return self

    def recorded_ms(self, sink=OUT_SINK):
        try:
            size = os.path.getsize(self.paths[sink])
        except OSError:
            return 0
        return max(0, size - 44) * 1000 // (2 * RATE)

    def wait_ms(self, ms):
        """Waits until the output sink's recording holds `ms` more milliseconds of sound: the
        recording's own clock, so a busy machine cannot shorten what is heard."""
        target = self.recorded_ms(OUT_SINK) + ms
        wait_for(lambda: self.recorded_ms(OUT_SINK) >= target, ms / 1000 + 20,
                 "%d ms of recording" % ms, interval=0.05)

    def __exit__(self, *exc):
        for proc in self._procs.values():
            proc.send_signal(signal.SIGINT)
        sounds = {}
        for sink, proc in self._procs.items():
            proc.wait(timeout=10)
            with wave.open(self.paths[sink], "rb") as w:
                raw = w.readframes(w.getnframes())
            sounds[sink] = Sound(struct.unpack("<%dh" % (len(raw) // 2), raw))
        self.out, self.cue = sounds[OUT_SINK], sounds[CUE_SINK]
        return False


# ---------------------------------------------------------------------------------------------
# The program


CART_MENU = [  # the cart menu's items in order (separators left out)
    "Sobre o Software", "Inserir Áudio no Cartucho", "Excluir Áudio do Cartucho",
    "Selecionar Cor para o Cartucho", "Cor Padrão", "Selecionar Cor de Fonte",
    "Propriedades do Áudio do Cartucho", "Marcas do Áudio", "Aprender MIDI", "Preferências",
    "Renomear Cartucho", "Loop", "Copia Cartucho Selecionado", "Colar Cartucho", "Pesquisa Áudio",
    "Lista Perfis",
]
ALWAYS_ENABLED = {"Sobre o Software", "Inserir Áudio no Cartucho", "Pesquisa Áudio",
                  "Lista Perfis"}


class Wall:
    """The running program's main window, driven as an operator does."""

    def __init__(self, session, proc, folder):
        self.session, self.proc, self.folder = session, proc, folder
        self.window = None
        self.copied = False

    # Carts.
    def hover(self, n):
        """Makes cart n the current cart: the pointer comes to rest on it."""
        x, y = Layout.cart(n)
        move_to(x + 6, y)
        move_to(x, y)
        time.sleep(0.05)

    def click(self, n, shift=False):
        self.hover(n)
        if shift:
            xdo("keydown", "shift")
        xdo("click", 1)
        if shift:
            xdo("keyup", "shift")
        time.sleep(0.15)

    def menu(self, n, item, loaded=True, sub_item=None):
        """Chooses `item` of cart n's right-click menu with the keyboard (the menu skips the
        disabled items, which depend on whether the cart holds a file)."""
        enabled = [i for i in CART_MENU
                   if i in ALWAYS_ENABLED or (loaded and i != "Colar Cartucho")
                   or (i == "Colar Cartucho" and self.copied)]
        self.hover(n)
        open_popup(lambda: xdo("click", 3))
        keys(*["Down"] * (enabled.index(item) + 1))
        if sub_item is not None:
            open_popup(lambda: keys("Right"))
            keys(*["Down"] * sub_item)
        keys("Return")
        time.sleep(0.3)

    def choose_colour(self, colour=None):
        """Answers the colour dialog that follows loading a cart: None cancels it (the cart
        keeps the default face), OFFERED takes the colour it offers, (red, green, blue) types
        that colour into its HTML field."""
        dialog = wait_window("Select Color|Selecionar|Cor")
        if colour is None:
            keys("Escape", window=dialog)
        elif colour == OFFERED:
            keys("Return", window=dialog)
        else:
            keys("alt+h", "ctrl+a", window=dialog)
            type_text("#%02x%02x%02x" % colour)
            keys("Return")
        time.sleep(0.3)

    def insert(self, n, path, colour=None):
        """"Inserir Áudio no Cartucho": the open dialog, then the colour dialog."""
        self.menu(n, "Inserir Áudio no Cartucho", loaded=False)
        dialog = wait_window(titled("Incluir Áudio no Cartucho ->%d" % n))
        xdo("windowfocus", "--sync", dialog)
        time.sleep(0.3)
        type_text(path)
        keys("Return")
        self.choose_colour(colour)

    def rename(self, n, name):
        self.menu(n, "Renomear Cartucho")
        dialog = wait_window(titled("Renomear Cartucho ->%d" % n))
        keys("ctrl+a", window=dialog)
        type_text(name)
        keys("Return")
        wait_gone(titled("Renomear Cartucho ->%d" % n))

    def stop_with_fade(self, n):
        self.menu(n, "Preferências", sub_item=1)

    def stop_with_cut(self, n):
        self.menu(n, "Preferências", sub_item=0)

    def toggle_loop(self, n):
        self.menu(n, "Loop")

    # The control strip.
    def press(self, control):
        click_at(*Layout.control(control))

    def focus(self):
        xdo("windowfocus", "--sync", self.window)
        time.sleep(0.1)

    def key(self, *names):
        """Keys to the main window, as an operator types them with the wall in front."""
        self.focus()
        keys(*names)

    def setup_dialog(self):
        self.press("setup")
        return SetupDialog(wait_window(titled("Configuração")))

    def quit(self, confirm=True, save_changes=None):
        """"Sair" and the answer to its question; gives the exit code when confirmed. A wall
        changed since its profile was loaded or saved is then offered for saving ("Perfil foi
        alterado, Deseja Salvar ??"): `save_changes` answers that (True OK, False Cancel)."""
        self.press("quit")
        answer(CONFIRM_TITLE, "Return" if confirm else "Escape")
        if not confirm:
            return None
        if save_changes is not None:
            answer(CONFIRM_TITLE, "Return" if save_changes else "Escape")
        return self.session.wait_exit(self.proc)

    # Profiles: the box, its buttons and its right-click menu, the F10 list.
    def choose_profile(self, index):
        """Opens the profile box's list and picks entry `index` (from 0)."""
        open_popup(lambda: self.press("profile_box"))
        keys("Home", *["Down"] * index, "Return")

    def activate_profile(self):
        """"Ativar": loads the profile chosen in the box (a question may follow when the wall
        was changed: answer it with `answer(CONFIRM_TITLE, ...)`)."""
        self.press("activate")
        time.sleep(0.5)

    def new_profile(self, name):
        """"Novo": the new-profile dialog, the name typed, OK."""
        self.press("new_profile")
        dialog = wait_window(titled("Novo Perfil"))
        keys(window=dialog)
        type_text(name)
        keys("Return")
        time.sleep(0.3)

    def save_profile(self):
        self.press("save_profile")
        time.sleep(0.3)

    def profile_menu(self, item):
        """An item of the profile box's right-click menu: "Novo Perfil", "Salvar Perfil" or
        "Excluir Perfil" (the last asks first)."""
        open_popup(lambda: click_at(*Layout.control("profile_box"), button=3))
        keys(*["Down"] * (["Novo Perfil", "Salvar Perfil", "Excluir Perfil"].index(item) + 1),
             "Return")
        time.sleep(0.3)

    def profile_list(self, index):
        """F10 and entry `index` (from 0) of the profile list it opens."""
        open_popup(lambda: self.key("F10"))
        keys(*["Down"] * (index + 1), "Return")
        time.sleep(0.5)

    def drop_files(self, n, paths, colour=False, rested_on=None):
        """Drags `paths` from a stand-in file manager onto cart n, after the pointer rested on
        cart `rested_on` (default n); the drag crosses from that process to the program
        through XDND. `colour` answers the colour dialog that follows (as for choose_colour;
        False: none is expected). Gives what the drag source saw: "accepted" or "refused"."""
        source_left, source_top = 20, 800  # over the meters, clear of the carts
        source = self.session.spawn(
            [self.session.drag_source, source_left, source_top, 240, 70] + list(paths),
            stdout=subprocess.PIPE, text=True)
        wait_window("^Arquivos para arrastar")
        time.sleep(0.3)
        self.hover(rested_on or n)
        drag((source_left + 120, source_top + 35), Layout.cart(n))
        ready, _, _ = select.select([source.stdout], [], [], 15)
        seen = source.stdout.readline().strip() if ready else "no answer"
        if colour is not False:  # a colour dialog is expected
            self.choose_colour(colour)
        return seen

    def screenshot(self):
        time.sleep(0.15)  # the next repaint
        return Shot()


class SetupDialog:
    """The setup dialog, driven by its design layout."""

    def __init__(self, window):
        self.window = window
        self.x, self.y, _, _ = window_geometry(window)

    def _point(self, x, y):
        return self.x + x, self.y + y

    def choose_devices(self, output_index, cue_index):
        for top, index in ((122, output_index), (156, cue_index)):
            open_popup(lambda: click_at(*self._point(260, top + 11)))
            keys("Home", *["Down"] * index, "Return")
            time.sleep(0.2)

    def set_times(self, mix_ms, fade_ms):
        for top, value in ((48, mix_ms), (82, fade_ms)):
            click_at(*self._point(160 + 45, top + 11))
            keys("ctrl+a")
            type_text(str(value))
            keys("Tab")

    def ok(self):
        click_at(*self._point(193, 262 + 29))
        answer()  # "Configuração Salva com Sucesso !"


class Session:
    """One test: its folder, the processes it started, its checks."""

    def __init__(self, source, work, extra, folder=None):
        self.source, self.work, self.extra = source, work, extra
        if folder is None:  # a copy of the installed folder, for this test alone
            folder = os.path.join(work, "bandora")
            shutil.copytree(source, folder, symlinks=True)
        self.folder = folder
        self.failures = []
        self.drag_source = None  # the stand-in file manager, for tests that drop files
        self._procs = []
        self._recordings = 0

    # Checks.
    def check(self, condition, text):
        print(("ok   " if condition else "FAIL ") + text, flush=True)
        if not condition:
            self.failures.append(text)
        return condition

    # Files.
    def path(self, *parts):
        return os.path.join(self.folder, *parts)

    def tone(self, name, hz, ms, amplitude=0.5, folder=None):
        target = os.path.join(folder or self.work, name)
        os.makedirs(os.path.dirname(target), exist_ok=True)
        return write_tone(target, hz, ms, amplitude)

    def write_device_settings(self, output=0, cue=1, buffer_ms=3000, mix_ms=900, fade_ms=800):
        with open(self.path("BANDORA40.CFG"), "w", newline="") as f:
            f.write("Quallon Sistemas\r\nBrasil\r\nTAMBR=%04d\r\nDVTRA=%d\r\nDVCUE=%d\r\n"
                    "MIXAGEM=%d\r\nFADE=%d\r\n" % (buffer_ms, output, cue, mix_ms, fade_ms))

    def write_window_settings(self, volume=100, auto_fade=False, auto_mix=True):
        with open(self.path("bandoracfg.ini"), "w", newline="") as f:
            f.write("VOLUME=%d\r\nAUTO_FADE=%d\r\nAUTO_MIX=%d\r\n" %
                    (volume, auto_fade, auto_mix))

    def read(self, name):
        with open(self.path(name), "rb") as f:
            return f.read()

    # Processes.
    def spawn(self, args, **kwargs):
        proc = subprocess.Popen([str(a) for a in args], **kwargs)
        self._procs.append(proc)
        return proc

    def start(self, env=None):
        """Starts the program from its folder (any working directory will do) and waits until
        its wall is shown and its sound devices are open."""
        proc = self.spawn([self.path("bandora")], cwd="/", env=env)
        wall = Wall(self, proc, self.folder)
        wall.window = wait_window(WALL_TITLE, 30)
        wait_for(lambda: self._has_streams(proc.pid), 20, "the program's sound streams")
        wait_for(lambda: near(Shot().cart_face(1), DEFAULT_FACE), 10, "the wall to be painted")
        return wall

    @staticmethod
    def _has_streams(pid):
        listing = run("pactl", "list", "sink-inputs", check=False)
        return 'application.process.id = "%d"' % pid in listing

    def wait_exit(self, proc, timeout=15):
        try:
            return proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            return None

    def stop(self, wall):
        """Ends the program without its "Sair" question. That is no normal end, so the wall
        journal stays; it is removed, or the next start would ask to recover the wall."""
        wall.proc.terminate()
        if self.wait_exit(wall.proc, 10) is None:
            wall.proc.kill()
            wall.proc.wait()
        if os.path.exists(self.path("bandorajournal.txt")):
            os.remove(self.path("bandorajournal.txt"))

    def record(self, name=None):
        self._recordings += 1
        return Recording(self.work, name or "rec%02d" % self._recordings)

    def fire_and_stop(self, wall, n, hz, play_ms, stop=None, after_ms=1300):
        """Fires cart n, stops it after play_ms of recording with `stop` (a second click if
        none is given) and gives how its tone at `hz` ended on the output sink: its Span and
        the length of its fall in ms (None if it did not fall)."""
        with self.record("stop%d" % n) as rec:
            wall.click(n)
            rec.wait_ms(play_ms)
            (stop or (lambda: wall.click(n)))()
            rec.wait_ms(after_ms)
        span = rec.out.span(hz, 0.02)
        return span, rec.out.fade_ms(hz, span)

    def close(self):
        for proc in self._procs:
            if proc.poll() is None:
                proc.terminate()
                try:
                    proc.wait(timeout=10)
                except subprocess.TimeoutExpired:
                    proc.kill()
                    proc.wait()


def main(scenario, prepare=None):
    """Runs one scenario. argv[1] is the installed program folder, which the session copies;
    or, with `prepare`, what prepare(work folder, argv[1]) turns into the program folder to
    use in place. Further arguments are the scenario's own (the session's `extra`)."""
    source = sys.argv[1]
    work = tempfile.mkdtemp(prefix="bandora-e2e-")
    started = time.monotonic()
    session = None
    try:
        folder = prepare(work, source) if prepare else None
        session = Session(source, work, sys.argv[2:], folder)
        scenario(session)
    except Exception:  # a step that could not be done fails the test, with its reason
        traceback.print_exc()
        if session is None:
            session = Session.__new__(Session)
            session.failures, session._procs = [], []
        session.failures.append("the scenario ran to its end")
    finally:
        if session is not None:
            session.close()
    print("%s in %.0f s" % ("passed" if not session.failures else
                            "%d checks failed" % len(session.failures),
                            time.monotonic() - started))
    if session.failures:
        print("recordings and program folder kept in", work)
        return 1
    shutil.rmtree(work, ignore_errors=True)
    return 0
