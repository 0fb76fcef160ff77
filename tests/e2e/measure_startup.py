#!/usr/bin/env python3
"""Start-up time of zarek.exe under Xvfb (a measurement, not a test).

For each run the client starts afresh on one desktop (Xvfb, openbox, the demo
site); the time is taken from just before the process is started to the
first moment the skin window's pixels are on screen (read straight from the
X server every few milliseconds at three opaque skin pixels), and to the
moment the demo login page shows inside the skin. Prints every run and the
medians.

Usage: measure_startup.py --zarek BUILD/zarek.exe [--movies DIR] [--port 8310] [--runs 5]
"""

import statistics
import sys
import time

import harness as h
import looks
import skin_model as sm

PROBES = [(945, 51), (1100, 400), (150, 300)]   # opaque skin pixels, checked below


def first_frame_seen(desk, origin, want):
    for (x, y), colour in zip(PROBES, want):
        got = desk.grab(origin[0] + x, origin[1] + y, 1, 1).pixel(0, 0)
        if max(abs(a - b) for a, b in zip(got, colour)) > 6:
            return False
    return True


def one_run(desk, origin, want):
    start = time.monotonic()
    client = desk.start_client()
    try:
        end = start + 30
        first = None
        while time.monotonic() < end:
            if first_frame_seen(desk, origin, want):
                first = time.monotonic() - start
                break
            time.sleep(0.003)
        if first is None:
            raise h.Failure("the skin did not show within 30 s")
        login = None
        while time.monotonic() < end + 30:
            x, y = origin[0] + sm.BROWSER_IN_SKIN[0], origin[1] + sm.BROWSER_IN_SKIN[1]
            if looks.is_login_page(desk.grab(x, y, looks.BROWSER_W, looks.BROWSER_H)):
                login = time.monotonic() - start
                break
            time.sleep(0.05)
        return first, login
    finally:
        desk._stop(client)
        desk.procs = [p for p in desk.procs if p[1] is not client]
        time.sleep(0.5)


def main():
    argv = sys.argv[1:]
    runs = 5
    if "--runs" in argv:
        i = argv.index("--runs")
        runs = int(argv[i + 1])
        del argv[i:i + 2]
    opts = h.arguments(argv)
    h.require_tools()
    for p in PROBES:
        h.check(sm.opaque(*p), "probe %s is not an opaque skin pixel" % (p,))
    want = [sm.shown_pixel(x, y, [0] * 7) for x, y in PROBES]
    with h.Desktop("measure_startup", opts["zarek"], opts["movies"], opts["port"]) as desk:
        wa = desk.work_area()
        origin = (wa[0] + int((wa[2] - sm.SKIN_W) / 2), wa[1] + int((wa[3] - sm.SKIN_H) / 2))
        frames, logins = [], []
        for n in range(runs):
            first, login = one_run(desk, origin, want)
            frames.append(first)
            if login is not None:
                logins.append(login)
            print("run %d: first frame of the skin %.0f ms, login page %s" %
                  (n + 1, first * 1000, "%.0f ms" % (login * 1000) if login else "not seen"), flush=True)
    print("median time to the skin's first frame: %.0f ms (%d runs)" % (statistics.median(frames) * 1000, runs))
    if logins:
        print("median time to the login page: %.0f ms (%d runs)" % (statistics.median(logins) * 1000, len(logins)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
