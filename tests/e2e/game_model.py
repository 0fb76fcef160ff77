"""What the game window's frame and title bar must show, from the bitmap
resources: the five title buttons at their places on a window of width W,
each image by state, and the restore rectangle of a work area."""

import os

import harness as h

# name: (left offset from W, normal, hover, pressed) - all 24 high at y 2
TITLE_BUTTONS = {
    "menu": (108, 158, 159, 166),
    "tray": (135, 213, 214, 215),
    "minimise": (78, 160, 161, 167),
    "maximise": (52, 162, 163, 165),
    "restore": (52, 205, 206, 207),
    "close": (26, 154, 155, 164),
}
BUTTON_WIDTH = {"menu": 28}
TITLE_LEFT = 150          # title bar, left part: 130 x 29 at (0, 0)
MENU_DROP = 34            # the menu opens 34 pixels below the window's top

_bitmaps = {}


def bitmap(number):
    if number not in _bitmaps:
        path = os.path.join(h.SOURCE_ROOT, "res", "artwork", "out", "bitmap", "%d.bmp" % number)
        _bitmaps[number] = h.Image.load(path, 3)
    return _bitmaps[number]


def button_rect(name, width):
    """(left, top, right, bottom) in window coordinates on a window `width` wide."""
    offset = TITLE_BUTTONS[name][0]
    left = width - offset
    return (left, 2, left + BUTTON_WIDTH.get(name, 24), 26)


def button_centre(name, window):
    """Screen point in the middle of a title button of window (x, y, w, h)."""
    l, t, r, b = button_rect(name, window[2])
    return (window[0] + (l + r) // 2, window[1] + (t + b) // 2)


def matches(img, number, tolerance=4):
    """Share of pixels of img (same size as the bitmap) equal to bitmap `number`."""
    bmp = bitmap(number)
    if (img.width, img.height) != (bmp.width, bmp.height):
        raise h.Failure("bitmap %d is %dx%d, the grab %dx%d" % (number, bmp.width, bmp.height, img.width, img.height))
    good = 0
    for y in range(bmp.height):
        for x in range(bmp.width):
            if max(abs(a - b) for a, b in zip(img.pixel(x, y), bmp.pixel(x, y))) <= tolerance:
                good += 1
    return good / (bmp.width * bmp.height)


def shown_image(desk, name, window):
    """Which image of the button (0 normal, 1 hover, 2 pressed, None) is on screen."""
    l, t, r, b = button_rect(name, window[2])
    img = desk.grab(window[0] + l, window[1] + t, r - l, b - t)
    best = None
    for state, number in enumerate(TITLE_BUTTONS[name][1:]):
        share = matches(img, number)
        if share > 0.97 and (best is None or share > best[1]):
            best = (state, share)
    return best[0] if best else None


def restore_rect(work_area):
    """Where a double-click puts the window after the hand-over: 1500 x 900 at
    most, centred on the work area's size (its origin is not added)."""
    wa_w, wa_h = work_area[2], work_area[3]
    w, hgt = min(wa_w, 1500), min(wa_h, 900)
    left, top = int(wa_w / 2) - int(w / 2), int(wa_h / 2) - int(hgt / 2)
    return (left, top, w, hgt)
