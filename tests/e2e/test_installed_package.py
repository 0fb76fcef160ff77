#!/usr/bin/env python3
"""The Debian package, from making it to removing it.

cpack makes the package from the build (its hosts point at the demo site
this test serves); apt-get installs it; the client is started from its menu
entry with gtk-launch, under Xvfb with openbox. The installed program (not
the build's) must show the skin and the demo login page in it, and every
window must carry the WM_CLASS whose class the entry's StartupWMClass names.
Then the package is purged, and nothing of what it installed may be left.

Needs root, apt-get and cpack: otherwise it reports 77 (skipped). It
installs into /usr, so it is meant for a test machine (CI runs as root).
"""

import argparse
import configparser
import glob
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time

import harness as h
import looks
import skin_model as sm

PACKAGE = "tessary"
PROGRAM = "/usr/lib/tessary/zarek.exe"
APT_ENV = dict(os.environ, DEBIAN_FRONTEND="noninteractive")
# Another installation may hold the package manager's lock for a while.
APT = ["apt-get", "-y", "-q", "-o", "DPkg::Lock::Timeout=300"]


def run(argv, **kw):
    res = subprocess.run(argv, capture_output=True, text=True, timeout=600, **kw)
    if res.returncode != 0:
        raise h.Failure("%s failed (%d):\n%s%s" % (" ".join(argv), res.returncode, res.stdout[-2000:],
                                                   res.stderr[-2000:]))
    return res.stdout


def installed():
    res = subprocess.run(["dpkg-query", "-W", "-f=${Status}", PACKAGE], capture_output=True, text=True)
    return res.returncode == 0 and "not-installed" not in res.stdout


def make_package(cpack, build, scratch):
    run([cpack, "-G", "DEB", "--config", os.path.join(build, "CPackConfig.cmake"), "-B", scratch])
    debs = glob.glob(os.path.join(scratch, PACKAGE + "_*.deb"))
    h.check(len(debs) == 1, "cpack made %s" % debs)
    h.log("package", os.path.basename(debs[0]), "%.1f MB" % (os.path.getsize(debs[0]) / 1e6))
    # The program loads these itself, so dpkg-shlibdeps cannot see them.
    depends = run(["dpkg-deb", "-f", debs[0], "Depends"])
    for library in ("libwebkit2gtk-4.1-0", "libcurl4"):
        h.check(library in depends, "the package does not depend on %s: %s" % (library, depends))
    return debs[0]


def desktop_entry(path):
    parser = configparser.ConfigParser(interpolation=None)
    parser.optionxform = str
    parser.read(path, encoding="utf-8")
    return parser["Desktop Entry"]


def entry_of(files):
    entries = [f for f in files if re.fullmatch(r"/usr/share/applications/[^/]+\.desktop", f)]
    h.check(len(entries) == 1, "the package holds desktop entries %s" % entries)
    return entries[0]


class Launched:
    """The client that gtk-launch started (not a child of this test)."""

    def __init__(self, pid):
        self.pid = pid

    def running(self):
        try:
            with open("/proc/%d/stat" % self.pid) as f:
                return f.read().rsplit(")", 1)[1].split()[0] != "Z"
        except OSError:
            return False

    def stop(self):
        for sig in (signal.SIGTERM, signal.SIGKILL):
            if not self.running():
                return
            try:
                os.kill(self.pid, sig)
            except ProcessLookupError:
                return
            end = time.monotonic() + 5
            while self.running() and time.monotonic() < end:
                time.sleep(0.1)


def find_skin(desk):
    """The visible 1155 x 625 window titled "Tessary", whoever started it."""
    def size(wid):
        try:
            return desk.geometry(wid)[2:]
        except h.Failure:  # gone since the search
            return None

    def skins():
        out = desk.xdotool("search", "--onlyvisible", "--name", "^Tessary$", check=False)
        return [int(w) for w in out.split() if size(int(w)) == (sm.SKIN_W, sm.SKIN_H)]
    found = h.wait_for(skins, 30, what='the skin window of the installed client')
    h.check(len(found) == 1, "one skin window expected, found %s" % found)
    return found[0]


def wm_class(desk, wid):
    out = desk.run(["xprop", "-id", str(wid), "WM_CLASS"], check=False)
    return tuple(re.findall(r'"([^"]*)"', out))


def play(desk, entry_path, launcher_id):
    """Starts the entry, looks at the installed client, ends it."""
    entry = desktop_entry(entry_path)
    env = desk.env()
    env.setdefault("XDG_DATA_DIRS", "/usr/local/share:/usr/share")
    launch = desk._spawn("gtk-launch", ["gtk-launch", launcher_id], env=env, cwd=desk.home,
                         stdout=open(os.path.join(desk.home, "client.log"), "w"), stderr=subprocess.STDOUT)
    client = None
    try:
        desk.move(5, 5)
        skin = find_skin(desk)
        pid = int(re.search(r"= (\d+)", desk.run(["xprop", "-id", str(skin), "_NET_WM_PID"])).group(1))
        client = desk.client = Launched(pid)
        exe = os.path.realpath("/proc/%d/exe" % pid)
        h.check(exe == PROGRAM, "the skin window belongs to %s, not the installed %s" % (exe, PROGRAM))
        h.log("installed client runs as process %d" % pid)

        want_class = entry.get("StartupWMClass")
        windows = desk.client_windows(visible=False)
        classes = {wid: wm_class(desk, wid) for wid in windows}
        h.log("WM_CLASS of the client's windows:", sorted(set(classes.values())))
        h.check(want_class and all(len(c) == 2 and c[1] == want_class for c in classes.values()),
                "StartupWMClass=%s, but the windows carry %s" % (want_class, classes))

        origin = desk.geometry(skin)[:2]

        def drawn(index):
            region = sm.button_rect(index)
            grab = desk.grab(origin[0] + region[0], origin[1] + region[1],
                             region[2] - region[0], region[3] - region[1])
            return sm.compare_region(grab, region[:2], region, [0] * 7)[0] > 0.99
        for index in (sm.OFFICIAL_SITE, sm.CLOSE):
            h.wait_for(lambda: drawn(index), 10, 0.2, "the skin's %s button as drawn" % sm.BUTTONS[index][0])
        left, top = origin[0] + sm.BROWSER_IN_SKIN[0], origin[1] + sm.BROWSER_IN_SKIN[1]
        h.wait_for(lambda: looks.is_login_page(desk.grab(left, top, looks.BROWSER_W, looks.BROWSER_H)),
                   40, 0.2, "the demo login page in the installed client's skin")
        desk.screenshot("installed-client")
    finally:
        if client:
            client.stop()
        # The client and its web processes stay in gtk-launch's process group.
        try:
            os.killpg(launch.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
    h.check(not client.running(), "the installed client did not end")


def check_removed(files):
    """After the purge: none of the package's files, and none of its folders
    that no other package holds."""
    left = []
    for path in files:
        if not os.path.lexists(path):
            continue
        if os.path.isdir(path) and not os.path.islink(path):
            if subprocess.run(["dpkg-query", "-S", path], capture_output=True).returncode == 0:
                continue  # shared with other packages (/usr/share/icons/hicolor/...)
        left.append(path)
    h.check(not installed(), "the package is still known to dpkg after the purge")
    h.check(not left, "left on disk after the purge: %s" % left)
    h.log("purged: none of the %d paths is left" % len(files))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    parser.add_argument("--cpack", default="cpack")
    parser.add_argument("--port", type=int, required=True)
    args = parser.parse_args()
    try:
        if os.geteuid() != 0:
            raise h.Skip("installing a package needs root")
        missing = [t for t in ("apt-get", "dpkg-query", "dpkg-shlibdeps", "file", "gtk-launch")
                   if shutil.which(t) is None]
        if missing:
            raise h.Skip("missing tools: " + " ".join(missing))
        h.require_tools()
        scratch = tempfile.mkdtemp(prefix="e2e-package-")
        try:
            deb = make_package(args.cpack, args.build, scratch)
            if installed():
                h.log("a %s package is installed already: purging it first" % PACKAGE)
                run(APT + ["purge", PACKAGE], env=APT_ENV)
            files = []
            try:
                run(APT + ["install", "--no-install-recommends", "./" + os.path.basename(deb)],
                    env=APT_ENV, cwd=scratch)
                files = [f for f in run(["dpkg-query", "-L", PACKAGE]).splitlines() if f.startswith("/")]
                for want in ("/usr/bin/tessary", PROGRAM, "/usr/lib/tessary/ruffle/ruffle.js"):
                    h.check(want in files, "the package does not install %s" % want)
                entry_path = entry_of(files)
                launcher_id = os.path.basename(entry_path)[:-len(".desktop")]
                with h.Desktop("test_installed_package", PROGRAM, None, args.port) as desk:
                    try:
                        play(desk, entry_path, launcher_id)
                    except BaseException:
                        log = desk.client_log()
                        if log:
                            h.log("client output (last 3000 characters):\n" + log[-3000:])
                        try:
                            desk.screenshot("failure")
                        except Exception:
                            pass
                        raise
            finally:
                if installed():
                    run(APT + ["purge", PACKAGE], env=APT_ENV)
            check_removed(files)
        finally:
            shutil.rmtree(scratch, ignore_errors=True)
    except h.Skip as e:
        print("SKIP:", e, flush=True)
        return h.SKIP
    except (h.Failure, subprocess.SubprocessError, OSError) as e:
        print("FAIL:", e, flush=True)
        return 1
    print("PASS", flush=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
