#!/usr/bin/python3
"""Reads the open panel through AT-SPI as a screen reader does, and drives it with keys.

Usage: atspi_walk.py en|de tray|window <settings file> <screenshot prefix> [<icon x> <icon y>]
Checks every control's role, name and description in the language; in English from the tray
also the keyboard (focus at opening and after each Tab, Escape in a drop-down, Return, the list
by arrow keys, focus again on "Enabled" at the next opening) and the notice's relations.
"""
import subprocess
import sys
import time

import pyatspi

LANGUAGE, PLACE, SETTINGS, SHOTS, *ICON = sys.argv[1:]
ENGLISH = LANGUAGE == "en"

# The controls in Tab order: role, English name, German name.
CONTROLS = [
    ("check box", "Enabled", "Aktiviert"),
    ("combo box", "Frequency", "Häufigkeit"),
    ("combo box", "Hour", "Uhrzeit"),
    ("text", "Age limit", "Altersgrenze"),
    ("combo box", "Age unit", "Einheit der Altersgrenze"),
    ("push button", "Change…", "Ändern…"),
    ("check box", "Launch at login", "Beim Anmelden starten"),
    ("push button", "Run Now", "Jetzt ausführen"),
    ("push button", "Preview", "Vorschau"),
    ("push button", "Quit", "Beenden"),
    ("link", "quillbrook.org", "quillbrook.org"),
]
# Role, English and German name, and the description in either language.
DESCRIBED = [
    ("text", "Age limit", "Altersgrenze", "Hours", "Stunden"),
    ("label", "Source folder", "Quellordner", "~/Desktop", "~/Desktop"),
]


def fail(what):
    print(f"FAIL: {what}", file=sys.stderr)
    subprocess.run(["import", "-window", "root", f"{SHOTS}-failure.png"], check=False)
    sys.exit(1)


def until(what, check, timeout=5.0):
    deadline = time.monotonic() + timeout
    while True:
        try:
            found = check()
            if found:
                return found
        except Exception:  # the tree changed while it was read
            pass
        if time.monotonic() > deadline:
            fail(what)
        time.sleep(0.1)


def app():
    return next(a for a in pyatspi.Registry.getDesktop(0) if a is not None and a.name == "Quillbrook")


def shown(root=None):
    """Every object on screen under root, the drop-downs' hidden lists left out."""
    found, todo = [], [root or app()]
    while todo:
        node = todo.pop()
        for child in (node.getChildAtIndex(i) for i in range(node.childCount)):
            if child is not None and child.getState().contains(pyatspi.STATE_SHOWING):
                found.append(child)
                if child.getRoleName() != "combo box":
                    todo.append(child)
    return found


def find(role, name):
    return until(f"no {role} named {name!r}", lambda: next(
        (o for o in shown() if o.getRoleName() == role and o.name == name), None))


def has(node, state):
    return node.getState().contains(state)


def focus_on(name):
    until(f"the focus is not on {name!r}", lambda: any(
        o.name == name and has(o, pyatspi.STATE_FOCUSED) for o in shown()))


def key(*keys):
    subprocess.run(["xdotool", "key", "--delay", "150", *keys], check=True)


def related(node, relation):
    return [r.getTarget(i) for r in node.getRelationSet() if r.getRelationType() == relation
            for i in range(r.getNTargets())]


def name(english, german):
    return english if ENGLISH else german


window = until("the panel is not in the application's tree", lambda: next(
    (w for w in shown(app()) if w.getRoleName() == "frame" and w.name == "Quillbrook"), None))
if PLACE == "tray":  # a window without a window manager to activate it has no focus
    focus_on(name("Enabled", "Aktiviert"))
    subprocess.run(["import", "-window", "root", f"{SHOTS}-opened.png"], check=True)
for role, english, german in CONTROLS:
    find(role, name(english, german))
for role, english, german, *description in DESCRIBED:
    until(f"no {role} {english!r} described as {name(*description)!r}", lambda: any(
        (o.getRoleName(), o.name, o.description) == (role, name(english, german), name(*description))
        for o in shown()))

if PLACE == "tray" and not ENGLISH:
    key(*["Tab"] * 8, "Return")
    find("push button", "16 Bildschirmfotos")
    subprocess.run(["import", "-window", "root", f"{SHOTS}-panel.png"], check=True)
if PLACE != "tray" or not ENGLISH:
    sys.exit(0)

for role, english, _ in CONTROLS[1:] + CONTROLS[:1]:
    key("Tab")
    focus_on(english)

key("Tab", "alt+Down")
frequency = find("combo box", "Frequency")
until("Alt+Down did not open the drop-down", lambda: has(frequency, pyatspi.STATE_EXPANDED))
key("Escape")
until("Escape did not close the drop-down", lambda: has(frequency, pyatspi.STATE_COLLAPSED))
if not has(window, pyatspi.STATE_SHOWING):
    fail("Escape in the drop-down closed the panel")

key(*["Tab"] * 7, "Return")  # on Preview
count = find("push button", "16 screenshots")
if [label.name for label in related(count, pyatspi.RELATION_LABELLED_BY)] != ["Would trash now:"]:
    fail("the count is not labelled \"Would trash now:\"")
key("shift+Tab", "shift+Tab", "Return")  # on the count
until("the count is not expanded", lambda: has(count, pyatspi.STATE_EXPANDED))
rows = find("tree", "Screenshots to trash")
headers = [c.name for c in map(rows.getChildAtIndex, range(rows.childCount))
           if c.getRoleName() == "table column header"]
if headers != ["Name", "Age", "Date"]:
    fail(f"the list's columns are {headers}")
key("Tab", *["Down"] * 15)
until("the list's last row was not reached", lambda: any(
    has(o, pyatspi.STATE_FOCUSED) and o.getIndexInParent() >= 3 * 16 for o in shown(rows)))

key("Escape")
until("Escape did not close the panel", lambda: not has(window, pyatspi.STATE_SHOWING))
with open(SETTINGS, "a", encoding="utf-8") as settings:
    settings.write("sourceFolder=/nonexistent\n")
time.sleep(0.5)  # the panel reads the settings file again when it changes
subprocess.run(["xdotool", "mousemove", *ICON, "click", "1"], check=True)
focus_on("Enabled")
key("space")
notice = find("alert", "Permission denied")
titles = related(notice, pyatspi.RELATION_LABELLED_BY)
if [(t.getRoleName(), t.name) for t in titles] != [("label", "Permission denied")]:
    fail("the notice is not labelled by its title")
button = find("push button", "Open in File Manager")
if [(t.getRoleName(), t.name) for t in related(button, pyatspi.RELATION_CONTROLLER_FOR)] != [
        ("alert", "Permission denied")]:
    fail("the notice's button is not its controller")
