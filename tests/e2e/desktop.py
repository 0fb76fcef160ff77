"""The desktop an end-to-end test of zarek.exe runs on, and its processes.

A test builds one Desktop: a private X server (Xvfb on a free display among
:60-:69, black root, 1920 x 1080), the openbox window manager (minimise,
moves, _NET_WORKAREA), optionally xcompmgr, trayer and a private session bus
(dbus-daemon), and the demo site on the loopback port that the build's host
names point at. Without a private bus the session bus address names a socket
that does not exist: a StatusNotifierWatcher of the machine's own desktop
never takes the client's tray icon, and no library starts a bus of its own
(dbus-launch's would outlive the test). The "mutter" desktop stands in for a
GNOME Wayland session instead: a private session bus and GNOME's
compositor, headless, whose XWayland is the X server (its root window cannot
be read: look at windows one by one). The client runs in
a temporary home of its own (registry store, WebKit caches, current folder
for the self-update files).

Every process started here runs in its own process group and is ended,
group by group, when the Desktop closes, whatever happened in the test.
Looking at the screen and driving the pointer is XDriver's (x_driver.py).
"""

import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time

from basics import SCREEN_H, SCREEN_W, SOURCE_ROOT, Failure, Skip, check, log, wait_for
from gated_proxy import GatedProxy
from x_driver import XDriver


class Desktop(XDriver):
    """Xvfb, a window manager, the demo site and the client, torn down together."""

    DESKTOPS = ("openbox", "composited", "mutter")
    # The X displays the desktop may take, the first free one.
    DISPLAYS = range(60, 70)

    def __init__(self, name, zarek, movies, port, compositor=False, tray=False, session_bus=False, hold=(),
                 desktop="openbox", demo_args=()):
        if desktop not in self.DESKTOPS:
            raise Failure("unknown desktop " + desktop)
        self.desktop = "composited" if compositor and desktop == "openbox" else desktop
        compositor = self.desktop == "composited"
        self.demo_args = list(demo_args)
        self.xauthority = None
        self.wayland_display = None
        self.name = name
        self.zarek = zarek
        self.movies = movies
        self.port = port
        self.compositor = compositor
        self.tray = tray
        self.session_bus = session_bus
        self.bus_address = None
        self.hold = tuple(hold)
        self.proxy = None
        self.demo_port = None
        self.procs = []          # (label, Popen) in start order
        self.display = None
        self.client = None
        self.out_dir = os.environ.get("E2E_OUT") or os.path.join(tempfile.gettempdir(), "e2e-shots")
        os.makedirs(self.out_dir, exist_ok=True)
        self.home = tempfile.mkdtemp(prefix="e2e-home-")
        XDriver.__init__(self)

    # -- context management
    def __enter__(self):
        try:
            if self.desktop == "mutter":
                self._start_mutter()
            else:
                self._start_x()
                self._start_wm()
            if self.compositor:
                self._spawn("xcompmgr", ["xcompmgr"])
                time.sleep(0.3)
            if self.tray:
                self._start_tray()
            if self.session_bus or self.desktop != "mutter":
                # Every desktop has a session bus; without one WebKit's
                # processes complain on the terminal.
                self._start_session_bus()
            self._start_demo()
        except BaseException:
            self.close()
            raise
        return self

    def __exit__(self, *exc):
        self.close()
        return False

    def _spawn(self, label, argv, **kw):
        env = kw.pop("env", None) or self.env()
        kw.setdefault("stdin", subprocess.DEVNULL)
        log("start", label, " ".join(argv))
        proc = subprocess.Popen(argv, env=env, start_new_session=True, **kw)
        self.procs.append((label, proc))
        return proc

    def env(self):
        env = dict(os.environ)
        if self.display:
            env["DISPLAY"] = self.display
        elif self.desktop == "mutter":
            env.pop("DISPLAY", None)  # mutter must not take a display of the test run's for its own
        # The client chooses X11 itself, also where a Wayland display is set.
        env.pop("WAYLAND_DISPLAY", None)
        env.pop("GDK_BACKEND", None)
        if self.wayland_display:
            env["WAYLAND_DISPLAY"] = self.wayland_display
        if self.xauthority:
            env["XAUTHORITY"] = self.xauthority
        env["NO_AT_BRIDGE"] = "1"
        env["HOME"] = self.home
        env["XDG_CONFIG_HOME"] = os.path.join(self.home, ".config")
        env["XDG_CACHE_HOME"] = os.path.join(self.home, ".cache")
        env["XDG_DATA_HOME"] = os.path.join(self.home, ".local", "share")
        env["XDG_RUNTIME_DIR"] = self.home
        env["DBUS_SESSION_BUS_ADDRESS"] = self.bus_address or "unix:path=" + os.path.join(self.home, "no-bus")
        return env

    def _start_x(self):
        for n in self.DISPLAYS:
            if os.path.exists("/tmp/.X%d-lock" % n) or os.path.exists("/tmp/.X11-unix/X%d" % n):
                continue
            proc = self._spawn("Xvfb", ["Xvfb", ":%d" % n, "-screen", "0", "%dx%dx24" % (SCREEN_W, SCREEN_H),
                                        "-nolisten", "tcp", "-br", "-noreset"],
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            end = time.monotonic() + 10
            while time.monotonic() < end and proc.poll() is None:
                if os.path.exists("/tmp/.X11-unix/X%d" % n):
                    self.display = ":%d" % n
                    if subprocess.run(["xdpyinfo"] if shutil.which("xdpyinfo") else ["xwininfo", "-root"],
                                      env=self.env(), capture_output=True).returncode == 0:
                        log("X server on", self.display)
                        return
                time.sleep(0.05)
            self.display = None
            self._stop(proc)
            self.procs.remove(("Xvfb", proc))
        raise Failure("no free X display among :%d-:%d" % (self.DISPLAYS[0], self.DISPLAYS[-1]))

    def _start_mutter(self):
        """GNOME's compositor, headless, on a private session bus; its
        XWayland becomes the desktop's X display."""
        for tool in ("mutter", "dbus-daemon", "Xwayland"):
            if shutil.which(tool) is None:
                raise Skip("missing tool: " + tool)
        # XWayland puts its socket there and refuses a folder others cannot write.
        if os.path.isdir("/tmp/.X11-unix") and os.stat("/tmp/.X11-unix").st_mode & 0o1777 != 0o1777:
            try:
                os.chmod("/tmp/.X11-unix", 0o1777)
            except OSError:
                raise Skip("/tmp/.X11-unix is not writable for XWayland")
        self._start_session_bus()
        self.wayland_display = "tessary-e2e-%d" % os.getpid()
        log_path = os.path.join(self.home, "mutter.log")
        self._spawn("mutter", ["mutter", "--headless", "--wayland",
                               "--wayland-display=" + self.wayland_display,
                               "--virtual-monitor", "%dx%d" % (SCREEN_W, SCREEN_H)],
                    stdout=open(log_path, "w"), stderr=subprocess.STDOUT)

        def xwayland_ready():
            with open(log_path, errors="replace") as f:
                m = re.search(r"Using public X11 display (:\d+)", f.read())
            auth = [n for n in os.listdir(self.home) if n.startswith(".mutter-Xwaylandauth.")]
            if not m or not auth:
                return False
            self.display = m.group(1)
            self.xauthority = os.path.join(self.home, auth[0])
            return subprocess.run(["xwininfo", "-root"], env=self.env(), capture_output=True).returncode == 0
        wait_for(xwayland_ready, 30, 0.2, "mutter's XWayland display")
        log("mutter on wayland display", self.wayland_display, "with XWayland on", self.display)

    def _start_wm(self):
        self._spawn("openbox", ["openbox", "--sm-disable"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

        def wm_ready():
            out = self.run(["xprop", "-root", "_NET_SUPPORTING_WM_CHECK", "_NET_WORKAREA"], check=False)
            return "window id" in out and "_NET_WORKAREA(CARDINAL)" in out
        wait_for(wm_ready, 10, what="openbox")

    def _start_tray(self):
        if shutil.which("trayer") is None:
            raise Skip("missing tool: trayer")
        # trayer is the XEmbed tray host; it stands at the top edge and
        # reserves no strut, so the work area keeps its size.
        self._spawn("trayer", ["trayer", "--edge", "bottom", "--align", "right", "--SetDockType", "false",
                               "--SetPartialStrut", "false", "--widthtype", "pixel", "--width", "120",
                               "--height", "32", "--transparent", "false", "--tint", "0x404040"],
                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        wait_for(lambda: "window id" in self.run(["xprop", "-root", "-notype"], check=False) and
                 self.selection_owner("_NET_SYSTEM_TRAY_S0"), 10, what="trayer's tray selection")

    def _start_session_bus(self):
        """A session bus of the test's own, ended with the desktop. It starts
        no services on demand (the accessibility bus, say), so nothing
        outlives it."""
        config = os.path.join(self.home, "session-bus.conf")
        with open(config, "w") as f:
            f.write('<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"\n'
                    ' "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">\n'
                    '<busconfig><type>session</type><listen>unix:dir=%s</listen><auth>EXTERNAL</auth>\n'
                    '<policy context="default"><allow send_destination="*" eavesdrop="true"/>'
                    '<allow eavesdrop="true"/><allow own="*"/></policy></busconfig>\n' % self.home)
        proc = self._spawn("dbus-daemon", ["dbus-daemon", "--config-file=" + config, "--nofork", "--print-address=1"],
                           stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        address = proc.stdout.readline().strip()
        check(address.startswith("unix:"), "dbus-daemon gave no address (%r)" % address)
        self.bus_address = address
        log("session bus at", address)

    def _start_demo(self):
        """The demo site on the build's port; with held paths it listens on a
        free port behind a GatedProxy that takes the build's port."""
        demo = os.path.join(SOURCE_ROOT, "demo", "server.py")
        port = 0 if self.hold else self.port
        argv = [sys.executable, demo, "--port", str(port)] + self.demo_args
        if self.movies and os.path.isdir(self.movies):
            argv += ["--movies", self.movies]
        end = time.monotonic() + 30
        while True:
            try:
                if self.hold and self.demo_port is None:
                    self.demo_port = self._spawn_demo(argv)
                if self.hold:
                    self.proxy = GatedProxy(self.port, self.demo_port, self.hold)
                    log("holding %s until the test opens the gate" % ", ".join(self.hold))
                else:
                    self.demo_port = self._spawn_demo(argv)
                return
            except (OSError, Failure) as e:
                if time.monotonic() > end:
                    raise Failure("cannot serve the demo site on port %d: %s" % (self.port, e))
                # Another run of these tests may still hold the port; the
                # client's hosts are compiled in, so wait for it.
                log("port %d busy, waiting" % self.port)
                time.sleep(1)

    def _spawn_demo(self, argv):
        errors = open(os.path.join(self.home, "demo.log"), "a+")
        proc = self._spawn("demo site", argv, stdout=subprocess.PIPE, stderr=errors, text=True)
        line = proc.stdout.readline()
        m = re.match(r"demo site on http://[^ ]*:(\d+)", line)
        if m:
            log(line.strip())
            return int(m.group(1))
        proc.wait()
        errors.seek(0)
        self.procs.remove(("demo site", proc))
        raise Failure(errors.read().strip()[-300:])

    def restart_demo(self, demo_args):
        """Serves the demo site again, with other switches."""
        for label, proc in [p for p in self.procs if p[0] == "demo site"]:
            self._stop(proc)
            self.procs.remove((label, proc))
        self.demo_args = list(demo_args)
        self._start_demo()

    def stop_demo(self):
        for label, proc in [p for p in self.procs if p[0] == "demo site"]:
            self._stop(proc)
            self.procs.remove((label, proc))

    def fake_browser(self):
        """Makes a recording stand-in the user's default web browser; returns
        the file that lists the addresses it was asked to open."""
        opened = os.path.join(self.home, "opened-pages.txt")
        script = os.path.join(self.home, "fake-browser")
        with open(script, "w") as f:
            f.write('#!/bin/sh\necho "$1" >> "%s"\n' % opened)
        os.chmod(script, 0o755)
        apps = os.path.join(self.home, ".local", "share", "applications")
        os.makedirs(apps, exist_ok=True)
        with open(os.path.join(apps, "fake-browser.desktop"), "w") as f:
            f.write("[Desktop Entry]\nType=Application\nName=Fake browser\nExec=%s %%u\n"
                    "MimeType=x-scheme-handler/http;x-scheme-handler/https;\n" % script)
        config = os.path.join(self.home, ".config")
        os.makedirs(config, exist_ok=True)
        with open(os.path.join(config, "mimeapps.list"), "w") as f:
            f.write("[Default Applications]\nx-scheme-handler/http=fake-browser.desktop\n"
                    "x-scheme-handler/https=fake-browser.desktop\n")
        return opened

    def start_client(self, extra_env=None):
        env = self.env()
        env.update(extra_env or {})
        self.client = self._spawn("zarek.exe", [self.zarek], cwd=self.home, env=env,
                                  stdout=open(os.path.join(self.home, "client.log"), "w"),
                                  stderr=subprocess.STDOUT)
        return self.client

    def stop_client(self):
        if self.client:
            self._stop(self.client)
            self.procs = [p for p in self.procs if p[1] is not self.client]
            self.client = None

    def client_log(self, name="client.log"):
        try:
            with open(os.path.join(self.home, name), errors="replace") as f:
                return f.read()
        except OSError:
            return ""

    @staticmethod
    def _stop(proc, grace=3.0):
        if proc.poll() is not None:
            return
        try:
            os.killpg(proc.pid, signal.SIGTERM)
        except ProcessLookupError:
            return
        try:
            proc.wait(grace)
        except subprocess.TimeoutExpired:
            try:
                os.killpg(proc.pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
            proc.wait(5)
    def close(self):
        self.close_reader()
        if self.proxy:
            self.proxy.close()
            self.proxy = None
        for label, proc in reversed(self.procs):
            try:
                self._stop(proc)
            except Exception as e:  # keep ending the others
                log("cannot stop", label, e)
            for stream in (proc.stdout, proc.stderr):
                if stream:
                    stream.close()
        self.procs = []
        if os.environ.get("E2E_KEEP_HOME") is None:
            shutil.rmtree(self.home, ignore_errors=True)
