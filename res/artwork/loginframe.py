"""The four frame edges of the login dialog's browser (BITMAP 170, 148, 171, 172).

Each edge covers the outermost two pixels of the browser rectangle: a bright
gold line outside and a dark brown line inside, the same along the whole
length so they join at the corners and survive any clipping.
"""
import cairo

from imagefiles import new_surface
from paint import rgb

OUTER = "#d2a252"   # must never be the dialog's key colour (255, 255, 254)
INNER = "#2e1d0e"

# number: (width, height, index of the outer pixel along the thin axis)
EDGES = {170: (2, 336, 0), 148: (610, 2, 0), 171: (2, 336, 1), 172: (610, 2, 1)}


def render_edge(width, height, outer_index):
    surface = new_surface(width, height)
    ctx = cairo.Context(surface)
    vertical = width == 2
    for i in range(2):
        ctx.set_source_rgba(*rgb(OUTER if i == outer_index else INNER))
        if vertical:
            ctx.rectangle(i, 0, 1, height)
        else:
            ctx.rectangle(0, i, width, 1)
        ctx.fill()
    return surface


def render_all():
    return {number: render_edge(*edge) for number, edge in EDGES.items()}
