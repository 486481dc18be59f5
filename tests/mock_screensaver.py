#!/usr/bin/env python3
"""A stand-in for the desktop's screen saver on a private session bus.

Serves org.freedesktop.ScreenSaver Inhibit/UnInhibit as desktops do, drops
the inhibitions of a client whose bus name vanishes, and answers a test
interface with what it holds and what happened, in order.
"""
import sys

import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

NAME = "org.freedesktop.ScreenSaver"
PATH = "/org/freedesktop/ScreenSaver"
TEST = "org.reelplayer.ScreenSaverMock"


class ScreenSaver(dbus.service.Object):
    def __init__(self, bus):
        super().__init__(bus, PATH)
        self.bus = bus
        self.next_cookie = 1
        self.held = {}  # cookie -> sender
        self.events = []
        bus.add_signal_receiver(self.owner_changed, "NameOwnerChanged", "org.freedesktop.DBus")

    def owner_changed(self, name, old, new):
        if new or not name.startswith(":"):
            return
        dropped = [c for c, s in self.held.items() if s == name]
        for cookie in dropped:
            del self.held[cookie]
        if dropped:
            self.events.append("vanished %s" % name)

    @dbus.service.method(NAME, in_signature="ss", out_signature="u", sender_keyword="sender")
    def Inhibit(self, application, reason, sender=None):
        cookie = self.next_cookie
        self.next_cookie += 1
        self.held[cookie] = sender
        self.events.append("inhibit %d %s" % (cookie, application))
        return cookie

    @dbus.service.method(NAME, in_signature="u", out_signature="", sender_keyword="sender")
    def UnInhibit(self, cookie, sender=None):
        if self.held.get(int(cookie)) == sender:
            del self.held[int(cookie)]
            self.events.append("uninhibit %d" % cookie)
        else:
            self.events.append("stray uninhibit %d" % cookie)

    @dbus.service.method(TEST, in_signature="", out_signature="u")
    def HeldCount(self):
        return len(self.held)

    @dbus.service.method(TEST, in_signature="", out_signature="as")
    def Events(self):
        return self.events


def main():
    DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    service = ScreenSaver(bus)
    name = dbus.service.BusName(NAME, bus)
    print("ready", flush=True)
    loop = GLib.MainLoop()
    GLib.unix_signal_add(GLib.PRIORITY_DEFAULT, 15, loop.quit)
    loop.run()
    del name, service


if __name__ == "__main__":
    sys.exit(main())
