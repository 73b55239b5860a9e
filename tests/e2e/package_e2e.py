#!/usr/bin/env python3
"""Whole-program test of the portable package: the TGZ that CPack makes unpacks into one
folder holding the executable, an empty ARQUIVOS folder, the desktop entry, the icon and the
menu-entry script; the executable needs nothing of the build tree; started from that folder
(wherever it was unpacked, from any working directory) it shows its wall and keeps its
settings beside itself."""

import glob
import os
import subprocess
import sys
import tarfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from bandora_e2e import main  # noqa: E402


def unpack(work, build_dir):
    """Makes the TGZ from the build folder and unpacks it under `work`; gives its folder."""
    packages = os.path.join(work, "packages")
    subprocess.run(["cpack", "-G", "TGZ", "--config", os.path.join(build_dir, "CPackConfig.cmake"),
                    "-B", packages], check=True, capture_output=True)
    (archive,) = glob.glob(os.path.join(packages, "*.tar.gz"))
    target = os.path.join(work, "somewhere else")
    with tarfile.open(archive) as tar:
        (top,) = {name.split("/")[0] for name in tar.getnames()}
        tar.extractall(target)
    return os.path.join(target, top)


def scenario(s):
    build_dir = s.source
    names = sorted(os.listdir(s.folder))
    s.check(names == ["ARQUIVOS", "bandora", "bandora.desktop", "bandora.png",
                      "install-menu-entry.sh"], "the package holds the program folder %s" % names)
    s.check(os.access(s.path("bandora"), os.X_OK), "the executable can be run")
    s.check(os.path.isdir(s.path("ARQUIVOS")) and not os.listdir(s.path("ARQUIVOS")),
            "ARQUIVOS is there and empty")
    libraries = subprocess.run(["ldd", s.path("bandora")], capture_output=True, text=True).stdout
    s.check("not found" not in libraries and os.path.realpath(build_dir) not in libraries,
            "every library is found outside the build folder")
    dynamic = subprocess.run(["readelf", "-d", s.path("bandora")], capture_output=True,
                             text=True).stdout
    s.check(os.path.realpath(build_dir) not in dynamic, "no search path into the build folder")

    menu_home = os.path.join(s.work, "menu home")
    subprocess.run([s.path("install-menu-entry.sh")], check=True, capture_output=True,
                   env=dict(os.environ, XDG_DATA_HOME=menu_home))
    with open(os.path.join(menu_home, "applications", "bandora.desktop")) as f:
        entry = f.read()
    s.check('Exec="%s"' % s.path("bandora") in entry,
            "the menu entry starts the program in the unpacked folder")

    wall = s.start()
    code = wall.quit()
    s.check(code == 0, "the unpacked program runs and ends with Sair (exit code %s)" % code)
    s.check(os.path.exists(s.path("bandoracfg.ini")), "its settings are written beside it")


if __name__ == "__main__":
    sys.exit(main(scenario, unpack))
