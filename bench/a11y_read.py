#!/usr/bin/python3
# Reads every name and text of the Alignment dialog over the accessibility
# bus, as a screen reader would, three times, and prints how long that took.
# bench/a11y_read.sh runs it against kelvt-dispatch-bench, idle and scanning.
#
# Usage: a11y_read.py LABEL [texts]   (texts: a grid is read as one node, not
# cell by cell; needs python3-pyatspi and a running AT-SPI bus)
import sys
import time

import pyatspi
from gi.repository import GLib


TEXTS_ONLY = len(sys.argv) > 2 and sys.argv[2] == "texts"


def find_dialog():
    desktop = pyatspi.Registry.getDesktop(0)
    for app in desktop:
        if app is None or "kelvt" not in (app.name or ""):
            continue
        for i in range(app.childCount):
            window = app.getChildAtIndex(i)
            if window is not None and window.name == "Alignment":
                return window
    return None


def read_all(root):
    """Name and role of every node, and the text of those that have one; a
    node that went away meanwhile (a cell rewritten by a scan) is skipped."""
    nodes = 0
    stack = [root]
    while stack:
        node = stack.pop()
        if node is None:
            continue
        try:
            _ = node.name
            _ = node.getRoleName()
            try:
                text = node.queryText()
                _ = text.getText(0, -1)
            except NotImplementedError:
                pass
            # The dialog's texts: a grid counts as one node, not its cells.
            if TEXTS_ONLY and node.getRole() == pyatspi.ROLE_TABLE:
                nodes += 1
                continue
            for i in range(node.childCount):
                stack.append(node.getChildAtIndex(i))
            nodes += 1
        except GLib.GError:
            pass
    return nodes


def main():
    label = sys.argv[1] if len(sys.argv) > 1 else "read"
    # A slow answer is measured as slow, not given up on after the default 0.8 s.
    pyatspi.setTimeout(30000, 30000)
    dialog = None
    for _ in range(100):
        dialog = find_dialog()
        if dialog is not None:
            break
        time.sleep(0.1)
    if dialog is None:
        print("a11y_read: no Alignment dialog on the bus", file=sys.stderr)
        return 1
    start = time.monotonic()
    for _ in range(3):
        texts = read_all(dialog)
    elapsed = time.monotonic() - start
    print(f"{label}: read the Alignment dialog 3 times ({texts} nodes each) in {elapsed:.3f} s")
    return 0


if __name__ == "__main__":
    sys.exit(main())
