#!/usr/bin/env python3
"""The game window's tray button where the notification area is a
StatusNotifierItem host: a private session bus (dbus-daemon) with a watcher
stand-in (sni_watcher.py), and no XEmbed tray.

One client run. The tray button hides the window and registers an item
whose properties a host reads: the 128 x 128 pixmap of icon 128, tip and
title "Tessary", status Active, category ApplicationStatus. Activate brings
the window back where it was and the item's name leaves the bus. Again,
with the watcher restarted while the icon is shown (the item registers
with the new one), and ContextMenu. A watcher that never answers: after a
bounded wait the button minimises and the item's name is released. A
watcher that goes for good while the icon is shown: the window comes back
by itself; with no watcher at all the button minimises.
"""

import json
import os
import queue
import subprocess
import sys
import threading

import flows
import game_model as g
import harness as h

STAND_IN = os.path.join(h.HERE, "sni_watcher.py")


def gi_python():
    """An interpreter that has Debian's python3-gi (the build's Python may not)."""
    for exe in dict.fromkeys([sys.executable, "/usr/bin/python3"]):
        probe = [exe, "-c", "import gi; gi.require_version('Gio', '2.0'); from gi.repository import Gio"]
        if os.access(exe, os.X_OK) and subprocess.run(probe, capture_output=True).returncode == 0:
            return exe
    raise h.Skip("missing python3-gi")


class Watcher:
    """The stand-in's process and the events it reported."""

    def __init__(self, desk, python, mute=False):
        self.desk = desk
        self.proc = desk._spawn("watcher" + (" (mute)" if mute else ""),
                                [python, "-B", STAND_IN] + (["--mute"] if mute else []),
                                stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
        self.events = queue.Queue()
        self.unread = []
        threading.Thread(target=self._read, daemon=True).start()
        self.expect("ready", 10)

    def _read(self):
        for line in self.proc.stdout:
            try:
                event = json.loads(line)
            except ValueError:
                continue
            h.log("watcher:", line.strip()[:300])
            self.events.put(event)

    def expect(self, name, timeout, **fields):
        """The first not yet taken event of that name and fields."""
        def find():
            while not self.events.empty():
                self.unread.append(self.events.get())
            for event in self.unread:
                if event.get("event") == name and all(event.get(k) == v for k, v in fields.items()):
                    self.unread.remove(event)
                    return event
            return None
        return h.wait_for(find, timeout, 0.1, "the watcher to report %s %s" % (name, fields or ""))

    def call(self, method):
        self.proc.stdin.write(method + "\n")
        self.proc.stdin.flush()
        event = self.expect("called", 10, method=method)
        h.check(event["error"] is None, "%s failed: %s" % (method, event["error"]))

    def stop(self):
        self.desk._stop(self.proc)


def check_properties(props):
    h.check(props.get("error") is None, "reading the item's properties failed: %s" % props.get("error"))
    for key, want in (("category", "ApplicationStatus"), ("status", "Active"), ("title", "Tessary"),
                      ("tooltip", "Tessary")):
        h.check(props[key] == want, "the item's %s is %r, not %r" % (key, props[key], want))
    pixmaps = props["pixmaps"]
    h.check([(p["width"], p["height"], p["bytes"]) for p in pixmaps] == [(128, 128, 128 * 128 * 4)],
            "the item's pixmaps are %s, not one of 128 x 128" % [(p["width"], p["height"], p["bytes"]) for p in pixmaps])
    # The pixels are icon 128's, as ARGB: alpha first, colours unpremultiplied.
    art = h.Image.load(os.path.join(h.SOURCE_ROOT, "res", "artwork", "out", "icon", "128.png"), 4)
    opaque = 0
    for x, y, a, r, gr, b in pixmaps[0]["argb"]:
        pr, pg, pb, pa = art.pixel(x, y)
        h.check(abs(a - pa) <= 1, "pixmap alpha at (%d, %d) is %d, the icon's is %d" % (x, y, a, pa))
        if pa >= 128:
            opaque += 1
            h.check(max(abs(r - pr), abs(gr - pg), abs(b - pb)) <= 3,
                    "pixmap colour at (%d, %d) is %s, the icon's is %s" % (x, y, (r, gr, b), (pr, pg, pb)))
    h.check(opaque >= 8, "too few opaque pixels of the icon to compare (%d)" % opaque)


def test(desk, opts):
    python = gi_python()
    watcher = Watcher(desk, python)
    c = flows.enter_game(desk)
    game = c.game
    h.wait_for(lambda: desk.geometry(game) == desk.work_area(), 10, 0.1, "the game window over the work area")
    win = desk.geometry(game)

    def press_tray():
        # Only once the button lights up under the pointer does the client
        # hit-test the window at its new size.
        x, y = g.button_centre("tray", win)
        desk.approach(x, y)
        h.wait_for(lambda: g.shown_image(desk, "tray", win) == 1, 5, 0.1, "the tray button's hover image")
        desk.click(x, y)

    def to_tray():
        press_tray()
        service = watcher.expect("registered", 10)["service"]
        h.wait_for(lambda: desk.map_state(game) != "IsViewable", 5, what="the game window to hide")
        return service

    def comes_back(what, timeout=5):
        h.wait_for(lambda: desk.map_state(game) == "IsViewable", timeout, what="the game window back " + what)
        h.wait_for(lambda: desk.geometry(game) == win, 5, 0.1,
                   "the game window at %s back %s (it is at %s)" % (win, what, desk.geometry(game)))

    # Registration and what a host reads; Activate (a left click).
    service = to_tray()
    check_properties(watcher.expect("properties", 10, service=service))
    watcher.call("Activate")
    comes_back("after Activate")
    watcher.expect("gone", 5, service=service)

    # The watcher restarts while the icon is shown; ContextMenu (a right
    # click) goes to the item the new watcher knows.
    service = to_tray()
    watcher.stop()
    watcher = Watcher(desk, python)
    watcher.expect("registered", 10, service=service)
    h.check(desk.map_state(game) != "IsViewable", "the game window showed while the watcher restarted")
    watcher.call("ContextMenu")
    comes_back("after ContextMenu")
    watcher.expect("gone", 5, service=service)

    # A watcher that never answers: a bounded wait, then the next choice,
    # which without an XEmbed tray is minimising.
    watcher.stop()
    watcher = Watcher(desk, python, mute=True)
    press_tray()
    service = watcher.expect("held", 10)["service"]
    h.wait_for(lambda: desk.is_iconic(game), 10, what="the game window to minimise past the silent watcher")
    watcher.expect("gone", 5, service=service)
    desk.xdotool("windowactivate", game, check=False)
    comes_back("from the taskbar")

    # The watcher goes for good while the icon is shown: the window comes
    # back by itself. Then, with no watcher, the button minimises.
    watcher.stop()
    watcher = Watcher(desk, python)
    to_tray()
    watcher.stop()
    comes_back("after the watcher went", 15)
    press_tray()
    h.wait_for(lambda: desk.is_iconic(game), 5, what="the game window to minimise without a watcher")
    desk.screenshot("minimised-without-tray")


if __name__ == "__main__":
    sys.exit(h.main(test, session_bus=True))
