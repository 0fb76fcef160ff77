"""Writers for the two image file forms the program embeds.

PNG: always 8-bit RGBA (colour type 6), whatever the pixels are; cairo's own
writer drops the alpha channel of fully opaque images, so we encode ourselves.
BMP: 24-bit, uncompressed, bottom-up, the form the platform's bitmap loader reads.
"""
import struct
import zlib

import cairo


def _unpremultiplied_rgba_rows(surface):
    """Rows of straight (not premultiplied) RGBA bytes of an ARGB32 surface."""
    surface.flush()
    width, height, stride = surface.get_width(), surface.get_height(), surface.get_stride()
    data = bytes(surface.get_data())
    rows = []
    for y in range(height):
        src = data[y * stride:y * stride + width * 4]
        out = bytearray(width * 4)
        for x in range(0, width * 4, 4):
            b, g, r, a = src[x], src[x + 1], src[x + 2], src[x + 3]
            if a == 255:
                out[x:x + 4] = bytes((r, g, b, 255))
            elif a:
                half = a // 2
                out[x] = min(255, (r * 255 + half) // a)
                out[x + 1] = min(255, (g * 255 + half) // a)
                out[x + 2] = min(255, (b * 255 + half) // a)
                out[x + 3] = a
        rows.append(bytes(out))
    return rows


def _filtered(rows, bpp):
    """Each row with the cheaper of the Sub and Up filters (smaller byte sum)."""
    out = bytearray()
    previous = bytes(len(rows[0])) if rows else b""
    for row in rows:
        up = bytes((a - b) & 255 for a, b in zip(row, previous))
        sub = row[:bpp] + bytes((row[i] - row[i - bpp]) & 255 for i in range(bpp, len(row)))
        cost = lambda r: sum(v if v < 128 else 256 - v for v in r)
        if cost(up) <= cost(sub):
            out += b"\x02" + up
        else:
            out += b"\x01" + sub
        previous = row
    return bytes(out)


def _chunk(kind, payload):
    body = kind + payload
    return struct.pack(">I", len(payload)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def write_png(surface, path):
    width, height = surface.get_width(), surface.get_height()
    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    pixels = zlib.compress(_filtered(_unpremultiplied_rgba_rows(surface), 4), 9)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(_chunk(b"IHDR", header))
        f.write(_chunk(b"IDAT", pixels))
        f.write(_chunk(b"IEND", b""))


def write_bmp(surface, path):
    """24-bit bitmap of an opaque surface (alpha is ignored)."""
    surface.flush()
    width, height, stride = surface.get_width(), surface.get_height(), surface.get_stride()
    data = bytes(surface.get_data())
    row_size = (width * 3 + 3) & ~3
    pixels = bytearray()
    for y in reversed(range(height)):  # bottom-up
        src = data[y * stride:y * stride + width * 4]
        row = bytearray()
        for x in range(0, width * 4, 4):
            row += src[x:x + 3]  # B, G, R
        row += bytes(row_size - len(row))
        pixels += row
    file_header = struct.pack("<2sIHHI", b"BM", 14 + 40 + len(pixels), 0, 0, 14 + 40)
    info_header = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels),
                              3780, 3780, 0, 0)
    with open(path, "wb") as f:
        f.write(file_header + info_header + pixels)


def new_surface(width, height):
    return cairo.ImageSurface(cairo.FORMAT_ARGB32, width, height)
