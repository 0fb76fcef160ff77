#!/usr/bin/python3
"""Takes a PNG of a page as the launcher's browser shows it (WebKitGTK 4.1).

Usage: snapshot.py URL OUT.png [WIDTH HEIGHT]   (default 610 x 336)
Needs a display without a window manager (for example a bare Xvfb), ImageMagick's
"import", and python3-gi with gir1.2-webkit2-4.1.
For looking at the demo site's pages; not part of the tests.
"""
import subprocess
import sys

import gi
gi.require_version("Gtk", "3.0")
gi.require_version("WebKit2", "4.1")
from gi.repository import GLib, Gtk, WebKit2  # noqa: E402


def main():
    url, out = sys.argv[1], sys.argv[2]
    width = int(sys.argv[3]) if len(sys.argv) > 3 else 610
    height = int(sys.argv[4]) if len(sys.argv) > 4 else 336
    window = Gtk.Window()
    window.set_decorated(False)
    window.move(0, 0)
    view = WebKit2.WebView()
    view.set_size_request(width, height)
    window.add(view)
    window.show_all()
    result = {"code": 1}

    def take():
        crop = "%dx%d+0+0" % (width, height)
        result["code"] = subprocess.call(["import", "-window", "root", "-crop", crop, out])
        Gtk.main_quit()
        return False

    def changed(view, event):
        if event == WebKit2.LoadEvent.FINISHED:
            GLib.timeout_add(700, take)

    view.connect("load-changed", changed)
    GLib.timeout_add_seconds(20, Gtk.main_quit)
    view.load_uri(url)
    Gtk.main()
    return result["code"]


if __name__ == "__main__":
    sys.exit(main())
