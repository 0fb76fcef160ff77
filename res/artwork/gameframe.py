"""Frame, title bar and title-bar buttons of the game window (all BITMAP, 24-bit).

The title bar is 29 pixels high and built from a left end (150), a one-pixel
middle stretched to fill (149) and a right end (151). Below the top rule the
bar is the same in every column outside the left end's emblem, so the three
pieces join without a seam and the buttons, drawn at y 2..25 with the bar's
own gradient behind their glyphs, sit on it invisibly.
Borders: 3 pixels at the sides, 4 at the bottom, 3 x 3 corners, all drawn
from the same three tones (outer dark, gold, inner dark) so they meet cleanly.
"""
import math

import cairo

from imagefiles import new_surface
from paint import CJK_PIXEL_FONT, linear, polygon, radial, rgb, rounded_rect, set_font

TITLE_HEIGHT = 29
BUTTON_TOP = 2
OUTER, GOLD, INNER = "#0b0704", "#b8884a", "#24170c"

# Vertical colour of the bar body, by row (rows 0 and 1 are the top rules).
_BODY = [(0.0, "#5a3b1e"), (0.45, "#3a2513"), (0.55, "#2c1c0e"), (1.0, "#1a1109")]


def _bar_body(ctx, x, width):
    """Fills rows 0..28 of the bar between x and x + width."""
    ctx.rectangle(x, 0, width, TITLE_HEIGHT)
    ctx.set_source(linear(0, 2, 0, TITLE_HEIGHT - 2, _BODY))
    ctx.fill()
    for y, colour in ((0, OUTER), (1, GOLD), (TITLE_HEIGHT - 2, "#6e4c24"),
                      (TITLE_HEIGHT - 1, OUTER)):
        ctx.rectangle(x, y, width, 1)
        ctx.set_source_rgba(*rgb(colour))
        ctx.fill()
    # A soft sheen under the top rule.
    ctx.rectangle(x, 2, width, 1)
    ctx.set_source_rgba(*rgb("#8a6438"))
    ctx.fill()


def _opaque(width, height):
    surface = new_surface(width, height)
    ctx = cairo.Context(surface)
    ctx.set_source_rgb(0, 0, 0)
    ctx.paint()
    ctx.set_antialias(cairo.ANTIALIAS_GRAY)
    return surface, ctx


def render_title_left():
    surface, ctx = _opaque(130, TITLE_HEIGHT)
    _bar_body(ctx, 0, 130)
    # Side rules continue the window's left border into the bar.
    for x, colour in ((0, OUTER), (1, GOLD)):
        ctx.rectangle(x, 1, 1, TITLE_HEIGHT - 1)
        ctx.set_source_rgba(*rgb(colour))
        ctx.fill()
    # Emblem: a gold-set ember gem with a short flourish.
    cx, cy = 16, 14.5
    polygon(ctx, [(cx, cy - 10), (cx + 10, cy), (cx, cy + 10), (cx - 10, cy)])
    ctx.set_source(linear(cx - 10, cy - 10, cx + 10, cy + 10,
                          [(0, "#fff0c0"), (0.5, "#c8923e"), (1, "#5a3410")]))
    ctx.fill()
    polygon(ctx, [(cx, cy - 6.5), (cx + 6.5, cy), (cx, cy + 6.5), (cx - 6.5, cy)])
    ctx.set_source(radial(cx - 2, cy - 2, 0.5, cx, cy, 7, [(0, "#fff0c8"), (0.3, "#ff9a3a"),
                                                           (0.8, "#b02c08"), (1, "#3a0a02")]))
    ctx.fill()
    ctx.rectangle(cx + 12, 14, 40, 1)
    ctx.set_source(linear(cx + 12, 0, cx + 52, 0, [(0, "#e0b060"), (1, "#e0b060", 0.0)]))
    ctx.fill()
    ctx.rectangle(cx + 12, 15, 40, 1)
    ctx.set_source(linear(cx + 12, 0, cx + 52, 0, [(0, "#000000", 0.5), (1, "#000000", 0.0)]))
    ctx.fill()
    return surface


def render_title_middle():
    surface, ctx = _opaque(1, TITLE_HEIGHT)
    _bar_body(ctx, 0, 1)
    return surface


def render_title_right():
    surface, ctx = _opaque(136, TITLE_HEIGHT)
    _bar_body(ctx, 0, 136)
    for x, colour in ((135, OUTER), (134, GOLD)):
        ctx.rectangle(x, 1, 1, TITLE_HEIGHT - 1)
        ctx.set_source_rgba(*rgb(colour))
        ctx.fill()
    return surface


def _columns(colours):
    surface, ctx = _opaque(len(colours), 1)
    for x, colour in enumerate(colours):
        ctx.rectangle(x, 0, 1, 1)
        ctx.set_source_rgba(*rgb(colour))
        ctx.fill()
    return surface


def _rows(colours):
    surface, ctx = _opaque(1, len(colours))
    for y, colour in enumerate(colours):
        ctx.rectangle(0, y, 1, 1)
        ctx.set_source_rgba(*rgb(colour))
        ctx.fill()
    return surface


def _corner(mirrored):
    tones = (OUTER, GOLD, INNER)
    surface, ctx = _opaque(3, 3)
    for y in range(3):
        for x in range(3):
            from_side = 2 - x if mirrored else x
            ctx.rectangle(x, y, 1, 1)
            ctx.set_source_rgba(*rgb(tones[min(from_side, 2 - y)]))
            ctx.fill()
    return surface


# ---- title-bar buttons -------------------------------------------------------

GLYPH = {"normal": "#e8d4a8", "hover": "#fffaf0", "pressed": "#b89a6c"}


def _button_base(width, state, danger=False):
    """Bar background of a button at y 2..25, with the state's plate on it."""
    surface, ctx = _opaque(width, 24)
    ctx.save()
    ctx.translate(0, -BUTTON_TOP)
    _bar_body(ctx, 0, width)
    ctx.restore()
    if state == "hover":
        rounded_rect(ctx, 1.5, 1.5, width - 3, 21, 3)
        top, bottom = ("#e0482a", "#8a1a0a") if danger else ("#9a6630", "#5a3614")
        ctx.set_source(linear(0, 2, 0, 22, [(0, top), (1, bottom)]))
        ctx.fill_preserve()
        ctx.set_source_rgba(*rgb("#ff9a7a" if danger else "#e8b868"))
        ctx.set_line_width(1)
        ctx.stroke()
    elif state == "pressed":
        rounded_rect(ctx, 1.5, 1.5, width - 3, 21, 3)
        ctx.set_source(linear(0, 2, 0, 22, [(0, "#5a1206" if danger else "#0e0804"),
                                            (1, "#7a2010" if danger else "#2a1a0c")]))
        ctx.fill_preserve()
        ctx.set_source_rgba(*rgb("#6a4820"))
        ctx.set_line_width(1)
        ctx.stroke()
    return surface, ctx


def _glyph_ctx(ctx, state):
    ctx.set_source_rgba(*rgb(GLYPH[state]))
    ctx.set_line_cap(cairo.LINE_CAP_SQUARE)
    ctx.set_line_join(cairo.LINE_JOIN_MITER)
    return 1 if state == "pressed" else 0


def _shadowed(ctx, draw, state):
    """Draws the glyph with a dark one-pixel drop shadow for contrast."""
    ctx.save()
    ctx.translate(1, 1)
    draw()
    ctx.set_source_rgba(0, 0, 0, 0.55)
    ctx.stroke()
    ctx.restore()
    draw()
    ctx.set_source_rgba(*rgb(GLYPH[state]))
    ctx.stroke()


def render_minimise(state):
    surface, ctx = _button_base(24, state)
    d = _glyph_ctx(ctx, state)
    ctx.set_line_width(2)

    def draw():
        ctx.move_to(7, 16 + d)
        ctx.line_to(17, 16 + d)

    _shadowed(ctx, draw, state)
    return surface


def render_maximise(state):
    surface, ctx = _button_base(24, state)
    d = _glyph_ctx(ctx, state)
    ctx.set_line_width(1)

    def draw():
        ctx.rectangle(7.5, 7.5 + d, 9, 9)
        ctx.move_to(7.5, 8.5 + d)
        ctx.line_to(16.5, 8.5 + d)

    _shadowed(ctx, draw, state)
    return surface


def render_restore(state):
    surface, ctx = _button_base(24, state)
    d = _glyph_ctx(ctx, state)
    ctx.set_line_width(1)

    def draw():
        ctx.move_to(9.5, 8.5 + d)
        ctx.line_to(9.5, 5.5 + d)
        ctx.line_to(17.5, 5.5 + d)
        ctx.line_to(17.5, 13.5 + d)
        ctx.line_to(14.5, 13.5 + d)
        ctx.move_to(9.5, 6.5 + d)
        ctx.line_to(17.5, 6.5 + d)
        ctx.rectangle(6.5, 9.5 + d, 8, 8)
        ctx.move_to(6.5, 10.5 + d)
        ctx.line_to(14.5, 10.5 + d)

    _shadowed(ctx, draw, state)
    return surface


def render_close(state):
    surface, ctx = _button_base(24, state, danger=True)
    d = _glyph_ctx(ctx, state)
    ctx.set_line_width(1.8)
    ctx.set_line_cap(cairo.LINE_CAP_ROUND)

    def draw():
        ctx.move_to(7.5, 7.5 + d)
        ctx.line_to(16.5, 16.5 + d)
        ctx.move_to(16.5, 7.5 + d)
        ctx.line_to(7.5, 16.5 + d)

    _shadowed(ctx, draw, state)
    return surface


def render_tray(state):
    """Arrow towards the lower right onto a short bar: minimise to the tray."""
    surface, ctx = _button_base(24, state)
    d = _glyph_ctx(ctx, state)
    ctx.set_line_width(1.6)
    ctx.set_line_cap(cairo.LINE_CAP_ROUND)
    ctx.set_line_join(cairo.LINE_JOIN_ROUND)

    def draw():
        ctx.move_to(6, 6 + d)
        ctx.line_to(14, 14 + d)
        ctx.move_to(14, 8.5 + d)
        ctx.line_to(14, 14 + d)
        ctx.line_to(8.5, 14 + d)
        ctx.move_to(11, 18 + d)
        ctx.line_to(18, 18 + d)

    _shadowed(ctx, draw, state)
    return surface


def render_settings(state):
    """The menu button: the word for settings."""
    surface, ctx = _button_base(28, state)
    d = 1 if state == "pressed" else 0
    set_font(ctx, CJK_PIXEL_FONT, 12)
    extents = ctx.text_extents("设置")
    x = round((28 - extents.x_advance) / 2)
    baseline = 16 + d
    ctx.move_to(x + 1, baseline + 1)
    ctx.set_source_rgba(0, 0, 0, 0.6)
    ctx.show_text("设置")
    ctx.move_to(x, baseline)
    ctx.set_source_rgba(*rgb(GLYPH[state]))
    ctx.show_text("设置")
    return surface


TITLE_BUTTONS = {
    "settings": (render_settings, (158, 159, 166)),
    "tray": (render_tray, (213, 214, 215)),
    "minimise": (render_minimise, (160, 161, 167)),
    "maximise": (render_maximise, (162, 163, 165)),
    "restore": (render_restore, (205, 206, 207)),
    "close": (render_close, (154, 155, 164)),
}


def render_all():
    """{resource number: surface} for every game window frame bitmap."""
    images = {
        150: render_title_left(),
        149: render_title_middle(),
        151: render_title_right(),
        152: _columns([OUTER, GOLD, INNER]),
        157: _columns([INNER, GOLD, OUTER]),
        153: _rows([INNER, INNER, GOLD, OUTER]),
        169: _corner(mirrored=False),
        168: _corner(mirrored=True),
    }
    for render, numbers in TITLE_BUTTONS.values():
        for state, number in zip(("normal", "hover", "pressed"), numbers):
            images[number] = render(state)
    return images
