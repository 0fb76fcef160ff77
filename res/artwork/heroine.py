"""The heroine on the left of the skin: a swordswoman standing in the glow of
a setting sun, drawn as a dark silhouette with warm rim light.

She faces the panel, her cape and hair streaming back to the left, and holds
her sword raised beside her head so that it crosses the frame's top-left
corner. Shapes are authored in a local frame and placed by FIGURE_OFFSET and FIGURE_SCALE.
"""
import math
import random

import cairo

from imagefiles import new_surface
from paint import blurred, glow, linear, radial, rgb, smooth_shape

C = "c"
FIGURE_OFFSET = (16, -14)
FIGURE_SCALE = 1.04

HEAD = [(236, 86), (254, 90), (264, 103), (266, 113), (271, 124, C), (265, 128), (266, 133),
        (262, 138), (257, 146, C), (246, 151), (232, 147), (220, 132), (214, 112), (220, 95)]
NECK = [(226, 138), (246, 140), (248, 170), (224, 170)]
HAIR = [(224, 80), (248, 79), (264, 91), (269, 104, C), (254, 97), (240, 101), (232, 118),
        (229, 136), (222, 160, C), (212, 138), (204, 112)]
PONYTAIL = [(214, 90), (196, 86), (168, 90), (138, 102), (110, 120), (84, 133), (58, 137),
            (32, 130, C), (56, 148), (88, 152), (66, 168), (40, 176, C), (76, 182), (108, 174),
            (96, 192), (80, 214, C), (118, 198), (148, 174), (174, 148), (196, 128), (208, 112)]
TORSO = [(204, 166), (270, 164), (281, 190), (287, 212), (272, 234), (258, 260), (262, 282),
         (272, 304), (258, 320), (214, 322), (190, 306), (198, 282), (206, 262), (198, 230),
         (192, 196)]
PAULDRON_FRONT = [(262, 170), (276, 156), (294, 155), (306, 160), (324, 144, C), (312, 172),
                  (304, 190), (286, 198), (266, 190)]
PAULDRON_BACK = [(176, 178), (186, 162), (204, 160), (214, 176), (206, 194), (186, 198)]
ARM_FRONT_UPPER = [(274, 186), (296, 180), (320, 214), (325, 232), (312, 240), (300, 228),
                   (278, 206)]
ARM_FRONT_LOWER = [(303, 232), (318, 206), (323, 196), (332, 186), (345, 189), (346, 202),
                   (330, 238), (315, 244)]
ARM_BACK = [(182, 180), (202, 192), (180, 232), (162, 262), (154, 272), (154, 284),
            (146, 294), (134, 292), (128, 280), (134, 266), (144, 258), (146, 244), (166, 206)]
SKIRT = [(194, 294), (270, 294), (290, 332), (302, 374, C), (284, 366), (276, 392, C),
         (258, 362), (238, 380, C), (220, 358), (196, 394, C), (186, 368), (148, 388, C),
         (160, 350), (178, 320)]
LEG_BACK = [(192, 312), (184, 360), (170, 410), (160, 450), (150, 500), (140, 540), (133, 566),
            (122, 590), (118, 603, C), (172, 604, C), (170, 592), (154, 572), (158, 540),
            (171, 500), (184, 456), (200, 412), (216, 372), (232, 330)]
LEG_FRONT = [(266, 316), (292, 360), (314, 408), (325, 442), (319, 482), (316, 530), (318, 562),
             (334, 578), (364, 592), (366, 604, C), (300, 604, C), (296, 580), (292, 540),
             (290, 490), (294, 452), (280, 414), (262, 372), (246, 330)]
CAPE = [(214, 164), (190, 168), (164, 182), (128, 212), (96, 256), (70, 312), (50, 372),
        (36, 430), (20, 484, C), (50, 470), (62, 502, C), (88, 474), (104, 512, C), (124, 478),
        (148, 494, C), (156, 450), (164, 400), (176, 340), (192, 290), (200, 230)]

BODY_PARTS = [HAIR, PONYTAIL, NECK, TORSO, ARM_BACK, PAULDRON_BACK, LEG_BACK, LEG_FRONT,
              SKIRT, ARM_FRONT_UPPER, PAULDRON_FRONT, HEAD, ARM_FRONT_LOWER]

# Sword: grip in the raised fist, blade towards the upper right.
HILT = (338, 194)
TIP = (394, 30)


def _place(ctx):
    ctx.translate(*FIGURE_OFFSET)
    ctx.scale(FIGURE_SCALE, FIGURE_SCALE)


def draw_backdrop(ctx, width, height):
    """Setting sun, rays and embers behind the heroine; fades to nothing."""
    ctx.save()
    _place(ctx)
    cx, cy = 215, 250
    radius = 196
    ctx.set_source(radial(cx, cy, 0, cx, cy, radius,
                          [(0, "#fff2c8", 1.0), (0.16, "#ffc060", 0.95), (0.38, "#e0601a", 0.7),
                           (0.7, "#c04a14", 0.28), (1, "#a8380c", 0.0)]))
    ctx.arc(cx, cy, radius, 0, 2 * math.pi)
    ctx.fill()
    # Rays.
    rnd = random.Random(7)
    for i in range(24):
        a = -math.pi / 2 + (i - 12) * 0.13 + rnd.uniform(-0.04, 0.04)
        spread = rnd.uniform(0.012, 0.03)
        length = rnd.uniform(180, 246)
        ctx.move_to(cx, cy)
        ctx.line_to(cx + math.cos(a - spread) * length, cy + math.sin(a - spread) * length)
        ctx.line_to(cx + math.cos(a + spread) * length, cy + math.sin(a + spread) * length)
        ctx.close_path()
        ctx.set_source(radial(cx, cy, 60, cx, cy, length,
                              [(0, "#ffe0a0", 0.3), (1, "#ff8a30", 0.0)]))
        ctx.fill()
    # Warm haze on the ground around her feet.
    ctx.save()
    ctx.translate(236, 598)
    ctx.scale(1.0, 0.085)
    ctx.arc(0, 0, 180, 0, 2 * math.pi)
    ctx.set_source(radial(0, 0, 0, 0, 0, 180, [(0, "#ffc070", 0.8), (0.5, "#e07020", 0.3),
                                               (1, "#a03010", 0.0)]))
    ctx.fill()
    ctx.restore()
    ctx.restore()
    draw_embers(ctx, width, height)


def draw_embers(ctx, width, height):
    """Sparks drifting up around the heroine."""
    rnd = random.Random(11)
    ctx.save()
    _place(ctx)
    for _ in range(34):
        x, y = rnd.uniform(30, 360), rnd.uniform(60, 560)
        r = rnd.choice((0.8, 1.0, 1.2, 1.6, 2.2))
        ctx.arc(x, y, r * 3.2, 0, 2 * math.pi)
        ctx.set_source(radial(x, y, 0, x, y, r * 3.2, [(0, "#ffd890", 0.5), (1, "#ff7020", 0.0)]))
        ctx.fill()
        ctx.arc(x, y, r * 0.7, 0, 2 * math.pi)
        ctx.set_source_rgba(1, 0.95, 0.8, 0.9)
        ctx.fill()
    ctx.restore()


def _silhouette_mask(width, height, parts):
    mask = new_surface(width, height)
    c = cairo.Context(mask)
    _place(c)
    c.set_source_rgba(1, 1, 1, 1)
    for part in parts:
        smooth_shape(c, part)
        c.fill()
    return mask


def _rim(mask, dx, dy, soften):
    """The part of mask whose neighbour towards (dx, dy) lies outside it."""
    width, height = mask.get_width(), mask.get_height()
    rim = new_surface(width, height)
    c = cairo.Context(rim)
    c.set_source_surface(mask, 0, 0)
    c.paint()
    shifted = new_surface(width, height)
    s = cairo.Context(shifted)
    s.set_source_surface(mask, -dx, -dy)
    s.paint()
    if soften:
        shifted = blurred(shifted, soften)
    c.set_operator(cairo.OPERATOR_DEST_OUT)
    c.set_source_surface(shifted, 0, 0)
    c.paint()
    return rim


def _paint_silhouette(ctx, width, height, parts, fill, rims):
    mask = _silhouette_mask(width, height, parts)
    layer = new_surface(width, height)
    c = cairo.Context(layer)
    c.set_source(fill)
    c.mask_surface(mask, 0, 0)
    for dx, dy, soften, colour in rims:
        c.set_source_rgba(*colour)
        c.mask_surface(_rim(mask, dx, dy, soften), 0, 0)
    ctx.set_source_surface(layer, 0, 0)
    ctx.paint()
    return mask


def _draw_sword(ctx, width, height):
    hx, hy = HILT
    tx, ty = TIP
    angle = math.atan2(ty - hy, tx - hx)
    length = math.hypot(tx - hx, ty - hy)

    def blade(c, grow=0.0):
        c.save()
        _place(c)
        c.translate(hx, hy)
        c.rotate(angle)
        c.move_to(14, -6 - grow)
        c.line_to(length - 30, -5.5 - grow)
        c.line_to(length + grow, 0)
        c.line_to(length - 30, 5.5 + grow)
        c.line_to(14, 6 + grow)
        c.close_path()
        c.restore()

    glow(ctx, width, height, lambda c: (blade(c, 2), c.fill()), rgb("#ff9a30"), factor=5,
         strength=1.0)
    blade(ctx)
    ctx.save()
    _place(ctx)
    ctx.translate(hx, hy)
    ctx.rotate(angle)
    ctx.set_source(linear(0, -5, 0, 5, [(0, "#fff8e8"), (0.45, "#ffe0a0"), (0.55, "#ffb050"),
                                        (1, "#e07020")]))
    ctx.restore()
    ctx.fill()
    ctx.save()
    _place(ctx)
    ctx.translate(hx, hy)
    ctx.rotate(angle)
    # Fuller.
    ctx.move_to(18, 0)
    ctx.line_to(length - 34, 0)
    ctx.set_source_rgba(1, 1, 1, 0.9)
    ctx.set_line_width(1.2)
    ctx.stroke()
    # Cross-guard, grip and pommel.
    ctx.move_to(10, -15)
    ctx.curve_to(16, -8, 16, 8, 10, 15)
    ctx.line_to(6, 13)
    ctx.curve_to(10, 6, 10, -6, 6, -13)
    ctx.close_path()
    ctx.set_source(linear(0, -15, 0, 15, [(0, "#ffe8a8"), (0.5, "#b07a30"), (1, "#5a3410")]))
    ctx.fill()
    ctx.rectangle(-14, -3, 22, 6)
    ctx.set_source_rgba(*rgb("#2a160a"))
    ctx.fill()
    ctx.arc(-17, 0, 4.5, 0, 2 * math.pi)
    ctx.set_source(radial(-18, -1.5, 0.5, -17, 0, 4.5, [(0, "#ffe0a0"), (1, "#7a4a14")]))
    ctx.fill()
    ctx.restore()


def _draw_details(ctx, mask):
    """Faint armour edges and hair strands inside the silhouette."""
    ctx.save()
    ctx.set_source_rgba(1, 0.72, 0.4, 0.22)
    ctx.set_line_width(1.1)
    ctx.push_group()
    _place(ctx)
    strokes = [
        [(200, 266), (232, 270), (260, 266)],               # belt
        [(200, 276), (232, 280), (262, 276)],
        [(270, 176), (292, 170), (314, 160)],               # pauldron plates
        [(272, 186), (294, 180), (306, 176)],
        [(306, 216), (318, 230)],                           # bracer
        [(226, 300), (240, 350)], [(262, 302), (282, 360)],  # skirt plates
        [(158, 540), (138, 544)], [(317, 536), (292, 540)],  # boot cuffs
        [(182, 448), (160, 452)], [(322, 446), (296, 444)],  # knee guards
        [(230, 186), (246, 210), (262, 200)],               # breastplate
        [(150, 122), (110, 144), (84, 150)],                # hair strands
        [(160, 140), (120, 168), (90, 186)],
        [(140, 178), (118, 200)],
    ]
    for s in strokes:
        smooth_shape(ctx, s, closed=False)
        ctx.stroke()
    ctx.pop_group_to_source()
    ctx.mask_surface(mask, 0, 0)
    ctx.restore()


def _draw_cape_folds(ctx, mask):
    """Long folds that follow the cape's flow, light on one side, shadow on the other."""
    folds = [
        [(186, 190), (150, 250), (120, 330), (96, 420), (80, 480)],
        [(196, 210), (170, 290), (150, 380), (128, 470)],
        [(176, 196), (132, 260), (98, 340), (70, 430), (54, 480)],
    ]
    ctx.save()
    ctx.push_group()
    _place(ctx)
    for fold in folds:
        smooth_shape(ctx, fold, closed=False)
        ctx.set_source_rgba(0, 0, 0, 0.45)
        ctx.set_line_width(7)
        ctx.stroke()
        ctx.save()
        ctx.translate(4, -1)
        smooth_shape(ctx, fold, closed=False)
        ctx.restore()
        ctx.set_source_rgba(1, 0.45, 0.3, 0.16)
        ctx.set_line_width(2.5)
        ctx.stroke()
    ctx.pop_group_to_source()
    ctx.mask_surface(mask, 0, 0)
    ctx.restore()


def draw_figure(ctx, width, height):
    rim_warm = rgb("#ffb45a", 0.95)
    rim_hot = rgb("#fff0c0", 0.9)
    rim_cool = rgb("#c86a8a", 0.35)
    cape = _paint_silhouette(ctx, width, height, [CAPE],
                             linear(0, 160, 0, 500, [(0, "#3a0a08"), (0.6, "#240606"),
                                                     (1, "#120303")]),
                             [(14, -4, 6, rgb("#ff7a30", 0.25)), (4, -2, 3, rim_warm),
                              (1.5, -1, 0, rim_hot), (-3, 0, 3, rim_cool)])
    _draw_cape_folds(ctx, cape)
    mask = _paint_silhouette(ctx, width, height, BODY_PARTS,
                             linear(0, 80, 0, 604, [(0, "#1e1210"), (0.5, "#140c0a"),
                                                    (1, "#0c0706")]),
                             [(9, -4, 5, rgb("#ff8a3a", 0.10)), (4, -2, 3, rim_warm),
                              (1.5, -1, 0, rim_hot), (-3, 1, 3, rim_cool)])
    _draw_details(ctx, mask)
    _draw_sword(ctx, width, height)
