#!/usr/bin/env python3
"""Walks one window of the running program through AT-SPI, as a screen reader sees it.

    atspi-walk.py TITLE_REGEX

Waits for a showing window whose name matches TITLE_REGEX, prints each showing control as
'role "name" = value (description)', and fails on a control the keyboard reaches that has no
name, a picture without a name, or a drop-down list that tells no value.
"""
import re
import signal
import sys
import time
import warnings

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi  # noqa: E402

warnings.simplefilter("ignore", DeprecationWarning)
signal.alarm(60)  # a bus that stops answering fails the walk, it does not hang it
S = Atspi.StateType


def value_of(node):
    """What a screen reader reads as the control's value: its text, or its number."""
    text = node.get_text_iface()
    if text is not None:
        return Atspi.Text.get_text(node, 0, Atspi.Text.get_character_count(node))
    value = node.get_value_iface()
    if value is not None:
        return str(Atspi.Value.get_current_value(node))
    return None


def find_window(pattern):
    desktop = Atspi.get_desktop(0)
    for _ in range(100):
        for a in range(desktop.get_child_count()):
            app = desktop.get_child_at_index(a)
            if app is None:
                continue
            for w in range(app.get_child_count()):
                window = app.get_child_at_index(w)
                if window is None:
                    continue
                showing = window.get_state_set().contains(S.SHOWING)
                if showing and re.search(pattern, window.get_name() or ""):
                    return window
        time.sleep(0.2)
    return None


def walk(node, depth, problems, lines):
    states = node.get_state_set()
    if not states.contains(S.SHOWING):
        return
    role = node.get_role_name()
    name = node.get_name() or ""
    value = value_of(node)
    description = node.get_description() or ""
    line = "%s%s \"%s\"" % ("  " * depth, role, name)
    if value:
        line += " = " + value.replace("\n", " ")[:80]
    if description and description != name:
        line += " (" + description + ")"
    lines.append(line)
    where = "%s \"%s\"" % (role, name)
    if states.contains(S.FOCUSABLE) and not name.strip() and role not in (
            "list item", "page tab", "table cell", "scroll bar"):
        problems.append("unnamed control: " + line.strip())
    if role in ("image", "icon") and not name.strip():
        problems.append("unnamed picture: " + where)
    # An editable one may be empty, as a text box may; a drop-down list always tells its choice.
    if role == "combo box" and not states.contains(S.EDITABLE) and not (value or "").strip():
        problems.append("combo box without value: " + where)
    if role == "combo box":
        return  # its list is not shown until opened
    for i in range(node.get_child_count()):
        child = node.get_child_at_index(i)
        if child is not None:
            walk(child, depth + 1, problems, lines)


def main():
    pattern = sys.argv[1]
    window = find_window(pattern)
    if window is None:
        print("no window matching %s on the accessibility bus" % pattern, file=sys.stderr)
        return 1
    problems, lines = [], []
    walk(window, 0, problems, lines)
    print("\n".join(lines))
    for problem in problems:
        print("PROBLEM: " + problem, file=sys.stderr)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
