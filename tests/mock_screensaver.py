#!/usr/bin/env python3
"""A stand-in for the desktop's screen saver on a private session bus.

Serves org.freedesktop.ScreenSaver Inhibit/UnInhibit as desktops do, drops
the inhibitions of a client whose bus name vanishes, and answers a test
interface with what it holds and what happened, in order. With --portal it
serves the desktop portal's Inhibit instead (or as well, with --both); with
--silent its screen saver never answers Inhibit, as a hung desktop would.
"""
import argparse
import sys

import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

PORTAL = "org.freedesktop.portal.Desktop"
PORTAL_PATH = "/org/freedesktop/portal/desktop"
NAME = "org.freedesktop.ScreenSaver"
PATH = "/org/freedesktop/ScreenSaver"
TEST = "org.reelplayer.ScreenSaverMock"


class Request(dbus.service.Object):
    """A portal request: the inhibition lasts until it is closed."""

    def __init__(self, bus, path, owner, cookie):
        super().__init__(bus, path)
        self.owner = owner
        self.cookie = cookie

    @dbus.service.method("org.freedesktop.portal.Request", in_signature="", out_signature="",
                         sender_keyword="sender")
    def Close(self, sender=None):
        self.owner.release(self.cookie, sender, "close")
        self.remove_from_connection()


class Portal(dbus.service.Object):
    def __init__(self, bus, owner):
        super().__init__(bus, PORTAL_PATH)
        self.bus = bus
        self.owner = owner

    @dbus.service.method("org.freedesktop.portal.Inhibit", in_signature="sua{sv}", out_signature="o",
                         sender_keyword="sender")
    def Inhibit(self, window, flags, options, sender=None):
        cookie = self.owner.take(sender, "portal-inhibit", "flags=%d" % flags)
        path = "%s/request/%s/reel%d" % (PORTAL_PATH, sender[1:].replace(".", "_"), cookie)
        Request(self.bus, path, self.owner, cookie)
        return dbus.ObjectPath(path)


class ScreenSaver(dbus.service.Object):
    def __init__(self, bus):
        super().__init__(bus, PATH)
        self.bus = bus
        self.next_cookie = 1
        self.held = {}  # cookie -> sender
        self.most = 0
        self.events = []
        self.silent = False
        bus.add_signal_receiver(self.owner_changed, "NameOwnerChanged", "org.freedesktop.DBus")

    def take(self, sender, what, detail):
        cookie = self.next_cookie
        self.next_cookie += 1
        self.held[cookie] = sender
        self.most = max(self.most, len(self.held))
        self.events.append("%s %d %s" % (what, cookie, detail))
        return cookie

    def release(self, cookie, sender, what):
        if self.held.get(int(cookie)) == sender:
            del self.held[int(cookie)]
            self.events.append("%s %d" % (what, cookie))
        else:
            self.events.append("stray %s %d" % (what, cookie))

    def owner_changed(self, name, old, new):
        if new or not name.startswith(":"):
            return
        dropped = [c for c, s in self.held.items() if s == name]
        for cookie in dropped:
            del self.held[cookie]
        if dropped:
            self.events.append("vanished %s" % name)

    @dbus.service.method(NAME, in_signature="ss", out_signature="u", sender_keyword="sender",
                         async_callbacks=("reply", "error"))
    def Inhibit(self, application, reason, sender=None, reply=None, error=None):
        if self.silent:
            return  # a hung desktop: the call is never answered
        reply(self.take(sender, "inhibit", application))

    @dbus.service.method(NAME, in_signature="u", out_signature="", sender_keyword="sender")
    def UnInhibit(self, cookie, sender=None):
        self.release(cookie, sender, "uninhibit")

    @dbus.service.method(TEST, in_signature="", out_signature="u")
    def HeldCount(self):
        return len(self.held)

    @dbus.service.method(TEST, in_signature="", out_signature="u")
    def MostHeld(self):
        return self.most

    @dbus.service.method(TEST, in_signature="", out_signature="as")
    def Events(self):
        return self.events


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--portal", action="store_true", help="the portal only")
    parser.add_argument("--both", action="store_true", help="the screen saver and the portal")
    parser.add_argument("--silent", action="store_true", help="the screen saver never answers Inhibit")
    args = parser.parse_args()
    DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    # The test interface is always at the screen saver's path, under a name of its own.
    service = ScreenSaver(bus)
    service.silent = args.silent
    names = [dbus.service.BusName(TEST, bus)]
    if not args.portal:
        names.append(dbus.service.BusName(NAME, bus))
    if args.portal or args.both:
        portal = Portal(bus, service)
        names.append(dbus.service.BusName(PORTAL, bus))
    print("ready", flush=True)
    loop = GLib.MainLoop()
    GLib.unix_signal_add(GLib.PRIORITY_DEFAULT, 15, loop.quit)
    loop.run()
    del names


if __name__ == "__main__":
    sys.exit(main())
