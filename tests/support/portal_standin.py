#!/usr/bin/python3
"""A stand-in for xdg-desktop-portal on a private session bus, for the tests.

Owns org.freedesktop.portal.Desktop and serves /org/freedesktop/portal/desktop with
org.freedesktop.portal.Screenshot and, with --shortcuts, org.freedesktop.portal.GlobalShortcuts.
Requests are answered as a portal answers them: the call returns the request's object path and the
Response signal follows on that object. Every call is written to standard output, one line each;
"ready" is written once the name is owned.

  --screenshot answer   response 0 with a copy of --picture in --store (a new file for each request)
  --screenshot N        response N (1: the user cancelled, 2: the portal ended it), no picture
  --screenshot silent   no response at all
  --shortcuts           offer GlobalShortcuts; --bind-response N answers BindShortcuts with N
  --activate-after MS   MS after a binding was answered, Activated for each bound shortcut
"""
import argparse
import os
import shutil
import sys

import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

BUS_NAME = "org.freedesktop.portal.Desktop"
PATH = "/org/freedesktop/portal/desktop"
SCREENSHOT = "org.freedesktop.portal.Screenshot"
SHORTCUTS = "org.freedesktop.portal.GlobalShortcuts"
REQUEST = "org.freedesktop.portal.Request"
SESSION = "org.freedesktop.portal.Session"


def say(text):
    print(text, flush=True)


def sender_part(sender):
    return sender[1:].replace(".", "_")


class Request(dbus.service.Object):
    def __init__(self, bus, path):
        super().__init__(bus, path)

    @dbus.service.method(REQUEST, in_signature="", out_signature="")
    def Close(self):
        say("Request.Close")
        self.remove_from_connection()

    @dbus.service.signal(REQUEST, signature="ua{sv}")
    def Response(self, response, results):
        pass


class Session(dbus.service.Object):
    @dbus.service.method(SESSION, in_signature="", out_signature="")
    def Close(self):
        say("Session.Close")
        self.remove_from_connection()

    @dbus.service.signal(SESSION, signature="a{sv}")
    def Closed(self, details):
        pass


class Portal(dbus.service.Object):
    interfaces = {SCREENSHOT: 2}

    def __init__(self, bus, args):
        super().__init__(bus, PATH)
        self.bus = bus
        self.args = args
        self.count = 0

    def request(self, sender, options):
        token = str(options.get("handle_token", "t%d" % self.count))
        path = "%s/request/%s/%s" % (PATH, sender_part(sender), token)
        return Request(self.bus, path), path

    def answer_later(self, request, response, results, ms=50):
        def send():
            request.Response(dbus.UInt32(response), dbus.Dictionary(results, signature="sv"))
            request.remove_from_connection()
            return False
        GLib.timeout_add(ms, send)

    @dbus.service.method("org.freedesktop.DBus.Properties", in_signature="ss", out_signature="v")
    def Get(self, interface, name):
        if interface not in self.interfaces or name != "version":
            raise dbus.exceptions.DBusException("no property %s.%s" % (interface, name),
                                                name="org.freedesktop.DBus.Error.UnknownProperty")
        return dbus.UInt32(self.interfaces[interface])

    @dbus.service.method(SCREENSHOT, in_signature="sa{sv}", out_signature="o", sender_keyword="sender")
    def Screenshot(self, parent_window, options, sender=None):
        self.count += 1
        say("Screenshot modal=%s interactive=%s" % (bool(options.get("modal")), bool(options.get("interactive"))))
        request, path = self.request(sender, options)
        mode = self.args.screenshot
        if mode == "silent":
            return dbus.ObjectPath(path)
        if mode == "answer":
            target = os.path.join(self.args.store, "Screenshot-%d.png" % self.count)
            shutil.copyfile(self.args.picture, target)
            say("wrote " + target)
            self.answer_later(request, 0, {"uri": "file://" + target})
        else:
            self.answer_later(request, int(mode), {})
        return dbus.ObjectPath(path)


class PortalWithShortcuts(Portal):
    interfaces = {SCREENSHOT: 2, SHORTCUTS: 1}

    def __init__(self, bus, args):
        super().__init__(bus, args)
        self.sessions = {}

    @dbus.service.method(SHORTCUTS, in_signature="a{sv}", out_signature="o", sender_keyword="sender")
    def CreateSession(self, options, sender=None):
        self.count += 1
        token = str(options.get("session_handle_token", "s%d" % self.count))
        session_path = "%s/session/%s/%s" % (PATH, sender_part(sender), token)
        self.sessions[session_path] = Session(self.bus, session_path)
        say("CreateSession " + session_path)
        request, path = self.request(sender, options)
        self.answer_later(request, 0, {"session_handle": session_path})
        return dbus.ObjectPath(path)

    @dbus.service.method(SHORTCUTS, in_signature="oa(sa{sv})sa{sv}", out_signature="o", sender_keyword="sender")
    def BindShortcuts(self, session, shortcuts, parent_window, options, sender=None):
        self.count += 1
        bound = []
        for shortcut_id, props in shortcuts:
            say("BindShortcuts %s %s %s" % (shortcut_id, props.get("preferred_trigger", ""),
                                            props.get("description", "")))
            bound.append(dbus.Struct((shortcut_id, dbus.Dictionary(
                {"description": props.get("description", ""),
                 "trigger_description": "Press " + str(props.get("preferred_trigger", ""))},
                signature="sv")), signature="sa{sv}"))
        request, path = self.request(sender, options)
        response = self.args.bind_response
        self.answer_later(request, response,
                          {"shortcuts": dbus.Array(bound, signature="(sa{sv})")} if response == 0 else {})
        if response == 0 and self.args.activate_after >= 0:
            def activate():
                for shortcut_id, _ in shortcuts:
                    say("Activated " + shortcut_id)
                    self.Activated(dbus.ObjectPath(session), shortcut_id, dbus.UInt64(1),
                                   dbus.Dictionary({}, signature="sv"))
                return False
            GLib.timeout_add(50 + self.args.activate_after, activate)
        return dbus.ObjectPath(path)

    @dbus.service.signal(SHORTCUTS, signature="osta{sv}")
    def Activated(self, session, shortcut_id, timestamp, options):
        pass

    @dbus.service.signal(SHORTCUTS, signature="osta{sv}")
    def Deactivated(self, session, shortcut_id, timestamp, options):
        pass


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--screenshot", default="2")
    parser.add_argument("--picture")
    parser.add_argument("--store")
    parser.add_argument("--shortcuts", action="store_true")
    parser.add_argument("--bind-response", type=int, default=0)
    parser.add_argument("--activate-after", type=int, default=-1)
    args = parser.parse_args()
    if args.screenshot == "answer" and not (args.picture and args.store):
        parser.error("--screenshot answer needs --picture and --store")

    DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    name = dbus.service.BusName(BUS_NAME, bus, do_not_queue=True)
    portal = (PortalWithShortcuts if args.shortcuts else Portal)(bus, args)
    say("ready")
    loop = GLib.MainLoop()
    GLib.unix_signal_add(GLib.PRIORITY_DEFAULT, 15, loop.quit)
    loop.run()
    del portal, name


if __name__ == "__main__":
    sys.exit(main())
