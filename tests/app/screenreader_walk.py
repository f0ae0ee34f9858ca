#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
# Looks at a running Quorvane the way a screen reader does, through the
# accessibility bus, and prints what it found as JSON for tst_screenreader.
#   tree PID            every node of every window: name, role, states,
#                       children, the table's rows, titles and cells
#   focus PID CAPTION   once that window is active, moves the focus through its
#                       buttons, check boxes and tables, then up the first
#                       column of the table cell by cell
import json
import sys
import time

import pyatspi
from gi.repository import GLib


def pump(seconds, done=lambda: False):
    end = time.monotonic() + seconds
    context = GLib.MainContext.default()
    while time.monotonic() < end and not done():
        if not context.iteration(False):
            time.sleep(0.01)


def application(pid):
    desktop = pyatspi.Registry.getDesktop(0)
    for _ in range(200):
        for app in desktop:
            if app is not None and app.get_process_id() == pid and app.childCount > 0:
                return app
        time.sleep(0.1)
    raise SystemExit("the program never appeared on the accessibility bus")


def fresh(acc):
    acc.clear_cache()  # as the program has it now, not as first read
    return acc


def states(acc):
    return sorted(pyatspi.stateToString(s) for s in fresh(acc).getState().getStates())


def node(acc, parent, index):
    found = {
        "name": acc.name,
        "role": acc.getRoleName(),
        "states": states(acc),
        "path": acc.path,
        "placed": acc.getIndexInParent() == index and acc.parent.path == parent.path,
        "children": [],
    }
    if "Table" in acc.get_interfaces():
        table = acc.queryTable()
        found["rows"], found["columns"] = table.nRows, table.nColumns
        found["titles"] = [getattr(table.getColumnHeader(c), "name", None)
                           for c in range(table.nColumns)]
        found["cells"] = [[table.getAccessibleAt(r, c).name for c in range(table.nColumns)]
                          for r in range(table.nRows)]
    for i in range(acc.childCount):
        found["children"].append(node(acc.getChildAtIndex(i), acc, i))
    return found


def window(app, caption):
    for frame in app:
        if frame.name == caption:
            return frame
    raise SystemExit("no window " + caption)


def focus(app, caption):
    frame = window(app, caption)
    for _ in range(50):
        active = "active" in states(frame)
        if active:
            break
        time.sleep(0.1)
    focused = []
    pyatspi.Registry.registerEventListener(
        lambda e: focused.append(e.source.name) if e.detail1 else None,
        "object:state-changed:focused")
    pump(0.5)  # until the program knows someone listens
    labels = pyatspi.findAllDescendants(frame, lambda a: a.getRole() == pyatspi.ROLE_LABEL)
    steps = []

    def step(target, kind):
        del focused[:]
        moves = "focused" not in states(target)
        grabbed = target.queryComponent().grabFocus()
        pump(3 if grabbed and moves else 0.05, lambda: target.name in focused)
        steps.append({"target": target.name, "kind": kind, "grabbed": bool(grabbed),
                      "states": states(target), "events": list(focused),
                      "labels": [fresh(a).name for a in labels]})

    for acc in pyatspi.findAllDescendants(
            frame, lambda a: a.getRole() in (pyatspi.ROLE_PUSH_BUTTON, pyatspi.ROLE_CHECK_BOX)):
        step(acc, acc.getRoleName())
    grid = pyatspi.findDescendant(frame, lambda a: a.getRole() == pyatspi.ROLE_TABLE)
    if grid is not None:
        step(grid, "table")
        table = grid.queryTable()
        for r in reversed(range(table.nRows)):
            step(table.getAccessibleAt(r, 0), "cell")
    return {"active": active, "steps": steps}


def main():
    mode, pid = sys.argv[1], int(sys.argv[2])
    app = application(pid)
    if mode == "tree":
        out = {"bus": app.app.bus_name, "windows": [node(w, app, i) for i, w in enumerate(app)]}
    else:
        out = focus(app, sys.argv[3])
    json.dump(out, sys.stdout)


main()
