#!/usr/bin/env python3
"""A StatusNotifierWatcher stand-in on the session bus that
DBUS_SESSION_BUS_ADDRESS names, for the tray test (needs python3-gi).

It owns org.kde.StatusNotifierWatcher and tells what happens on standard
output, one JSON object a line:
  {"event": "ready"}                                the watcher's name is ours
  {"event": "registered", "service": S}             an item registered
  {"event": "held", "service": S}                   --mute: a registration never answered
  {"event": "properties", "service": S, ...}        what a host reads of the item
  {"event": "gone", "service": S}                   an item's name left the bus
  {"event": "called", "method": M, "error": E}      the outcome of a command
Commands on standard input, one a line, go to the last registered item:
Activate, SecondaryActivate or ContextMenu (at 10, 10).
"""

import json
import os
import sys

import gi

gi.require_version("Gio", "2.0")
from gi.repository import Gio, GLib  # noqa: E402

WATCHER = """<node><interface name="org.kde.StatusNotifierWatcher">
  <method name="RegisterStatusNotifierItem"><arg name="service" type="s" direction="in"/></method>
  <method name="RegisterStatusNotifierHost"><arg name="service" type="s" direction="in"/></method>
  <property name="RegisteredStatusNotifierItems" type="as" access="read"/>
  <property name="IsStatusNotifierHostRegistered" type="b" access="read"/>
  <property name="ProtocolVersion" type="i" access="read"/>
  <signal name="StatusNotifierItemRegistered"><arg type="s"/></signal>
  <signal name="StatusNotifierItemUnregistered"><arg type="s"/></signal>
  <signal name="StatusNotifierHostRegistered"/>
</interface></node>"""
ITEM = "org.kde.StatusNotifierItem"
GRID = 16  # pixmap pixels reported: every GRID-th in both directions

mute = "--mute" in sys.argv[1:]
items = []  # (bus name, object path) in registration order
held = []   # unanswered registrations, kept so that nothing answers them
conn = Gio.bus_get_sync(Gio.BusType.SESSION, None)
loop = GLib.MainLoop()


def say(**event):
    print(json.dumps(event), flush=True)


def pixmap_summary(pixmaps):
    out = []
    for width, height, data in pixmaps:
        data = bytes(data)
        samples = []
        if len(data) == width * height * 4:
            for y in range(0, height, GRID):
                for x in range(0, width, GRID):
                    i = (y * width + x) * 4
                    samples.append([x, y] + list(data[i:i + 4]))
        out.append({"width": width, "height": height, "bytes": len(data), "argb": samples})
    return out


def read_properties(service, bus, path):
    def done(c, result):
        try:
            props = c.call_finish(result).unpack()[0]
        except GLib.Error as e:
            say(event="properties", service=service, error=e.message)
            return
        tip = props.get("ToolTip")
        say(event="properties", service=service, category=props.get("Category"), status=props.get("Status"),
            title=props.get("Title"), tooltip=tip[2] if tip else None,
            pixmaps=pixmap_summary(props.get("IconPixmap", [])))
    conn.call(bus, path, "org.freedesktop.DBus.Properties", "GetAll", GLib.Variant("(s)", (ITEM,)),
              GLib.VariantType("(a{sv})"), Gio.DBusCallFlags.NONE, 5000, None, done)
    return False


def on_call(c, sender, path, interface, method, parameters, invocation):
    if method != "RegisterStatusNotifierItem":
        invocation.return_value(None)
        return
    service = parameters.unpack()[0]
    if mute:
        held.append(invocation)
        say(event="held", service=service)
        return
    bus, item_path = (sender, service) if service.startswith("/") else (service, "/StatusNotifierItem")
    items.append((bus, item_path))
    invocation.return_value(None)
    say(event="registered", service=service)
    GLib.idle_add(read_properties, service, bus, item_path)


def on_get(c, sender, path, interface, name):
    if name == "RegisteredStatusNotifierItems":
        return GLib.Variant("as", [bus for bus, _ in items])
    if name == "IsStatusNotifierHostRegistered":
        return GLib.Variant("b", True)
    return GLib.Variant("i", 0)


def on_owner_changed(c, sender, path, interface, signal, parameters):
    name, old, new = parameters.unpack()
    if name.startswith(ITEM + "-") and old and not new:
        say(event="gone", service=name)


pending = b""


def on_input(fd, condition):
    global pending
    chunk = os.read(fd, 4096) if condition & GLib.IO_IN else b""
    if not chunk:
        loop.quit()
        return False
    pending += chunk
    while b"\n" in pending:
        line, pending = pending.split(b"\n", 1)
        method = line.decode().strip()
        if not Gio.dbus_is_member_name(method):
            say(event="called", method=method, error="not a method name")
            continue
        if not items:
            say(event="called", method=method, error="no item")
            continue

        def done(c, result, method=method):
            try:
                c.call_finish(result)
                say(event="called", method=method, error=None)
            except GLib.Error as e:
                say(event="called", method=method, error=e.message)
        bus, item_path = items[-1]
        conn.call(bus, item_path, ITEM, method, GLib.Variant("(ii)", (10, 10)), None, Gio.DBusCallFlags.NONE,
                  5000, None, done)
    return True


node = Gio.DBusNodeInfo.new_for_xml(WATCHER)
conn.register_object("/StatusNotifierWatcher", node.interfaces[0], on_call, on_get, None)
conn.signal_subscribe("org.freedesktop.DBus", "org.freedesktop.DBus", "NameOwnerChanged", "/org/freedesktop/DBus",
                      None, Gio.DBusSignalFlags.NONE, on_owner_changed)
Gio.bus_own_name_on_connection(conn, "org.kde.StatusNotifierWatcher", Gio.BusNameOwnerFlags.DO_NOT_QUEUE,
                               lambda *a: say(event="ready"), lambda *a: (say(event="lost"), loop.quit()))
GLib.io_add_watch(0, GLib.PRIORITY_DEFAULT, GLib.IO_IN | GLib.IO_HUP, on_input)
loop.run()
