#!/usr/bin/env python3
"""Local stand-in for the game publisher's web site.

One HTTP server answers for all four hosts the client knows (portal, game
site, resource server and forum): the login pages and the hand-over to the
game, the play address, the pages the skin buttons open, the update
description with an optional newer executable, the game's movies and a few
pages for the client's browser tests.

Standard library only. Prints "demo site on http://HOST:PORT" once it
accepts connections and exits cleanly on SIGTERM or Ctrl+C.
"""

import argparse
import html
import os
import re
import signal
import socket
import string
import sys
import threading
import time
import urllib.parse
from http import HTTPStatus
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

GAME_ID = "108"
MAIN_VERSION = "1.0.3"
BUILT_IN_VERSION = 1001
UPDATE_INI_PATH = "/derodoz/hollinzarek/zarekupdate.ini"
UPDATE_EXE_PREFIX = "/derodoz/hollinzarek/"
MAX_FORM_BYTES = 64 * 1024
MAX_SHOWN_CHARS = 40

# The game servers the lander lists: id, game address (the game window's
# title), Chinese name, English name, status badge.
GAME_SERVERS = [
    ("17", "S17-Dawn", "晨曦之境", "Realm of Dawn", "新服 New"),
    ("12", "S12-Ember", "余烬王座", "Ember Throne", "火爆 Busy"),
    ("5", "S5-Frost", "霜语荒原", "Frostwhisper Wastes", "流畅 Smooth"),
]
SERVERS_BY_ID = {server[0]: server for server in GAME_SERVERS}

# The movie the client asks for is "GameLoader_<mainVersion>.swf"; a
# hand-over with mainVersion=test therefore plays the scriptable test movie.
# mainVersion=busy plays the busy movie of the measurements.
MOVIE_ALIASES = {"GameLoader_test.swf": "TestMovie.swf", "GameLoader_busy.swf": "BusyMovie.swf"}
SAFE_MOVIE_NAME = re.compile(r"^[A-Za-z0-9_.\-]+\.swf$")
LOADER_MOVIE = "GameLoader_%s.swf" % MAIN_VERSION
# What --loader-movie may name besides a movie of --movies: no movie (404),
# and a file that is no SWF at all (an HTML error page some servers send).
LOADER_MISSING, LOADER_BROKEN = "missing", "broken"
BROKEN_MOVIE = b"<html><body><h1>502 Bad Gateway</h1></body></html>\n"
SAFE_HOST = re.compile(r"^(?:[A-Za-z0-9.\-]+|\[[0-9A-Fa-f:.]+\])(?::\d{1,5})?$")


class Site:
    """Everything a request needs to know: templates, movies, update mode."""

    def __init__(self, root, movies_dir, update_version, update_exe, update_once=False, cases=None,
                 update_rate=0, loader_movies=()):
        self.root = root
        # The switches for the client's end-to-end tests (see parse_args).
        self.cases = cases or {}
        self.movies_dir = movies_dir
        # What the n-th request for the loader movie gets (the last one
        # repeats); empty: the loader movie itself.
        self.loader_movies = list(loader_movies)
        self.loader_requests = 0
        self.loader_lock = threading.Lock()
        self.update_version = update_version
        self.update_exe = update_exe
        # With update_once the newer version is announced until its executable
        # has been sent out whole once; then the built-in one is announced
        # again, so the restarted client finds nothing more to install.
        self.update_once = update_once
        # Bytes per second the executable is sent at (0: as fast as possible).
        self.update_rate = update_rate
        self.update_served = threading.Event()
        self.remembered_login_used = threading.Event()
        self.style = self._read("style.css")
        self.templates = {}

    def _read(self, name):
        with open(os.path.join(self.root, name), encoding="utf-8") as f:
            return f.read()

    def next_loader_movie(self):
        """What this request for the loader movie is answered with."""
        with self.loader_lock:
            if not self.loader_movies:
                return LOADER_MOVIE
            n = min(self.loader_requests, len(self.loader_movies) - 1)
            self.loader_requests += 1
            return self.loader_movies[n]

    def template(self, name):
        if name not in self.templates:
            self.templates[name] = string.Template(self._read(os.path.join("pages", name)))
        return self.templates[name]

    def render(self, page, title, layout="lander.html", **values):
        """Fills a page template, then the layout around it.

        Plain values are HTML-escaped; values whose names end in "_html" are
        fragments this server built itself and go in as they are."""
        filled = {}
        for key, value in values.items():
            filled[key] = value if key.endswith("_html") else html.escape(str(value))
        body = self.template(page).substitute(filled)
        return self.template(layout).substitute(
            title=html.escape(title), style=self.style, body_html=body)


def shorten(text):
    return text if len(text) <= MAX_SHOWN_CHARS else text[:MAX_SHOWN_CHARS] + "…"


def handover_query(server_id, game_address, host, origin="lander", movie_calls=None, busy_sprites=None):
    """The query of the hand-over address.

    The client reads "&serverid=" and "&gameaddress=" and the movie loader
    "&resourceHost=" and "&mainVersion=", each up to the next "&": so none
    of them may come first or last, and the values are not escaped.

    movie_calls (calls, later calls) hands over the scriptable test movie
    instead of the game, with the calls it makes at start and a while later
    (the test movie's simple list form, percent-encoded); busy_sprites
    hands over the busy movie with that many sprites instead."""
    version, extra = MAIN_VERSION, ""
    if busy_sprites:
        version, extra = "busy", "&sprites=%d" % busy_sprites
    if movie_calls:
        version = "test"
        start, later = movie_calls
        for key, value in (("calls", start), ("laterCalls", later)):
            if value:
                extra += "&%s=%s" % (key, urllib.parse.quote(value, safe=":|"))
        extra += "&laterMs=2500"
    return ("from={}&serverid={}&gameaddress={}&resourceHost=http://{}/res/"
            "&mainVersion={}{}&t={}").format(
                origin, server_id, game_address, host, version, extra,
                int(time.time() * 1000))


class Handler(BaseHTTPRequestHandler):
    server_version = "TessaryDemo/1.0"
    protocol_version = "HTTP/1.1"

    # -- plumbing ---------------------------------------------------------

    @property
    def site(self):
        return self.server.site

    def log_message(self, fmt, *args):
        if not self.server.quiet:
            sys.stderr.write("demo: %s %s\n" % (self.address_string(), fmt % args))

    def host(self):
        """host[:port] the client used, for addresses that must come back here."""
        header = (self.headers.get("Host") or "").strip()
        if SAFE_HOST.match(header):
            return header
        return self.server.public_host

    def send_body(self, status, body, content_type, headers=()):
        data = body.encode("utf-8") if isinstance(body, str) else body
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(data)))
        for name, value in headers:
            self.send_header(name, value)
        self.end_headers()
        if self.command != "HEAD":
            self.wfile.write(data)

    def send_page(self, body, status=HTTPStatus.OK):
        self.send_body(status, body, "text/html; charset=utf-8",
                       [("Cache-Control", "no-store")])

    def redirect(self, location, status=HTTPStatus.FOUND):
        self.send_body(status, "", "text/plain; charset=utf-8",
                       [("Location", location), ("Cache-Control", "no-store")])

    def not_found(self):
        self.send_page(self.site.render("notfound.html", "404", layout="site.html",
                                        path=shorten(self.path)),
                       HTTPStatus.NOT_FOUND)

    def split_path(self):
        parts = urllib.parse.urlsplit(self.path)
        query = urllib.parse.parse_qs(parts.query, keep_blank_values=True,
                                      errors="replace")
        return parts.path, query

    @staticmethod
    def first(query, key, default=""):
        values = query.get(key)
        return values[0] if values else default

    # -- methods ----------------------------------------------------------

    def do_GET(self):
        path, query = self.split_path()
        route = GET_ROUTES.get(path)
        if route is not None:
            route(self, query)
            return
        match = re.fullmatch(r"/game/play/%s/([^/]*)" % GAME_ID, path)
        if match:
            self.play(match.group(1))
            return
        if path.startswith("/res/"):
            self.movie(path[len("/res/"):])
            return
        if path.startswith(UPDATE_EXE_PREFIX) and path.endswith(".exe"):
            self.update_exe(path[len(UPDATE_EXE_PREFIX):])
            return
        self.not_found()

    do_HEAD = do_GET

    def do_POST(self):
        path, _ = self.split_path()
        if path != "/lander/login":
            self.drain_body()
            self.not_found()
            return
        form = self.read_form()
        if form is None:
            self.send_page("form too large", HTTPStatus.REQUEST_ENTITY_TOO_LARGE)
            return
        self.login(form)

    def drain_body(self):
        length = self.content_length()
        if length is None or length > MAX_FORM_BYTES:
            self.close_connection = True
        elif length:
            self.rfile.read(length)

    def content_length(self):
        try:
            length = int(self.headers.get("Content-Length") or 0)
        except ValueError:
            return None
        return length if length >= 0 else None

    def read_form(self):
        length = self.content_length()
        if length is None or length > MAX_FORM_BYTES:
            self.close_connection = True
            return None
        data = self.rfile.read(length).decode("utf-8", errors="replace")
        return urllib.parse.parse_qs(data, keep_blank_values=True, errors="replace")

    # -- the lander: login, server list, hand-over --------------------------

    def lander(self, query, message=""):
        cases = self.site.cases
        if cases.get("lander_missing"):
            self.not_found()
            return
        if cases.get("remembered_login") and not message and not self.site.remembered_login_used.is_set():
            # A remembered login goes straight on to the game, once: the
            # client's browser comes back here after the hand-over.
            self.site.remembered_login_used.set()
            self.redirect(self.handover_address("17"))
            return
        adkey = self.first(query, "adkey")
        extras = ""
        if cases.get("login_extras"):
            extras = self.site.template("login_extras.html").substitute(
                register_html=html.escape("http://%s/services?from=register" % self.host()),
                password_html=html.escape("http://%s/services?from=password" % self.host()))
        self.send_page(self.site.render(
            "login.html", "Tessary 登录",
            adkey=adkey, adkey_shown=shorten(adkey) if adkey else "无 none",
            message=message, extras_html=extras))

    def handover_address(self, server_id):
        server = SERVERS_BY_ID[server_id]
        return "http://%s/lander/error?%s" % (self.host(), handover_query(
            server_id, server[1], self.host(), movie_calls=self.site.cases.get("movie_calls"),
            busy_sprites=self.site.cases.get("busy_sprites")))

    def login(self, form):
        name = self.first(form, "name").strip()
        adkey = self.first(form, "adkey")
        if not name:
            self.lander({"adkey": [adkey]}, message="请输入账号 · Enter an account name")
            return
        location = "/lander/servers?" + urllib.parse.urlencode({"user": name, "adkey": adkey})
        self.redirect(location, HTTPStatus.SEE_OTHER)

    def servers(self, query):
        user = self.first(query, "user").strip()
        adkey = self.first(query, "adkey")
        if not user:
            self.redirect("/lander/zarek" + ("?adkey=" + urllib.parse.quote(adkey) if adkey else ""),
                          HTTPStatus.SEE_OTHER)
            return
        rows = []
        for server_id, address, name_zh, name_en, status in GAME_SERVERS:
            rows.append(self.site.template("server_row.html").substitute(
                play_html=html.escape("/game/play/%s/%s?ismicroclient=yes" % (GAME_ID, server_id)),
                id=server_id, address=html.escape(address), name_zh=html.escape(name_zh),
                name_en=html.escape(name_en), status=html.escape(status)))
        switch = "/lander/zarek" + ("?adkey=" + urllib.parse.quote(adkey) if adkey else "")
        self.send_page(self.site.render(
            "servers.html", "Tessary 选择服务器", user=shorten(user),
            switch_html=html.escape(switch), rows_html="\n".join(rows)))

    def play(self, server_id):
        server = SERVERS_BY_ID.get(server_id)
        if server is None:
            self.not_found()
            return
        self.redirect(self.handover_address(server_id))

    def handover(self, query):
        address = self.first(query, "gameaddress")
        self.send_page(self.site.render(
            "handover.html", "Entering the game...",
            server=shorten(address) if address else "?"))

    # -- the pages the skin buttons open ----------------------------------

    def simple_page(self, page, title, **values):
        self.send_page(self.site.render(page, title, layout="site.html", **values))

    def home(self, query):
        self.simple_page("home.html", "Tessary 官方网站")

    def news(self, query):
        self.simple_page("news.html", "Tessary 新闻公告")

    def pay(self, query):
        self.simple_page("pay.html", "Tessary 充值中心", gid=shorten(self.first(query, "gid")))

    def services(self, query):
        self.simple_page("services.html", "Tessary 客服中心")

    def forum(self, query):
        self.simple_page("forum.html", "Tessary 论坛",
                         mod=shorten(self.first(query, "mod")), fid=shorten(self.first(query, "fid")))

    # -- self-update ------------------------------------------------------

    def announced_version(self):
        if self.site.update_version is None:
            return None
        if self.site.update_once and self.site.update_served.is_set():
            return None
        return self.site.update_version

    def update_ini(self, query):
        if self.site.cases.get("no_update_description"):
            self.not_found()
            return
        version = self.announced_version()
        if version is None:
            version = BUILT_IN_VERSION
        url = "http://%s%s%d/zarek.exe" % (self.host(), UPDATE_EXE_PREFIX, version)
        text = "[LoginUpdate]\r\nVersionId=%d\r\ndownloadUrl=%s\r\n" % (version, url)
        self.send_body(HTTPStatus.OK, text, "text/plain; charset=utf-8",
                       [("Cache-Control", "no-store")])

    def update_exe(self, rest):
        # Only "<announced version>/zarek.exe" exists, and only with --update-exe.
        wanted = None
        version = self.announced_version()
        if version is not None:
            wanted = "%d/zarek.exe" % version
        if rest != wanted or not self.site.update_exe:
            self.not_found()
            return
        try:
            with open(self.site.update_exe, "rb") as f:
                data = f.read()
        except OSError:
            self.not_found()
            return
        if self.site.update_rate and self.command == "GET":
            if not self.send_slowly(data):
                return
        else:
            self.send_body(HTTPStatus.OK, data, "application/octet-stream",
                           [("Cache-Control", "no-store")])
        # Only a body that was written out whole counts (a HEAD does not).
        if self.command == "GET":
            self.wfile.flush()
            self.site.update_served.set()

    def send_slowly(self, data):
        """Sends the executable at the site's rate; False when the client left."""
        self.send_response(HTTPStatus.OK)
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Content-Length", str(len(data)))
        self.send_header("Cache-Control", "no-store")
        self.end_headers()
        piece = max(1, self.site.update_rate // 20)
        try:
            for at in range(0, len(data), piece):
                self.wfile.write(data[at:at + piece])
                self.wfile.flush()
                time.sleep(0.05)
        except OSError:
            self.close_connection = True
            return False
        return True

    # -- movies -----------------------------------------------------------

    def movie(self, name):
        name = MOVIE_ALIASES.get(name, name)
        if name == LOADER_MOVIE and self.command == "GET":
            name = self.site.next_loader_movie()
            if name == LOADER_BROKEN:
                self.send_body(HTTPStatus.OK, BROKEN_MOVIE, "application/x-shockwave-flash",
                               [("Access-Control-Allow-Origin", "*"), ("Cache-Control", "no-store")])
                return
        if not self.site.movies_dir or not SAFE_MOVIE_NAME.match(name):
            self.not_found()
            return
        try:
            with open(os.path.join(self.site.movies_dir, name), "rb") as f:
                data = f.read()
        except OSError:
            self.not_found()
            return
        # The client's player page lives under its own URI scheme and fetches
        # movies across origins.
        self.send_body(HTTPStatus.OK, data, "application/x-shockwave-flash",
                       [("Access-Control-Allow-Origin", "*"), ("Cache-Control", "no-store")])

    # -- pages for the client's browser tests ------------------------------

    def test_frames(self, query):
        self.send_page(self.site.render("test_frames.html", "frames test", layout="test.html"))

    def test_frames_inner(self, query):
        self.send_page(self.site.render("test_inner.html", "inner frame", layout="test.html"))

    def test_leave(self, query):
        self.send_page(self.site.render(
            "test_leave.html", "leave test", layout="test.html",
            handover_html=html.escape("/lander/error?" + handover_query(
                "17", "S17-Dawn", self.host(), origin="leave"))))

    def test_subframe_handover(self, query):
        self.send_page(self.site.render(
            "test_subframe.html", "sub-frame hand-over test", layout="test.html",
            handover_html=html.escape("/lander/error?" + handover_query(
                "12", "S12-Ember", self.host(), origin="subframe"))))


GET_ROUTES = {
    "/lander/zarek": Handler.lander,
    "/lander/servers": Handler.servers,
    "/lander/error": Handler.handover,
    "/": Handler.home,
    "/news/": Handler.news,
    "/pay": Handler.pay,
    "/services": Handler.services,
    "/forum.php": Handler.forum,
    UPDATE_INI_PATH: Handler.update_ini,
    "/test/frames": Handler.test_frames,
    "/test/frames/inner": Handler.test_frames_inner,
    "/test/leave": Handler.test_leave,
    "/test/subframe-handover": Handler.test_subframe_handover,
}


class DemoServer(ThreadingHTTPServer):
    daemon_threads = True
    allow_reuse_address = True

    def __init__(self, address, site, quiet):
        if ":" in address[0]:
            self.address_family = socket.AF_INET6
        super().__init__(address, Handler)
        self.site = site
        self.quiet = quiet
        host, port = self.server_address[:2]
        self.public_host = ("[%s]:%d" if ":" in host else "%s:%d") % (host, port)


def parse_args(argv):
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description="Local stand-in for the Tessary publisher's site.")
    parser.add_argument("--bind", default="127.0.0.1", help="address to listen on (127.0.0.1)")
    parser.add_argument("--port", type=int, default=8310, help="port (8310; 0 picks a free one)")
    parser.add_argument("--root", default=os.path.join(here, "site"), help="folder of the templates")
    parser.add_argument("--movies", default=None, help="folder of the built .swf movies, served under /res/")
    parser.add_argument("--update-version", type=int, default=None,
                        help="announce this version (above %d) in the update description" % BUILT_IN_VERSION)
    parser.add_argument("--update-exe", default=None, help="the executable served for that version")
    parser.add_argument("--update-once", action="store_true",
                        help="announce the built-in version again once the executable was sent")
    parser.add_argument("--update-rate", type=int, default=0,
                        help="send the executable at this many bytes per second (default: at once)")
    parser.add_argument("--loader-movie", default="", metavar="WHAT[,WHAT...]",
                        help="answer the requests for %s with: %s (404), %s (not a SWF) or another "
                             "movie of --movies; the n-th request gets the n-th, the last repeats"
                        % (LOADER_MOVIE, LOADER_MISSING, LOADER_BROKEN))
    parser.add_argument("--quiet", action="store_true", help="do not log requests")
    tests = parser.add_argument_group("cases for the client's end-to-end tests (all off by default)")
    tests.add_argument("--remembered-login", action="store_true",
                       help="the login page forwards at once to the hand-over, as a remembered login does")
    tests.add_argument("--no-update-description", action="store_true",
                       help="the update description answers 404")
    tests.add_argument("--login-extras", action="store_true",
                       help="the login page has target=_blank and window.open links and asks before it is left")
    tests.add_argument("--lander-missing", action="store_true", help="the login page answers 404")
    tests.add_argument("--movie-calls", default=None, metavar="CALLS",
                       help="hand over the test movie, making these calls at start (name:arg|name...)")
    tests.add_argument("--movie-later-calls", default=None, metavar="CALLS",
                       help="with the test movie, calls it makes 2.5 seconds after its start")
    tests.add_argument("--busy-movie", type=int, default=None, metavar="SPRITES",
                       help="hand over the busy movie with this many sprites (for measurements)")
    args = parser.parse_args(argv)
    if args.update_exe and args.update_version is None:
        parser.error("--update-exe needs --update-version")
    if args.update_once and not args.update_exe:
        parser.error("--update-once needs --update-exe")
    if args.update_version is not None and not 0 <= args.update_version <= 2**31 - 1:
        parser.error("--update-version must be a non-negative 32-bit number")
    if args.update_exe and not os.path.isfile(args.update_exe):
        parser.error("--update-exe: no such file: %s" % args.update_exe)
    if not os.path.isfile(os.path.join(args.root, "style.css")):
        parser.error("--root: no site in %s" % args.root)
    if args.movies and not os.path.isdir(args.movies):
        parser.error("--movies: no such folder: %s" % args.movies)
    if args.update_rate < 0:
        parser.error("--update-rate must not be negative")
    if args.busy_movie is not None and not 1 <= args.busy_movie <= 5000:
        parser.error("--busy-movie must be 1..5000 sprites")
    if not 0 <= args.port <= 65535:
        parser.error("--port must be 0..65535")
    args.loader_movie = [w.strip() for w in args.loader_movie.split(",")] if args.loader_movie else []
    for what in args.loader_movie:
        if what not in (LOADER_MISSING, LOADER_BROKEN) and not SAFE_MOVIE_NAME.match(what):
            parser.error("--loader-movie: not %s, %s or a movie name: %r" % (LOADER_MISSING, LOADER_BROKEN, what))
    return args


def main(argv=None):
    args = parse_args(sys.argv[1:] if argv is None else argv)
    cases = {
        "remembered_login": args.remembered_login,
        "no_update_description": args.no_update_description,
        "login_extras": args.login_extras,
        "lander_missing": args.lander_missing,
        "movie_calls": (args.movie_calls, args.movie_later_calls)
        if args.movie_calls is not None or args.movie_later_calls is not None else None,
        "busy_sprites": args.busy_movie,
    }
    site = Site(args.root, args.movies, args.update_version, args.update_exe, args.update_once, cases,
                args.update_rate, args.loader_movie)
    try:
        server = DemoServer((args.bind, args.port), site, args.quiet)
    except OSError as error:
        sys.stderr.write("demo: cannot listen on %s:%d: %s\n" % (args.bind, args.port, error))
        return 1

    def stop(signum, frame):
        # shutdown() waits for serve_forever() to return: call it elsewhere.
        threading.Thread(target=server.shutdown, daemon=True).start()

    signal.signal(signal.SIGTERM, stop)
    signal.signal(signal.SIGINT, stop)
    print("demo site on http://%s" % server.public_host, flush=True)
    try:
        server.serve_forever()
    finally:
        server.server_close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
