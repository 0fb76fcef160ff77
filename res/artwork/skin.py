"""The skin of the main window (PNG 191, 1155 x 625).

Layout in skin pixels (the login dialog sits at (362, 154), so its browser
shows at x 407..1016, y 184..519):
  panel frame     x 336..1106, y 98..588, ornaments on its right edge
  logo plaque     over the top middle of the frame, centred on the browser
  header strip    y 127..176, the five link buttons are drawn on it
  window buttons  minimise and close at y 108, x 1023..1085
  browser recess  framed dark area around the browser rectangle
  advisory text   one line at the bottom of the panel
  heroine         left, overlapping the frame
"""
import math

import cairo

import heroine
from imagefiles import new_surface
from paint import (CJK_FONT, LOGO_FONT, centred_text_path, glow, linear, noise, polygon,
                   radial, rgb, set_font)

WIDTH, HEIGHT = 1155, 625
PANEL = (336, 98, 1106, 588)          # left, top, right, bottom (exclusive)
BROWSER = (407, 184, 1017, 520)       # where the login dialog's browser shows
STRIP = (372, 127, 1052, 177)         # header strip behind the link buttons
CENTRE_X = (BROWSER[0] + BROWSER[2]) / 2

ADVICE = "抵制不良游戏，拒绝盗版游戏。注意自我保护，谨防受骗上当。适度游戏益脑，沉迷游戏伤身。合理安排时间，享受健康生活。"

GOLD_BEVEL = [(0.0, "#fff0b8"), (0.18, "#e2b55c"), (0.5, "#8a5a22"), (0.78, "#d6a24e"),
              (1.0, "#5a3610")]


def chamfered(left, top, right, bottom, cut):
    return [(left + cut, top), (right - cut, top), (right, top + cut), (right, bottom - cut),
            (right - cut, bottom), (left + cut, bottom), (left, bottom - cut), (left, top + cut)]


def draw_panel(ctx):
    left, top, right, bottom = PANEL
    # Soft shadow that lifts the panel off the desktop.
    glow(ctx, WIDTH, HEIGHT, lambda c: (polygon(c, chamfered(left + 2, top + 6, right + 2,
                                                             bottom + 6, 18)), c.fill()),
         (0, 0, 0, 0.75), factor=3)
    # Gold outer bevel.
    polygon(ctx, chamfered(left, top, right, bottom, 18))
    ctx.set_source(linear(0, top, 0, bottom, GOLD_BEVEL))
    ctx.fill()
    polygon(ctx, chamfered(left + 1, top + 1, right - 1, bottom - 1, 17))
    ctx.set_source(linear(left, 0, right, 0, [(0, "#ffe7a0", 0.0), (0.5, "#fff4c8", 0.55),
                                                (1, "#ffe7a0", 0.0)]))
    ctx.set_line_width(1)
    ctx.stroke()
    # Dark body.
    polygon(ctx, chamfered(left + 5, top + 5, right - 5, bottom - 5, 15))
    ctx.set_source_rgb(*rgb("#0b0704")[:3])
    ctx.fill()
    inner = chamfered(left + 6, top + 6, right - 6, bottom - 6, 14)
    polygon(ctx, inner)
    ctx.set_source(linear(0, top, 0, bottom, [(0, "#3a2716"), (0.25, "#24170d"),
                                              (0.8, "#170f08"), (1, "#201409")]))
    ctx.fill_preserve()
    ctx.save()
    ctx.clip()
    # Warm light falling from the logo, dark vignette on the sides.
    ctx.set_source(radial(CENTRE_X, top - 40, 20, CENTRE_X, top - 40, 420,
                          [(0, "#d0781c", 0.35), (0.5, "#8a4a14", 0.12), (1, "#000000", 0.0)]))
    ctx.paint()
    ctx.set_source(linear(left, 0, right, 0, [(0, "#000000", 0.45), (0.12, "#000000", 0.0),
                                              (0.88, "#000000", 0.0), (1, "#000000", 0.4)]))
    ctx.paint()
    noise(ctx, left, top, right - left, bottom - top, seed=191, amount=0.10, count=14000)
    # Faint engraved lattice.
    ctx.set_line_width(1)
    for i in range(-20, 60):
        x = left + i * 24
        ctx.move_to(x, top)
        ctx.line_to(x + (bottom - top), bottom)
        ctx.move_to(x, bottom)
        ctx.line_to(x + (bottom - top), top)
    ctx.set_source_rgba(1, 0.8, 0.5, 0.018)
    ctx.stroke()
    ctx.restore()
    # Thin inner gold rule.
    polygon(ctx, chamfered(left + 10.5, top + 10.5, right - 10.5, bottom - 10.5, 11))
    ctx.set_source(linear(0, top, 0, bottom, [(0, "#c8964a", 0.55), (0.5, "#7a5228", 0.35),
                                              (1, "#c8964a", 0.55)]))
    ctx.set_line_width(1)
    ctx.stroke()
    # The top-right corner holds the seat of the window buttons instead.
    for corner in ((left, top, 1, 1), (left, bottom, 1, -1), (right, bottom, -1, -1)):
        draw_corner_ornament(ctx, *corner)


def draw_corner_ornament(ctx, x, y, dx, dy):
    """Gold bracket with a small gem on a corner of the panel."""
    ctx.save()
    ctx.translate(x, y)
    ctx.scale(dx, dy)
    path = [(0, 10), (10, 0), (64, 0), (58, 7), (16, 7), (7, 16), (7, 58), (0, 64)]
    polygon(ctx, path)
    ctx.set_source(linear(0, 0, 40, 40, [(0, "#fff1c0"), (0.4, "#d9a650"), (1, "#6b4316")]))
    ctx.fill_preserve()
    ctx.set_source_rgba(0.15, 0.08, 0.02, 0.9)
    ctx.set_line_width(1)
    ctx.stroke()
    # Gem.
    ctx.move_to(13, 4)
    ctx.line_to(22, 13)
    ctx.line_to(13, 22)
    ctx.line_to(4, 13)
    ctx.close_path()
    ctx.set_source(linear(4, 4, 22, 22, [(0, "#ffd08a"), (0.35, "#e0641a"), (1, "#5a1204")]))
    ctx.fill_preserve()
    ctx.set_source_rgba(*rgb("#2a1404"))
    ctx.stroke()
    ctx.restore()


def draw_header_strip(ctx):
    left, top, right, bottom = STRIP
    slant = 14
    shape = [(left + slant, top), (right - slant, top), (right, (top + bottom) / 2),
             (right - slant, bottom), (left + slant, bottom), (left, (top + bottom) / 2)]
    polygon(ctx, shape)
    ctx.set_source(linear(0, top, 0, bottom, [(0, "#3d2a17"), (0.45, "#1c120a"),
                                              (1, "#0e0905")]))
    ctx.fill_preserve()
    ctx.set_source(linear(left, 0, right, 0, [(0, "#a87a3c", 0.2), (0.5, "#f0c878", 0.9),
                                              (1, "#a87a3c", 0.2)]))
    ctx.set_line_width(1.2)
    ctx.stroke()
    # Glint under the strip.
    ctx.set_source(linear(left, 0, right, 0, [(0, "#ff9a30", 0.0), (0.5, "#ffb050", 0.7),
                                              (1, "#ff9a30", 0.0)]))
    ctx.rectangle(left + 40, bottom + 0.5, right - left - 80, 1)
    ctx.fill()


def draw_browser_recess(ctx):
    left, top, right, bottom = BROWSER
    # Recess framing the web page: gold rule, dark moat, corner studs.
    outer = (left - 7, top - 6, right + 7, bottom + 6)
    polygon(ctx, chamfered(*outer, 6))
    ctx.set_source(linear(0, outer[1], 0, outer[3], [(0, "#d9aa5c"), (0.5, "#6e4a20"),
                                                     (1, "#c08a40")]))
    ctx.fill()
    polygon(ctx, chamfered(outer[0] + 2, outer[1] + 2, outer[2] - 2, outer[3] - 2, 5))
    ctx.set_source(linear(0, outer[1], 0, outer[3], [(0, "#120b06"), (1, "#070403")]))
    ctx.fill()
    ctx.rectangle(left - 1, top - 1, right - left + 2, bottom - top + 2)
    ctx.set_source_rgba(*rgb("#4a3218"))
    ctx.fill()
    ctx.rectangle(left, top, right - left, bottom - top)
    ctx.set_source_rgba(*rgb("#1a120b"))
    ctx.fill()
    for x, y in ((outer[0], outer[1]), (outer[2], outer[1]), (outer[0], outer[3]),
                 (outer[2], outer[3])):
        ctx.arc(x, y, 3.5, 0, 2 * math.pi)
        ctx.set_source(radial(x - 1, y - 1, 0, x, y, 3.5, [(0, "#fff0c0"), (0.6, "#d09040"),
                                                            (1, "#603a10")]))
        ctx.fill()


def draw_window_button_seat(ctx):
    """Dark pill in the top-right corner where minimise and close are drawn."""
    x0, y0, x1, y1 = 1016, 103, 1092, 140
    r = (y1 - y0) / 2
    ctx.new_sub_path()
    ctx.arc(x0 + r, y0 + r, r, math.pi / 2, 3 * math.pi / 2)
    ctx.arc(x1 - r, y0 + r, r, -math.pi / 2, math.pi / 2)
    ctx.close_path()
    ctx.set_source(linear(0, y0, 0, y1, [(0, "#050302"), (1, "#1e140b")]))
    ctx.fill_preserve()
    ctx.set_source(linear(0, y0, 0, y1, [(0, "#3a2610"), (1, "#c8964a")]))
    ctx.set_line_width(1)
    ctx.stroke()


def draw_right_ornaments(ctx):
    x = PANEL[2]
    mid = 342
    # Spine along the right edge.
    for sign in (-1, 1):
        ctx.move_to(x - 3, mid + sign * 40)
        ctx.curve_to(x + 18, mid + sign * 80, x + 10, mid + sign * 140, x + 4, mid + sign * 190)
        ctx.curve_to(x + 2, mid + sign * 200, x + 12, mid + sign * 212, x + 20, mid + sign * 206)
        ctx.curve_to(x + 28, mid + sign * 198, x + 18, mid + sign * 186, x + 12, mid + sign * 194)
        ctx.curve_to(x + 18, mid + sign * 150, x + 30, mid + sign * 90, x + 8, mid + sign * 30)
        ctx.close_path()
    ctx.set_source(linear(x, 0, x + 30, 0, [(0, "#6b4316"), (0.4, "#f0c870"), (1, "#8a5a22")]))
    ctx.fill_preserve()
    ctx.set_source_rgba(*rgb("#2a1606"))
    ctx.set_line_width(1)
    ctx.stroke()
    # Spikes.
    for offset, length in ((-118, 20), (-70, 30), (70, 30), (118, 20)):
        y = mid + offset
        polygon(ctx, [(x - 2, y - 7), (x + length, y), (x - 2, y + 7)])
        ctx.set_source(linear(0, y - 7, 0, y + 7, [(0, "#ffe6a0"), (0.5, "#c89040"),
                                                    (1, "#5a3610")]))
        ctx.fill()
    # Gem setting.
    polygon(ctx, [(x - 10, mid), (x + 18, mid - 44), (x + 46, mid), (x + 18, mid + 44)])
    ctx.set_source(linear(x - 10, mid - 44, x + 46, mid + 44,
                          [(0, "#fff2c0"), (0.45, "#c8923e"), (1, "#4a2a0a")]))
    ctx.fill_preserve()
    ctx.set_source_rgba(*rgb("#1e0f04"))
    ctx.stroke()
    glow(ctx, WIDTH, HEIGHT, lambda c: (c.arc(x + 18, mid, 14, 0, 2 * math.pi), c.fill()),
         rgb("#ff7a1a", 0.9), factor=4)
    polygon(ctx, [(x + 2, mid), (x + 18, mid - 27), (x + 34, mid), (x + 18, mid + 27)])
    ctx.set_source(radial(x + 14, mid - 8, 1, x + 18, mid, 28,
                          [(0, "#fff0c8"), (0.25, "#ff9a3a"), (0.7, "#b8300a"),
                           (1, "#3a0a02")]))
    ctx.fill()
    polygon(ctx, [(x + 10, mid - 4), (x + 18, mid - 19), (x + 22, mid - 6)])
    ctx.set_source_rgba(1, 1, 0.9, 0.45)
    ctx.fill()


def draw_feather(ctx, x, y, direction, angle, length, width):
    """One pointed gold feather from (x, y) outwards; angle in degrees above the horizon."""
    ctx.save()
    ctx.translate(x, y)
    ctx.scale(direction, 1)
    ctx.rotate(math.radians(angle))
    ctx.move_to(0, 0)
    ctx.curve_to(length * 0.3, -width, length * 0.75, -width * 0.9, length, -width * 0.55)
    ctx.curve_to(length * 0.8, width * 0.05, length * 0.4, width * 0.45, 0, 0)
    ctx.close_path()
    path = ctx.copy_path()
    ctx.set_source(linear(0, 0, length, 0, [(0, "#fff0c0"), (0.35, "#e0aa54"), (0.8, "#8a5620"),
                                            (1, "#5a3410")]))
    ctx.fill()
    ctx.append_path(path)
    ctx.set_source_rgba(0.12, 0.05, 0.0, 0.85)
    ctx.set_line_width(1)
    ctx.stroke()
    # Vein.
    ctx.move_to(6, -1)
    ctx.curve_to(length * 0.4, -width * 0.45, length * 0.7, -width * 0.5, length * 0.92,
                 -width * 0.5)
    ctx.set_source_rgba(1, 0.95, 0.8, 0.55)
    ctx.set_line_width(0.8)
    ctx.stroke()
    ctx.restore()


def draw_logo(ctx):
    cx = CENTRE_X
    # Plaque over the top edge of the frame.
    top, bottom = 52, 123
    plaque = [(cx - 190, 98), (cx - 160, top + 10), (cx - 120, top), (cx + 120, top),
              (cx + 160, top + 10), (cx + 190, 98), (cx + 150, bottom), (cx - 150, bottom)]
    # Gold feathers spread behind the plaque like wings.
    for sign in (-1, 1):
        for angle, length, width in ((-5, 128, 22), (-18, 116, 21), (-31, 98, 19),
                                     (-44, 76, 16)):
            draw_feather(ctx, cx + sign * 168, 100, sign, angle, length, width)
    glow(ctx, WIDTH, HEIGHT, lambda c: (polygon(c, plaque), c.fill()), (0, 0, 0, 0.8), factor=4)
    polygon(ctx, plaque)
    ctx.set_source(linear(0, top, 0, bottom, GOLD_BEVEL))
    ctx.fill()
    inner = [(cx - 182, 98), (cx - 156, top + 14), (cx - 118, top + 5), (cx + 118, top + 5),
             (cx + 156, top + 14), (cx + 182, 98), (cx + 146, bottom - 4), (cx - 146, bottom - 4)]
    polygon(ctx, inner)
    ctx.set_source(linear(0, top, 0, bottom, [(0, "#3e2412"), (0.6, "#1a0e06"),
                                              (1, "#2a1808")]))
    ctx.fill_preserve()
    ctx.save()
    ctx.clip()
    ctx.set_source(radial(cx, bottom, 10, cx, bottom, 180, [(0, "#e06a10", 0.55),
                                                            (1, "#e06a10", 0.0)]))
    ctx.paint()
    ctx.restore()
    # Lettering.
    set_font(ctx, LOGO_FONT, 60, bold=True)
    baseline = 110

    def letters(c):
        set_font(c, LOGO_FONT, 60, bold=True)
        centred_text_path(c, "TESSARY", cx, baseline, spacing=4)

    glow(ctx, WIDTH, HEIGHT, lambda c: (letters(c), c.fill()), rgb("#ff8a1c", 1.0), factor=4,
         strength=0.9)
    letters(ctx)
    ctx.set_source_rgba(*rgb("#1a0a02"))
    ctx.set_line_width(5)
    ctx.set_line_join(cairo.LINE_JOIN_ROUND)
    ctx.stroke()
    letters(ctx)
    ctx.set_source(linear(0, baseline - 44, 0, baseline, [(0, "#fffbe6"), (0.35, "#ffe08a"),
                                                         (0.55, "#e0a040"), (0.6, "#b06a1c"),
                                                         (1, "#ffd070")]))
    ctx.fill()
    letters(ctx)
    ctx.set_source_rgba(0.35, 0.15, 0.02, 0.6)
    ctx.set_line_width(0.8)
    ctx.stroke()


def draw_advice(ctx):
    set_font(ctx, CJK_FONT, 12)
    ctx.set_source_rgba(*rgb("#8f7654"))
    baseline = 552
    centred_text_path(ctx, ADVICE, CENTRE_X, baseline)
    ctx.fill()
    ctx.set_source(linear(PANEL[0], 0, PANEL[2], 0, [(0, "#a07a40", 0.0), (0.5, "#a07a40", 0.5),
                                                      (1, "#a07a40", 0.0)]))
    ctx.rectangle(PANEL[0] + 60, 534, PANEL[2] - PANEL[0] - 120, 1)
    ctx.fill()


def render():
    surface = new_surface(WIDTH, HEIGHT)
    ctx = cairo.Context(surface)
    heroine.draw_backdrop(ctx, WIDTH, HEIGHT)
    draw_panel(ctx)
    draw_right_ornaments(ctx)
    draw_header_strip(ctx)
    draw_browser_recess(ctx)
    draw_window_button_seat(ctx)
    draw_advice(ctx)
    draw_logo(ctx)
    heroine.draw_figure(ctx, WIDTH, HEIGHT)
    clear_haze(surface)
    return surface


def clear_haze(surface, limit=6):
    """Makes the faint outskirts of glows fully transparent.

    Pixels this faint cannot be seen, but any alpha above 0 belongs to the
    window and would catch the player's clicks meant for the desktop.
    """
    surface.flush()
    data = surface.get_data()
    alpha = 3  # byte of alpha in a native-endian (little-endian) ARGB32 pixel
    for i in range(alpha, len(data), 4):
        if 0 < data[i] <= limit:
            data[i - 3:i + 1] = b"\0\0\0\0"
    surface.mark_dirty()
