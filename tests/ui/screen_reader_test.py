"""What reaches a screen reader over AT-SPI while a member uses the window by keyboard.

Run by screen_reader_test.sh inside its own X display, window manager and D-Bus session:
    screen_reader_test.py KALVERA PROGRAM_FOLDER

Listens on the accessibility bus as Orca does (pyatspi), types with xdotool, and checks:
the window is activated as a frame named by its caption; the focus lands in the search box,
labelled "QV27", with the sample selected, each of its characters with a rectangle on the
screen for a magnifier; "bgs" typed first and Enter announce QV27BGS's
details in a notification; "zzz" announces "QV27ZZZ tidak ditemukan!", and the same member
twice is announced twice; Tab reaches the status box, labelled "Status", with its whole text;
and no object between a focused control and the window has a window role.
"""

import subprocess
import sys
import time

import pyatspi
from gi.repository import GLib

KALVERA, FOLDER = sys.argv[1], sys.argv[2]
CAPTION = "Callbook KORA Wirasena (Versi Offline 1.0)"
BGS = ("Callsign QV27BGS, Nama Wahyu Hidayat, Alamat Gg. Mawar III No. 15, "
       "Kab/Kota Kab. Karangsari, NIA 0302, Berlaku 29-02-2028, Status INVALID")
WINDOW_ROLES = {pyatspi.ROLE_FRAME, pyatspi.ROLE_WINDOW, pyatspi.ROLE_DIALOG}

failures = []
activated = []   # names of the frames that were activated
focused = []     # (role, name, label, text, selection, window-like ancestors) per focus
extents = []     # the screen rectangles (x, y, width, height) of its characters, per focus
announced = []   # names of the notifications that appeared


def check(condition, what):
    if not condition:
        failures.append(what)
    print(("ok    " if condition else "FAIL  ") + what)


def label_of(accessible):
    for relation in accessible.getRelationSet():
        if relation.getRelationType() == pyatspi.RELATION_LABELLED_BY:
            return relation.getTarget(0).name
    return None


def text_of(accessible):
    try:
        text = accessible.queryText()
    except NotImplementedError:
        return None, None
    whole = text.getText(0, -1)
    selection = None
    if text.getNSelections() > 0:
        start, end = text.getSelection(0)
        selection = whole[start:end]
    return whole, selection


def character_extents(accessible):
    try:
        text = accessible.queryText()
    except NotImplementedError:
        return []
    return [tuple(text.getCharacterExtents(i, pyatspi.DESKTOP_COORDS))
            for i in range(text.characterCount)]


def window_like_ancestors(accessible):
    """The objects with a window role between `accessible` and its top level."""
    found = []
    parent = accessible.parent
    while parent is not None and parent.getRole() != pyatspi.ROLE_APPLICATION:
        if parent.getRole() in WINDOW_ROLES and parent.parent.getRole() != pyatspi.ROLE_APPLICATION:
            found.append(parent.name or parent.getRoleName())
        parent = parent.parent
    return found


def on_event(event):
    try:
        if event.host_application is None or event.host_application.name != "Kalvera":
            return
        source = event.source
        if event.type.startswith("window:activate"):
            activated.append((source.getRoleName(), source.name))
        elif event.type.startswith("object:state-changed:focused") and event.detail1:
            whole, selection = text_of(source)
            focused.append((source.getRole(), source.name, label_of(source), whole, selection,
                            window_like_ancestors(source)))
            extents.append(character_extents(source))
        elif event.type.startswith("object:state-changed:showing") and event.detail1:
            if source.getRole() == pyatspi.ROLE_NOTIFICATION:
                announced.append(source.name)
    except Exception as error:  # an object gone before it was read
        print("      (event not read: %s)" % error)


def keys(*arguments):
    subprocess.run(["xdotool", *arguments], check=True)


def wait_until(condition, seconds):
    """Runs the bus's events until `condition()` holds or `seconds` have passed."""
    context = GLib.MainContext.default()
    deadline = time.monotonic() + seconds
    while not condition() and time.monotonic() < deadline:
        context.iteration(False) or time.sleep(0.02)
    return condition()


def main():
    for kind in ("window:activate", "object:state-changed:focused",
                 "object:state-changed:showing"):
        pyatspi.Registry.registerEventListener(on_event, kind)
    app = subprocess.Popen([KALVERA], cwd=FOLDER)
    try:
        check(wait_until(lambda: CAPTION in [name for _, name in activated]
                         and focused, 20),
              "the window is activated, named by its caption: %s" % activated[:1])
        check(activated and activated[0] == ("frame", CAPTION),
              "the activated window is a frame: %s" % activated[:1])
        if not focused:
            check(False, "a focus event arrived")
            return 1
        role, name, label, whole, selection, above = focused[-1]
        check(role == pyatspi.ROLE_TEXT and label == "QV27",
              "the focus is in the search box, labelled QV27: %s" % (focused[-1],))
        check(whole == "ABC" and selection == "ABC",
              "the sample suffix stands selected: %r, %r" % (whole, selection))
        check(above == [], "no window role above the search box: %s" % above)
        boxes = extents[len(focused) - 1]
        check(len(boxes) == 3 and all(w > 0 and h > 0 for _, _, w, h in boxes)
              and boxes[0][0] < boxes[1][0] < boxes[2][0],
              "each character of the search box has its rectangle on the screen: %s" % boxes)

        keys("type", "--delay", "60", "bgs")
        keys("key", "Return")
        check(wait_until(lambda: len(announced) >= 1, 10) and announced[0] == BGS,
              "bgs typed first and Enter announce QV27BGS: %s" % announced[:1])
        keys("type", "--delay", "60", "zzz")
        keys("key", "Return")
        check(wait_until(lambda: len(announced) >= 2, 10)
              and announced[1] == "QV27ZZZ tidak ditemukan!",
              "zzz announces it is not found: %s" % announced[1:2])
        for _ in range(2):
            keys("type", "--delay", "60", "bgs")
            keys("key", "Return")
        check(wait_until(lambda: len(announced) >= 4, 10) and announced[2:4] == [BGS, BGS],
              "the same member twice is announced twice: %d notifications" % len(announced))

        before = len(focused)
        keys("key", "Tab")
        check(wait_until(lambda: len(focused) > before, 10),
              "Tab moves the focus: %d focus events" % len(focused))
        role, name, label, whole, selection, above = focused[-1]
        check(label == "Status" and whole == "INVALID" and selection == "INVALID",
              "Tab reaches the status box, read with its caption: %s" % (focused[-1],))
        check(above == [], "no window role above the status box: %s" % above)
        check(app.poll() is None, "the window ran to the end (exit %s)" % app.poll())
    finally:
        app.terminate()
        app.wait(10)
    print("%d failed" % len(failures))
    return 1 if failures else 0


sys.exit(main())
