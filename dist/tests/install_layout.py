#!/usr/bin/env python3
"""cmake --install of a build into a temporary prefix, and what lies there.

The prefix has a space in its path, as "~/My Games" would. Every file is
accounted for (the program, its player files as built, the launcher, the
desktop entry, the icons, the metadata, the manual page and the package
documents) and nothing else: nothing of the build folder, the tests or the
demo. The desktop entry and the metadata pass desktop-file-validate and
appstreamcli. Then the program is swapped for a stand-in that notes how it
was started, and both the launcher (reached through a link from another
folder) and the entry's Exec line (through gio launch) must start it.

Exit status 0 passed, 1 failed, 77 skipped (a validator is missing).
"""

import argparse
import configparser
import os
import shutil
import stat
import struct
import subprocess
import sys
import tempfile
import time
import xml.etree.ElementTree as ET

ICON_SIZES = (16, 24, 32, 48, 64, 128, 256)
VALIDATORS = ("desktop-file-validate", "appstreamcli", "gio")
EXECUTABLES = {"bin/tessary", "lib/tessary/zarek.exe"}
SOURCE_ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))


class Failure(AssertionError):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


def listing(root):
    """Paths of every file and link under root, relative to it."""
    found = set()
    for folder, dirs, files in os.walk(root):
        for name in files + [d for d in dirs if os.path.islink(os.path.join(folder, d))]:
            found.add(os.path.relpath(os.path.join(folder, name), root))
    return found


def expected_files(app_id, player_files):
    files = set(EXECUTABLES) | {
        "share/applications/%s.desktop" % app_id,
        "share/metainfo/%s.metainfo.xml" % app_id,
        "share/man/man6/tessary.6.gz",
        "share/doc/tessary/copyright",
        "share/doc/tessary/changelog.gz",
    }
    files |= {"share/icons/hicolor/%dx%d/apps/%s.png" % (s, s, app_id) for s in ICON_SIZES}
    files |= {"lib/tessary/ruffle/" + name for name in player_files}
    return files


def png_size(path):
    with open(path, "rb") as f:
        head = f.read(26)
    check(head[:8] == b"\x89PNG\r\n\x1a\n" and head[12:16] == b"IHDR", "%s is not a PNG file" % path)
    width, height, depth, colour = struct.unpack(">IIBB", head[16:26])
    check(depth == 8 and colour == 6, "%s is not 8-bit RGBA" % path)
    return width, height


def desktop_entry(path):
    parser = configparser.ConfigParser(interpolation=None, strict=True)
    parser.optionxform = str
    with open(path, encoding="utf-8") as f:
        parser.read_file(f)
    return parser["Desktop Entry"]


def run(argv, **kw):
    res = subprocess.run(argv, capture_output=True, text=True, timeout=60, **kw)
    if res.returncode != 0:
        raise Failure("%s failed (%d):\n%s%s" % (" ".join(argv), res.returncode, res.stdout, res.stderr))
    return res.stdout + res.stderr


def check_layout(prefix, build, app_id, wm_class):
    player_dir = os.path.join(build, "ruffle")
    player_files = listing(player_dir) if os.path.isdir(player_dir) else set()
    check({"bridge.html", "bridge.js", "ruffle.js"} <= player_files,
          "the build's player folder lacks the bridge page or Ruffle: %s" % sorted(player_files))
    found = listing(prefix)
    want = expected_files(app_id, player_files)
    check(found == want, "installed files differ\n  unexpected: %s\n  missing: %s" %
          (sorted(found - want), sorted(want - found)))
    print("installed %d files:" % len(found))
    for name in sorted(found):
        print("  " + name)

    for name in sorted(found):
        path = os.path.join(prefix, name)
        mode = os.lstat(path).st_mode
        check(stat.S_ISREG(mode), "%s is not a plain file" % name)
        check(not mode & (stat.S_IWGRP | stat.S_IWOTH), "%s is writable by others" % name)
        runnable = mode & 0o111 == 0o111
        check(runnable == (name in EXECUTABLES),
              "%s is %sexecutable" % (name, "" if runnable else "not "))
    for name in player_files:
        with open(os.path.join(player_dir, name), "rb") as a, \
                open(os.path.join(prefix, "lib/tessary/ruffle", name), "rb") as b:
            check(a.read() == b.read(), "ruffle/%s differs from the build's copy" % name)

    for size in ICON_SIZES:
        path = os.path.join(prefix, "share/icons/hicolor/%dx%d/apps/%s.png" % (size, size, app_id))
        check(png_size(path) == (size, size), "the %d-pixel icon is %s" % (size, png_size(path)))

    entry_path = os.path.join(prefix, "share/applications/%s.desktop" % app_id)
    entry = desktop_entry(entry_path)
    launcher = os.path.join(prefix, "bin", "tessary")
    wants = {
        "Type": "Application",
        "Exec": '"%s"' % launcher,  # the prefix has a space: quoted
        "Icon": app_id,
        "StartupWMClass": wm_class,
        "Terminal": "false",
    }
    for key, value in wants.items():
        check(entry.get(key) == value, "desktop entry %s=%r, want %r" % (key, entry.get(key), value))
    check("Game" in entry.get("Categories", "").split(";"), "the entry is not in the Game category")
    for key in ("Name", "GenericName", "Comment"):
        check(entry.get(key) and entry.get(key + "[zh_CN]"), "the entry lacks %s or %s[zh_CN]" % (key, key))
    for key in ("GenericName[zh_CN]", "Comment[zh_CN]"):
        check(any(ord(ch) > 0x2E80 for ch in entry[key]), "%s is not Chinese: %r" % (key, entry[key]))
    print(run(["desktop-file-validate", entry_path]).strip() or "desktop-file-validate: no remarks")

    metainfo_path = os.path.join(prefix, "share/metainfo/%s.metainfo.xml" % app_id)
    component = ET.parse(metainfo_path).getroot()
    check(component.findtext("id") == app_id, "metainfo id %r" % component.findtext("id"))
    check(component.findtext("launchable") == app_id + ".desktop", "metainfo names another desktop entry")
    print(run(["appstreamcli", "validate", "--no-net", metainfo_path]).strip())

    for name in ("share/applications/%s.desktop" % app_id, "share/metainfo/%s.metainfo.xml" % app_id,
                 "bin/tessary"):
        with open(os.path.join(prefix, name), "rb") as f:
            text = f.read()
        for folder in (build, SOURCE_ROOT):
            check(folder.encode() not in text, "%s names the build or source folder %s" % (name, folder))
    return entry_path


def check_starting(prefix, entry_path, scratch):
    """The launcher and the entry's Exec start <prefix>/lib/tessary/zarek.exe."""
    program = os.path.join(prefix, "lib", "tessary", "zarek.exe")
    with open(program, "w") as f:
        f.write('#!/bin/sh\nprintf "%s\\n%s\\n" "$0" "$#" > "$TESSARY_STARTED"\n')
    links = os.path.join(scratch, "elsewhere")
    os.makedirs(links)
    os.symlink(os.path.join(prefix, "bin", "tessary"), os.path.join(links, "tessary"))

    def started(how, argv):
        note = os.path.join(scratch, "started-" + how)
        env = dict(os.environ, TESSARY_STARTED=note)
        subprocess.run(argv, env=env, cwd=scratch, check=True, capture_output=True, timeout=30)
        end = time.monotonic() + 10
        while not os.path.exists(note) and time.monotonic() < end:
            time.sleep(0.05)
        check(os.path.exists(note), "%s did not start the program" % how)
        time.sleep(0.1)
        with open(note) as f:
            path, count = f.read().splitlines()
        check(os.path.realpath(path) == os.path.realpath(program) and count == "0",
              "%s started %s with %s arguments" % (how, path, count))
        print("%s started %s" % (how, path))

    started("the launcher through a link", ["./elsewhere/tessary"])
    started("the desktop entry", ["gio", "launch", entry_path])


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    parser.add_argument("--app-id", required=True)
    parser.add_argument("--wm-class", required=True)
    parser.add_argument("--cmake", default="cmake")
    args = parser.parse_args()
    missing = [tool for tool in VALIDATORS if shutil.which(tool) is None]
    if missing:
        print("SKIP: missing tools: " + " ".join(missing))
        return 77
    scratch = tempfile.mkdtemp(prefix="install-layout-")
    try:
        prefix = os.path.join(scratch, "my games")
        run([args.cmake, "--install", args.build, "--prefix", prefix])
        entry = check_layout(prefix, os.path.abspath(args.build), args.app_id, args.wm_class)
        check_starting(prefix, entry, scratch)
    except (Failure, subprocess.SubprocessError, OSError) as e:
        print("FAIL:", e)
        return 1
    finally:
        shutil.rmtree(scratch, ignore_errors=True)
    print("PASS")
    return 0


if __name__ == "__main__":
    sys.exit(main())
