#!/usr/bin/env python3
"""Reads the running program's window from the accessibility bus as a screen reader does,
checks that every control has a name and a role it can speak, and presses one colour through
its Press action.

Usage: atspi_tree.py PID DEADLINE_SECONDS
Prints the controls found, one "role: name" a line; exits 1 with the reason on a fault.
"""
import sys
import time

import pyatspi

PID = int(sys.argv[1])
DEADLINE = time.monotonic() + float(sys.argv[2])

# The controls a user meets, by the name and a role the tree must give them.
CORNERS = "De volgende veelhoek die ik ga tekenen heeft zoveel hoeken : (minimum 3, maximum 50)"
EXPECTED = [
    (CORNERS, {"label"}),
    (CORNERS, {"text", "entry"}),  # the corner-count box, named by its label
    ("Tekenvlak", {"canvas"}),
    ("Teken alleen de lijnen", {"push button"}),
    ("Teken alleen de punten", {"push button"}),
    ("Teken alles", {"push button"}),
    ("Huidige kleur: wit, RGB 255, 255, 255", {"image"}),
    ("Zwart, RGB 0, 0, 0", {"push button"}),
    ("Donkerblauw, RGB 0, 0, 128", {"push button"}),
    ("Donkergroen, RGB 0, 128, 0", {"push button"}),
    ("Blauwgroen, RGB 0, 128, 128", {"push button"}),
    ("Donkerrood, RGB 128, 0, 0", {"push button"}),
    ("Paars, RGB 128, 0, 128", {"push button"}),
    ("Olijfgroen, RGB 128, 128, 0", {"push button"}),
    ("Lichtgrijs, RGB 192, 192, 192", {"push button"}),
    ("Grijs, RGB 128, 128, 128", {"push button"}),
    ("Blauw, RGB 0, 0, 255", {"push button"}),
    ("Groen, RGB 0, 255, 0", {"push button"}),
    ("Cyaan, RGB 0, 255, 255", {"push button"}),
    ("Rood, RGB 255, 0, 0", {"push button"}),
    ("Magenta, RGB 255, 0, 255", {"push button"}),
    ("Geel, RGB 255, 255, 0", {"push button"}),
    ("Wit, RGB 255, 255, 255", {"push button"}),
    ("Fill Mode", {"check box"}),
]
CUSTOM_PREFIX = "Eigen kleur, RGB "
PRESSED = "Rood, RGB 255, 0, 0"
CURRENT_AFTER = "Huidige kleur: rood, RGB 255, 0, 0"
# Roles that only hold other objects and are not spoken as controls.
CONTAINERS = {"filler", "panel", "menu bar", "popup menu", "menu", "separator"}


def fail(reason):
    print(f"FAIL: {reason}", file=sys.stderr)
    sys.exit(1)


def wait_for(what, find):
    """Calls find until it returns something other than None, up to the deadline."""
    while True:
        try:
            found = find()
        except Exception:  # the program may still be building its tree: ask again
            found = None
        if found is not None:
            return found
        if time.monotonic() > DEADLINE:
            fail(f"{what} did not appear in the accessibility tree")
        time.sleep(0.2)


def application():
    for app in pyatspi.Registry.getDesktop(0):
        if app is not None and app.get_process_id() == PID:
            return app
    return None


def descendants(node):
    for child in node:
        if child is None:
            continue
        yield child
        yield from descendants(child)


def main_frame(app):
    for child in app:
        if child is not None and child.getRoleName() == "frame" and child.name == "Quillet":
            return child
    return None


def controls(frame):
    """The window's controls as (role, name, object), once the window has built them: the
    fill mode box is made last."""
    found = [(c.getRoleName(), c.name, c) for c in descendants(frame)]
    if not any(role == "check box" for role, _, _ in found):
        return None
    return found


app = wait_for(f"the application of process {PID}", application)
frame = wait_for("the main window", lambda: main_frame(app))
found = wait_for("the window's controls", lambda: controls(frame))
for role, name, _ in found:
    print(f"{role}: {name}")

for role, name, _ in found:
    if role not in CONTAINERS and not name:
        fail(f"a control without a name, role {role}")
for name, roles in EXPECTED:
    shown = {role for role, n, _ in found if n == name}
    if not shown & roles:
        fail(f'"{name}" has the roles {sorted(shown)}, none of {sorted(roles)}')
custom = [role for role, name, _ in found if name.startswith(CUSTOM_PREFIX)]
if custom != ["push button"]:
    fail(f'the custom colour "{CUSTOM_PREFIX}..." has the roles {custom}')

button = next(obj for role, name, obj in found if name == PRESSED)
actions = button.queryAction()
names = [actions.getName(i) for i in range(actions.nActions)]
if "Press" not in names:
    fail(f'"{PRESSED}" has no Press action, only {names}')
actions.doAction(names.index("Press"))
print(f"pressed: {PRESSED}")


def current_colour():
    for role, _, obj in found:
        if role == "image":
            obj.clear_cache()  # the name the program gives it now, not the one read before
            if obj.name == CURRENT_AFTER:
                return obj
    return None


wait_for(f'the current colour named "{CURRENT_AFTER}"', current_colour)
print(f"current colour: {CURRENT_AFTER}")
