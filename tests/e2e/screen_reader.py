"""Screen pixels read straight from the X server through Xlib (ctypes)."""

import ctypes
import ctypes.util

from basics import Failure
from images import Image


class _XImage(ctypes.Structure):
    _fields_ = [("width", ctypes.c_int), ("height", ctypes.c_int), ("xoffset", ctypes.c_int),
                ("format", ctypes.c_int), ("data", ctypes.POINTER(ctypes.c_ubyte)),
                ("byte_order", ctypes.c_int), ("bitmap_unit", ctypes.c_int),
                ("bitmap_bit_order", ctypes.c_int), ("bitmap_pad", ctypes.c_int), ("depth", ctypes.c_int),
                ("bytes_per_line", ctypes.c_int), ("bits_per_pixel", ctypes.c_int)]


class ScreenReader:
    """Reads screen pixels straight from the X server (much faster than a
    screenshot file), for polling."""

    def __init__(self, display):
        self.x = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
        self.x.XOpenDisplay.restype = ctypes.c_void_p
        self.x.XOpenDisplay.argtypes = [ctypes.c_char_p]
        self.x.XDefaultRootWindow.restype = ctypes.c_ulong
        self.x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        self.x.XGetImage.restype = ctypes.POINTER(_XImage)
        self.x.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int,
                                     ctypes.c_uint, ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
        self.x.XFree.argtypes = [ctypes.c_void_p]
        self.x.XCloseDisplay.argtypes = [ctypes.c_void_p]
        self.d = self.x.XOpenDisplay(display.encode())
        if not self.d:
            raise Failure("cannot open display " + display)
        self.root = self.x.XDefaultRootWindow(self.d)

    def grab(self, left, top, width, height):
        """RGB picture of a screen rectangle (24-bit TrueColor, 32 bits a pixel)."""
        img = self.x.XGetImage(self.d, self.root, left, top, width, height, 0xFFFFFFFF, 2)
        if not img:
            raise Failure("XGetImage failed")
        try:
            im = img.contents
            if im.bits_per_pixel != 32:
                raise Failure("unexpected %d bits a pixel" % im.bits_per_pixel)
            raw = ctypes.string_at(im.data, im.bytes_per_line * height)
        finally:
            # The image and its data were allocated by Xlib: free both.
            data = ctypes.cast(img.contents.data, ctypes.c_void_p)
            self.x.XFree(data)
            self.x.XFree(ctypes.cast(img, ctypes.c_void_p))
        rows = []
        for y in range(height):
            row = raw[y * im.bytes_per_line:y * im.bytes_per_line + width * 4]
            rgb = bytearray(width * 3)
            rgb[0::3] = row[2::4]
            rgb[1::3] = row[1::4]
            rgb[2::3] = row[0::4]
            rows.append(bytes(rgb))
        return Image(width, height, 3, b"".join(rows))

    def close(self):
        if self.d:
            self.x.XCloseDisplay(self.d)
            self.d = None
