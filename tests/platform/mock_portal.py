#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""A desktop portal offering only GlobalShortcuts, on the session bus named by
DBUS_SESSION_BUS_ADDRESS, for the hot-key tests. Requests are answered with their Response
signal on the request path the caller can predict; the interface test.MockPortal lets the test
read the bound shortcuts and press one of them (the Activated signal)."""

import json

import dbus
import dbus.mainloop.glib
import dbus.service
from gi.repository import GLib

PORTAL = "org.freedesktop.portal.Desktop"
PATH = "/org/freedesktop/portal/desktop"
SHORTCUTS = "org.freedesktop.portal.GlobalShortcuts"
REQUEST = "org.freedesktop.portal.Request"
CONTROL = "test.MockPortal"


class Request(dbus.service.Object):
    @dbus.service.signal(REQUEST, signature="ua{sv}")
    def Response(self, response, results):
        pass


class Portal(dbus.service.Object):
    def __init__(self, bus):
        super().__init__(bus, PATH)
        self.bus = bus
        self.sessions = {}   # session path -> owner
        self.bound = []      # the last BindShortcuts: [(id, {properties})]
        self.calls = []      # method names in order
        self.requests = []   # keep the request objects alive

    def _answer(self, sender, token, response, results):
        path = "/org/freedesktop/portal/desktop/request/%s/%s" % (
            sender[1:].replace(".", "_"), token)
        request = Request(self.bus, path)
        self.requests.append(request)
        GLib.idle_add(lambda: request.Response(dbus.UInt32(response), results) and False)
        return dbus.ObjectPath(path)

    @dbus.service.method(dbus.PROPERTIES_IFACE, in_signature="ss", out_signature="v")
    def Get(self, interface, name):
        if interface == SHORTCUTS and name == "version":
            return dbus.UInt32(1, variant_level=1)
        raise dbus.exceptions.DBusException("no such property",
                                            name="org.freedesktop.DBus.Error.InvalidArgs")

    @dbus.service.method(SHORTCUTS, in_signature="a{sv}", out_signature="o",
                         sender_keyword="sender")
    def CreateSession(self, options, sender=None):
        self.calls.append("CreateSession")
        session = "/org/freedesktop/portal/desktop/session/%s/%s" % (
            sender[1:].replace(".", "_"), options["session_handle_token"])
        self.sessions[session] = sender
        return self._answer(sender, options["handle_token"], 0,
                            dbus.Dictionary({"session_handle": dbus.String(session)},
                                            signature="sv"))

    @dbus.service.method(SHORTCUTS, in_signature="oa(sa{sv})sa{sv}", out_signature="o",
                         sender_keyword="sender")
    def BindShortcuts(self, session, shortcuts, parent, options, sender=None):
        self.calls.append("BindShortcuts")
        ok = self.sessions.get(str(session)) == sender
        if ok:
            self.bound = [(str(i), {str(k): str(v) for k, v in props.items()})
                          for i, props in shortcuts]
        return self._answer(sender, options["handle_token"], 0 if ok else 2,
                            dbus.Dictionary({}, signature="sv"))

    @dbus.service.signal(SHORTCUTS, signature="osta{sv}")
    def Activated(self, session, shortcut_id, timestamp, options):
        pass

    @dbus.service.method(CONTROL, in_signature="", out_signature="s")
    def State(self):
        return json.dumps({"calls": self.calls, "bound": self.bound})

    @dbus.service.method(CONTROL, in_signature="s", out_signature="")
    def Press(self, shortcut_id):
        for session in self.sessions:
            self.Activated(dbus.ObjectPath(session), shortcut_id, dbus.UInt64(1234),
                           dbus.Dictionary({}, signature="sv"))


def main():
    dbus.mainloop.glib.DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    portal = Portal(bus)
    name = dbus.service.BusName(PORTAL, bus)
    GLib.MainLoop().run()
    del name, portal


if __name__ == "__main__":
    main()
