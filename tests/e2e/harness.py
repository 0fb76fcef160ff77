"""Shared pieces of the end-to-end tests of zarek.exe under Xvfb.

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
Pixels are read through ImageMagick as raw RGB, so the tests need nothing
beyond Python's standard library.
"""

import ctypes
import ctypes.util
import os
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time
import urllib.request

SKIP = 77
SCREEN_W, SCREEN_H = 1920, 1080
HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE_ROOT = os.path.dirname(os.path.dirname(HERE))

REQUIRED_TOOLS = ["Xvfb", "xdotool", "openbox", "xwininfo", "xprop", "import", "convert"]


class Skip(Exception):
    """The test cannot run on this machine (a tool is missing)."""


class Failure(AssertionError):
    pass


def log(*parts):
    print("[e2e %7.2f]" % (time.monotonic() - _T0), *parts, flush=True)


_T0 = time.monotonic()


def require_tools(extra=()):
    missing = [t for t in list(REQUIRED_TOOLS) + list(extra) if shutil.which(t) is None]
    if missing:
        raise Skip("missing tools: " + " ".join(missing))


def check(condition, message):
    if not condition:
        raise Failure(message)


def wait_for(predicate, timeout, step=0.1, what="condition"):
    """Polls predicate until it returns something true; returns that value."""
    end = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() > end:
            raise Failure("timed out after %.1f s waiting for %s" % (timeout, what))
        time.sleep(step)


# ---------------------------------------------------------------- images

class Image:
    """An RGB (or RGBA) picture held as raw bytes."""

    def __init__(self, width, height, channels, data):
        self.width, self.height, self.channels, self.data = width, height, channels, data

    @staticmethod
    def load(path, channels=3):
        size = subprocess.run(["identify", "-format", "%w %h", path + "[0]"],
                              check=True, capture_output=True, text=True).stdout.split()
        width, height = int(size[0]), int(size[1])
        fmt = "rgba" if channels == 4 else "rgb"
        data = subprocess.run(["convert", path + "[0]", "-depth", "8", fmt + ":-"],
                              check=True, capture_output=True).stdout
        if len(data) != width * height * channels:
            raise Failure("cannot read %s as %dx%d %s" % (path, width, height, fmt))
        return Image(width, height, channels, data)

    def pixel(self, x, y):
        i = (y * self.width + x) * self.channels
        return tuple(self.data[i:i + self.channels])

    def crop(self, left, top, right, bottom):
        rows = []
        for y in range(top, bottom):
            i = (y * self.width + left) * self.channels
            rows.append(self.data[i:i + (right - left) * self.channels])
        return Image(right - left, bottom - top, self.channels, b"".join(rows))

    def distinct_colours(self, step=1):
        seen = set()
        for y in range(0, self.height, step):
            for x in range(0, self.width, step):
                seen.add(self.pixel(x, y)[:3])
        return seen

    def mean_difference(self, other):
        """Mean absolute channel difference between two same-sized RGB pictures."""
        check(self.width == other.width and self.height == other.height, "pictures of different sizes")
        a, b = self.data, other.data
        if self.channels != 3 or other.channels != 3:
            raise Failure("mean_difference wants RGB pictures")
        total = sum(abs(x - y) for x, y in zip(a, b))
        return total / len(a)

    def save_png(self, path):
        fmt = "rgba" if self.channels == 4 else "rgb"
        subprocess.run(["convert", "-size", "%dx%d" % (self.width, self.height), "-depth", "8",
                        fmt + ":-", path], input=self.data, check=True)


def artwork(number):
    """The generated artwork PNG of a resource number, as RGBA."""
    return Image.load(os.path.join(SOURCE_ROOT, "res", "artwork", "out", "png", "%d.png" % number), 4)


def on_black(rgba, constant_alpha=254):
    """How an RGBA pixel of the skin shows over a black root: the window is
    drawn at 254/255 of each pixel's own alpha."""
    r, g, b, a = rgba
    k = a * constant_alpha / (255.0 * 255.0)
    return (r * k, g * k, b * k)


class _XImage(ctypes.Structure):
    _fields_ = [("width", ctypes.c_int), ("height", ctypes.c_int), ("xoffset", ctypes.c_int),
                ("format", ctypes.c_int), ("data", ctypes.POINTER(ctypes.c_ubyte)),
                ("byte_order", ctypes.c_int), ("bitmap_unit", ctypes.c_int),
                ("bitmap_bit_order", ctypes.c_int), ("bitmap_pad", ctypes.c_int), ("depth", ctypes.c_int),
                ("bytes_per_line", ctypes.c_int), ("bits_per_pixel", ctypes.c_int)]


class ScreenReader:
    """Reads screen pixels straight from the X server (much faster than a
    screenshot file), for polling."""

    def __init__(self, display):
        self.x = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
        self.x.XOpenDisplay.restype = ctypes.c_void_p
        self.x.XOpenDisplay.argtypes = [ctypes.c_char_p]
        self.x.XDefaultRootWindow.restype = ctypes.c_ulong
        self.x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        self.x.XGetImage.restype = ctypes.POINTER(_XImage)
        self.x.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int,
                                     ctypes.c_uint, ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
        self.x.XFree.argtypes = [ctypes.c_void_p]
        self.x.XCloseDisplay.argtypes = [ctypes.c_void_p]
        self.d = self.x.XOpenDisplay(display.encode())
        if not self.d:
            raise Failure("cannot open display " + display)
        self.root = self.x.XDefaultRootWindow(self.d)

    def grab(self, left, top, width, height):
        """RGB picture of a screen rectangle (24-bit TrueColor, 32 bits a pixel)."""
        img = self.x.XGetImage(self.d, self.root, left, top, width, height, 0xFFFFFFFF, 2)
        if not img:
            raise Failure("XGetImage failed")
        try:
            im = img.contents
            if im.bits_per_pixel != 32:
                raise Failure("unexpected %d bits a pixel" % im.bits_per_pixel)
            raw = ctypes.string_at(im.data, im.bytes_per_line * height)
        finally:
            # The image and its data were allocated by Xlib: free both.
            data = ctypes.cast(img.contents.data, ctypes.c_void_p)
            self.x.XFree(data)
            self.x.XFree(ctypes.cast(img, ctypes.c_void_p))
        rows = []
        for y in range(height):
            row = raw[y * im.bytes_per_line:y * im.bytes_per_line + width * 4]
            rgb = bytearray(width * 3)
            rgb[0::3] = row[2::4]
            rgb[1::3] = row[1::4]
            rgb[2::3] = row[0::4]
            rows.append(bytes(rgb))
        return Image(width, height, 3, b"".join(rows))

    def close(self):
        if self.d:
            self.x.XCloseDisplay(self.d)
            self.d = None


# ---------------------------------------------------------------- network

class GatedProxy:
    """A loopback TCP forwarder in front of the demo site that can hold back
    requests for chosen paths until the test opens the gate, so a page that
    comes before them (the loading page) stays on screen long enough to be
    looked at, however fast the machine is."""

    def __init__(self, listen_port, upstream_port, held_prefixes):
        self.upstream_port = upstream_port
        self.held = tuple(p.encode() for p in held_prefixes)
        self.gate = threading.Event()
        self.held_count = 0
        self.server = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        self.server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self.server.bind(("127.0.0.1", listen_port))
        self.server.listen(16)
        self.closed = False
        self.thread = threading.Thread(target=self._accept, daemon=True)
        self.thread.start()

    def open_gate(self):
        self.gate.set()

    def _accept(self):
        while not self.closed:
            try:
                conn, _ = self.server.accept()
            except OSError:
                return
            threading.Thread(target=self._serve, args=(conn,), daemon=True).start()

    def _serve(self, conn):
        upstream = None
        try:
            conn.settimeout(60)
            head = b""
            while b"\r\n" not in head:
                chunk = conn.recv(4096)
                if not chunk:
                    return
                head += chunk
            parts = head.split(b" ", 2)
            path = parts[1] if len(parts) > 1 else b""
            if path.startswith(self.held) and not self.gate.is_set():
                self.held_count += 1
                self.gate.wait(60)
            upstream = socket.create_connection(("127.0.0.1", self.upstream_port), 10)
            upstream.sendall(head)
            pump = threading.Thread(target=self._pump, args=(upstream, conn), daemon=True)
            pump.start()
            self._pump(conn, upstream)
            pump.join(60)
        except OSError:
            pass
        finally:
            for sock in (conn, upstream):
                if sock:
                    try:
                        sock.close()
                    except OSError:
                        pass

    @staticmethod
    def _pump(source, target):
        try:
            while True:
                data = source.recv(65536)
                if not data:
                    break
                target.sendall(data)
        except OSError:
            pass
        finally:
            try:
                target.shutdown(socket.SHUT_WR)
            except OSError:
                pass

    def close(self):
        self.closed = True
        self.gate.set()
        try:
            self.server.close()
        except OSError:
            pass


# ---------------------------------------------------------------- processes

class Desktop:
    """Xvfb, a window manager, the demo site and the client, torn down together."""

    DESKTOPS = ("openbox", "composited", "mutter")

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
        self.shot_count = 0
        self._reader = None

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
        for n in range(60, 70):
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
        raise Failure("no free X display among :60-:69")

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

    def selection_owner(self, atom):
        code = ("import ctypes,sys\n"
                "x=ctypes.CDLL('libX11.so.6');x.XOpenDisplay.restype=ctypes.c_void_p\n"
                "d=x.XOpenDisplay(None)\n"
                "x.XInternAtom.argtypes=[ctypes.c_void_p,ctypes.c_char_p,ctypes.c_int]\n"
                "x.XGetSelectionOwner.argtypes=[ctypes.c_void_p,ctypes.c_ulong]\n"
                "x.XGetSelectionOwner.restype=ctypes.c_ulong\n"
                "print(x.XGetSelectionOwner(d,x.XInternAtom(d,sys.argv[1].encode(),0)))\n")
        out = self.run([sys.executable, "-c", code, atom], check=False).strip()
        return out.isdigit() and int(out) != 0

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

    def grab(self, left, top, width, height):
        """Screen pixels of a rectangle, read at once from the X server."""
        if self._reader is None:
            self._reader = ScreenReader(self.display)
        return self._reader.grab(left, top, width, height)

    def close(self):
        if self._reader:
            self._reader.close()
            self._reader = None
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

    # -- X helpers
    def run(self, argv, check=True, timeout=20):
        res = subprocess.run(argv, env=self.env(), capture_output=True, text=True, timeout=timeout)
        if check and res.returncode != 0:
            raise Failure("%s failed (%d): %s" % (" ".join(argv), res.returncode, res.stderr.strip()))
        return res.stdout

    def xdotool(self, *args, check=True):
        return self.run(["xdotool"] + [str(a) for a in args], check=check)

    def client_windows(self, visible=True):
        """Top-level windows of the client, by its process id."""
        if not self.client:
            return []
        args = ["search"] + (["--onlyvisible"] if visible else []) + ["--pid", str(self.client.pid)]
        out = self.xdotool(*args, check=False)
        return [int(w) for w in out.split()]

    def window_named(self, title, visible=True):
        """Client windows whose title is exactly `title`."""
        found = []
        for wid in self.client_windows(visible):
            if self.title(wid) == title:
                found.append(wid)
        return found

    def title(self, wid):
        out = self.run(["xprop", "-id", str(wid), "_NET_WM_NAME", "WM_NAME"], check=False)
        m = re.search(r'_NET_WM_NAME\(UTF8_STRING\) = "(.*)"', out) or re.search(r'WM_NAME\([A-Z_]+\) = "(.*)"', out)
        return m.group(1) if m else ""

    def geometry(self, wid):
        """(x, y, width, height) of a window on the screen."""
        out = self.run(["xwininfo", "-id", str(wid)])
        val = {}
        for key, name in (("Absolute upper-left X", "x"), ("Absolute upper-left Y", "y"),
                          ("Width", "w"), ("Height", "h")):
            m = re.search(r"%s:\s+(-?\d+)" % re.escape(key), out)
            val[name] = int(m.group(1))
        return (val["x"], val["y"], val["w"], val["h"])

    def map_state(self, wid):
        out = self.run(["xwininfo", "-id", str(wid)], check=False)
        m = re.search(r"Map State:\s+(\w+)", out)
        return m.group(1) if m else ""

    def net_wm_state(self, wid):
        return self.run(["xprop", "-id", str(wid), "_NET_WM_STATE"], check=False)

    def wm_state(self, wid):
        out = self.run(["xprop", "-id", str(wid), "WM_STATE"], check=False)
        m = re.search(r"window state:\s+(\w+)", out)
        return m.group(1) if m else ""

    def is_iconic(self, wid):
        return "_NET_WM_STATE_HIDDEN" in self.net_wm_state(wid) or self.wm_state(wid) == "Iconic"

    def work_area(self):
        out = self.run(["xprop", "-root", "_NET_WORKAREA"])
        nums = [int(n) for n in re.findall(r"\d+", out.split("=", 1)[1])][:4]
        return tuple(nums)

    def frame_of(self, wid):
        """The top-level window (child of the root) that holds wid: the
        window manager's frame around a client window."""
        while True:
            out = self.run(["xwininfo", "-tree", "-id", str(wid)])
            root = int(re.search(r"Root window id: (0x[0-9a-f]+)", out).group(1), 16)
            parent = int(re.search(r"Parent window id: (0x[0-9a-f]+)", out).group(1), 16)
            if parent == root or parent == 0:
                return wid
            wid = parent

    def window_under(self, x, y):
        """Moves the pointer to (x, y); returns the top-level window that
        takes the pointer there (0 for the root)."""
        self.move(x, y)
        out = self.xdotool("getmouselocation", "--shell")
        m = re.search(r"WINDOW=(\d+)", out)
        wid = int(m.group(1)) if m else 0
        if not wid:
            return 0
        top = self.frame_of(wid)
        root = int(re.search(r"Root window id: (0x[0-9a-f]+)", self.run(["xwininfo", "-tree", "-id", str(wid)])).group(1), 16)
        return 0 if top == root else top

    def move(self, x, y):
        """Puts the pointer at (x, y) in one step."""
        self.xdotool("mousemove", "--sync", x, y, check=False)
        # --sync waits for the pointer; the client reacts through its own loop.
        time.sleep(0.05)

    def approach(self, x, y):
        """Brings the pointer to (x, y) in small steps from 8 pixels to the
        left, as a hand does (a window entered in one step may see only the
        crossing, not a motion)."""
        for dx in (8, 4, 0):
            self.xdotool("mousemove", x - dx, y)
            time.sleep(0.03)
        time.sleep(0.05)

    def glide(self, x0, y0, x1, y1, steps=20, pause=0.02):
        for i in range(1, steps + 1):
            x = round(x0 + (x1 - x0) * i / steps)
            y = round(y0 + (y1 - y0) * i / steps)
            self.xdotool("mousemove", x, y)
            time.sleep(pause)

    def drag(self, x0, y0, x1, y1, steps=20):
        self.move(x0, y0)
        self.xdotool("mousedown", 1)
        time.sleep(0.15)
        self.glide(x0, y0, x1, y1, steps)
        time.sleep(0.15)
        self.xdotool("mouseup", 1)
        time.sleep(0.3)

    def click(self, x, y, button=1):
        self.approach(x, y)
        self.xdotool("mousedown", button)
        time.sleep(0.08)
        self.xdotool("mouseup", button)
        time.sleep(0.15)

    def screenshot(self, label, window=None):
        """Takes a picture of the whole screen (or of one window), keeps it as
        PNG and returns it as RGB."""
        self.shot_count += 1
        path = os.path.join(self.out_dir, "%s-%s-%02d-%s.png" % (self.name, self.desktop, self.shot_count, label))
        self.run(["import", "-window", "root" if window is None else str(window), path])
        log("screenshot", path)
        return Image.load(path, 3)


# How GLib prints a warning or critical of any log domain ("Gtk-WARNING **",
# "GLib-GObject-CRITICAL **"): a normal run of the client prints none.
GLIB_TROUBLE = re.compile(r"-(WARNING|CRITICAL) \*\*")


def check_quiet_terminal(desk):
    """Fails when the client printed a GTK or GLib warning or critical."""
    lines = [line for line in desk.client_log().splitlines() if GLIB_TROUBLE.search(line)]
    check(not lines, "the client printed %d warning(s) or critical(s):\n%s" % (len(lines), "\n".join(lines[:10])))


def arguments(argv):
    """--zarek PATH --movies DIR --port N --desktop openbox|composited|mutter;
    the port defaults to the build's 8310, the desktop to openbox."""
    opts = {"zarek": None, "movies": None, "port": 8310, "desktop": "openbox"}
    it = iter(argv)
    for arg in it:
        if arg in ("--zarek", "--movies", "--port", "--desktop"):
            opts[arg[2:]] = next(it)
        else:
            raise SystemExit("unknown argument " + arg)
    if not opts["zarek"] or not os.access(opts["zarek"], os.X_OK):
        raise SystemExit("--zarek must name the built zarek.exe")
    opts["port"] = int(opts["port"])
    return opts


def main(test, argv=None, **desktop_options):
    """Runs test(desktop, opts) on a fresh desktop; 0 passed, 1 failed, 77 skipped."""
    opts = arguments(sys.argv[1:] if argv is None else argv)
    try:
        require_tools((["trayer"] if desktop_options.get("tray") else []) +
                      (["dbus-daemon"] if desktop_options.get("session_bus") else []))
        name = os.path.splitext(os.path.basename(sys.argv[0]))[0]
        desktop_options.setdefault("desktop", opts["desktop"])
        with Desktop(name, opts["zarek"], opts["movies"], opts["port"], **desktop_options) as desk:
            try:
                test(desk, opts)
                check_quiet_terminal(desk)
            except BaseException:
                text = desk.client_log()
                if text:
                    log("client output (last 3000 characters):\n" + text[-3000:])
                try:
                    desk.screenshot("failure")
                except Exception:
                    pass
                raise
    except Skip as e:
        print("SKIP:", e, flush=True)
        return SKIP
    except Failure as e:
        print("FAIL:", e, flush=True)
        return 1
    print("PASS", flush=True)
    return 0
