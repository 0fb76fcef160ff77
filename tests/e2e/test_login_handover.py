#!/usr/bin/env python3
"""From the demo login page into the game window, by pointer and keyboard.

The player types a name and a password into the login page inside the skin,
logs in and chooses server 17 in the list. The site's hand-over address
hides the skin and the login dialog; the game window appears over the whole
work area with "S17-Dawn" (the gameaddress parameter) written in its title
bar, centred on x = 155, 9 pixels from the top; the hidden browser goes back
to the login page, and the loader movie named by the hand-over is fetched.
"""

import sys

import flows
import harness as h


def test(desk, opts):
    c = flows.start_to_login_page(desk)
    desk.screenshot("login-page")
    flows.log_in(c)
    game = flows.choose_server(c, 17)

    # The login windows are hidden, the game window covers the work area.
    h.wait_for(lambda: desk.map_state(c.skin) != "IsViewable" and desk.map_state(c.login) != "IsViewable",
               10, what="the skin and the login dialog to hide")
    wa = desk.work_area()
    h.wait_for(lambda: desk.geometry(game) == wa, 10,
               what="the game window over the work area %s (it is at %s)" % (wa, desk.geometry(game)))
    h.check("_NET_WM_STATE_SKIP_TASKBAR" not in desk.net_wm_state(game), "the game window has no taskbar entry")
    h.check(desk.title(game) == "Tessary", "game window title is %r" % desk.title(game))

    # The title text, white, centred on x = 155, its top 9 pixels down.
    gx, gy = wa[0], wa[1]
    def title_text():
        return flows.bright_box(desk.grab(gx, gy, 400, 29), (40, 2, 300, 27))
    box = h.wait_for(title_text, 10, 0.2, "the title text in the game window's title bar")
    desk.screenshot("game-window")
    centre = (box[0] + box[2]) / 2.0
    h.log("title text box", box, "centre x %.1f" % centre)
    h.check(abs(centre - 155) <= 4, "the title text is centred on x %.1f, not 155 (box %s)" % (centre, box))
    # A 12-pixel font whose cell starts at y 9: its capitals lie inside 9..21.
    h.check(9 <= box[1] <= 14 and box[3] <= 22,
            "the title text spans y %d..%d, outside a 12-pixel cell at y 9" % (box[1], box[3]))
    h.check(35 <= box[2] - box[0] <= 90, "the title text is %d pixels wide: not \"S17-Dawn\"" % (box[2] - box[0]))
    h.check(flows.bright_box(desk.grab(gx + 400, gy, 600, 29), (0, 2, 600, 27)) is None,
            "white pixels in the title bar away from the title text")

    # The browser returned to the login page after the hand-over, and the
    # loader movie of the hand-over was asked for.
    def requests_done():
        seen = flows.demo_requests(desk)
        hand = [i for i, r in enumerate(seen) if r.startswith("GET /lander/error?")]
        back = [i for i, r in enumerate(seen) if r == "GET /lander/zarek" and hand and i > hand[0]]
        movie = "GET /res/GameLoader_1.0.3.swf" in seen
        return hand and back and movie and seen
    seen = h.wait_for(requests_done, 20, 0.3, "the return to the login page and the loader movie request")
    hand = next(r for r in seen if r.startswith("GET /lander/error?"))
    h.check("&serverid=17&gameaddress=S17-Dawn&" in hand, "unexpected hand-over address " + hand)
    h.log("requests:", "; ".join(seen))


if __name__ == "__main__":
    sys.exit(h.main(test))
