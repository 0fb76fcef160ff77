"""What the skin window must show, worked out from the artwork files.

The skin window draws the skin (191) and then every button's image of its
state, in table order, source-over. With a compositing manager it shows the
result at 254/255 of each pixel's alpha: over the tests' black root that is
the premultiplied colour scaled by 254/255. Without one, X shows no partial
alpha: pixels of at least half alpha show their own colour, opaque, and the
others belong to the window below (the black root).
"""

import harness

SKIN_W, SKIN_H = 1155, 625
SKIN_IMAGE = 191

# normal, hover, pressed, left, top - in table order (drawing order and hit priority)
BUTTONS = [
    ("official site", 203, 204, 202, 633, 127),
    ("top-up", 197, 198, 196, 503, 127),
    ("forum", 194, 195, 193, 758, 127),
    ("customer service", 200, 201, 199, 889, 127),
    ("news", 211, 212, 210, 394, 127),
    ("minimise", 177, 178, 176, 1023, 108),
    ("close", 181, 180, 179, 1058, 108),
]
OFFICIAL_SITE, TOP_UP, FORUM, SERVICE, NEWS, MINIMISE, CLOSE = range(7)

# The login dialog stands at the skin's top-left + (362, 154); its browser
# fills (45, 30)-(655, 366) of it.
LOGIN_OFFSET = (362, 154)
BROWSER_RECT = (45, 30, 655, 366)
BROWSER_IN_SKIN = (LOGIN_OFFSET[0] + BROWSER_RECT[0], LOGIN_OFFSET[1] + BROWSER_RECT[1],
                   LOGIN_OFFSET[0] + BROWSER_RECT[2], LOGIN_OFFSET[1] + BROWSER_RECT[3])

_images = {}


def image(number):
    if number not in _images:
        _images[number] = harness.artwork(number)
    return _images[number]


def button_rect(index):
    name, normal, hover, pressed, left, top = BUTTONS[index]
    img = image(normal)
    return (left, top, left + img.width, top + img.height)


def button_centre(index):
    l, t, r, b = button_rect(index)
    return ((l + r) // 2, (t + b) // 2)


def _premultiplied(rgba):
    r, g, b, a = rgba
    return (r * a / 255.0, g * a / 255.0, b * a / 255.0, float(a))


def composed_pixel(x, y, states):
    """The composed premultiplied RGBA of skin pixel (x, y) for the button states."""
    skin = image(SKIN_IMAGE)
    out = _premultiplied(skin.pixel(x, y))
    for i, (name, normal, hover, pressed, left, top) in enumerate(BUTTONS):
        img = image((normal, hover, pressed)[states[i]])
        bx, by = x - left, y - top
        if 0 <= bx < img.width and 0 <= by < img.height:
            src = _premultiplied(img.pixel(bx, by))
            k = 1.0 - src[3] / 255.0
            out = tuple(s + d * k for s, d in zip(src, out))
    return out


# Whether the desktop under test has a compositing manager (set by the test).
composited = False


def shown_pixel(x, y, states, constant_alpha=254):
    r, g, b, a = composed_pixel(x, y, states)
    if not composited:
        if a < 127.5:
            return (0.0, 0.0, 0.0)
        return tuple(min(255.0, c * 255.0 / a) for c in (r, g, b))
    k = constant_alpha / 255.0
    return (r * k, g * k, b * k)


def compare_region(screen, origin, rect, states, tolerance=4):
    """Share of the pixels in the skin rectangle whose screen colour matches
    the composition for the given button states (screen is a grab whose
    top-left is skin pixel `origin`)."""
    left, top, right, bottom = rect
    good = total = 0
    worst = None
    for y in range(top, bottom):
        for x in range(left, right):
            want = shown_pixel(x, y, states)
            got = screen.pixel(x - origin[0], y - origin[1])
            diff = max(abs(w - g) for w, g in zip(want, got))
            total += 1
            if diff <= tolerance:
                good += 1
            elif worst is None or diff > worst[0]:
                worst = (diff, (x, y), tuple(round(v) for v in want), got)
    return good / total, worst


def opaque(x, y):
    return image(SKIN_IMAGE).pixel(x, y)[3] == 255


def transparent(x, y):
    return image(SKIN_IMAGE).pixel(x, y)[3] == 0


def find_transparent_block(region, size=6):
    """A skin point whose size x size neighbourhood is fully transparent,
    searched in region (left, top, right, bottom)."""
    left, top, right, bottom = region
    for y in range(top, bottom - size, size):
        for x in range(left, right - size, size):
            if all(transparent(x + dx, y + dy) for dy in range(size) for dx in range(size)):
                return (x + size // 2, y + size // 2)
    return None


def find_opaque_block(region, size=6, avoid=()):
    """A skin point whose neighbourhood is fully opaque and outside every
    rectangle in avoid (and outside every button)."""
    left, top, right, bottom = region
    rects = list(avoid) + [button_rect(i) for i in range(len(BUTTONS))]
    for y in range(top, bottom - size, size):
        for x in range(left, right - size, size):
            cx, cy = x + size // 2, y + size // 2
            if any(l - size <= cx < r + size and t - size <= cy < b + size for l, t, r, b in rects):
                continue
            if all(opaque(x + dx, y + dy) for dy in range(size) for dx in range(size)):
                return (cx, cy)
    return None
