#!/usr/bin/env python3
"""The client on the desktops players use, judged by window geometry (the
one thing every desktop reports alike) and pictures of each window.

Run with --desktop composited (openbox with xcompmgr) or --desktop mutter
(GNOME's compositor with XWayland, standing in for a GNOME Wayland session;
the client gets WAYLAND_DISPLAY and must choose X11 itself). The flow:

- mutter only: without an X display, on a Wayland session, the client ends
  at once with a message on stderr and a non-zero status;
- the skin is centred on the work area, the login dialog stands at the
  skin's top-left + (362, 154), and follows a drag of the skin;
- the site forwards a remembered login to the hand-over: the game window
  covers the work area; a double-click on its title bar restores it to its
  restore rectangle and another maximises it again; the window manager
  knows its 450 x 300 minimum size.
"""

import os
import subprocess
import sys
import time

import game_model as gm
import harness as h
import skin_model as sm


def ends_without_x_display(desk, opts):
    env = desk.env()
    env.pop("DISPLAY", None)
    res = subprocess.run([opts["zarek"]], env=env, cwd=desk.home, capture_output=True, text=True, timeout=20)
    h.check(res.returncode != 0, "without XWayland the client ended with status 0")
    h.check("XWayland" in res.stderr, "without XWayland the client said %r" % res.stderr)
    h.log("without XWayland:", res.stderr.strip())


def client_window(desk, pick, what, timeout=30):
    return h.wait_for(lambda: next(iter(pick(desk.client_windows())), None), timeout, 0.2, what)


def test(desk, opts):
    if desk.desktop == "mutter":
        ends_without_x_display(desk, opts)

    desk.start_client()
    skin = client_window(desk, lambda ws: [w for w in ws if desk.title(w) == "Tessary"], "the skin window")
    login = client_window(desk, lambda ws: [w for w in ws if w != skin], "the login dialog")
    wa = desk.work_area()

    def placed():
        sx, sy, sw, shh = desk.geometry(skin)
        lx, ly = desk.geometry(login)[:2]
        return (sw, shh) == (sm.SKIN_W, sm.SKIN_H) and (lx - sx, ly - sy) == sm.LOGIN_OFFSET and (sx, sy)
    sx, sy = h.wait_for(placed, 15, 0.2, "the login dialog at the skin + (362, 154): skin %s, dialog %s" %
                        (desk.geometry(skin), desk.geometry(login)))
    centre = (wa[0] + (wa[2] - sm.SKIN_W) // 2, wa[1] + (wa[3] - sm.SKIN_H) // 2)
    h.check(abs(sx - centre[0]) <= 1 and abs(sy - centre[1]) <= 1,
            "the skin stands at %s, not centred on the work area %s" % ((sx, sy), wa))
    desk.screenshot("skin", skin)
    desk.screenshot("login-dialog", login)

    # A drag on the skin's panel (outside the buttons and the browser).
    gx, gy = sm.find_opaque_block((350, 540, 1100, 620), avoid=[sm.BROWSER_IN_SKIN])
    grip = (sx + gx, sy + gy)
    desk.drag(grip[0], grip[1], grip[0] - 120, grip[1] - 60)
    h.wait_for(lambda: desk.geometry(skin)[:2] == (sx - 120, sy - 60), 5, 0.1,
               "the skin moved by the drag (it is at %s)" % (desk.geometry(skin)[:2],))
    h.wait_for(placed, 5, 0.1, "the login dialog following the skin")

    # The remembered login goes on to the game once the login page is served.
    desk.proxy.open_gate()
    game = client_window(desk, lambda ws: [w for w in ws if w not in (skin, login) and desk.title(w) == "Tessary"],
                         "the game window")
    h.wait_for(lambda: desk.geometry(game) == wa, 15, 0.2,
               "the game window over the work area %s (it is at %s)" % (wa, desk.geometry(game)))
    hints = desk.run(["xprop", "-id", str(game), "WM_NORMAL_HINTS"])
    h.check("minimum size: 450 by 300" in hints, "the window manager is not told the minimum size: " + hints)
    time.sleep(1.0)
    desk.screenshot("game", game)

    restored = gm.restore_rect(wa)
    title = (wa[0] + 600, wa[1] + 12)
    desk.move(*title)
    desk.xdotool("click", "--repeat", "2", "--delay", "80", "1")
    h.wait_for(lambda: desk.geometry(game) == restored, 10, 0.2,
               "a double-click to restore the game window to %s (it is at %s)" % (restored, desk.geometry(game)))
    # A pixel of motion between the presses must not undo it. (Presses
    # closer than GTK's double-click time to the last ones would count as
    # a triple click.)
    time.sleep(0.6)
    title = (restored[0] + 600, restored[1] + 12)
    desk.move(*title)
    # One xdotool run, so a busy machine cannot stretch the presses apart.
    desk.xdotool("mousedown", "1", "mouseup", "1", "sleep", "0.05", "mousedown", "1",
                 "mousemove_relative", "--", "1", "1", "mouseup", "1")
    h.wait_for(lambda: desk.geometry(game) == wa, 10, 0.2,
               "a double-click to maximise the game window again (it is at %s)" % (desk.geometry(game),))
    desk.screenshot("game-maximised", game)


if __name__ == "__main__":
    sys.exit(h.main(test, hold=("/lander/zarek",), demo_args=["--remembered-login"]))
