#!/usr/bin/env python3
"""A client of the session bus that stays connected while the idle watcher's test needs it, reading
its orders from standard input, one a line, and answering each on standard output:
  inhibit                 org.freedesktop.ScreenSaver.Inhibit; answers the cookie
  uninhibit COOKIE        org.freedesktop.ScreenSaver.UnInhibit
  remote-desktop          a session of GNOME's org.gnome.Mutter.RemoteDesktop, started
  key CODE                a press and a release of the evdev key CODE in that session
Both an inhibition and the remote desktop session end with the connection, at the end of input.
usage: idle_bus.py (the address in DBUS_SESSION_BUS_ADDRESS)"""
import sys

import dbus

bus = dbus.SessionBus()
session = None
for line in sys.stdin:
    words = line.split()
    if not words:
        continue
    if words[0] == "inhibit":
        saver = bus.get_object("org.freedesktop.ScreenSaver", "/org/freedesktop/ScreenSaver")
        answer = saver.Inhibit("lumivex-e2e", "a test holds idleness back",
                               dbus_interface="org.freedesktop.ScreenSaver")
    elif words[0] == "uninhibit":
        saver = bus.get_object("org.freedesktop.ScreenSaver", "/ScreenSaver")
        saver.UnInhibit(dbus.UInt32(words[1]), dbus_interface="org.freedesktop.ScreenSaver")
        answer = "done"
    elif words[0] == "remote-desktop":
        desktop = bus.get_object("org.gnome.Mutter.RemoteDesktop", "/org/gnome/Mutter/RemoteDesktop")
        path = desktop.CreateSession(dbus_interface="org.gnome.Mutter.RemoteDesktop")
        session = dbus.Interface(bus.get_object("org.gnome.Mutter.RemoteDesktop", path),
                                 "org.gnome.Mutter.RemoteDesktop.Session")
        session.Start()
        answer = "started"
    elif words[0] == "key":
        for pressed in (True, False):
            session.NotifyKeyboardKeycode(dbus.UInt32(words[1]), pressed)
        answer = "sent"
    else:
        sys.exit("idle_bus.py: no order " + words[0])
    print(answer, flush=True)
