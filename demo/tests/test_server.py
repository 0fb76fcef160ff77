"""Checks every address of the demo site against a server on a free port.

The movies the build made are checked too when TESSARY_MOVIES_DIR names
their folder (the CTest run sets it when haxe is installed).
"""

import configparser
import http.client
import os
import re
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import unittest
import urllib.parse
import zlib

SERVER = os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir, "server.py")
HANDOVER_KEYS = ("&serverid=", "&gameaddress=", "&resourceHost=", "&mainVersion=")
READY = re.compile(r"^demo site on http://(\S+):(\d+)$")


def start_server(*args):
    """Starts the server on a free port; returns (process, port)."""
    process = subprocess.Popen(
        [sys.executable, SERVER, "--port", "0", "--quiet", *args],
        stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    line = process.stdout.readline().strip()
    match = READY.match(line)
    if not match:
        process.kill()
        _, err = process.communicate()
        raise AssertionError("server did not start: %r %r" % (line, err))
    return process, int(match.group(2))


def stop_server(process):
    process.send_signal(signal.SIGTERM)
    try:
        code = process.wait(timeout=10)
    finally:
        process.stdout.close()
        process.stderr.close()
    return code


def cut_value(query, key):
    """A value the way the client reads it: key with its "&" at an index
    above 0, value up to the next "&", empty when no "&" follows; None when
    the key is missing."""
    index = query.find(key)
    if index <= 0:
        return None
    start = index + len(key)
    end = query.find("&", start)
    return "" if end < 0 else query[start:end]


class SiteTestCase(unittest.TestCase):
    server_args = ()

    @classmethod
    def setUpClass(cls):
        cls.movies = tempfile.mkdtemp(prefix="demo-movies-")
        for name, data in (("GameLoader_1.0.3.swf", b"FWS\x0aloader"), ("TestMovie.swf", b"FWS\x0atest"),
                           ("BusyMovie.swf", b"FWS\x0abusy")):
            with open(os.path.join(cls.movies, name), "wb") as f:
                f.write(data)
        cls.process, cls.port = start_server("--movies", cls.movies, *cls.server_args)

    @classmethod
    def tearDownClass(cls):
        stop_server(cls.process)
        shutil.rmtree(cls.movies, ignore_errors=True)

    def request(self, path, method="GET", body=None, headers=None):
        connection = http.client.HTTPConnection("127.0.0.1", self.port, timeout=10)
        try:
            connection.request(method, path, body=body, headers=headers or {})
            response = connection.getresponse()
            data = response.read()
            return response.status, response.headers, data
        finally:
            connection.close()

    def page(self, path, status=200):
        code, headers, data = self.request(path)
        self.assertEqual(code, status, path)
        self.assertTrue(headers["Content-Type"].startswith("text/html"), path)
        return data.decode("utf-8")

    def assert_handover(self, address, server_id, game_address):
        """The address is one the client takes as a hand-over for that server."""
        self.assertGreater(address.find("error"), 0, address)
        query = address.split("?", 1)[1]
        first_key = query.split("&", 1)[0].split("=", 1)[0]
        self.assertNotIn("&" + first_key + "=", HANDOVER_KEYS, "a key the client reads comes first")
        for key in HANDOVER_KEYS:
            value = cut_value(query, key)
            self.assertTrue(value, "%s missing, empty or last in %s" % (key, query))
        self.assertEqual(cut_value(query, "&serverid="), server_id)
        self.assertEqual(cut_value(query, "&gameaddress="), game_address)
        self.assertEqual(cut_value(query, "&mainVersion="), "1.0.3")
        return query


class LanderTest(SiteTestCase):
    def test_login_page_shows_form_and_adkey(self):
        text = self.page("/lander/zarek?adkey=12345")
        self.assertIn('action="/lander/login"', text)
        self.assertIn('name="name"', text)
        self.assertIn('type="password"', text)
        self.assertIn("adkey: 12345", text)
        self.assertIn('name="adkey" value="12345"', text)

    def test_login_page_without_or_with_odd_adkey(self):
        self.assertIn("adkey: 无", self.page("/lander/zarek"))
        self.assertIn("adkey: -7", self.page("/lander/zarek?adkey=-7"))
        odd = self.page("/lander/zarek?adkey=%3Cb%3E%22x%ff")
        self.assertNotIn("<b>", odd)
        self.assertIn("&lt;b&gt;&quot;x", odd)

    def test_login_leads_to_server_list(self):
        code, headers, _ = self.request(
            "/lander/login", "POST", "name=%E5%8B%87%E8%80%85&password=x&adkey=12345",
            {"Content-Type": "application/x-www-form-urlencoded"})
        self.assertEqual(code, 303)
        location = headers["Location"]
        self.assertTrue(location.startswith("/lander/servers?"), location)
        text = self.page(location)
        self.assertIn("勇者", text)
        links = re.findall(r'href="(/game/play/108/(\d+)\?ismicroclient=yes)"', text)
        self.assertGreaterEqual(len(links), 2)
        self.assertLessEqual(len(links), 3)
        self.assertIn("/lander/zarek?adkey=12345", text, "switching account keeps the adkey")

    def test_login_without_name_stays_on_login_page(self):
        code, _, data = self.request("/lander/login", "POST", "name=++&password=&adkey=3",
                                     {"Content-Type": "application/x-www-form-urlencoded"})
        self.assertEqual(code, 200)
        text = data.decode("utf-8")
        self.assertIn('action="/lander/login"', text)
        self.assertIn('name="adkey" value="3"', text)

    def test_oversized_login_form_is_refused(self):
        code, _, _ = self.request("/lander/login", "POST", "name=" + "x" * 70000,
                                  {"Content-Type": "application/x-www-form-urlencoded"})
        self.assertEqual(code, 413)

    def test_server_list_needs_a_user(self):
        code, headers, _ = self.request("/lander/servers?adkey=9")
        self.assertEqual(code, 303)
        self.assertEqual(headers["Location"], "/lander/zarek?adkey=9")

    def test_user_name_is_escaped(self):
        text = self.page("/lander/servers?user=%3Cscript%3E")
        self.assertNotIn("<script>", text)
        self.assertIn("&lt;script&gt;", text)


class HandOverTest(SiteTestCase):
    def play_location(self, server_id, headers=None):
        code, response_headers, _ = self.request(
            "/game/play/108/%s?ismicroclient=yes" % server_id, headers=headers)
        self.assertEqual(code, 302)
        return response_headers["Location"]

    def test_every_listed_server_hands_over(self):
        text = self.page("/lander/servers?user=hero")
        servers = re.findall(r'<div class="sid">(\d+)</div>.*?<div class="en">([^ <]+) ', text, re.S)
        self.assertGreaterEqual(len(servers), 2)
        for server_id, game_address in servers:
            location = self.play_location(server_id)
            self.assertTrue(location.startswith("http://127.0.0.1:%d/lander/error?" % self.port), location)
            self.assert_handover(location, server_id, game_address)

    def test_movie_address_built_from_the_handover_is_served(self):
        query = self.assert_handover(self.play_location("17"), "17", "S17-Dawn")
        resource_host = cut_value(query, "&resourceHost=")
        movie = "%sGameLoader_%s.swf" % (resource_host, cut_value(query, "&mainVersion="))
        parts = urllib.parse.urlsplit(movie)
        self.assertEqual(parts.netloc, "127.0.0.1:%d" % self.port)
        code, headers, data = self.request(parts.path)
        self.assertEqual(code, 200)
        self.assertEqual(headers["Content-Type"], "application/x-shockwave-flash")
        self.assertEqual(headers["Access-Control-Allow-Origin"], "*")
        self.assertEqual(data, b"FWS\x0aloader")

    def test_addresses_follow_the_host_the_client_used(self):
        location = self.play_location("12", {"Host": "portal.test:9000"})
        self.assertTrue(location.startswith("http://portal.test:9000/lander/error?"), location)
        query = self.assert_handover(location, "12", "S12-Ember")
        self.assertEqual(cut_value(query, "&resourceHost="), "http://portal.test:9000/res/")

    def test_odd_host_header_falls_back_to_own_address(self):
        location = self.play_location("12", {"Host": "evil/<x>"})
        self.assertTrue(location.startswith("http://127.0.0.1:%d/" % self.port), location)

    def test_unknown_or_empty_server_id(self):
        for server_id in ("999", "", "17x", "..%2F17"):
            code, _, _ = self.request("/game/play/108/%s?ismicroclient=yes" % server_id)
            self.assertEqual(code, 404, server_id)

    def test_handover_page_is_harmless(self):
        parts = urllib.parse.urlsplit(self.play_location("5"))
        text = self.page(parts.path + "?" + parts.query)
        self.assertIn("Entering the game...", text)
        self.assertIn("S5-Frost", text)
        self.assertNotIn("<script", text)
        self.assertNotIn("http-equiv", text)
        self.assertIn("Entering the game...", self.page("/lander/error"))
        self.assertNotIn("<img", self.page("/lander/error?from=x&gameaddress=%3Cimg%3E&y=1"))


class SkinPagesTest(SiteTestCase):
    def test_the_five_pages(self):
        for path in ("/", "/news/", "/pay?gid=108", "/services",
                     "/forum.php?mod=forumdisplay&fid=464"):
            text = self.page(path)
            self.assertIn("TESSARY", text, path)


class NotFoundTest(SiteTestCase):
    def test_anything_else(self):
        for path in ("/lander", "/lander/zarek/x", "/news", "/game/play/109/17?ismicroclient=yes",
                     "/res/", "/res/missing.swf", "/res/..%2Fserver.py", "/res/%2e%2e/server.py",
                     "/res/../tests/test_server.py", "/derodoz/hollinzarek/zarek.exe",
                     "/derodoz/hollinzarek/1001/zarek.exe", "/test", "/favicon.ico"):
            code, _, _ = self.request(path)
            self.assertEqual(code, 404, path)

    def test_post_elsewhere(self):
        code, _, _ = self.request("/lander/zarek", "POST", "a=1")
        self.assertEqual(code, 404)

    def test_head_has_no_body(self):
        code, headers, data = self.request("/lander/zarek", "HEAD")
        self.assertEqual(code, 200)
        self.assertGreater(int(headers["Content-Length"]), 0)
        self.assertEqual(data, b"")

    def test_very_long_address(self):
        code, _, _ = self.request("/lander/zarek?adkey=" + "9" * 20000)
        self.assertEqual(code, 200)


class MoviesTest(SiteTestCase):
    def test_movies_and_the_test_alias(self):
        for path, data in (("/res/GameLoader_1.0.3.swf", b"FWS\x0aloader"),
                           ("/res/TestMovie.swf", b"FWS\x0atest"),
                           ("/res/GameLoader_test.swf", b"FWS\x0atest")):
            code, _, body = self.request(path)
            self.assertEqual((code, body), (200, data), path)


class LoaderMovieSequenceTest(SiteTestCase):
    """--loader-movie: what each request for the loader movie gets, in turn."""
    server_args = ("--loader-movie", "missing,broken,TestMovie.swf")

    def test_missing_broken_then_another_movie_repeated(self):
        # A HEAD and other movies do not count as a request for the loader.
        self.assertEqual(self.request("/res/GameLoader_1.0.3.swf", method="HEAD")[0], 200)
        self.assertEqual(self.request("/res/TestMovie.swf")[:3:2], (200, b"FWS\x0atest"))
        code, _, body = self.request("/res/GameLoader_1.0.3.swf")
        self.assertEqual(code, 404)
        code, headers, body = self.request("/res/GameLoader_1.0.3.swf")
        self.assertEqual((code, headers["Content-Type"]), (200, "application/x-shockwave-flash"))
        self.assertFalse(body[:3] in (b"FWS", b"CWS", b"ZWS"), "the broken movie is no SWF")
        for _ in range(2):
            self.assertEqual(self.request("/res/GameLoader_1.0.3.swf")[:3:2], (200, b"FWS\x0atest"))


class BusyMovieTest(SiteTestCase):
    server_args = ("--busy-movie", "120")

    def test_the_busy_movie_is_handed_over_with_its_sprites(self):
        code, headers, _ = self.request("/game/play/108/17?ismicroclient=yes")
        self.assertEqual(code, 302)
        query = urllib.parse.urlsplit(headers["Location"]).query
        self.assertEqual((cut_value(query, "&mainVersion="), cut_value(query, "&sprites=")), ("busy", "120"))
        code, _, body = self.request("/res/GameLoader_busy.swf")
        self.assertEqual((code, body), (200, b"FWS\x0abusy"))


class UpdateDefaultTest(SiteTestCase):
    def read_ini(self, path):
        code, _, data = self.request(path)
        self.assertEqual(code, 200)
        ini = configparser.ConfigParser()
        ini.read_string(data.decode("ascii"))
        return ini["LoginUpdate"]

    def test_no_update_by_default(self):
        for suffix in ("", "?12345", "?-2147483648"):
            section = self.read_ini("/derodoz/hollinzarek/zarekupdate.ini" + suffix)
            self.assertEqual(section["VersionId"], "1001")
            url = section["downloadUrl"]
            self.assertGreater(url.find(".exe"), 0)
            code, _, _ = self.request(urllib.parse.urlsplit(url).path + "?5")
            self.assertEqual(code, 404, "no executable is served without --update-exe")


class UpdateServedTest(SiteTestCase):
    payload = bytes(range(256)) * 700 + b"\x00MZ"

    @classmethod
    def setUpClass(cls):
        cls.exe_dir = tempfile.mkdtemp(prefix="demo-exe-")
        cls.exe = os.path.join(cls.exe_dir, "zarek.exe")
        with open(cls.exe, "wb") as f:
            f.write(cls.payload)
        cls.server_args = ("--update-version", "1002", "--update-exe", cls.exe)
        super().setUpClass()

    @classmethod
    def tearDownClass(cls):
        super().tearDownClass()
        shutil.rmtree(cls.exe_dir, ignore_errors=True)

    def test_announces_and_serves_the_new_executable(self):
        code, _, data = self.request("/derodoz/hollinzarek/zarekupdate.ini?77")
        self.assertEqual(code, 200)
        self.assertIn(b"\r\n", data, "profile lines end in CR LF")
        ini = configparser.ConfigParser()
        ini.read_string(data.decode("ascii"))
        self.assertEqual(ini["LoginUpdate"]["VersionId"], "1002")
        url = ini["LoginUpdate"]["downloadUrl"]
        parts = urllib.parse.urlsplit(url)
        self.assertEqual(parts.netloc, "127.0.0.1:%d" % self.port)
        self.assertTrue(parts.path.endswith(".exe"))
        # The client appends "?" and its tick count, twice when the address has a query.
        for suffix in ("", "?123", "?-5", "?1?2"):
            code, headers, body = self.request(parts.path + suffix)
            self.assertEqual(code, 200, suffix)
            self.assertEqual(body, self.payload)
            self.assertEqual(headers["Content-Type"], "application/octet-stream")
        code, _, _ = self.request(parts.path.replace("1002", "1001"))
        self.assertEqual(code, 404)


class UpdateOnceTest(SiteTestCase):
    """--update-once: the newer version until its executable went out whole once."""
    payload = b"\x7fELF" + bytes(range(256)) * 40 + b"ONCE"

    @classmethod
    def setUpClass(cls):
        cls.exe_dir = tempfile.mkdtemp(prefix="demo-exe-")
        cls.exe = os.path.join(cls.exe_dir, "zarek.exe")
        with open(cls.exe, "wb") as f:
            f.write(cls.payload)
        cls.server_args = ("--update-version", "1002", "--update-exe", cls.exe, "--update-once")
        super().setUpClass()

    @classmethod
    def tearDownClass(cls):
        super().tearDownClass()
        shutil.rmtree(cls.exe_dir, ignore_errors=True)

    def announced(self):
        code, _, data = self.request("/derodoz/hollinzarek/zarekupdate.ini?9")
        self.assertEqual(code, 200)
        ini = configparser.ConfigParser()
        ini.read_string(data.decode("ascii"))
        section = ini["LoginUpdate"]
        return section["VersionId"], urllib.parse.urlsplit(section["downloadUrl"]).path

    def test_served_once_then_the_built_in_version(self):
        # Reading the description, a HEAD and a wrong version change nothing.
        self.assertEqual(self.announced(), ("1002", "/derodoz/hollinzarek/1002/zarek.exe"))
        self.assertEqual(self.announced()[0], "1002")
        code, headers, body = self.request("/derodoz/hollinzarek/1002/zarek.exe?1", method="HEAD")
        self.assertEqual((code, body), (200, b""))
        self.assertEqual(headers["Content-Length"], str(len(self.payload)))
        self.assertEqual(self.request("/derodoz/hollinzarek/1001/zarek.exe?1")[0], 404)
        self.assertEqual(self.announced()[0], "1002")

        code, _, body = self.request("/derodoz/hollinzarek/1002/zarek.exe?-7")
        self.assertEqual((code, body), (200, self.payload))

        # The restarted client sees its own version and finds no executable.
        self.assertEqual(self.announced(), ("1001", "/derodoz/hollinzarek/1001/zarek.exe"))
        self.assertEqual(self.request("/derodoz/hollinzarek/1002/zarek.exe?2")[0], 404)
        self.assertEqual(self.request("/derodoz/hollinzarek/1001/zarek.exe?2")[0], 404)


class OptionsTest(unittest.TestCase):
    def run_server(self, *args):
        return subprocess.run([sys.executable, SERVER, "--port", "0", *args],
                              capture_output=True, text=True, timeout=20)

    def test_bad_options_are_refused(self):
        missing = os.path.join(tempfile.gettempdir(), "no-such-demo-file.exe")
        for args in (("--update-exe", SERVER),
                     ("--update-once",),
                     ("--update-version", "1002", "--update-once"),
                     ("--update-version", "1002", "--update-exe", missing),
                     ("--update-version", "-1"),
                     ("--movies", missing),
                     ("--root", missing),
                     ("--port", "70000"),
                     ("--loader-movie", "missing,../x.swf"),
                     ("--loader-movie", "nothing"),
                     ("--busy-movie", "0")):
            result = self.run_server(*args)
            self.assertEqual(result.returncode, 2, args)
            self.assertEqual(result.stdout, "", args)

    def test_announced_version_without_executable(self):
        process, port = start_server("--update-version", "1005")
        try:
            connection = http.client.HTTPConnection("127.0.0.1", port, timeout=10)
            connection.request("GET", "/derodoz/hollinzarek/zarekupdate.ini")
            text = connection.getresponse().read().decode("ascii")
            self.assertIn("VersionId=1005", text)
            url = re.search(r"downloadUrl=(\S+)", text).group(1)
            connection.request("GET", urllib.parse.urlsplit(url).path)
            self.assertEqual(connection.getresponse().status, 404)
            connection.close()
        finally:
            self.assertEqual(stop_server(process), 0)

    def test_port_in_use_and_clean_stop(self):
        process, port = start_server()
        try:
            second = self.run_server("--port", str(port))
            self.assertEqual(second.returncode, 1)
            self.assertIn("cannot listen", second.stderr)
        finally:
            self.assertEqual(stop_server(process), 0, "SIGTERM ends the server cleanly")


class BrowserTestPagesTest(SiteTestCase):
    def test_frames_page_has_one_frame_with_its_own_address(self):
        text = self.page("/test/frames")
        frames = re.findall(r'<iframe[^>]*src="([^"]+)"', text)
        self.assertEqual(len(frames), 1)
        self.assertNotEqual(frames[0], "/test/frames")
        self.assertIn("inner frame", self.page(frames[0]))

    def test_leave_page_asks_both_ways_and_links_a_handover(self):
        text = self.page("/test/leave")
        self.assertIn("addEventListener('beforeunload'", text)
        self.assertIn("window.onbeforeunload =", text)
        link = re.search(r'id="handover" href="([^"]+)"', text).group(1).replace("&amp;", "&")
        self.assert_handover(link, "17", "S17-Dawn")
        self.assertIn("Entering the game...", self.page(link))

    def test_subframe_handover_page(self):
        text = self.page("/test/subframe-handover")
        frames = re.findall(r'<iframe[^>]*src="([^"]+)"', text)
        self.assertEqual(len(frames), 1)
        self.assert_handover(frames[0].replace("&amp;", "&"), "12", "S12-Ember")


def swf_tags(data):
    """Decodes an SWF file: (version, list of tag codes, body); asserts the header."""
    signature, version, length = data[:3], data[3], struct.unpack("<I", data[4:8])[0]
    if signature == b"CWS":
        body = zlib.decompress(data[8:])
    elif signature == b"FWS":
        body = data[8:]
    else:
        raise AssertionError("not an SWF file: %r" % signature)
    if len(body) + 8 != length:
        raise AssertionError("declared length %d, actual %d" % (length, len(body) + 8))
    rect_bits = body[0] >> 3
    position = (5 + 4 * rect_bits + 7) // 8 + 4  # frame rectangle, frame rate, frame count
    codes = []
    while position < len(body):
        header = struct.unpack("<H", body[position:position + 2])[0]
        code, size = header >> 6, header & 0x3F
        position += 2
        if size == 0x3F:
            size = struct.unpack("<I", body[position:position + 4])[0]
            position += 4
        codes.append(code)
        position += size
        if code == 0:
            break
    if position != len(body):
        raise AssertionError("tags do not end at the end of the file")
    return version, codes, body


@unittest.skipUnless(os.environ.get("TESSARY_MOVIES_DIR"), "movies not built (no haxe)")
class BuiltMoviesTest(unittest.TestCase):
    """The movies the build made are valid AS3 movies that know their calls."""
    EXPECTED = {
        "GameLoader_1.0.3.swf": [b"reload", b"setReloadTips", b"setWindowMax", b"disconnection",
                                 b"flashSetting", b"gameaddress"],
        "BusyMovie.swf": [b"frameRate", b"busyStarted", b"frames", b"sprites"],
        "TestMovie.swf": [b"flashSetting", b"flashSettingReceived", b"echo", b"calls", b"callsJson",
                          b"laterCalls", b"laterCallsJson", b"laterMs", b"testMovieError"],
    }

    def test_movies(self):
        folder = os.environ["TESSARY_MOVIES_DIR"]
        for name, words in self.EXPECTED.items():
            with open(os.path.join(folder, name), "rb") as f:
                data = f.read()
            version, codes, body = swf_tags(data)
            self.assertEqual(version, 10, name)
            self.assertIn(69, codes, "%s: file attributes" % name)
            self.assertIn(82, codes, "%s: ActionScript 3 code" % name)
            self.assertIn(76, codes, "%s: symbol class" % name)
            self.assertEqual(codes[-1], 0, "%s: end tag" % name)
            for word in words:
                self.assertIn(word, body, "%s: %s" % (name, word))


if __name__ == "__main__":
    unittest.main()
