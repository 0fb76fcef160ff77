"""How the pages in the login browser look, told from a grab of the browser
rectangle (610 x 336 pixels).

The loading page (resource 208) is one brown area (#473321) with an orange
line of text (#de6a11) in its middle. The demo site's login page is dark,
with two dark input fields and a gold login button in a panel on the right.
"""

BROWSER_W, BROWSER_H = 610, 336

# Points of the demo login page in browser coordinates.
LOGIN_NAME_FIELD = (462, 117)
LOGIN_PASSWORD_FIELD = (462, 171)
LOGIN_BUTTON = (462, 216)
LOGIN_BUTTON_BAND = (380, 204, 545, 229)   # left, top, right, bottom: the gold of the button

LOADING_BACKGROUND = (0x47, 0x33, 0x21)
LOADING_TEXT = (0xde, 0x6a, 0x11)


def near(pixel, colour, tolerance=6):
    return all(abs(a - b) <= tolerance for a, b in zip(pixel, colour))


def share(img, predicate, rect=None, step=2):
    left, top, right, bottom = rect or (0, 0, img.width, img.height)
    hits = total = 0
    for y in range(top, bottom, step):
        for x in range(left, right, step):
            total += 1
            if predicate(img.pixel(x, y)):
                hits += 1
    return hits / max(1, total)


def is_loading_page(img):
    """The brown loading page with its orange text line."""
    brown = share(img, lambda p: near(p, LOADING_BACKGROUND))
    text = share(img, lambda p: near(p, LOADING_TEXT, 40) and p[0] > p[1] + 60, (200, 150, 410, 190), 1)
    return brown > 0.9 and text > 0.02


def is_gold(p):
    r, g, b = p
    return r > 170 and g > 100 and b < 140 and r > g > b


def is_dark(p):
    return max(p) < 40


def is_login_page(img):
    """The demo login page: gold button, two dark fields, no loading brown."""
    gold = share(img, is_gold, LOGIN_BUTTON_BAND, 1)
    fields = all(is_dark(img.pixel(x + dx, y)) for (x, y) in (LOGIN_NAME_FIELD, LOGIN_PASSWORD_FIELD)
                 for dx in (-80, 0, 80))
    brown = share(img, lambda p: near(p, LOADING_BACKGROUND))
    return gold > 0.9 and fields and brown < 0.05


# The program's own page for a page that cannot be loaded: the loading
# page's brown, an orange title line above the middle, a retry button.
FAILURE_TITLE_BAND = (200, 112, 410, 142)
FAILURE_RETRY = (305, 210)


def is_failure_page(img):
    brown = share(img, lambda p: near(p, LOADING_BACKGROUND))
    title = share(img, lambda p: near(p, LOADING_TEXT, 40) and p[0] > p[1] + 60, FAILURE_TITLE_BAND, 1)
    return brown > 0.85 and title > 0.02


def describe(img):
    if is_loading_page(img):
        return "loading page"
    if is_failure_page(img):
        return "failure page"
    if is_login_page(img):
        return "login page"
    white = share(img, lambda p: min(p) > 245)
    return "something else (%.0f%% white)" % (100 * white)
