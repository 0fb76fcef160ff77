"""A preview of the main window as the player sees it: the skin on a desktop,
the seven buttons at their places and the login dialog's browser showing the
loading page inside its frame edges."""
import math

import cairo

import buttons
import loginframe
import skin
from imagefiles import new_surface
from paint import CJK_FONT, centred_text_path, linear, rgb, set_font

# (normal, hover, pressed) numbers, left, top: the skin window's button table.
BUTTON_TABLE = [
    ((203, 204, 202), 633, 127), ((197, 198, 196), 503, 127), ((194, 195, 193), 758, 127),
    ((200, 201, 199), 889, 127), ((211, 212, 210), 394, 127), ((177, 178, 176), 1023, 108),
    ((181, 180, 179), 1058, 108),
]
LOGIN_OFFSET = (362, 154)
BROWSER_RECT = (45, 30, 655, 366)
EDGE_PLACES = {170: (45, 30), 148: (45, 30), 171: (653, 30), 172: (45, 364)}


def render(skin_surface, button_images, edge_images, states=None, margin=40):
    states = states or [0] * len(BUTTON_TABLE)
    w, h = skin.WIDTH + 2 * margin, skin.HEIGHT + 2 * margin
    surface = new_surface(w, h)
    ctx = cairo.Context(surface)
    ctx.set_source(linear(0, 0, w, h, [(0, "#4f6c8c"), (1, "#1c2838")]))
    ctx.paint()
    ctx.translate(margin, margin)
    ctx.set_source_surface(skin_surface, 0, 0)
    ctx.paint()
    for (numbers, x, y), state in zip(BUTTON_TABLE, states):
        ctx.set_source_surface(button_images[numbers[state]], x, y)
        ctx.paint()
    # Browser with the loading page (608 x 344 page, clipped by the browser).
    ox, oy = LOGIN_OFFSET
    left, top, right, bottom = BROWSER_RECT
    ctx.save()
    ctx.rectangle(ox + left, oy + top, right - left, bottom - top)
    ctx.clip()
    ctx.set_source_rgb(1, 1, 1)
    ctx.paint()
    ctx.rectangle(ox + left, oy + top, 608, 344)
    ctx.set_source_rgba(*rgb("#473321"))
    ctx.fill()
    set_font(ctx, CJK_FONT, 12)
    ctx.set_source_rgba(*rgb("#de6a11"))
    centred_text_path(ctx, "加载中,请稍等...", ox + left + 304, oy + top + 172 + 5)
    ctx.fill()
    ctx.restore()
    for number, (x, y) in EDGE_PLACES.items():
        ctx.set_source_surface(edge_images[number], ox + x, oy + y)
        ctx.paint()
    return surface


# Title-bar buttons of the game window: (images by state), rectangle from W.
TITLE_BUTTONS = [
    ((158, 159, 166), lambda w: (w - 108, 2)),
    ((213, 214, 215), lambda w: (w - 135, 2)),
    ((160, 161, 167), lambda w: (w - 78, 2)),
    (None, lambda w: (w - 52, 2)),
    ((154, 155, 164), lambda w: (w - 26, 2)),
]


def _stretch(ctx, image, x, y, width, height):
    ctx.save()
    ctx.rectangle(x, y, width, height)
    ctx.clip()
    ctx.translate(x, y)
    ctx.scale(width / image.get_width(), height / image.get_height())
    ctx.set_source_surface(image, 0, 0)
    ctx.get_source().set_filter(cairo.FILTER_NEAREST)
    ctx.get_source().set_extend(cairo.EXTEND_PAD)
    ctx.paint()
    ctx.restore()


def render_game_window(images, w, h, maximized, states, margin=30):
    surface = new_surface(w + 2 * margin, h + 2 * margin)
    ctx = cairo.Context(surface)
    ctx.set_source(linear(0, 0, w, h, [(0, "#4f6c8c"), (1, "#1c2838")]))
    ctx.paint()
    ctx.translate(margin, margin)
    ctx.rectangle(0, 0, w, h)
    ctx.set_source_rgb(0.05, 0.05, 0.08)
    ctx.fill()
    title = 29
    left, middle, right = images[150], images[149], images[151]
    _stretch(ctx, images[152], 0, title, 3, h - title - 3)
    _stretch(ctx, left, 0, 0, left.get_width(), title)
    _stretch(ctx, middle, left.get_width(), 0, w - right.get_width() - left.get_width(), title)
    _stretch(ctx, right, w - right.get_width(), 0, right.get_width(), title)
    _stretch(ctx, images[157], w - 3, title, 3, h - title - 3)
    _stretch(ctx, images[169], 0, h - 3, 3, 3)
    _stretch(ctx, images[153], 3, h - 4, w - 6, 4)
    _stretch(ctx, images[168], w - 3, h - 3, 3, 3)
    set_font(ctx, CJK_FONT, 12)
    ctx.set_source_rgb(1, 1, 1)
    text = "Tessary 双线一区"
    ctx.move_to(155 - ctx.text_extents(text).x_advance / 2, 9 + 11)
    ctx.show_text(text)
    for (numbers, place), state in zip(TITLE_BUTTONS, states):
        if numbers is None:
            numbers = (205, 206, 207) if maximized else (162, 163, 165)
        x, y = place(w)
        image = images[numbers[state]]
        _stretch(ctx, image, x, y, image.get_width(), image.get_height())
    return surface


def render_icon(icon):
    surface = new_surface(128 + 48 + 32 + 16 + 5 * 16, 160)
    ctx = cairo.Context(surface)
    ctx.set_source_rgb(0.85, 0.87, 0.9)
    ctx.paint()
    x = 16
    for size in (128, 48, 32, 16):
        ctx.save()
        ctx.translate(x, 16)
        ctx.scale(size / 128, size / 128)
        ctx.set_source_surface(icon, 0, 0)
        ctx.get_source().set_filter(cairo.FILTER_GOOD)
        ctx.paint()
        ctx.restore()
        x += size + 16
    return surface
