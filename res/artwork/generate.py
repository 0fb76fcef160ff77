#!/usr/bin/python3
"""Generates every image and page the program embeds, into res/artwork/out/.

    /usr/bin/python3 res/artwork/generate.py [--preview DIR] [--only-preview]

Output layout (the build embeds each file under its folder's kind and the
number in its name): out/png/N.png, out/bitmap/N.bmp, out/icon/N.png,
out/html/N.html. Beside them, out/hicolor/NxN.png is the program icon at the
sizes a desktop's icon theme wants (installed, not embedded). The output is
committed; rerun this after changing the art.
Needs python3-cairo, fonts-wqy-zenhei, fonts-urw-base35 and iconv (libc-bin).
"""
import argparse
import os
import subprocess
import sys

sys.dont_write_bytecode = True  # keep the source folder clean

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

import buttons  # noqa: E402
import gameframe  # noqa: E402
import icon  # noqa: E402
import loginframe  # noqa: E402
import preview  # noqa: E402
import skin  # noqa: E402
from imagefiles import write_bmp, write_png  # noqa: E402

OUT = os.path.join(HERE, "out")
LOADING_PAGE = 208
ICON = 128
# Sizes of the installed icon (share/icons/hicolor/NxN/apps/).
THEME_ICON_SIZES = (16, 24, 32, 48, 64, 128, 256)


def out_path(kind, number, ext):
    folder = os.path.join(OUT, kind)
    os.makedirs(folder, exist_ok=True)
    return os.path.join(folder, f"{number}.{ext}")


def write_loading_page():
    """The page source is UTF-8; the embedded page is GB2312, as it declares."""
    with open(os.path.join(HERE, "loading_page.html"), "rb") as f:
        source = f.read()
    page = subprocess.run(["iconv", "-f", "UTF-8", "-t", "GB2312"], input=source,
                          capture_output=True, check=True).stdout
    with open(out_path("html", LOADING_PAGE, "html"), "wb") as f:
        f.write(page)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--preview", help="also write previews into this folder")
    parser.add_argument("--only-preview", action="store_true", help="write no resource files")
    args = parser.parse_args()

    skin_surface = skin.render()
    button_images = buttons.render_all()
    edge_images = loginframe.render_all()
    frame_images = gameframe.render_all()
    icon_surface = icon.render()

    if not args.only_preview:
        write_png(skin_surface, out_path("png", 191, "png"))
        for number, surface in button_images.items():
            write_png(surface, out_path("png", number, "png"))
        for number, surface in list(edge_images.items()) + list(frame_images.items()):
            write_bmp(surface, out_path("bitmap", number, "bmp"))
        write_png(icon_surface, out_path("icon", ICON, "png"))
        write_loading_page()
        # Each size is drawn from the artwork itself, not scaled from 128.
        folder = os.path.join(OUT, "hicolor")
        os.makedirs(folder, exist_ok=True)
        for size in THEME_ICON_SIZES:
            write_png(icon.render(size), os.path.join(folder, f"{size}x{size}.png"))

    if args.preview:
        os.makedirs(args.preview, exist_ok=True)
        at = lambda name: os.path.join(args.preview, name)  # noqa: E731
        preview.render(skin_surface, button_images, edge_images).write_to_png(
            at("main-window.png"))
        preview.render(skin_surface, button_images, edge_images,
                       states=[1, 0, 2, 0, 0, 1, 0]).write_to_png(at("main-window-states.png"))
        preview.render_game_window(frame_images, 760, 420, maximized=False,
                                   states=[0, 1, 0, 0, 2]).write_to_png(at("game-window.png"))
        preview.render_icon(icon_surface).write_to_png(at("icon.png"))


if __name__ == "__main__":
    main()
