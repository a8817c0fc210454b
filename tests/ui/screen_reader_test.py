# What reaches a screen reader over AT-SPI while a member uses the window by keyboard.
#
# Run by screen_reader_test.sh inside its own X display and D-Bus session; starts a window
# manager (openbox) there:
#     screen_reader_test.py KALVERA PROGRAM_FOLDER
#
# Listens on the accessibility bus as Orca does (pyatspi), types with xdotool, and compares what
# it heard with what it should hear: the window activated as a frame named by its caption; the
# focus in the search box, labelled "QV27", with the sample selected; "bgs" typed first and
# Enter announce QV27BGS's details in a notification, "zzz" that QV27ZZZ is not found, and the
# same member twice is announced twice; Tab reaches the status box, labelled "Status", with its
# whole text selected; each focused box's characters in their places; and the window running
# to the end.

import subprocess
import sys
import time

import pyatspi
from gi.repository import GLib

KALVERA, FOLDER = sys.argv[1], sys.argv[2]
BGS = ("Callsign QV27BGS, Nama Wahyu Hidayat, Alamat Gg. Mawar III No. 15, "
       "Kab/Kota Kab. Karangsari, NIA 0302, Berlaku 29-02-2028, Status INVALID")
EXPECTED = ([("frame", "Callbook KORA Wirasena (Versi Offline 1.0)")],
            ("text", "QV27", "ABC", "ABC", True),
            [BGS, "QV27ZZZ tidak ditemukan!", BGS, BGS],
            ("text", "Status", "INVALID", "INVALID", True),
            None)

activated = []  # (role, name) of each window activated
focused = []  # what seen() tells of each object that got the focus
announced = []  # the names of the notifications that appeared


# A text object as a screen reader reads it: its role, the name of its label, its text, the
# part selected, and whether each character lies in a run of text attributes (a screen reader
# speaks run by run) and has a rectangle on the screen in the object's line, right of the one
# before (a magnifier follows the caret by them).
def seen(accessible):
    label = next((relation.getTarget(0).name for relation in accessible.getRelationSet()
                  if relation.getRelationType() == pyatspi.RELATION_LABELLED_BY), None)
    text = accessible.queryText()
    whole = text.getText(0, -1)
    start, end = text.getSelection(0) if text.getNSelections() > 0 else (0, 0)
    x, y, width, height = accessible.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    lefts = []
    for i in range(text.characterCount):
        left, top, wide, high = text.getCharacterExtents(i, pyatspi.DESKTOP_COORDS)
        run_start, run_end = text.getAttributeRun(i, False)[1:]
        placed = wide > 0 and x <= left and y <= top and top + high <= y + height
        lefts.append(left if placed and run_start <= i < run_end else None)
    placed = None not in lefts and lefts == sorted(set(lefts))
    return accessible.getRoleName(), label, whole, whole[start:end], placed


def on_event(event):
    try:
        if event.host_application is None or event.host_application.name != "Kalvera":
            return
        if event.type.startswith("window:activate"):
            activated.append((event.source.getRoleName(), event.source.name))
        elif event.type.startswith("object:state-changed:focused") and event.detail1:
            focused.append(seen(event.source))
        elif (event.type.startswith("object:state-changed:showing") and event.detail1
              and event.source.getRole() == pyatspi.ROLE_NOTIFICATION):
            announced.append(event.source.name)
    except Exception as error:  # an object gone before it was read, or one without text
        print("(event not read: %s)" % error)


# Runs the bus's events until `condition()` holds or `seconds` have passed.
def wait_until(condition, seconds=10):
    deadline = time.monotonic() + seconds
    while not condition() and time.monotonic() < deadline:
        GLib.MainContext.default().iteration(False) or time.sleep(0.02)


def main():
    pyatspi.Registry.registerEventListener(on_event, "window:activate", "object:state-changed")
    manager = subprocess.Popen(["openbox"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    time.sleep(0.5)
    app = subprocess.Popen([KALVERA], cwd=FOLDER)
    try:
        wait_until(lambda: activated and focused, 20)
        at_start = focused[-1:]
        # Each name is read as its notification appears, before the next lookup changes it.
        for count, suffix in enumerate(("bgs", "zzz", "bgs", "bgs"), 1):
            subprocess.run(["xdotool", "type", "--delay", "60", suffix], check=True)
            subprocess.run(["xdotool", "key", "Return"], check=True)
            wait_until(lambda: len(announced) >= count)
        before = len(focused)
        subprocess.run(["xdotool", "key", "Tab"], check=True)
        wait_until(lambda: len(focused) > before)
        heard = (activated[:1], at_start[0], announced, focused[-1], app.poll())
    finally:
        app.terminate()
        app.wait(10)
        manager.terminate()
    for what, expected, got in zip(("activated", "focus at start", "announced", "focus after Tab",
                                    "exit"), EXPECTED, heard):
        print("%s  %s: %s" % ("ok  " if got == expected else "FAIL", what, got))
    return 0 if heard == EXPECTED else 1


sys.exit(main())
