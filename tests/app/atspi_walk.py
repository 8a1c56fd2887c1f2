#!/usr/bin/python3
"""Reads the running zedazi window through AT-SPI, as Orca does: prints its
tree (role, name, states, value), compares it with the table below, then
chooses Logo through its action and reads it back as checked.
Exit code 0 when all holds, 1 with the reason otherwise."""
import sys
import time

import pyatspi

# Every control, depth first, as the reader gets it. States: the ones that
# matter here; value: the progress bar's current value.
WANT = """\
frame "TAVO Zedazi V1.30"
  text "TAVO Zedazi V1.30"
    push button "Window menu"
    push button "Minimize"
    push button "Maximize"
    push button "Close"
  image ""
  panel ""
    radio button "Channels" focusable
    radio button "Logo" focusable
    radio button "Data" focusable
    radio button "NET Config" focusable
  push button "Connect" focusable
  push button "Receive" focusable
  text "" focusable read-only
  progress bar "0%" read-only = 0
  link "TAVO Zedazi\""""

SHOWN_STATES = [
    (pyatspi.STATE_CHECKED, "checked"),
    (pyatspi.STATE_FOCUSABLE, "focusable"),
    (pyatspi.STATE_READ_ONLY, "read-only"),
]
# Plain containers (the frame's client area, the border, the log's scroll
# bars) say nothing a reader reads out.
SKIPPED = {"filler", "scroll bar"}


def app_named(name, seconds=30):
    end = time.time() + seconds
    while time.time() < end:
        for app in pyatspi.Registry.getDesktop(0):
            if app is not None and app.name == name and app.childCount:
                return app
        time.sleep(0.2)
    sys.exit(f"atspi_walk: no application {name!r} on the accessibility bus")


def line(acc, depth):
    out = "  " * depth + f'{acc.getRoleName()} "{acc.name}"'
    states = acc.getState()
    out += "".join(" " + word for state, word in SHOWN_STATES if states.contains(state))
    try:
        out += f" = {acc.queryValue().currentValue:g}"
    except NotImplementedError:
        pass
    return out


def walk(acc, depth, lines, found):
    role = acc.getRoleName()
    if role in SKIPPED and not acc.name:
        children = depth  # lifted to the container's own depth
    else:
        lines.append(line(acc, depth))
        found.setdefault(acc.name, acc)
        children = depth + 1
    for child in acc:
        if child is not None and child.getRoleName() != "scroll bar":
            walk(child, children, lines, found)


def tree(app):
    lines, found = [], {}
    for window in app:
        walk(window, 0, lines, found)
    return "\n".join(lines), found


def main():
    app = app_named("zedazi")
    got, found = tree(app)
    print(got)
    if got != WANT:
        print("atspi_walk: the tree differs from the table:\n" + WANT)
        return 1
    logo = found["Logo"]
    actions = logo.queryAction()
    names = [actions.getName(i) for i in range(actions.nActions)]
    actions.doAction(names.index("press") if "press" in names else 0)
    end = time.time() + 10
    while not logo.getState().contains(pyatspi.STATE_CHECKED):
        if time.time() > end:
            print("atspi_walk: Logo was not read as checked after its action")
            return 1
        time.sleep(0.1)
    print("atspi_walk: the tree matches; Logo is read as checked after its action")
    return 0


if __name__ == "__main__":
    sys.exit(main())
