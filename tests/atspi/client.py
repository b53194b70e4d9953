#!/usr/bin/python3
"""An AT-SPI client as a screen reader is one, listening to one program.

    client.py PID

Writes, one line each: for every accessible object directly under the program with process id PID,
"object ROLE CHILDREN NAME", then "ready" ("missing" while the program is not on the bus), at start
and for each line "tree" on standard input; for each object:state-changed:showing event of one of
the program's windows, "showing DETAIL ROLE NAME", the name as read on the event's arrival.
"""

import sys

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import GLib  # noqa: E402
import pyatspi  # noqa: E402

pid = int(sys.argv[1])


def say(*words):
    print(*words, flush=True)


def role(node):
    return node.getRoleName().replace(" ", "-")


def write_tree():
    for application in pyatspi.Registry.getDesktop(0):
        if application is not None and application.get_process_id() == pid:
            for node in application:
                say("object", role(node), node.childCount, node.name)
            say("ready")
            return
    say("missing")


def on_input(channel, condition):
    if not sys.stdin.readline():
        pyatspi.Registry.stop()
        return False
    write_tree()
    return True


def on_showing(event):
    # Only the program's windows: its icons and captions send their own as a window shows and
    # hides, which readers pass over for their roles.
    if event.source.get_process_id() == pid and event.source.parent.get_role() == pyatspi.ROLE_APPLICATION:
        say("showing", event.detail1, role(event.source), event.source.name)


pyatspi.Registry.registerEventListener(on_showing, "object:state-changed:showing")
# As screen readers do: the program then sends its name changes, which keep the client's names
# up to date.
pyatspi.Registry.registerEventListener(lambda event: None, "object:property-change:accessible-name")
# Read after the listeners are known: by then the program has heard of them too.
write_tree()
GLib.io_add_watch(sys.stdin, GLib.IO_IN | GLib.IO_HUP, on_input)
pyatspi.Registry.start()
