"""Shared pieces of the end-to-end tests of zarek.exe under Xvfb, under one
name for the tests and the measuring scripts (`import harness as h`). Each
job has its file:

    basics.py         outcomes (pass, fail, skip), the log, polling, paths
    images.py         pictures as raw RGB(A), the generated artwork
    screen_reader.py  screen pixels straight from the X server
    gated_proxy.py    a forwarder that holds chosen requests to the demo site
    desktop.py        the desktop and its processes: X server, window manager,
                      compositor, tray, session bus, demo site, the client
    x_driver.py       looking at windows and driving the pointer
    runner.py         one test's arguments, its desktop and its exit status
"""

from basics import (HERE, REQUIRED_TOOLS, SCREEN_H, SCREEN_W, SKIP, SOURCE_ROOT, Failure, Skip, check, log,
                    require_tools, wait_for)
from desktop import Desktop
from gated_proxy import GatedProxy
from images import Image, artwork, on_black
from runner import GLIB_TROUBLE, arguments, check_quiet_terminal, main
from screen_reader import ScreenReader
from x_driver import XDriver

__all__ = ["HERE", "REQUIRED_TOOLS", "SCREEN_H", "SCREEN_W", "SKIP", "SOURCE_ROOT", "Failure", "Skip", "check", "log",
           "require_tools", "wait_for", "Desktop", "GatedProxy", "Image", "artwork", "on_black", "GLIB_TROUBLE",
           "arguments", "check_quiet_terminal", "main", "ScreenReader", "XDriver"]
