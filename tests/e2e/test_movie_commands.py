#!/usr/bin/env python3
"""The movie's four commands, from a real movie to what the player sees.

The demo site hands over the scriptable test movie. At its start it calls
"setWindowMax" (the game window, maximised by the hand-over, is restored)
and "setReloadTips" with a new question; 2.5 seconds later it calls
"disconnection" twice and "reload", one after the other. The first
disconnection asks the close question, with the new text; the calls that
follow wait for the answer, so no second question stacks on it and the game
is not reloaded under it. After No, the waiting calls run in order: the
second question, then the reload, which brings the game back through the
login page (the play address, then a new hand-over).
"""

import sys
import time
import urllib.parse

import flows
import game_model as gm
import harness as h

TIPS = "确定要离开吗？您的进度已经保存。"


def count(requests, prefix):
    return sum(1 for r in requests if r.startswith(prefix))


def test(desk, opts):
    desk.start_client({"G_MESSAGES_DEBUG": "tessary"})
    skin = h.wait_for(lambda: next(iter(desk.window_named("Tessary")), None), 30, 0.2, "the skin window")
    game = h.wait_for(lambda: next(iter([w for w in desk.window_named("Tessary") if w != skin]), None), 40, 0.2,
                      "the game window")
    wa = desk.work_area()
    restored = gm.restore_rect(wa)
    # setWindowMax: the hand-over maximised the window, the movie restores it.
    h.wait_for(lambda: desk.geometry(game) == restored, 30, 0.2,
               "setWindowMax to restore the game window (it is at %s)" % (desk.geometry(game),))
    desk.screenshot("after-setWindowMax")

    def boxes():
        return [w for w in desk.client_windows() if w != game]
    box = h.wait_for(lambda: next(iter(boxes()), None), 20, 0.2, "the close question after disconnection")
    time.sleep(2)  # the second disconnection and the reload have arrived meanwhile
    h.check(len(boxes()) == 1, "questions stacked: %s" % boxes())
    requests = flows.demo_requests(desk)
    h.check(count(requests, "GET /game/play/108/17") == 0, "the game was reloaded under the question")
    trace = desk.client_log()
    h.check("setReloadTips" in trace and "disconnection" in trace, "the movie's calls are not in the trace")
    desk.screenshot("question-with-new-tips")

    for round_ in ("first", "second"):
        desk.xdotool("windowactivate", "--sync", box, check=False)
        desk.xdotool("key", "Escape")  # No
        h.wait_for(lambda: box not in desk.client_windows(), 10, 0.2, "the %s question to close" % round_)
        if round_ == "first":
            box = h.wait_for(lambda: next(iter(boxes()), None), 10, 0.2,
                             "the second question, delivered after the first was answered")
            desk.screenshot("second-question")

    # The reload, delivered last: the hidden login browser loads the play
    # address and the site hands the game over again.
    def reloaded():
        seen = flows.demo_requests(desk)
        return count(seen, "GET /game/play/108/17") >= 1 and count(seen, "GET /lander/error?") >= 2
    h.wait_for(reloaded, 20, 0.3, "the reload through the login page")
    h.wait_for(lambda: game in desk.client_windows(), 10, 0.2, "the game window to stay through the reload")
    desk.screenshot("reloaded")
    desk.stop_client()


if __name__ == "__main__":
    sys.exit(h.main(test, demo_args=["--remembered-login", "--movie-calls", "setWindowMax|setReloadTips:" + TIPS,
                                     "--movie-later-calls", "disconnection|disconnection|reload"]))
