"""Looking at and driving a desktop's windows and pointer with the X tools
(xdotool, xprop, xwininfo, ImageMagick's import) and Xlib."""

import os
import re
import subprocess
import sys
import time

from basics import Failure, log
from images import Image
from screen_reader import ScreenReader


class XDriver:
    """The X side of a Desktop. The desktop provides env() (the environment
    of the X tools, DISPLAY included), display, client (the client's
    process, or None), name, desktop and out_dir (where screenshots go)."""

    def __init__(self):
        self.shot_count = 0
        self._reader = None

    def close_reader(self):
        if self._reader:
            self._reader.close()
            self._reader = None

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

    def grab(self, left, top, width, height):
        """Screen pixels of a rectangle, read at once from the X server."""
        if self._reader is None:
            self._reader = ScreenReader(self.display)
        return self._reader.grab(left, top, width, height)

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
