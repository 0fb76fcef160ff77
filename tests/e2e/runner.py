"""Running one end-to-end test: its arguments, a fresh desktop, the outcome
as an exit status (0 passed, 1 failed, 77 skipped)."""

import os
import re
import sys

from basics import SKIP, Failure, Skip, check, log, require_tools
from desktop import Desktop


# How GLib prints a warning or critical of any log domain ("Gtk-WARNING **",
# "GLib-GObject-CRITICAL **"): a normal run of the client prints none.
GLIB_TROUBLE = re.compile(r"-(WARNING|CRITICAL) \*\*")


def check_quiet_terminal(desk):
    """Fails when the client printed a GTK or GLib warning or critical."""
    lines = [line for line in desk.client_log().splitlines() if GLIB_TROUBLE.search(line)]
    check(not lines, "the client printed %d warning(s) or critical(s):\n%s" % (len(lines), "\n".join(lines[:10])))


def arguments(argv):
    """--zarek PATH --movies DIR --port N --desktop openbox|composited|mutter;
    the port defaults to the build's 8310, the desktop to openbox."""
    opts = {"zarek": None, "movies": None, "port": 8310, "desktop": "openbox"}
    it = iter(argv)
    for arg in it:
        if arg in ("--zarek", "--movies", "--port", "--desktop"):
            opts[arg[2:]] = next(it)
        else:
            raise SystemExit("unknown argument " + arg)
    if not opts["zarek"] or not os.access(opts["zarek"], os.X_OK):
        raise SystemExit("--zarek must name the built zarek.exe")
    opts["port"] = int(opts["port"])
    return opts


def main(test, argv=None, **desktop_options):
    """Runs test(desktop, opts) on a fresh desktop; 0 passed, 1 failed, 77 skipped."""
    opts = arguments(sys.argv[1:] if argv is None else argv)
    try:
        require_tools((["trayer"] if desktop_options.get("tray") else []) +
                      (["dbus-daemon"] if desktop_options.get("session_bus") else []))
        name = os.path.splitext(os.path.basename(sys.argv[0]))[0]
        desktop_options.setdefault("desktop", opts["desktop"])
        with Desktop(name, opts["zarek"], opts["movies"], opts["port"], **desktop_options) as desk:
            try:
                test(desk, opts)
                check_quiet_terminal(desk)
            except BaseException:
                text = desk.client_log()
                if text:
                    log("client output (last 3000 characters):\n" + text[-3000:])
                try:
                    desk.screenshot("failure")
                except Exception:
                    pass
                raise
    except Skip as e:
        print("SKIP:", e, flush=True)
        return SKIP
    except Failure as e:
        print("FAIL:", e, flush=True)
        return 1
    print("PASS", flush=True)
    return 0
