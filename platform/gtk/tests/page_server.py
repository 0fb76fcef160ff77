#!/usr/bin/env python3
"""Serves the browser tests' pages from a folder on a loopback port.

"?delay=MS" holds a page back for that many milliseconds, so a test can
make one frame finish after the others; "?cache=1" lets the browser keep
the page in its caches, every other page is sent as not to be stored. Prints "pages on http://HOST:PORT"
once it accepts connections."""

import os
import sys
import time
import urllib.parse
from http.server import SimpleHTTPRequestHandler, ThreadingHTTPServer


class Handler(SimpleHTTPRequestHandler):
    def do_GET(self):
        query = urllib.parse.parse_qs(urllib.parse.urlsplit(self.path).query)
        delay = query.get("delay", ["0"])[0]
        if delay.isdigit():
            time.sleep(min(int(delay), 10000) / 1000.0)
        super().do_GET()

    def end_headers(self):
        # Every load goes to the server, so timing tricks hold on reloads.
        cacheable = "cache=1" in urllib.parse.urlsplit(self.path).query
        self.send_header("Cache-Control", "max-age=3600" if cacheable else "no-store")
        super().end_headers()

    def log_message(self, fmt, *args):
        pass


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(os.path.abspath(__file__)), "pages")
    handler = lambda *args, **kwargs: Handler(*args, directory=root, **kwargs)
    server = ThreadingHTTPServer(("127.0.0.1", 0), handler)
    server.daemon_threads = True
    print("pages on http://127.0.0.1:%d" % server.server_address[1], flush=True)
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass


if __name__ == "__main__":
    main()
