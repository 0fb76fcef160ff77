#!/usr/bin/env python3
"""The skin window of zarek.exe under a real X server, driven by the pointer.

It must show a 1155 x 625 window titled "Tessary", centred on the work area,
with the loading page and then the demo login page inside its panel; a
hovered link button shows its hover image; a drag on the skin outside the
buttons moves the window and the login page with it; a fully transparent
pixel belongs to whatever lies below; the minimise button iconifies, and
the close button ends the process with status 0.
"""

import sys
import time

import harness as h
import looks
import skin_model as sm


def find_login_dialog(desk, skin):
    """The client's other visible window: the login dialog (no taskbar entry)."""
    others = h.wait_for(lambda: [w for w in desk.client_windows() if w != skin], 10, what="the login dialog")
    h.check(len(others) == 1, "expected the login dialog beside the skin, found windows %s" % others)
    return others[0]


def browser_grab(desk, skin_origin):
    x = skin_origin[0] + sm.BROWSER_IN_SKIN[0]
    y = skin_origin[1] + sm.BROWSER_IN_SKIN[1]
    return desk.grab(x, y, looks.BROWSER_W, looks.BROWSER_H)


def check_page_inside_panel(desk, origin):
    """Just outside the browser rectangle the skin's own panel shows."""
    l, t, r, b = sm.BROWSER_IN_SKIN
    ring = [(l - 3, t + 50), (r + 2, t + 50), (l + 100, t - 3), (l + 100, b + 2)]
    states = [0] * 7
    for sx, sy in ring:
        got = desk.grab(origin[0] + sx, origin[1] + sy, 1, 1).pixel(0, 0)
        want = sm.shown_pixel(sx, sy, states)
        h.check(max(abs(a - b) for a, b in zip(got, want)) <= 6,
                "skin pixel (%d, %d) beside the browser shows %s, the skin has %s" %
                (sx, sy, got, tuple(round(v) for v in want)))


def wait_for_page(desk, origin, predicate, timeout, what):
    seen = []

    def shown():
        img = browser_grab(desk, origin)
        look = looks.describe(img)
        if not seen or seen[-1] != look:
            seen.append(look)
            h.log("browser shows:", look)
        return predicate(img)
    return h.wait_for(shown, timeout, 0.1, what)


def test(desk, opts):
    sm.composited = desk.compositor
    client = desk.start_client()
    skins = h.wait_for(lambda: desk.window_named("Tessary"), 20, what='a window titled "Tessary"')
    h.check(len(skins) == 1, "one window titled Tessary expected, found %s" % skins)
    skin = skins[0]

    # --- size and place: centred on the work area, integer halving
    wa = desk.work_area()
    x, y, w, hgt = desk.geometry(skin)
    h.check((w, hgt) == (sm.SKIN_W, sm.SKIN_H), "skin window is %dx%d, not 1155x625" % (w, hgt))
    want = (wa[0] + int((wa[2] - sm.SKIN_W) / 2), wa[1] + int((wa[3] - sm.SKIN_H) / 2))
    h.check((x, y) == want, "skin window at (%d, %d), centred would be %s (work area %s)" % (x, y, want, wa))
    origin = (x, y)
    h.log("skin window %#x at %s, work area %s" % (skin, origin, wa))

    login = find_login_dialog(desk, skin)
    want_login = (x + sm.LOGIN_OFFSET[0], y + sm.LOGIN_OFFSET[1])
    first = desk.geometry(login)
    if first[:2] != want_login:
        h.log("note: the login dialog first stood at %s, not at skin + (362, 154) = %s" % (first[:2], want_login))
    h.wait_for(lambda: desk.geometry(login)[:2] == want_login, 5,
               what="the login dialog at skin + (362, 154) = %s (it is at %s)" % (want_login, desk.geometry(login)[:2]))
    lx, ly, lw, lh = desk.geometry(login)
    h.check("_NET_WM_STATE_SKIP_TASKBAR" in desk.net_wm_state(login), "the login dialog has a taskbar entry")

    # --- the loading page, then the login page, inside the panel (the site
    # holds the login page back until the loading page has been seen)
    wait_for_page(desk, origin, looks.is_loading_page, 30, "the loading page in the skin's panel")
    check_page_inside_panel(desk, origin)
    desk.screenshot("loading-page")
    h.check(desk.proxy.held_count >= 1, "the loading page showed without the login page being asked for")
    desk.proxy.open_gate()
    wait_for_page(desk, origin, looks.is_login_page, 30, "the demo login page in the skin's panel")
    check_page_inside_panel(desk, origin)
    desk.screenshot("login-page")
    page_before = browser_grab(desk, origin)

    # --- the skin with every button normal, then the official site hovered
    region = sm.button_rect(sm.OFFICIAL_SITE)
    grab_region = lambda: desk.grab(origin[0] + region[0], origin[1] + region[1],
                                    region[2] - region[0], region[3] - region[1])
    normal = [0] * 7
    hover = [1, 0, 0, 0, 0, 0, 0]
    share, worst = sm.compare_region(grab_region(), region[:2], region, normal)
    h.check(share > 0.99, "the official site button does not show its normal image (%.1f%% match, worst %s)" %
            (100 * share, worst))
    share_other, _ = sm.compare_region(grab_region(), region[:2], region, hover)
    h.check(share_other < 0.5, "normal and hover images of the official site cannot be told apart")

    desk.move(origin[0] + 700, origin[1] + 150)
    h.wait_for(lambda: sm.compare_region(grab_region(), region[:2], region, hover)[0] > 0.99, 5, 0.1,
               "the official site's hover image (204) on screen")
    desk.screenshot("hover-official-site")
    h.log("hover image of the official site matches the composition at 254/255 alpha")

    # Leaving the window through a transparent pixel changes no state; the
    # next move over the skin outside the button returns it to normal.
    clear = sm.find_transparent_block((0, 0, 340, sm.SKIN_H))
    h.check(clear is not None, "the skin has no transparent block on its left side")
    solid = sm.find_opaque_block((0, 0, sm.SKIN_W, sm.SKIN_H),
                                 avoid=[(sm.LOGIN_OFFSET[0], sm.LOGIN_OFFSET[1], sm.LOGIN_OFFSET[0] + lw,
                                         sm.LOGIN_OFFSET[1] + lh)])
    h.check(solid is not None, "the skin has no opaque block outside the buttons")
    desk.move(origin[0] + clear[0], origin[1] + clear[1])
    time.sleep(0.5)
    h.check(sm.compare_region(grab_region(), region[:2], region, hover)[0] > 0.99,
            "the official site lost its hover image when the pointer left the window")
    desk.move(origin[0] + solid[0], origin[1] + solid[1])
    h.wait_for(lambda: sm.compare_region(grab_region(), region[:2], region, normal)[0] > 0.99, 5, 0.1,
               "the official site's normal image after the pointer moved over the skin outside it")

    # --- a fully transparent pixel belongs to the window below
    frames = (desk.frame_of(skin), desk.frame_of(login))
    under = desk.window_under(origin[0] + clear[0], origin[1] + clear[1])
    h.check(under not in frames, "transparent skin pixel %s takes the pointer (window %#x)" % (clear, under))
    under = desk.window_under(origin[0] + solid[0], origin[1] + solid[1])
    h.check(under == frames[0], "opaque skin pixel %s is not the skin's (window %#x)" % (solid, under))
    h.log("transparent pixel %s passes through, opaque pixel %s is the skin's" % (clear, solid))

    # --- drag the skin by a pixel inside the login dialog's window but
    # outside its browser: the see-through part passes the press on.
    grip = sm.find_opaque_block((sm.LOGIN_OFFSET[0] + 40, sm.BROWSER_IN_SKIN[3] + 8,
                                 sm.LOGIN_OFFSET[0] + 600, sm.BROWSER_IN_SKIN[3] + 60))
    h.check(grip is not None, "no opaque skin pixel below the browser to drag by")
    dx, dy = -260, -140
    start = (origin[0] + grip[0], origin[1] + grip[1])
    desk.drag(start[0], start[1], start[0] + dx, start[1] + dy)
    moved = h.wait_for(lambda: desk.geometry(skin)[:2] != origin and desk.geometry(skin)[:2], 5,
                       what="the skin window to move")
    h.check(moved == (origin[0] + dx, origin[1] + dy),
            "dragging by (%d, %d) from %s put the skin at %s" % (dx, dy, origin, moved))
    lx, ly, _, _ = desk.geometry(login)
    h.check((lx, ly) == (moved[0] + sm.LOGIN_OFFSET[0], moved[1] + sm.LOGIN_OFFSET[1]),
            "after the drag the login dialog is at (%d, %d), not skin + (362, 154)" % (lx, ly))
    origin = moved
    h.wait_for(lambda: browser_grab(desk, origin).mean_difference(page_before) < 2.0, 5, 0.1,
               "the login page at the skin's new place")
    check_page_inside_panel(desk, origin)
    desk.screenshot("after-drag")
    h.log("drag moved skin and login page together to", origin)

    # --- minimise iconifies
    mx, my = sm.button_centre(sm.MINIMISE)
    desk.click(origin[0] + mx, origin[1] + my)
    h.wait_for(lambda: desk.is_iconic(skin), 5, what="the skin window to be iconified")
    h.wait_for(lambda: desk.map_state(login) != "IsViewable", 5,
               what="the login dialog to go with the minimised skin")
    desk.screenshot("minimised")
    h.log("minimised:", desk.net_wm_state(skin).strip())

    desk.xdotool("windowactivate", skin, check=False)
    h.wait_for(lambda: not desk.is_iconic(skin) and desk.map_state(skin) == "IsViewable", 5,
               what="the skin window to come back")
    h.wait_for(lambda: desk.map_state(login) == "IsViewable", 5, what="the login dialog to come back")
    # Above the skin, not under it: the login page shows in the panel again.
    origin = desk.geometry(skin)[:2]
    wait_for_page(desk, origin, looks.is_login_page, 10, "the login page after the restore")

    # --- close ends the process with status 0
    cx, cy = sm.button_centre(sm.CLOSE)
    desk.click(origin[0] + cx, origin[1] + cy)
    try:
        status = client.wait(10)
    except Exception:
        raise h.Failure("zarek.exe still runs 10 s after a click on the close button")
    h.check(status == 0, "zarek.exe ended with status %d after the close button" % status)
    h.log("close button: exit status 0")


if __name__ == "__main__":
    sys.exit(h.main(test, hold=["/lander/zarek"]))
