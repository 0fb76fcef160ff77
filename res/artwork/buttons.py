"""Image buttons of the skin window: five slanted link tabs and two round buttons.

Each button comes in three states: normal, hover (brighter), pressed (darker).
The tabs are parallelograms whose slanted side edges (16 px) are partly
transparent; their rectangles overlap by about 29 px, so neighbouring tabs
interlock with a hairline of the header strip showing between them.
"""
import math

import cairo

from imagefiles import new_surface
from paint import CJK_FONT, centred_text_path, glow, linear, polygon, radial, rgb, set_font

TAB_HEIGHT = 49
SLANT = 16          # horizontal run of a slanted side edge
MARGIN = 7          # fully transparent room left and right of the body

STATES = ("normal", "hover", "pressed")

# name: (width, label, (normal, hover, pressed) resource numbers)
LINK_TABS = {
    "official_site": (155, "官方网站", (203, 204, 202)),
    "top_up": (160, "账号充值", (197, 198, 196)),
    "forum": (160, "游戏论坛", (194, 195, 193)),
    "customer_service": (138, "客服中心", (200, 201, 199)),
    "news": (138, "官方新闻", (211, 212, 210)),
}

ROUND_BUTTONS = {
    "minimise": ("bar", (177, 178, 176)),
    "close": ("cross", (181, 180, 179)),
}

_TAB_LOOK = {
    "normal": dict(body=[(0, "#5a3a1c"), (0.48, "#332010"), (0.52, "#24160a"), (1, "#3a2410")],
                   rim="#b8863e", text="#f0d8a4", text_glow=None, sheen=0.22, dy=0),
    "hover": dict(body=[(0, "#b06a24"), (0.48, "#7a4214"), (0.52, "#5e300c"), (1, "#9a5418")],
                  rim="#ffd27a", text="#fffbe8", text_glow="#ffb040", sheen=0.38, dy=0),
    "pressed": dict(body=[(0, "#140c06"), (0.5, "#22150a"), (1, "#35210f")],
                    rim="#7a5628", text="#c8a46a", text_glow=None, sheen=0.0, dy=1),
}


def tab_outline(width, top=2.0, bottom=TAB_HEIGHT - 2.0, inset=0.0):
    left, right = MARGIN + inset, width - MARGIN - inset
    return [(left + SLANT, top), (right, top), (right - SLANT, bottom), (left, bottom)]


def render_tab(width, label, state):
    look = _TAB_LOOK[state]
    surface = new_surface(width, TAB_HEIGHT)
    ctx = cairo.Context(surface)
    outline = tab_outline(width)
    # Semi-transparent outer bevel: the slanted edges fade into the strip.
    polygon(ctx, tab_outline(width, 0.5, TAB_HEIGHT - 0.5, -3))
    ctx.set_source(linear(0, 0, 0, TAB_HEIGHT, [(0, look["rim"], 0.35), (1, look["rim"], 0.12)]))
    ctx.fill()
    polygon(ctx, outline)
    ctx.set_source(linear(0, 0, 0, TAB_HEIGHT, look["body"]))
    ctx.fill_preserve()
    ctx.save()
    ctx.clip_preserve()
    if state == "hover":
        ctx.set_source(radial(width / 2, TAB_HEIGHT, 4, width / 2, TAB_HEIGHT, width * 0.55,
                              [(0, "#ffc060", 0.7), (1, "#ff8020", 0.0)]))
        ctx.paint()
    if state == "pressed":
        ctx.set_source(linear(0, 2, 0, 12, [(0, "#000000", 0.6), (1, "#000000", 0.0)]))
        ctx.paint()
    # Glass sheen on the upper half.
    polygon(ctx, tab_outline(width, 3, TAB_HEIGHT / 2, 1))
    ctx.set_source(linear(0, 3, 0, TAB_HEIGHT / 2, [(0, "#fff4d8", look["sheen"]),
                                                    (1, "#fff4d8", look["sheen"] * 0.15)]))
    ctx.fill()
    ctx.restore()
    # Gold rim, brighter along the top.
    ctx.set_line_width(1.4)
    ctx.set_source(linear(0, 0, 0, TAB_HEIGHT, [(0, look["rim"]), (1, look["rim"], 0.55)]))
    ctx.stroke()
    ctx.move_to(outline[0][0] + 2, 3.2)
    ctx.line_to(outline[1][0] - 2, 3.2)
    ctx.set_source(linear(outline[0][0], 0, outline[1][0], 0,
                          [(0, "#fff0c0", 0.0), (0.5, "#fff0c0", 0.8 if state != "pressed" else 0.2),
                           (1, "#fff0c0", 0.0)]))
    ctx.set_line_width(1)
    ctx.stroke()
    # Label.
    cx = width / 2
    baseline = 31 + look["dy"]

    def text(c):
        set_font(c, CJK_FONT, 16, bold=True)
        centred_text_path(c, label, cx, baseline, spacing=1.5)

    if look["text_glow"]:
        glow(ctx, width, TAB_HEIGHT, lambda c: (text(c), c.fill()), rgb(look["text_glow"]),
             factor=2.5, strength=0.9)
    text(ctx)
    ctx.set_source_rgba(0.08, 0.03, 0.0, 0.85)
    ctx.set_line_width(2.5)
    ctx.set_line_join(cairo.LINE_JOIN_ROUND)
    ctx.stroke()
    text(ctx)
    ctx.set_source(linear(0, baseline - 15, 0, baseline + 2,
                          [(0, "#ffffff"), (0.45, look["text"]), (1, look["text"])]))
    ctx.fill()
    return surface


_ROUND_LOOK = {
    "normal": dict(ball=[(0, "#ff8a6a"), (0.35, "#d8361e"), (1, "#6a0c04")], ring="#d6a050",
                   glyph="#fff2e0", dy=0, halo=0.0),
    "hover": dict(ball=[(0, "#ffc0a0"), (0.35, "#ff5a34"), (1, "#a0180a")], ring="#ffe09a",
                  glyph="#ffffff", dy=0, halo=0.8),
    "pressed": dict(ball=[(0, "#c05a40"), (0.4, "#8a1a0c"), (1, "#3a0602")], ring="#8a6430",
                    glyph="#e0c0b0", dy=0.8, halo=0.0),
}


def render_round(glyph, state):
    look = _ROUND_LOOK[state]
    size = 27
    c = size / 2
    surface = new_surface(size, size)
    ctx = cairo.Context(surface)
    if look["halo"]:
        ctx.arc(c, c, 13.5, 0, 2 * math.pi)
        ctx.set_source(radial(c, c, 9, c, c, 13.5, [(0, "#ff7a30", look["halo"]),
                                                    (1, "#ff7a30", 0.0)]))
        ctx.fill()
    # Gold ring.
    ctx.arc(c, c, 12.0, 0, 2 * math.pi)
    ctx.set_source(linear(0, 1, 0, 26, [(0, "#fff2c0"), (0.5, look["ring"]), (1, "#5a3410")]))
    ctx.fill()
    # Red ball with a light from the upper left.
    ctx.arc(c, c, 10.0, 0, 2 * math.pi)
    ctx.set_source(radial(c - 3, c - 4 + look["dy"], 1, c, c, 11, look["ball"]))
    ctx.fill()
    ctx.arc(c, c, 10.0, 0, 2 * math.pi)
    ctx.set_source_rgba(0.2, 0.02, 0.0, 0.8)
    ctx.set_line_width(1)
    ctx.stroke()
    # Gloss.
    ctx.save()
    ctx.translate(c, c - 5 + look["dy"])
    ctx.scale(6.5, 3.6)
    ctx.arc(0, 0, 1, 0, 2 * math.pi)
    ctx.restore()
    ctx.set_source(linear(0, c - 9, 0, c - 1, [(0, "#ffffff", 0.55 if state != "pressed" else 0.2),
                                               (1, "#ffffff", 0.0)]))
    ctx.fill()
    # Glyph.
    y = c + look["dy"]
    ctx.set_line_cap(cairo.LINE_CAP_ROUND)
    if glyph == "bar":
        ctx.move_to(c - 4.5, y + 0.5)
        ctx.line_to(c + 4.5, y + 0.5)
    else:
        ctx.move_to(c - 4, y - 4)
        ctx.line_to(c + 4, y + 4)
        ctx.move_to(c + 4, y - 4)
        ctx.line_to(c - 4, y + 4)
    path = ctx.copy_path()
    ctx.set_source_rgba(0.25, 0.0, 0.0, 0.7)
    ctx.set_line_width(4.2)
    ctx.stroke()
    ctx.append_path(path)
    ctx.set_source_rgba(*rgb(look["glyph"]))
    ctx.set_line_width(2.4)
    ctx.stroke()
    return surface


def render_all():
    """{resource number: surface} for every skin button image."""
    images = {}
    for width, label, numbers in LINK_TABS.values():
        for state, number in zip(STATES, numbers):
            images[number] = render_tab(width, label, state)
    for glyph, numbers in ROUND_BUTTONS.values():
        for state, number in zip(STATES, numbers):
            images[number] = render_round(glyph, state)
    return images
