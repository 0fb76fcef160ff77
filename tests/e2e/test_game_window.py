#!/usr/bin/env python3
"""The game window's own frame and title bar, driven by the pointer.

After a hand-over from the demo site the game window covers the work area.
Its title buttons act on real clicks: minimise (and the window keeps its own
maximised state), restore and maximise, to tray and back through trayer's
XEmbed tray, the settings menu at the window's left + menu-button left,
top + 34 whose "刷新  F5" reloads the game, and close with its question
("No" keeps the game, "Yes" returns to the skin with the login page). A
double-click on the title bar toggles between the work area and the restore
rectangle, the title bar drags the window (its top edge too) and the left,
right and bottom borders resize it down to 450 x 300.
"""

import re
import sys
import time

import flows
import game_model as g
import harness as h
import looks


def geometry_is(desk, wid, want, what, timeout=5):
    want = tuple(want)
    h.wait_for(lambda: desk.geometry(wid) == want, timeout, 0.1,
               "%s: the game window at %s (it is at %s)" % (what, want, desk.geometry(wid)))


def client_toplevels(desk, names=('"tessary" "Tessary"',)):
    """(window, x, y, w, h) of every window of the client in the window tree."""
    found = []
    for line in desk.run(["xwininfo", "-root", "-tree"]).splitlines():
        if not any(n in line for n in names):
            continue
        m = re.search(r"(0x[0-9a-f]+) .*\s(\d+)x(\d+)[+-]-?\d+[+-]-?\d+\s+\+?(-?\d+)\+?(-?\d+)\s*$", line)
        if m:
            wid, w, hgt, x, y = m.groups()
            found.append((int(wid, 16), int(x), int(y), int(w), int(hgt)))
    return found


def tray_icon(desk):
    icons = [t for t in client_toplevels(desk) if t[3] <= 64 and t[4] <= 64 and t[2] > 1000
             and desk.map_state(t[0]) == "IsViewable"]
    return icons[0] if icons else None


def new_popup(desk, known):
    popups = [t for t in client_toplevels(desk) if t[0] not in known and desk.map_state(t[0]) == "IsViewable"
              and 40 <= t[3] <= 400 and 20 <= t[4] <= 200]
    return popups[0] if popups else None


def question(desk, game):
    boxes = [w for w in desk.window_named("Tessary") if w != game and desk.geometry(w)[2] < 1000]
    return boxes[0] if boxes else None


def answer(desk, box, yes):
    """Clicks Yes (right half) or No (left half) of the question's button row."""
    x, y, w, hgt = desk.geometry(box)
    desk.click(x + (3 * w // 4 if yes else w // 4), y + hgt - 18)


def double_click(desk, x, y):
    """Two clicks, apart from any click before (GTK counts a third click
    within the double-click time as a triple click)."""
    time.sleep(0.6)
    desk.approach(x, y)
    desk.xdotool("click", "--repeat", 2, "--delay", 80, 1)


def count(requests, prefix):
    return sum(1 for r in requests if r.startswith(prefix))


def test(desk, opts):
    c = flows.enter_game(desk)
    game = c.game
    wa = desk.work_area()
    geometry_is(desk, game, wa, "after the hand-over", 10)
    win = desk.geometry(game)

    # The player: the loader movie named by the hand-over is fetched and drawn.
    try:
        h.wait_for(lambda: "GET /res/GameLoader_1.0.3.swf" in flows.demo_requests(desk), 20, 0.3, "movie")
        player = True
    except h.Failure:
        player = False
        h.log("note: no movie was fetched (the client has no player); movie checks left out")
    if player:
        def movie_drawn():
            img = desk.grab(win[0] + 3, win[1] + 29, win[2] - 6, win[3] - 32)
            return looks.share(img, looks.is_gold, None, 6) > 0.002
        h.wait_for(movie_drawn, 30, 0.5, "the loader movie's gold buttons in the game window")

    # Frame and title bar: the left part of the title bar, the five buttons
    # normal, the restore image while maximised.
    h.check(g.matches(desk.grab(win[0], win[1], 130, 29), g.TITLE_LEFT) > 0.97,
            "the title bar's left part (bitmap 150) is not at the window's top-left")
    for name in ("menu", "tray", "minimise", "restore", "close"):
        state = g.shown_image(desk, name, win)
        h.check(state == 0, "title button %s shows image state %s, not normal, while maximised" % (name, state))
    desk.screenshot("game-maximised")

    # Minimise: hover, press, release - three button states - then iconified.
    mx, my = g.button_centre("minimise", win)
    desk.approach(mx, my)
    h.wait_for(lambda: g.shown_image(desk, "minimise", win) == 1, 3, 0.1, "the minimise button's hover image")
    desk.screenshot("title-hover")
    desk.xdotool("mousedown", 1)
    h.wait_for(lambda: g.shown_image(desk, "minimise", win) == 2, 3, 0.1, "the minimise button's pressed image")
    desk.screenshot("title-pressed")
    desk.xdotool("mouseup", 1)
    h.wait_for(lambda: desk.is_iconic(game), 5, what="the game window to be iconified by its minimise button")
    desk.xdotool("windowactivate", game, check=False)
    h.wait_for(lambda: not desk.is_iconic(game) and desk.map_state(game) == "IsViewable", 5,
               what="the game window back from the taskbar")
    geometry_is(desk, game, wa, "after the minimise round trip")

    # Still maximised in its own sense: the button restores to the restore
    # rectangle of the hand-over.
    restored = g.restore_rect(wa)
    desk.click(*g.button_centre("restore", win))
    geometry_is(desk, game, restored, "the maximise/restore button after minimising")
    win = desk.geometry(game)
    desk.move(win[0] + 600, win[1] + 300)
    h.wait_for(lambda: g.shown_image(desk, "maximise", win) == 0, 3, 0.1,
               "the maximise image (162) while not maximised")
    desk.screenshot("game-restored")
    desk.click(*g.button_centre("maximise", win))
    geometry_is(desk, game, wa, "the maximise button")
    h.check(desk.map_state(game) == "IsViewable" and "_NET_WM_STATE_MAXIMIZED" not in desk.net_wm_state(game),
            "the window manager's own maximised state is used")

    # Double-click on the title bar toggles.
    win = desk.geometry(game)
    double_click(desk, win[0] + 600, win[1] + 14)
    geometry_is(desk, game, restored, "a double-click on the maximised title bar")
    win = desk.geometry(game)
    double_click(desk, win[0] + 600, win[1] + 14)
    geometry_is(desk, game, wa, "a second double-click")
    double_click(desk, 600, 14)
    geometry_is(desk, game, restored, "a third double-click")

    # The title bar drags the window; so does its top edge (it never resizes).
    x, y, w, hgt = desk.geometry(game)
    desk.drag(x + 700, y + 14, x + 700 - 110, y + 14 - 60)
    geometry_is(desk, game, (x - 110, y - 60, w, hgt), "dragging the title bar")
    x, y, w, hgt = desk.geometry(game)
    desk.drag(x + 700, y + 1, x + 700 + 30, y + 1 + 20)
    geometry_is(desk, game, (x + 30, y + 20, w, hgt), "dragging the top edge")

    # Borders resize: right, bottom, left; and no smaller than 450 x 300.
    x, y, w, hgt = desk.geometry(game)
    desk.drag(x + w - 2, y + 300, x + w - 2 + 100, y + 300)
    geometry_is(desk, game, (x, y, w + 100, hgt), "dragging the right border")
    x, y, w, hgt = desk.geometry(game)
    desk.drag(x + 500, y + hgt - 2, x + 500, y + hgt - 2 + 40)
    geometry_is(desk, game, (x, y, w, hgt + 40), "dragging the bottom border")
    x, y, w, hgt = desk.geometry(game)
    desk.drag(x + 1, y + 300, x + 1 - 50, y + 300)
    geometry_is(desk, game, (x - 50, y, w + 50, hgt), "dragging the left border")
    x, y, w, hgt = desk.geometry(game)
    desk.drag(x + w - 2, y + hgt - 2, x + 100, y + 100)
    geometry_is(desk, game, (x, y, 450, 300), "dragging the lower right corner past the minimum size")
    desk.screenshot("game-smallest")
    win = desk.geometry(game)
    for name in ("menu", "tray", "minimise", "maximise", "close"):
        h.check(g.shown_image(desk, name, win) is not None,
                "title button %s is not drawn at its place on a 450-pixel window" % name)

    # To the tray and back.
    desk.click(*g.button_centre("tray", win))
    h.wait_for(lambda: desk.map_state(game) != "IsViewable", 5, what="the game window to hide into the tray")
    icon = h.wait_for(lambda: tray_icon(desk), 5, what="the tray icon in trayer")
    desk.screenshot("tray-icon")
    desk.click(icon[1] + icon[3] // 2, icon[2] + icon[4] // 2)
    h.wait_for(lambda: desk.map_state(game) == "IsViewable", 5, what="the game window back from the tray")
    h.wait_for(lambda: tray_icon(desk) is None, 5, what="the tray icon to go")
    geometry_is(desk, game, win, "back from the tray")

    # The settings menu at (left + menu-button left, top + 34); its first
    # item reloads the game through the play address.
    desk.click(*g.button_centre("maximise", win))
    geometry_is(desk, game, wa, "maximising before the menu")
    desk.click(*g.button_centre("maximise", desk.geometry(game)))
    geometry_is(desk, game, win, "restoring before the menu")
    known = {t[0] for t in client_toplevels(desk)}
    desk.click(*g.button_centre("menu", win))
    menu = h.wait_for(lambda: new_popup(desk, known), 5, 0.1, "the settings menu")
    desk.screenshot("menu")
    want = (win[0] + g.button_rect("menu", win[2])[0], win[1] + g.MENU_DROP)
    h.check((menu[1], menu[2]) == want, "the menu opened at %s, not at %s" % ((menu[1], menu[2]), want))
    before = flows.demo_requests(desk)
    desk.click(menu[1] + menu[3] // 2, menu[2] + 16)
    h.wait_for(lambda: desk.map_state(menu[0]) != "IsViewable", 5, what="the menu to close")

    def reloaded():
        now = flows.demo_requests(desk)[len(before):]
        return count(now, "GET /game/play/108/17?ismicroclient=yes") == 1 and \
            count(now, "GET /lander/error?") == 1 and \
            (not player or count(now, "GET /res/GameLoader_1.0.3.swf") == 1)
    h.wait_for(reloaded, 20, 0.3, "the game to reload through the play address after \"刷新  F5\"")
    geometry_is(desk, game, wa, "the reload's placement over the work area", 10)
    h.log("menu item reloaded the game:", "; ".join(flows.demo_requests(desk)[len(before):]))

    # The close question: No keeps the game, Yes returns to the skin.
    win = desk.geometry(game)
    desk.click(*g.button_centre("close", win))
    box = h.wait_for(lambda: question(desk, game), 5, 0.1, 'the close question titled "Tessary"')
    desk.screenshot("close-question")
    answer(desk, box, yes=False)
    h.wait_for(lambda: question(desk, game) is None, 5, what="the question to go after No")
    time.sleep(0.5)
    h.check(desk.map_state(game) == "IsViewable" and desk.map_state(c.skin) != "IsViewable",
            "after No the game window is not the one shown")
    desk.click(*g.button_centre("close", win))
    box = h.wait_for(lambda: question(desk, game), 5, 0.1, "the close question again")
    answer(desk, box, yes=True)
    h.wait_for(lambda: desk.map_state(c.skin) == "IsViewable" and desk.map_state(c.login) == "IsViewable", 10,
               what="the skin and the login dialog after Yes")
    h.wait_for(lambda: game not in desk.client_windows(), 5, what="the game window to go after Yes")
    c.wait_browser(looks.is_login_page, 20, "the login page in the skin after Yes")
    desk.screenshot("back-to-skin")


if __name__ == "__main__":
    sys.exit(h.main(test, tray=True))
