#!/usr/bin/python3
"""An AT-SPI client as a screen reader is one: it listens for what one program shows.

    client.py PID

Finds the program with process id PID on the accessibility bus and writes, one line each:
  object ROLE CHILDREN NAME     every accessible object directly under the program, then "ready";
  showing DETAIL ROLE NAME      each object:state-changed:showing event of the program, with the
                                source's role and name as the client reads them on arrival.
A line "tree" on standard input writes the objects again, then "ready".
"""

import sys

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import GLib  # noqa: E402
import pyatspi  # noqa: E402

pid = int(sys.argv[1])


def say(*words):
    print(*words, flush=True)


def program():
    desktop = pyatspi.Registry.getDesktop(0)
    for application in desktop:
        if application is not None and application.get_process_id() == pid:
            return application
    return None


def write_tree():
    application = program()
    if application is None:
        say("missing")
        return
    for node in application:
        say("object", node.getRoleName().replace(" ", "-"), node.childCount, node.name)
    say("ready")


def on_showing(event):
    source = event.source
    try:
        if source.get_process_id() != pid:
            return
        say("showing", event.detail1, source.getRoleName().replace(" ", "-"), source.name)
    except GLib.Error as error:
        say("error", error.message)


def on_input(channel, condition):
    line = sys.stdin.readline()
    if not line:
        pyatspi.Registry.stop()
        return False
    if line.strip() == "tree":
        write_tree()
    return True


def on_name(event):
    pass


pyatspi.Registry.registerEventListener(on_showing, "object:state-changed:showing")
# As screen readers do: the program then sends its name changes, which keep the names the client
# holds up to date.
pyatspi.Registry.registerEventListener(on_name, "object:property-change:accessible-name")
# The tree is read from the program after the listener is known: by then the program has heard of
# the listener too, and sends the events it asks for.
write_tree()
GLib.io_add_watch(sys.stdin, GLib.IO_IN | GLib.IO_HUP, on_input)
pyatspi.Registry.start()
