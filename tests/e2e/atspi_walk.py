#!/usr/bin/python3
"""Reads the open panel through AT-SPI as a screen reader does: each control's role, name and
description. In the X11 popup (in English) also the keyboard (focus at opening and after each Tab,
Escape in a drop-down, Return, the list by arrow keys, focus at the next opening), the notice's
relations, and the icon: a second click closes the panel, a click outside too (the tray menu is
checked on GNOME and KDE). In the window without a tray, a click on "Quit".
Usage: atspi_walk.py en|de popup|window|alone <settings file> <screenshot prefix> [<icon x> <icon y>]
"""
import subprocess
import sys
import time

import pyatspi as at

LANGUAGE, PLACE, SETTINGS, SHOTS, *ICON = sys.argv[1:]
NAME = 2 if LANGUAGE == "de" else 1  # the column of the names below
# In Tab order: role, English name, German name.
CONTROLS = [("check box", "Enabled", "Aktiviert"), ("combo box", "Frequency", "Häufigkeit"),
            ("combo box", "Hour", "Uhrzeit"), ("text", "Age limit", "Altersgrenze"),
            ("combo box", "Age unit", "Einheit der Altersgrenze"), ("push button", "Change…", "Ändern…"),
            ("check box", "Launch at login", "Beim Anmelden starten"),
            ("push button", "Run Now", "Jetzt ausführen"), ("push button", "Preview", "Vorschau"),
            ("push button", "Quit", "Beenden"), ("link", "quillbrook.org", "quillbrook.org")]
# Role, name and description, English and German.
DESCRIBED = [("text", "Age limit", "Hours", "Altersgrenze", "Stunden"),
             ("label", "Source folder", "~/Desktop", "Quellordner", "~/Desktop")]

def fail(what):
    screenshot("failure", check=False)
    sys.exit(f"FAIL: {what}")

def until(what, check, timeout=5.0):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        try:
            if found := check():
                return found
        except Exception:  # the tree changed while it was read
            pass
        time.sleep(0.1)
    fail(what)

def shown(root=None):
    """Everything on screen under root; a drop-down's entries only while it is open."""
    found, todo = [], [root or next(a for a in at.Registry.getDesktop(0) if a.name == "Quillbrook")]
    while todo:
        node = todo.pop()
        for child in map(node.getChildAtIndex, range(node.childCount)):
            if child is not None and child.getState().contains(at.STATE_SHOWING):
                found.append(child)
                todo += [child] if child.getRoleName() != "combo box" else []
    return found

def find(role, name, description=None):
    return until(f"no {role} {name!r} described as {description!r}", lambda: next(
        o for o in shown() if (o.getRoleName(), o.name) == (role, name)
        and description in (None, o.description)))

def has(node, state):
    return node.getState().contains(state)

def focus_on(name):
    until(f"no focus on {name!r}", lambda: any(o.name == name and has(o, at.STATE_FOCUSED)
                                                for o in shown()))

def key(*keys):
    subprocess.run(["xdotool", "key", "--delay", "150", *keys], check=True)

def click(x, y):
    subprocess.run(["xdotool", "mousemove", str(x), str(y), "click", "1"], check=True)

def related(node, relation):
    return [(target.getRoleName(), target.name) for r in node.getRelationSet()
            if r.getRelationType() == relation for target in map(r.getTarget, range(r.getNTargets()))]

def screenshot(name, check=True):
    subprocess.run(["import", "-window", "root", f"{SHOTS}-{name}.png"], check=check)

window = find("frame", "Quillbrook")
for control in CONTROLS:
    find(control[0], control[NAME])
for role, *texts in DESCRIBED:
    find(role, *texts[2 * NAME - 2:][:2])
if PLACE == "window":  # placed by the compositor, so it offers a way to close it
    find("push button", "Close", "Close")
if PLACE == "alone":  # without a window manager no window has the keyboard: the pointer quits
    screenshot("window")
    box = find("push button", CONTROLS[-2][NAME]).queryComponent().getExtents(at.DESKTOP_COORDS)
    click(box.x + box.width // 2, box.y + box.height // 2)
if PLACE != "popup":
    sys.exit(0)
if any(o.name == "Close" for o in shown()):
    fail("the popup, which any click outside closes, shows a close button")
focus_on("Enabled")
screenshot("opened")

for role, english, _ in CONTROLS[1:] + CONTROLS[:1]:
    key("Tab")
    focus_on(english)
key("Tab", "alt+Down")
frequency = find("combo box", "Frequency")
until("Alt+Down did not open the drop-down", lambda: has(frequency, at.STATE_EXPANDED))
key("Escape")
until("Escape did not close the drop-down", lambda: has(frequency, at.STATE_COLLAPSED))
if not has(window, at.STATE_SHOWING):
    fail("Escape in the drop-down closed the panel")

key(*["Tab"] * 7, "Return")  # on Preview
count = find("push button", "16 screenshots")
if related(count, at.RELATION_LABELLED_BY) != [("label", "Would trash now:")]:
    fail("the count is not labelled \"Would trash now:\"")
key("shift+Tab", "shift+Tab", "Return")  # on the count
until("the count is not expanded", lambda: has(count, at.STATE_EXPANDED))
rows = find("tree", "Screenshots to trash")
if [c.name for c in map(rows.getChildAtIndex, range(3))] != ["Name", "Age", "Date"]:
    fail("the list's columns are not \"Name\", \"Age\", \"Date\"")
key("Tab", *["Down"] * 15)
until("the list's last row was not reached", lambda: any(
    has(o, at.STATE_FOCUSED) and o.getIndexInParent() >= 3 * 16 for o in shown(rows)))

key("Escape")
until("Escape did not close the panel", lambda: not has(window, at.STATE_SHOWING))
with open(SETTINGS, "a", encoding="utf-8") as settings:
    settings.write("sourceFolder=/nonexistent\n")
time.sleep(0.5)  # the panel reads the settings file again when it changes
click(*ICON)
focus_on("Enabled")
key("space")
notice = find("alert", "Permission denied")
title = find("label", "Permission denied")
if (related(notice, at.RELATION_LABELLED_BY), related(title, at.RELATION_LABEL_FOR)) != (
        [("label", "Permission denied")], [("alert", "Permission denied")]):
    fail("the notice and its title are not linked as labelled and label")
if related(find("push button", "Open in File Manager"), at.RELATION_CONTROLLER_FOR) != [
        ("alert", "Permission denied")]:
    fail("the notice's button is not its controller")

time.sleep(0.6)  # past the guard against a click reopening the panel it has just closed
click(*ICON)
until("a second click on the icon did not close the panel", lambda: not has(window, at.STATE_SHOWING))
time.sleep(1)
if has(window, at.STATE_SHOWING):
    fail("the panel reopened after the second click")
click(*ICON)
until("a click on the icon did not reopen the panel", lambda: has(window, at.STATE_SHOWING))
time.sleep(0.6)
click(150, 600)
until("a click outside did not close the panel", lambda: not has(window, at.STATE_SHOWING))
