#!/usr/bin/env python3
"""The idle watcher test's session bus client; its inhibitions and remote desktop session last
until its input ends. Orders, one a line, each answered: inhibit (the cookie), uninhibit COOKIE,
remote-desktop (a started GNOME RemoteDesktop session), key CODE (an evdev key pressed, released)."""
import sys

import dbus

bus = dbus.SessionBus()
SAVER, REMOTE = "org.freedesktop.ScreenSaver", "org.gnome.Mutter.RemoteDesktop"
for line in sys.stdin:
    order, *args = line.split()
    if order == "inhibit":
        answer = bus.get_object(SAVER, "/org/freedesktop/ScreenSaver").Inhibit(
            "lumivex-e2e", "a test holds idleness back", dbus_interface=SAVER)
    elif order == "uninhibit":  # at the other path browsers use
        bus.get_object(SAVER, "/ScreenSaver").UnInhibit(dbus.UInt32(args[0]), dbus_interface=SAVER)
        answer = "done"
    elif order == "remote-desktop":
        path = bus.get_object(REMOTE, "/org/gnome/Mutter/RemoteDesktop").CreateSession(dbus_interface=REMOTE)
        session = dbus.Interface(bus.get_object(REMOTE, path), REMOTE + ".Session")
        session.Start()
        answer = "started"
    elif order == "key":
        for pressed in (True, False):
            session.NotifyKeyboardKeycode(dbus.UInt32(args[0]), pressed)
        answer = "sent"
    else:
        sys.exit("idle_bus.py: no order " + order)
    print(answer, flush=True)
