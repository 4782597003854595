"""A person at the desktop: real mouse and key events through xdotool, what the program shows read
back through the accessibility bus (AT-SPI). Started by tests/desktop/run, which provides the X
server, the window manager and the session bus."""

import os
import shutil
import sqlite3
import subprocess
import sys
import tempfile
import time
import unittest
import urllib.parse
import warnings

# pyatspi still calls libatspi's older names.
warnings.filterwarnings("ignore", category=DeprecationWarning)
import pyatspi  # noqa: E402

TIMEOUT = float(os.environ.get("VADREL_DESKTOP_TIMEOUT", "10"))
TRACE = bool(os.environ.get("VADREL_DESKTOP_TRACE"))
VADREL = os.environ["VADREL"]
VADREL_DB = os.environ["VADREL_DB"]
DISC_FIXTURE = os.environ.get("VADREL_DISC_FIXTURE", "")

# What a window or a box is to the accessibility bus.
WINDOWS = (pyatspi.ROLE_FRAME, pyatspi.ROLE_DIALOG, pyatspi.ROLE_ALERT, pyatspi.ROLE_FILE_CHOOSER,
           pyatspi.ROLE_WINDOW)
# Not searched through: their rows can be many, and their items are not controls.
OPAQUE = (pyatspi.ROLE_TABLE, pyatspi.ROLE_TREE_TABLE, pyatspi.ROLE_TREE, pyatspi.ROLE_MENU_BAR)


def wait_for(what, condition, timeout=TIMEOUT):
    """The first true value of condition(), or a failure naming what was awaited."""
    deadline = time.monotonic() + timeout
    while True:
        try:
            value = condition()
        except Exception:  # a control may vanish between two questions
            value = None
        if value:
            if TRACE:
                print("%.2fs %s" % (time.monotonic() - deadline + timeout, what), file=sys.stderr)
            return value
        if time.monotonic() > deadline:
            raise AssertionError("Not seen within %gs: %s" % (timeout, what))
        time.sleep(0.05)


def states(node):
    return node.getState()


def showing(node):
    return states(node).contains(pyatspi.STATE_SHOWING)


def labelled_by(node):
    for relation in node.getRelationSet():
        if relation.getRelationType() == pyatspi.RELATION_LABELLED_BY:
            return [relation.getTarget(i).name for i in range(relation.getNTargets())]
    return []


def children(node):
    return [node.getChildAtIndex(i) for i in range(node.childCount)]


def search(root, match, into_opaque=False):
    """The showing descendants of root for which match(node) holds, in tree order."""
    found, pending = [], [root]
    while pending:
        node = pending.pop(0)
        for child in children(node):
            if child is None or not showing(child):
                continue
            if match(child):
                found.append(child)
            if into_opaque or child.getRole() not in OPAQUE:
                pending.append(child)
    return found


def extents(node):
    box = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    return box.x, box.y, box.width, box.height


def xdotool(*args):
    subprocess.run(["xdotool", *map(str, args)], check=True)


def prepare_desktop(folder):
    """The desktop's programs as recorders: every program the desktop starts for the editor,
    the file manager, the browser, the mail program and the calculator writes its job and its
    address into a file instead. Returns the PATH to start the program with and the file."""
    record = os.path.join(folder, "started.txt")
    recorder = os.path.join(folder, "record")
    with open(recorder, "w") as script:
        script.write('#!/bin/sh\necho "$*" >> "%s"\n' % record)
    os.chmod(recorder, 0o755)
    applications = os.path.join(os.environ["XDG_DATA_HOME"], "applications")
    os.makedirs(applications, exist_ok=True)
    jobs = {"editor": ["text/plain"], "files": ["inode/directory"],
            "browser": ["x-scheme-handler/https", "x-scheme-handler/http"],
            "mail": ["x-scheme-handler/mailto"]}
    defaults = []
    for job, types in jobs.items():
        with open(os.path.join(applications, "vadrel-%s.desktop" % job), "w") as entry:
            entry.write("[Desktop Entry]\nType=Application\nName=%s\nExec=%s %s %%u\n"
                        "MimeType=%s;\n" % (job, recorder, job, ";".join(types)))
        defaults += ["%s=vadrel-%s.desktop" % (t, job) for t in types]
    os.makedirs(os.environ["XDG_CONFIG_HOME"], exist_ok=True)
    with open(os.path.join(os.environ["XDG_CONFIG_HOME"], "mimeapps.list"), "w") as mime:
        mime.write("[Default Applications]\n" + "\n".join(defaults) + "\n")
    tools = os.path.join(folder, "bin")
    os.makedirs(tools, exist_ok=True)
    with open(os.path.join(tools, "gnome-calculator"), "w") as script:
        script.write('#!/bin/sh\nexec "%s" calculator "$@"\n' % recorder)
    os.chmod(os.path.join(tools, "gnome-calculator"), 0o755)
    return tools + os.pathsep + os.environ.get("PATH", "/usr/bin:/bin"), record


class Desktop(unittest.TestCase):
    """One program per test, on a sample catalogue in a folder with an odd name."""

    folder_name = "catálogo de 'prueba' #1 ñ"

    def setUp(self):
        self.home = tempfile.mkdtemp(prefix="vadrel-desktop-")
        self.addCleanup(shutil.rmtree, self.home, True)
        self.folder = os.path.join(self.home, self.folder_name)
        subprocess.run([VADREL_DB, "init", "--sample", self.folder], check=True,
                       stdout=subprocess.DEVNULL)
        self.program = None
        self.path, self.record = prepare_desktop(self.home)
        self.start()

    def tearDown(self):
        if self.program and self.program.poll() is None:
            self.program.kill()
            self.program.wait()

    def start(self):
        self.program = subprocess.Popen([VADREL, self.folder], cwd=self.home,
                                        env=dict(os.environ, PATH=self.path))
        self.app = wait_for("the program on the accessibility bus", self.find_app)
        self.main = self.window("Vadrel v1.0")
        # Keys go where the window manager puts the focus: wait until it is there.
        wait_for("the main window active",
                 lambda: self.main.getState().contains(pyatspi.STATE_ACTIVE))

    def find_app(self):
        desktop = pyatspi.Registry.getDesktop(0)
        for app in children(desktop):
            if app is not None and app.get_process_id() == self.program.pid:
                return app
        return None

    # Looking

    def windows(self):
        return [w for w in children(self.app) if w is not None and w.getRole() in WINDOWS
                and showing(w)]

    def window(self, name, timeout=TIMEOUT):
        return wait_for("the window %r" % name,
                        lambda: next((w for w in self.windows() if w.name == name), None),
                        timeout)

    def gone(self, name):
        wait_for("the window %r closed" % name,
                 lambda: all(w.name != name for w in self.windows()))

    def find(self, root, role, name=None, label=None, timeout=TIMEOUT, into_opaque=False):
        def match(node):
            return (node.getRole() == role and (name is None or node.name == name)
                    and (label is None or label in labelled_by(node)))
        what = "%s %r%s" % (str(role), name,
                            " labelled %r" % label if label else "")
        return wait_for(what, lambda: next(iter(search(root, match, into_opaque)), None), timeout)

    def popup(self, combo):
        """The popup list of a drop-down list, once it shows."""
        return wait_for("the popup of %r" % combo.name,
                        lambda: next((l for l in children(combo) if l.getRole() == pyatspi.ROLE_LIST
                                      and showing(l)), None))

    def item(self, listing, name):
        return wait_for("the entry %r" % name,
                        lambda: next((i for i in children(listing) if i.name == name), None))

    def focused(self, node):
        return states(node).contains(pyatspi.STATE_FOCUSED)

    def catalogue(self, sql, *args):
        path = urllib.parse.quote(os.path.join(self.folder, "db.mdb"))
        with sqlite3.connect("file:%s?mode=ro" % path, uri=True) as db:
            return db.execute(sql, args).fetchall()

    def started(self):
        """What the desktop's programs were started for, one line each."""
        try:
            with open(self.record) as record:
                return record.read().splitlines()
        except FileNotFoundError:
            return []

    # Acting

    def click(self, node, button=1, repeat=1, left=None):
        """Clicks the middle of node, or `left` pixels in from its left edge."""
        x, y, width, height = extents(node)
        self.assertGreater(width, 0, "%r has no size on screen" % node.name)
        if left is not None:
            x, width = x + left, 0
        # Not --sync: it waits for a motion that never comes when the pointer is already there.
        xdotool("mousemove", x + width // 2, y + height // 2, "sleep", "0.05",
                "click", "--repeat", repeat, "--delay", 80, button)

    def keys(self, *keys):
        for key in keys:
            xdotool("key", "--clearmodifiers", key)
            time.sleep(0.05)

    def type(self, text):
        # xdotool types a line break as Linefeed, which no program takes for Enter.
        for number, line in enumerate(text.split("\n")):
            if number:
                self.keys("Return")
            if line:
                xdotool("type", "--delay", 15, line)

    def click_without_opening(self, combo):
        """Puts the focus on a list as Tab would, without opening it."""
        if not self.focused(combo):
            self.click(combo)
            self.popup(combo)
            self.keys("Escape")
            wait_for("the popup closed",
                     lambda: not any(showing(l) for l in children(combo)) or None)
        wait_for("focus on the list", lambda: self.focused(combo))

    def choose_with_mouse(self, combo, entry):
        self.click(combo)
        self.click(self.item(self.popup(combo), entry))
        return wait_for("%r chosen" % entry, lambda: combo.name == entry or None)

    def choose_with_keys(self, combo, entry):
        """Alt+Down opens the popup, arrows move to the entry, Enter takes it."""
        entries = [i.name for i in children(combo.getChildAtIndex(0))]
        start = entries.index(combo.name)
        self.keys("alt+Down")
        self.popup(combo)
        steps = entries.index(entry) - start
        self.keys(*(["Down"] * steps if steps > 0 else ["Up"] * -steps), "Return")
        return wait_for("%r chosen" % entry, lambda: combo.name == entry or None)

    def menu(self, *path):
        """Opens a menu command with the mouse, as a person does."""
        node = next(m for m in children(self.find(self.main, pyatspi.ROLE_MENU_BAR))
                    if m.name == path[0])
        for name in path[1:]:
            self.click(node)
            menu = wait_for("the menu %r open" % node.name, lambda: next(
                (m for m in children(node) if m.getRole() == pyatspi.ROLE_POPUP_MENU and showing(m)),
                None))
            node = wait_for("the item %r" % name, lambda: next(
                (i for i in children(menu) if i.name == name and showing(i)), None))
        self.click(node)

    def start_reading_disc(self, folder):
        """Opens "Catalogar un disco", chooses `folder` with "Carpeta ..." and presses "LEER"."""
        self.menu("Archivo", "Catalogar un disco ...")
        form = self.window("Catalogar un disco")
        self.click(self.find(form, pyatspi.ROLE_PUSH_BUTTON, "Carpeta ..."))
        self.type_into_file_dialog("Carpeta de un disco", folder)
        self.click(self.find(form, pyatspi.ROLE_PUSH_BUTTON, "LEER"))
        return form

    def read_disc(self, folder):
        """Reads a disc's folder until its proposal shows, answering a box that comes with it
        (files left out, or a disc seen before); the window and its grid of programs."""
        form = self.start_reading_disc(folder)
        grid = self.find(form, pyatspi.ROLE_TABLE, "Programas propuestos")
        wait_for("the proposal", lambda: grid.queryTable().nRows > 0, timeout=60)
        for box in ("Information", "Confirm"):
            if any(w.name == box for w in self.windows()):
                self.keys("Return")
        return form, grid

    def close(self, name):
        """Closes a window with the window manager's Alt+F4, as its close box does."""
        self.window(name)
        self.keys("alt+F4")
        self.gone(name)

    def type_into_file_dialog(self, title, path):
        """Types a path into the file dialog that has come up and confirms it with Enter. The
        dialog may share its title with the window that opened it: it is the one whose name box
        has the focus."""
        def typing_in(window):
            return window.name == title and search(
                window, lambda n: n.getRole() == pyatspi.ROLE_TEXT and self.focused(n))
        dialog = wait_for("the file dialog %r" % title,
                          lambda: next((w for w in self.windows() if typing_in(w)), None))
        self.keys("ctrl+a")
        self.type(path)
        self.keys("Return")
        wait_for("the file dialog %r closed" % title, lambda: not still_showing(dialog))


def still_showing(window):
    try:
        return showing(window)
    except Exception:  # gone from the bus
        return False
