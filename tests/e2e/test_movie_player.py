#!/usr/bin/env python3
"""The game area's movie player as a player meets it: sound without a click,
and the client's own notice for a loader movie that cannot be played.

The demo site answers the loader movie in turn with the tone movie (twice),
nothing (404), then a file that is no movie. PulseAudio runs with a null
sink as its default sink; parec records the sink's monitor all along.

- The tone movie paints its stage blue and plays a one-second 880 Hz tone
  at its first frame. The tone must be recorded within 2 s of the blue stage
  showing, with no click anywhere in the game: at the first start (once, not
  looping), and again after F5 has reloaded the game.
- F5: the loader movie is missing. The game area shows the client's notice
  (the skin's dark brown around the loading page's panel with its orange
  title), not Ruffle's error screen. F5: the movie is broken; the notice
  again.

Reports 77 (skipped) when PulseAudio cannot be started here.
"""

import array
import os
import shutil
import subprocess
import sys
import threading
import time

import flows
import harness as h

TONE_MOVIE_BLUE = (0x30, 0x50, 0xC0)
NOTICE_BROWN = (0x24, 0x17, 0x0C)
NOTICE_PANEL = (0x47, 0x33, 0x21)
NOTICE_ORANGE = (0xDE, 0x6A, 0x11)
LOADER_REQUEST = "GET /res/GameLoader_1.0.3.swf"
MOST_DELAY_S = 2.0


def near(pixel, colour, tolerance=8):
    return all(abs(a - b) <= tolerance for a, b in zip(pixel, colour))


class Recorder:
    """A private PulseAudio with a null sink as its only (so default) sink,
    and parec on its monitor, read in 20 ms chunks. A chunk holds the tone
    when it is loud and crosses zero about as often as 880 Hz does.

    Chunks are timed by their samples, not by when they were read (reads
    come late on a busy machine): the clock is anchored on the read that
    came soonest after its samples."""

    RATE = 8000
    CHUNK = 160

    def __init__(self, desk):
        if not shutil.which("pulseaudio") or not shutil.which("parec") or not shutil.which("pactl"):
            raise h.Skip("missing tools: pulseaudio, parec or pactl (Debian's pulseaudio, pulseaudio-utils)")
        self.chunks = []   # (samples recorded up to the chunk's end, tone)
        self.anchor = None  # monotonic time of sample 0
        errors = open(os.path.join(desk.home, "pulseaudio.log"), "w")
        desk._spawn("pulseaudio", ["pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1",
                                   "--log-target=stderr", "--log-level=error",
                                   "-L", "module-null-sink sink_name=tessary_test",
                                   "-L", "module-native-protocol-unix"],
                    stdout=subprocess.DEVNULL, stderr=errors)
        try:
            h.wait_for(lambda: desk.run(["pactl", "get-default-sink"], check=False).strip() == "tessary_test",
                       10, 0.2, "PulseAudio with its null sink")
        except h.Failure:
            raise h.Skip("PulseAudio cannot start here: " + desk.client_log("pulseaudio.log")[-300:])
        self.parec = desk._spawn("parec", ["parec", "-d", "tessary_test.monitor", "--raw", "--format=s16le",
                                           "--rate=%d" % self.RATE, "--channels=1", "--latency-msec=20"],
                                 stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        threading.Thread(target=self._read, daemon=True).start()
        h.wait_for(lambda: self.chunks, 10, 0.1, "parec's first samples")

    def _read(self):
        size = self.CHUNK * 2
        recorded = 0
        while True:
            data = self.parec.stdout.read(size)
            if not data or len(data) < size:
                return
            recorded += self.CHUNK
            start = time.monotonic() - recorded / self.RATE
            self.anchor = start if self.anchor is None else min(self.anchor, start)
            samples = array.array("h", data)
            loud = sum(abs(s) for s in samples) / len(samples) > 500
            crossings = sum(1 for a, b in zip(samples, samples[1:]) if (a < 0) != (b < 0))
            # 880 Hz crosses zero 1760 times a second: 35 in 20 ms.
            self.chunks.append((recorded, loud and 28 <= crossings <= 42))

    def tone_times(self):
        anchor = self.anchor
        return [anchor + (n - self.CHUNK) / self.RATE for n, tone in list(self.chunks) if tone]

    def tone_onset(self, after, timeout):
        """Time the first tone chunk recorded after `after` began."""
        return h.wait_for(lambda: next((t for t in self.tone_times() if t > after), None), timeout, 0.05,
                          "the tone on the null sink")

    def tone_between(self, start, end):
        return any(start < t <= end for t in self.tone_times())


def game_area(desk, game):
    """(left, top, width, height) of the player in the game window."""
    x, y, w, hgt = desk.geometry(game)
    return (x + 3, y + 29, w - 6, hgt - 32)


def loader_requests(desk):
    return sum(1 for r in flows.demo_requests(desk) if r == LOADER_REQUEST)


def reload_game(desk, game, requests):
    """F5 in the game window; returns once the demo site has seen the
    request-th request for the loader movie."""
    desk.xdotool("windowactivate", "--sync", game, check=False)
    desk.xdotool("key", "F5")
    h.wait_for(lambda: loader_requests(desk) >= requests, 20, 0.05,
               "request %d for the loader movie after F5" % requests)
    return time.monotonic()


def tone_follows_blue_stage(desk, game, rec, since, what):
    """Waits for the tone movie's blue stage, then for its tone; returns the delay."""
    left, top, w, hgt = game_area(desk, game)

    def blue():
        return near(desk.grab(left + w // 2, top + hgt // 2, 1, 1).pixel(0, 0), TONE_MOVIE_BLUE)
    h.wait_for(blue, 20, 0.05, "the tone movie's blue stage (%s)" % what)
    shown = time.monotonic()
    onset = rec.tone_onset(since, MOST_DELAY_S + 3)
    delay = onset - shown
    h.log("%s: blue stage at %.2f s, tone at %.2f s: %.2f s later" % (what, shown - since, onset - since, delay))
    h.check(delay <= MOST_DELAY_S, "%s: the tone came %.2f s after the movie started (at most %.1f s)"
            % (what, delay, MOST_DELAY_S))
    return onset


def notice_shown(desk, game, what):
    left, top, w, hgt = game_area(desk, game)

    def looks_right():
        img = desk.grab(left, top, w, hgt)
        corner = img.pixel(8, 8)
        centre = img.crop(w // 2 - 200, hgt // 2 - 60, w // 2 + 200, hgt // 2 + 60)
        colours = [centre.pixel(x, y) for y in range(0, centre.height, 2) for x in range(0, centre.width, 2)]
        panel = sum(1 for p in colours if near(p, NOTICE_PANEL, 2)) / len(colours)
        title = sum(1 for p in colours if near(p, NOTICE_ORANGE, 40))
        return near(corner, NOTICE_BROWN, 2) and panel > 0.6 and title > 20
    h.wait_for(looks_right, 20, 0.2, "the client's notice in the game area (%s)" % what)
    desk.screenshot("notice-" + what)


def test(desk, opts):
    rec = Recorder(desk)
    start = time.monotonic()
    c = flows.enter_game(desk)
    game = c.game

    first = tone_follows_blue_stage(desk, game, rec, start, "first start")
    desk.screenshot("tone-movie")
    # The one-second tone plays once (on a busy machine with gaps, so it may
    # take longer); then F5.
    h.wait_for(lambda: time.monotonic() > first + 1.0 and not rec.tone_between(time.monotonic() - 0.5, 1e12),
               8, 0.1, "the tone's end")
    heard = sum(1 for t in rec.tone_times() if t >= first) * Recorder.CHUNK / Recorder.RATE
    h.log("the tone sounded for %.2f s" % heard)
    h.check(0.5 <= heard <= 1.1, "the tone sounded for %.2f s, not once for 1 s" % heard)
    asked = reload_game(desk, game, 2)
    tone_follows_blue_stage(desk, game, rec, asked, "after F5")

    reload_game(desk, game, 3)
    notice_shown(desk, game, "missing")
    reload_game(desk, game, 4)
    time.sleep(1)
    notice_shown(desk, game, "broken")


if __name__ == "__main__":
    sys.exit(h.main(test, demo_args=["--loader-movie", "ToneMovie.swf,ToneMovie.swf,missing,broken"]))
