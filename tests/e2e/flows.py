"""Steps a player takes, shared by the tests: from start to the login page,
and from the login page through the server list into the game window."""

import harness as h
import looks
import skin_model as sm

# The demo site's server list (browser coordinates): each row's "进入游戏" button.
SERVER_BUTTONS = {17: (520, 105), 12: (520, 180), 5: (520, 254)}
SERVER_NAMES = {17: "S17-Dawn", 12: "S12-Ember", 5: "S5-Frost"}


def is_server_list(img):
    """The demo server list: three gold "enter" buttons, one a row."""
    return all(looks.share(img, looks.is_gold, (x - 40, y - 8, x + 40, y + 8), 1) > 0.8
               for x, y in SERVER_BUTTONS.values())


class Client:
    """The running client's windows as a player sees them."""

    def __init__(self, desk):
        self.desk = desk
        self.skin = None
        self.login = None
        self.game = None

    def skin_origin(self):
        return self.desk.geometry(self.skin)[:2]

    def browser_origin(self):
        x, y = self.skin_origin()
        return (x + sm.BROWSER_IN_SKIN[0], y + sm.BROWSER_IN_SKIN[1])

    def browser(self):
        x, y = self.browser_origin()
        return self.desk.grab(x, y, looks.BROWSER_W, looks.BROWSER_H)

    def click_browser(self, point):
        x, y = self.browser_origin()
        self.desk.click(x + point[0], y + point[1])

    def wait_browser(self, predicate, timeout, what):
        return h.wait_for(lambda: predicate(self.browser()), timeout, 0.2, what)


def start_to_login_page(desk, timeout=60, extra_env=None):
    """Starts the client and waits for the demo login page in the skin."""
    return start_to_login_page_or(desk, looks.is_login_page, "the demo login page", timeout, extra_env)


def start_to_login_page_or(desk, page, what, timeout=60, extra_env=None):
    """Starts the client and waits for a page in the login browser."""
    c = Client(desk)
    desk.start_client(extra_env)
    skins = h.wait_for(lambda: desk.window_named("Tessary"), 30, what='the skin window "Tessary"')
    c.skin = skins[0]
    c.login = h.wait_for(lambda: [w for w in desk.client_windows() if w != c.skin], 15,
                         what="the login dialog")[0]
    c.wait_browser(page, timeout, what)
    return c


def log_in(c, name="player1", password="secret"):
    desk = c.desk
    c.click_browser(looks.LOGIN_NAME_FIELD)
    desk.xdotool("type", "--delay", "30", name)
    c.click_browser(looks.LOGIN_PASSWORD_FIELD)
    desk.xdotool("type", "--delay", "30", password)
    desk.screenshot("login-typed")
    c.click_browser(looks.LOGIN_BUTTON)
    c.wait_browser(is_server_list, 30, "the server list after logging in")
    desk.screenshot("server-list")


def choose_server(c, server=17, timeout=30):
    """Clicks a server's button; returns the game window once it shows."""
    desk = c.desk
    c.click_browser(SERVER_BUTTONS[server])

    def game_window():
        shown = [w for w in desk.window_named("Tessary") if w != c.skin]
        return shown[0] if shown else None
    c.game = h.wait_for(game_window, timeout, 0.2, "the game window after choosing server %d" % server)
    return c.game


def enter_game(desk, server=17):
    c = start_to_login_page(desk)
    log_in(c)
    choose_server(c, server)
    return c


def bright_box(img, rect, threshold=200):
    """Bounding box (left, top, right, bottom) of the near-white pixels in rect, or None."""
    left, top, right, bottom = rect
    xs, ys = [], []
    for y in range(top, bottom):
        for x in range(left, right):
            if min(img.pixel(x, y)) >= threshold:
                xs.append(x)
                ys.append(y)
    if not xs:
        return None
    return (min(xs), min(ys), max(xs) + 1, max(ys) + 1)


def demo_requests(desk):
    """The request lines of the demo site's log, in order ("GET /path")."""
    lines = []
    for line in desk.client_log("demo.log").splitlines():
        if '"' in line:
            request = line.split('"')[1]
            lines.append(" ".join(request.split(" ")[:2]))
    return lines
