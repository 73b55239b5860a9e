#!/usr/bin/env python3
"""Crash test of the installed program (not run by CI): it fires carts, queues them, renames
them, saves the profile, saves the setup dialog and types markers in the marker editor, and
kills the program with SIGKILL at a random moment, again and again. After each kill it checks
that every file the program writes still parses (profiles, settings, loudness and peaks caches,
markers, the as-run log and its open plays, the journal) and that no log row is cut short; then
it starts the program again, answers the recovery question with OK and checks that the wall it
restored is the one last journalled (the restored wall is journalled again, and must come out
byte for byte the same).

Run it under the test environment (a private X server and sound server):

    cmake --install build/<dir> --prefix /tmp/bandora-crash
    bash -c 'source tests/support/test-env.sh && tools/crash_test.py /tmp/bandora-crash 200'

Arguments: program folder, number of kills (200), random seed (1). Prints one line per kill
and a summary with the figures for bench/RESULTS.md."""

import csv
import glob
import os
import random
import re
import shutil
import struct
import signal
import sys
import threading
import time
import traceback

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
from bandora_e2e import (CONFIRM_TITLE, Session, SetupDialog, answer, keys, titled,  # noqa: E402
                         type_text, wait_for, wait_gone, wait_window)

CARTS = 12
PROFILE = "CRASH"
JOURNAL = "bandorajournal.txt"
MARKER_EDITOR = titled("Marcas do Áudio")
END_REASONS = {"end", "cut", "fade", "autofade", "mix", "loop-stop", "panic", "deleted",
               "stall", "profile switch", "exit", "crash"}
PROFILE_LINE = re.compile(r"^\|\d{3}\|[^|]*\|[^|]*\|-?\d*\|\d?\|\d?\|-?\d*\|\d*\|$")
SETTING_LINE = re.compile(r"^[^=]+=.*$")


def write_profile(s):
    lines = []
    for n in range(1, 97):
        if n <= CARTS:
            path = s.tone(os.path.join("ARQUIVOS", "crash%02d.wav" % n), 300 + 40 * n, 4000,
                          folder=s.folder)
            lines.append("|%03d|CART %d|%s|9818331|1|0|0|4000|" % (n, n, path))
        else:
            lines.append("|%03d||||||||" % n)
    with open(s.path(PROFILE + ".PFL"), "w", newline="") as f:
        f.write("\r\n".join(lines) + "\r\n")


# ---- What must parse after every kill --------------------------------------------------------

def text_lines(data):
    return data.decode("utf-8", errors="replace").replace("\r\n", "\n").split("\n")


def check_profiles(s, problems):
    for path in glob.glob(s.path("*.PFL")):
        with open(path, "rb") as f:
            data = f.read()
        lines = [line for line in text_lines(data) if line]
        bad = [line for line in lines if not PROFILE_LINE.match(line)]
        if len(lines) != 96 or bad or not data.endswith(b"\r\n"):
            problems.append("%s: %d lines, %d bad" % (os.path.basename(path), len(lines), len(bad)))


def check_settings(s, problems):
    for name in ("bandoracfg.ini", "BANDORA40.CFG", "bandoraext.ini", "bandoramidi.ini"):
        if not os.path.exists(s.path(name)):
            continue
        data = s.read(name)
        lines = [line for line in text_lines(data) if line]
        if name == "BANDORA40.CFG":
            lines = lines[2:]  # two lines of owner and country first
        if not data.endswith(b"\n") or not all(SETTING_LINE.match(line) for line in lines):
            problems.append("%s does not parse" % name)


def check_cache_and_marks(s, problems, stats):
    if os.path.exists(s.path("bandoraloud.cache")):
        data = s.read("bandoraloud.cache")
        lines = [line for line in text_lines(data) if line]
        if lines[:1] != ["BANDORA-LOUDNESS 1"] or any(len(l.split("\t")) != 5 for l in lines[1:]):
            problems.append("bandoraloud.cache does not parse")
    if os.path.exists(s.path("bandoramarks.ini")):
        data = s.read("bandoramarks.ini")
        lines = text_lines(data)
        frames = re.compile(r"^(-|\d+)$")
        if (not data.endswith(b"\n") or lines[0] != "BANDORA-MARKS 1" or
                any(len(l.split("\t")) != 6 or not all(frames.match(f) for f in l.split("\t")[:5])
                    for l in lines[1:-1])):
            problems.append("bandoramarks.ini does not parse")
    if os.path.exists(s.path("bandorapeaks.cache")):
        check_peaks(s.read("bandorapeaks.cache"), problems, stats)


def fnv1a(data):
    h = 2166136261
    for b in data:
        h = ((h ^ b) * 16777619) & 0xFFFFFFFF
    return h


def check_peaks(data, problems, stats):
    """Whole records with their checksums; only the last one may be cut short, as an append
    the kill interrupted (the program cuts it off before its next append)."""
    header = b"BANDORA-PEAKS 1\n"
    if not data.startswith(header):
        problems.append("bandorapeaks.cache has no header")
        return
    at, records = len(header), 0
    while at < len(data):
        if len(data) - at < 8 or data[at:at + 4] != b"PKS1":
            break
        size = struct.unpack_from("<I", data, at + 4)[0]
        end = at + 8 + size + 4
        if end > len(data):
            break
        payload = data[at + 8:at + 8 + size]
        if struct.unpack_from("<I", data, end - 4)[0] != fnv1a(payload):
            problems.append("bandorapeaks.cache: a record with a wrong checksum")
            return
        at = end
        records += 1
    stats["peak_records"] = records
    if at < len(data):
        if data[at:at + 4] not in (b"PKS1"[:len(data) - at], b"PKS1"):
            problems.append("bandorapeaks.cache: damaged after its last whole record")
        else:
            stats["torn_peaks"] += 1


def log_rows(s, problems):
    """Every row of the day files and of the open plays, each checked against its header."""
    rows = []
    for path in sorted(glob.glob(s.path("LOG", "*.csv"))):
        with open(path, newline="", encoding="utf-8", errors="replace") as f:
            raw = f.read()
        if raw and not raw.endswith("\r\n"):
            problems.append("%s: last row cut short" % os.path.basename(path))
        table = list(csv.reader(raw.splitlines(True)))
        if not table:
            continue
        header, body = table[0], table[1:]
        open_plays = os.path.basename(path) == "em-andamento.csv"
        for row in body:
            if len(row) != len(header):
                problems.append("%s: a row of %d fields" % (os.path.basename(path), len(row)))
            elif not open_plays and row[-1] not in END_REASONS:
                problems.append("%s: a row ends with %r" % (os.path.basename(path), row[-1]))
            elif not open_plays:
                rows.append(row)
    return rows


def check_journal(s, problems):
    if not os.path.exists(s.path(JOURNAL)):
        return None
    data = s.read(JOURNAL)
    if not data.endswith(b"\n") or len([l for l in text_lines(data) if l.startswith("|")]) != 96:
        problems.append("the journal is not whole")
    return data


# ---- One run of the program ------------------------------------------------------------------

def act(s, wall, rng, stats):
    """Random operator actions until the program is gone."""
    while wall.proc.poll() is None:
        choice = rng.random()
        n = rng.randint(1, CARTS)
        if choice < 0.45:
            wall.click(n)
            stats["clicks"] += 1
        elif choice < 0.6:
            wall.click(n, shift=True)
            stats["queued"] += 1
        elif choice < 0.75:
            wall.rename(n, "CART %d %d" % (n, rng.randint(0, 999)))
            stats["renames"] += 1
        elif choice < 0.85:
            wall.save_profile()
            stats["saves"] += 1
        elif choice < 0.90:
            set_marker(wall, rng)
            stats["markers"] += 1
        elif choice < 0.95:
            wall.press("setup")
            dialog = SetupDialog(wait_window(titled("Configuração")))
            dialog.set_times(rng.choice((500, 700, 900)), rng.choice((600, 800, 1000)))
            dialog.ok()
            stats["settings"] += 1
        else:
            time.sleep(rng.uniform(0.1, 0.8))


def set_marker(wall, rng):
    """Types a cue-in (0.0-1.0 s) or a cue-out (3.0-4.0 s) of a cart's 4 s file in the marker
    editor and confirms with Enter: bandoramarks.ini is rewritten, and the editor's waveform
    puts the file's peaks into bandorapeaks.cache."""
    wall.menu(rng.randint(1, CARTS), "Marcas do Áudio")
    editor = wait_window(MARKER_EDITOR)
    cue_out = rng.random() < 0.5
    # The focus starts on OK; Tab goes round to the first time field (cue-in), three more
    # reach cue-out.
    keys(*(["Tab"] * (11 if cue_out else 8)), window=editor)
    type_text("00:%02d.%03d" % (3 if cue_out else 0, rng.randint(0, 999)))
    keys("Return", window=editor)
    wait_gone(MARKER_EDITOR)


def start_and_recover(s, journal, stats, problems):
    wall = s.start()
    if journal is not None:
        answer(CONFIRM_TITLE, "Return")  # "Recuperar a parede?": OK
        # The restored wall is journalled again: it must be the one journalled last.
        try:
            wait_for(lambda: os.path.exists(s.path(JOURNAL)) and
                     os.path.getmtime(s.path(JOURNAL)) > stats["killed_at"], 5,
                     "the restored wall journalled")
            if s.read(JOURNAL) != journal:
                problems.append("the restored wall differs from the last journalled one")
            else:
                stats["restored"] += 1
        except Exception:
            problems.append("the restored wall was not journalled again")
    return wall


def main():
    source = sys.argv[1]
    kills = int(sys.argv[2]) if len(sys.argv) > 2 else 200
    rng = random.Random(int(sys.argv[3]) if len(sys.argv) > 3 else 1)
    work = "/tmp/bandora-crash-%d" % os.getpid()
    os.makedirs(work)
    s = Session(source, work, [])
    s.write_device_settings(output=0, cue=1)
    write_profile(s)
    stats = dict(clicks=0, queued=0, renames=0, saves=0, settings=0, markers=0, restored=0,
                 killed_at=0, rows=0, crash_rows=0, failed_kills=0, kills=0, torn_peaks=0,
                 peak_records=0)
    started = time.monotonic()
    wall = s.start()
    wall.choose_profile(0)
    wall.activate_profile()
    done = 0
    try:
        done = run_kills(s, wall, rng, kills, stats)
    except KeyboardInterrupt:  # Ctrl+C: the figures of the kills done so far
        done = stats["kills"]
    print("kills %d in %.0f min; kills with a problem %d; walls restored equal to the journal %d; "
          "clicks %d, queued %d, renames %d, profile saves %d, settings saves %d, markers set %d; "
          "log rows %d, of them closed as crash %d; peak records %d, torn at a kill %d" %
          (done, (time.monotonic() - started) / 60, stats["failed_kills"], stats["restored"],
           stats["clicks"], stats["queued"], stats["renames"], stats["saves"], stats["settings"],
           stats["markers"], stats["rows"], stats["crash_rows"], stats["peak_records"],
           stats["torn_peaks"]), flush=True)
    s.close()
    if not stats["failed_kills"]:
        shutil.rmtree(work, ignore_errors=True)
    return 1 if stats["failed_kills"] else 0


def run_kills(s, wall, rng, kills, stats):
    for k in range(1, kills + 1):
        delay = rng.uniform(0.2, 6.0)
        killer = threading.Timer(delay, lambda p=wall.proc: p.poll() is None and
                                 os.kill(p.pid, signal.SIGKILL))
        killer.start()
        try:
            act(s, wall, rng, stats)
        except Exception:
            pass  # a step the kill cut short
        killer.join()
        wall.proc.wait()
        stats["killed_at"] = time.time()
        problems = []
        check_profiles(s, problems)
        check_settings(s, problems)
        check_cache_and_marks(s, problems, stats)
        log_rows(s, problems)
        journal = check_journal(s, problems)
        try:
            wall = start_and_recover(s, journal, stats, problems)
        except Exception:
            traceback.print_exc()
            problems.append("the program did not come back")
            wall = s.start()
        rows = log_rows(s, problems)
        stats["rows"], stats["crash_rows"] = len(rows), sum(1 for r in rows if r[-1] == "crash")
        if problems:
            stats["failed_kills"] += 1
        print("kill %3d after %.1f s: %s" % (k, delay, "; ".join(problems) or "all files parse"),
              flush=True)
        stats["kills"] = k
    wall.press("quit")
    answer(CONFIRM_TITLE, "Return")  # "Deseja Sair do Bandora ?"
    try:
        answer(CONFIRM_TITLE, "Escape", timeout=3)  # a changed wall is not saved
    except AssertionError:
        pass
    s.wait_exit(wall.proc)
    return kills


if __name__ == "__main__":
    sys.exit(main())
