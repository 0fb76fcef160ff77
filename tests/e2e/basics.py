"""What every part of the end-to-end tests shares: the outcomes (pass, fail,
skip), the log, polling, the source tree's paths and the screen's size."""

import os
import shutil
import time

SKIP = 77
SCREEN_W, SCREEN_H = 1920, 1080
HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE_ROOT = os.path.dirname(os.path.dirname(HERE))

REQUIRED_TOOLS = ["Xvfb", "xdotool", "openbox", "xwininfo", "xprop", "import", "convert"]


class Skip(Exception):
    """The test cannot run on this machine (a tool is missing)."""


class Failure(AssertionError):
    pass


def log(*parts):
    print("[e2e %7.2f]" % (time.monotonic() - _T0), *parts, flush=True)


_T0 = time.monotonic()


def require_tools(extra=()):
    missing = [t for t in list(REQUIRED_TOOLS) + list(extra) if shutil.which(t) is None]
    if missing:
        raise Skip("missing tools: " + " ".join(missing))


def check(condition, message):
    if not condition:
        raise Failure(message)


def wait_for(predicate, timeout, step=0.1, what="condition"):
    """Polls predicate until it returns something true; returns that value."""
    end = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() > end:
            raise Failure("timed out after %.1f s waiting for %s" % (timeout, what))
        time.sleep(step)
