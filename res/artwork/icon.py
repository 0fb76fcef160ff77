"""Program icon 128: a gold-rimmed ember medallion with the letter T as a sword."""
import math

import cairo

from imagefiles import new_surface
from paint import LOGO_FONT, glow, linear, polygon, radial, rgb

SIZE = 128


def render(size=SIZE):
    """The icon drawn at size x size pixels (the artwork is laid out on 128)."""
    surface = new_surface(size, size)
    ctx = cairo.Context(surface)
    ctx.scale(size / SIZE, size / SIZE)
    c = SIZE / 2
    # Soft shadow.
    glow(ctx, SIZE, SIZE, lambda g: (g.arc(c, c + 3, 56, 0, 2 * math.pi), g.fill()),
         (0, 0, 0, 0.55), factor=3)
    # Gold rim with notches.
    ctx.arc(c, c, 58, 0, 2 * math.pi)
    ctx.set_source(linear(0, 6, 0, 122, [(0, "#fff2c0"), (0.3, "#e0aa50"), (0.65, "#8a5a1e"),
                                         (1, "#e0b060")]))
    ctx.fill()
    for i in range(12):
        a = i * math.pi / 6
        x, y = c + math.cos(a) * 55, c + math.sin(a) * 55
        ctx.arc(x, y, 2.2, 0, 2 * math.pi)
        ctx.set_source_rgba(*rgb("#4a2a0a", 0.8))
        ctx.fill()
    ctx.arc(c, c, 50, 0, 2 * math.pi)
    ctx.set_source_rgba(*rgb("#1a0c04"))
    ctx.fill()
    # Ember-lit field.
    ctx.arc(c, c, 48, 0, 2 * math.pi)
    ctx.set_source(radial(c, c + 12, 2, c, c, 52, [(0, "#ffb04a"), (0.35, "#d0501a"),
                                                   (0.75, "#5a1408"), (1, "#1e0604")]))
    ctx.fill()
    # The sword-T: cross-guard as the bar, blade as the stem.
    glow(ctx, SIZE, SIZE, lambda g: (_sword_t(g), g.fill()), rgb("#fff0b0"), factor=3,
         strength=0.9)
    _sword_t(ctx)
    ctx.set_source(linear(0, 26, 0, 104, [(0, "#fffbe8"), (0.4, "#ffe08a"), (0.7, "#e0a040"),
                                          (1, "#ffd070")]))
    ctx.fill_preserve()
    ctx.set_source_rgba(*rgb("#3a1a04"))
    ctx.set_line_width(1.5)
    ctx.stroke()
    # Gloss over the upper half.
    ctx.save()
    ctx.arc(c, c, 48, 0, 2 * math.pi)
    ctx.clip()
    ctx.translate(c, c - 26)
    ctx.scale(44, 24)
    ctx.arc(0, 0, 1, 0, 2 * math.pi)
    ctx.restore()
    ctx.set_source(linear(0, 14, 0, 64, [(0, "#ffffff", 0.35), (1, "#ffffff", 0.0)]))
    ctx.fill()
    return surface


def _sword_t(ctx):
    c = SIZE / 2
    polygon(ctx, [
        (c - 34, 34), (c + 34, 34), (c + 38, 40), (c + 34, 46), (c + 7, 46),   # guard
        (c + 7, 86), (c, 104), (c - 7, 86),                                   # blade
        (c - 7, 46), (c - 34, 46), (c - 38, 40),
    ])
    ctx.new_sub_path()
    ctx.arc(c, 27, 6, 0, 2 * math.pi)                                         # pommel
