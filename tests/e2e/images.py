"""Pictures held as raw RGB(A) bytes, read and written through ImageMagick, so
the tests need nothing beyond Python's standard library; the generated
artwork, and how the skin's pixels show over a black root."""

import os
import subprocess

from basics import SOURCE_ROOT, Failure, check


class Image:
    """An RGB (or RGBA) picture held as raw bytes."""

    def __init__(self, width, height, channels, data):
        self.width, self.height, self.channels, self.data = width, height, channels, data

    @staticmethod
    def load(path, channels=3):
        size = subprocess.run(["identify", "-format", "%w %h", path + "[0]"],
                              check=True, capture_output=True, text=True).stdout.split()
        width, height = int(size[0]), int(size[1])
        fmt = "rgba" if channels == 4 else "rgb"
        data = subprocess.run(["convert", path + "[0]", "-depth", "8", fmt + ":-"],
                              check=True, capture_output=True).stdout
        if len(data) != width * height * channels:
            raise Failure("cannot read %s as %dx%d %s" % (path, width, height, fmt))
        return Image(width, height, channels, data)

    def pixel(self, x, y):
        i = (y * self.width + x) * self.channels
        return tuple(self.data[i:i + self.channels])

    def crop(self, left, top, right, bottom):
        rows = []
        for y in range(top, bottom):
            i = (y * self.width + left) * self.channels
            rows.append(self.data[i:i + (right - left) * self.channels])
        return Image(right - left, bottom - top, self.channels, b"".join(rows))

    def distinct_colours(self, step=1):
        seen = set()
        for y in range(0, self.height, step):
            for x in range(0, self.width, step):
                seen.add(self.pixel(x, y)[:3])
        return seen

    def mean_difference(self, other):
        """Mean absolute channel difference between two same-sized RGB pictures."""
        check(self.width == other.width and self.height == other.height, "pictures of different sizes")
        a, b = self.data, other.data
        if self.channels != 3 or other.channels != 3:
            raise Failure("mean_difference wants RGB pictures")
        total = sum(abs(x - y) for x, y in zip(a, b))
        return total / len(a)

    def save_png(self, path):
        fmt = "rgba" if self.channels == 4 else "rgb"
        subprocess.run(["convert", "-size", "%dx%d" % (self.width, self.height), "-depth", "8",
                        fmt + ":-", path], input=self.data, check=True)


def artwork(number):
    """The generated artwork PNG of a resource number, as RGBA."""
    return Image.load(os.path.join(SOURCE_ROOT, "res", "artwork", "out", "png", "%d.png" % number), 4)


def on_black(rgba, constant_alpha=254):
    """How an RGBA pixel of the skin shows over a black root: the window is
    drawn at 254/255 of each pixel's own alpha."""
    r, g, b, a = rgba
    k = a * constant_alpha / (255.0 * 255.0)
    return (r * k, g * k, b * k)
