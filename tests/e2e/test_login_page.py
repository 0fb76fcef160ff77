#!/usr/bin/env python3
"""The login page as a player meets it on a real desktop, in Chinese.

1. A box nobody can miss: the update description is missing and the site
   forwards a remembered login straight to the game. The failure box
   "无法下载文件。请检查网络后重试。" stays above the program's windows, with
   GTK's Chinese button; nothing goes on under it. Once it is answered the
   login page follows, the hand-over opens the game window, and that window
   takes a double-click on its title bar.
2. Links and leaving: a target="_blank" link and window.open() reach the
   user's default browser, a file address is dropped; leaving the login
   page asks the player, No stays, Yes leaves.
3. Failure pages: with no site the login area shows the program's own page
   ("cannot connect"), whose retry button loads the login page once the
   site is back; a login page the site does not have shows it too.
"""

import os
import sys
import time

import flows
import game_model as gm
import harness as h
import looks

CHINESE = {"LANGUAGE": "zh_CN"}


def other_windows(desk, known):
    return [w for w in desk.client_windows() if w not in known]


def wait_box(desk, known, what):
    return h.wait_for(lambda: next(iter(other_windows(desk, known)), None), 20, 0.2, what)


def boxes_above_everything(desk, opts):
    desk.start_client(CHINESE)
    skin = h.wait_for(lambda: next(iter(desk.window_named("Tessary")), None), 30, 0.2, "the skin window")
    # The failure box is titled "zarek"; the login dialog is the other window.
    box = h.wait_for(lambda: next(iter(desk.window_named("zarek")), None), 30, 0.2,
                     'the box "无法下载文件。请检查网络后重试。"')
    login = h.wait_for(lambda: next(iter(other_windows(desk, [skin, box])), None), 15, 0.2, "the login dialog")
    time.sleep(3)  # the loading page completes under the box; nothing may follow
    h.check(not other_windows(desk, [skin, login, box]), "a window opened while the box was open")
    requests = flows.demo_requests(desk)
    h.check(not any(r.startswith("GET /lander/") for r in requests),
            "the login page was asked for under the box: %s" % requests)
    # On top: its light face shows over the skin's brown.
    bx, by, bw, bh = desk.geometry(box)
    face = looks.share(desk.grab(bx, by, bw, bh), lambda p: min(p) > 200)
    h.check(face > 0.6, "the failure box is not on top (%.0f%% of it shows)" % (100 * face))
    desk.screenshot("failure-box-zh")

    desk.click(bx + bw // 2, by + bh - 14)  # its one button, along the bottom
    game = h.wait_for(lambda: next(iter([w for w in desk.window_named("Tessary") if w != skin]), None), 30, 0.2,
                      "the game window after the box was answered")
    wa = desk.work_area()
    h.wait_for(lambda: desk.geometry(game) == wa, 10, 0.2, "the game window over the work area")
    desk.move(wa[0] + 600, wa[1] + 12)
    desk.xdotool("click", "--repeat", "2", "--delay", "80", "1")
    restored = gm.restore_rect(wa)
    h.wait_for(lambda: desk.geometry(game) == restored, 10, 0.2,
               "the game window to take a double-click (it is at %s)" % (desk.geometry(game),))
    desk.screenshot("game-after-box")
    desk.stop_client()


def links_and_leaving(desk, opts):
    opened = desk.fake_browser()
    desk.restart_demo(["--login-extras"])
    c = flows.start_to_login_page(desk, extra_env=CHINESE)
    desk.screenshot("login-extras")
    # The links stand at the page's top-left, 80 pixels apart.
    for x in (50, 130, 210):
        c.click_browser((x, 16))
    h.wait_for(lambda: os.path.exists(opened) and len(open(opened).read().split()) >= 2, 15, 0.2,
               "the two web links in the default browser")
    time.sleep(1)
    pages = open(opened).read().split()
    h.check(sorted(pages) == sorted(["http://127.0.0.1:%d/services?from=register" % opts["port"],
                                     "http://127.0.0.1:%d/services?from=password" % opts["port"]]),
            "the default browser was asked for %s" % pages)

    known = [c.skin, c.login]
    c.click_browser(looks.LOGIN_NAME_FIELD)
    desk.xdotool("type", "--delay", "30", "player1")
    for answer in ("Escape", "alt+y"):
        c.click_browser(looks.LOGIN_BUTTON)
        box = wait_box(desk, known, "the leave-page question")
        desk.screenshot("leave-question-" + answer)
        desk.xdotool("windowactivate", "--sync", box, check=False)
        desk.xdotool("key", answer)
        h.wait_for(lambda: box not in desk.client_windows(), 10, 0.2, "the leave-page question to close")
        if answer == "Escape":
            time.sleep(1)
            img = c.browser()
            h.check(looks.share(img, looks.is_gold, looks.LOGIN_BUTTON_BAND, 1) > 0.9 and
                    "POST /lander/login" not in flows.demo_requests(desk), "after No the login page did not stay")
    c.wait_browser(flows.is_server_list, 20, "the server list after leaving the login page")
    desk.stop_client()


def failure_pages(desk, opts):
    desk.stop_demo()
    c = flows.start_to_login_page_or(desk, looks.is_failure_page, "the cannot-connect page", extra_env=CHINESE)
    desk.screenshot("cannot-connect")
    desk.restart_demo([])
    c.click_browser(looks.FAILURE_RETRY)
    c.wait_browser(looks.is_login_page, 20, "the login page after retrying")
    desk.stop_client()

    desk.restart_demo(["--lander-missing"])
    c = flows.start_to_login_page_or(desk, looks.is_failure_page, "the page-not-found page", extra_env=CHINESE)
    h.check("GET /lander/zarek" in flows.demo_requests(desk), "the login page was never asked for")
    desk.screenshot("not-found")
    desk.stop_client()


def test(desk, opts):
    boxes_above_everything(desk, opts)
    links_and_leaving(desk, opts)
    failure_pages(desk, opts)


if __name__ == "__main__":
    sys.exit(h.main(test, demo_args=["--remembered-login", "--no-update-description"]))
