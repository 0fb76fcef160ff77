"""Small drawing helpers shared by the artwork modules (pycairo)."""
import math
import random

import cairo

from imagefiles import new_surface

CJK_FONT = "WenQuanYi Zen Hei"
CJK_PIXEL_FONT = "WenQuanYi Zen Hei Sharp"  # bitmap strikes: crisp at 12 px
LOGO_FONT = "P052"


def rgb(hex_text, alpha=1.0):
    v = int(hex_text.lstrip("#"), 16)
    return ((v >> 16) / 255.0, ((v >> 8) & 255) / 255.0, (v & 255) / 255.0, alpha)


def linear(x0, y0, x1, y1, stops):
    """stops: list of (offset, '#rrggbb' or rgba tuple[, alpha])."""
    pattern = cairo.LinearGradient(x0, y0, x1, y1)
    _add_stops(pattern, stops)
    return pattern


def radial(cx0, cy0, r0, cx1, cy1, r1, stops):
    pattern = cairo.RadialGradient(cx0, cy0, r0, cx1, cy1, r1)
    _add_stops(pattern, stops)
    return pattern


def _add_stops(pattern, stops):
    for stop in stops:
        offset, colour = stop[0], stop[1]
        alpha = stop[2] if len(stop) > 2 else None
        if isinstance(colour, str):
            colour = rgb(colour, 1.0 if alpha is None else alpha)
        elif alpha is not None:
            colour = colour[:3] + (alpha,)
        pattern.add_color_stop_rgba(offset, *colour)


def rounded_rect(ctx, x, y, w, h, r):
    ctx.new_sub_path()
    ctx.arc(x + w - r, y + r, r, -math.pi / 2, 0)
    ctx.arc(x + w - r, y + h - r, r, 0, math.pi / 2)
    ctx.arc(x + r, y + h - r, r, math.pi / 2, math.pi)
    ctx.arc(x + r, y + r, r, math.pi, 3 * math.pi / 2)
    ctx.close_path()


def polygon(ctx, points):
    ctx.move_to(*points[0])
    for p in points[1:]:
        ctx.line_to(*p)
    ctx.close_path()


def blurred(surface, factor):
    """A soft copy of surface: scaled down by factor, then back up bilinearly."""
    w, h = surface.get_width(), surface.get_height()
    sw, sh = max(1, int(math.ceil(w / factor))), max(1, int(math.ceil(h / factor)))
    small = new_surface(sw, sh)
    c = cairo.Context(small)
    c.scale(1.0 / factor, 1.0 / factor)
    c.set_source_surface(surface, 0, 0)
    c.get_source().set_filter(cairo.FILTER_GOOD)
    c.paint()
    big = new_surface(w, h)
    c = cairo.Context(big)
    c.scale(factor, factor)
    c.set_source_surface(small, 0, 0)
    c.get_source().set_filter(cairo.FILTER_BILINEAR)
    c.get_source().set_extend(cairo.EXTEND_PAD)
    c.paint()
    return big


def glow(ctx, width, height, draw_shape, colour, factor=4.0, strength=1.0, passes=2):
    """Paints a soft halo of colour around whatever draw_shape(ctx) fills."""
    mask = new_surface(width, height)
    c = cairo.Context(mask)
    c.set_source_rgba(1, 1, 1, 1)
    draw_shape(c)
    for _ in range(passes):
        mask = blurred(mask, factor)
    ctx.save()
    ctx.set_source_rgba(*colour[:3], colour[3] * strength if len(colour) > 3 else strength)
    ctx.mask_surface(mask, 0, 0)
    ctx.restore()


def set_font(ctx, family, size, bold=False):
    ctx.select_font_face(family, cairo.FONT_SLANT_NORMAL,
                         cairo.FONT_WEIGHT_BOLD if bold else cairo.FONT_WEIGHT_NORMAL)
    ctx.set_font_size(size)
    options = cairo.FontOptions()
    options.set_antialias(cairo.ANTIALIAS_GRAY)
    options.set_hint_style(cairo.HINT_STYLE_SLIGHT)
    options.set_hint_metrics(cairo.HINT_METRICS_OFF)
    ctx.set_font_options(options)


def centred_text_path(ctx, text, cx, baseline, spacing=0.0):
    """Adds text centred on cx to the path; spacing adds room between glyphs."""
    widths = [ctx.text_extents(ch).x_advance for ch in text]
    total = sum(widths) + spacing * (len(text) - 1)
    x = cx - total / 2
    for ch, w in zip(text, widths):
        ctx.move_to(x, baseline)
        ctx.text_path(ch)
        x += w + spacing


def noise(ctx, x, y, w, h, seed, amount, count):
    """Fine speckles for a worn, textured look."""
    rnd = random.Random(seed)
    for _ in range(count):
        px, py = x + rnd.random() * w, y + rnd.random() * h
        light = rnd.random() < 0.5
        ctx.set_source_rgba(1, 0.9, 0.7, amount * rnd.random()) if light else \
            ctx.set_source_rgba(0, 0, 0, amount * rnd.random() * 1.5)
        ctx.rectangle(px, py, 1, 1)
        ctx.fill()


def smooth_shape(ctx, points, closed=True, tension=1.0):
    """Adds a smooth curve through points to the path (Catmull-Rom as Bezier).

    A point given as (x, y, "c") is a corner: the curve arrives and leaves
    it without rounding.
    """
    pts = [(p[0], p[1]) for p in points]
    corner = [len(p) > 2 for p in points]
    n = len(pts)

    def at(i):
        if closed:
            return pts[i % n]
        return pts[max(0, min(n - 1, i))]

    ctx.move_to(*pts[0])
    segments = n if closed else n - 1
    for i in range(segments):
        p0, p1, p2, p3 = at(i - 1), at(i), at(i + 1), at(i + 2)
        k = tension / 6.0
        c1 = (p1[0] + (p2[0] - p0[0]) * k, p1[1] + (p2[1] - p0[1]) * k)
        c2 = (p2[0] - (p3[0] - p1[0]) * k, p2[1] - (p3[1] - p1[1]) * k)
        if corner[i % n]:
            c1 = p1
        if corner[(i + 1) % n]:
            c2 = p2
        ctx.curve_to(c1[0], c1[1], c2[0], c2[1], p2[0], p2[1])
    if closed:
        ctx.close_path()
