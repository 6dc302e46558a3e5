"""The program's windows and controls as assistive technology sees them
(AT-SPI): finding them, waiting for them, reading and operating them.

Every wait polls the live tree: the client library caches names, states and
children, and the cache can lag behind the program, so each probe clears it
first.  An object that vanishes while it is being looked at (a dialog that
closes) raises a GLib error; a probe takes that as "not yet".
"""
import subprocess
import time

import pyatspi
from gi.repository import Gio, GLib

# Long enough for a sanitizer build on a busy two-core machine; a state
# that takes longer is a fault.
LIMIT = 30.0
POLL = 0.05


def wait_for(what, probe, limit=LIMIT):
    """Returns the first true result of probe(), or fails naming `what`."""
    deadline = time.monotonic() + limit
    error = None
    while True:
        try:
            result = probe()
            if result:
                return result
        except GLib.Error as e:
            error = e
        if time.monotonic() > deadline:
            detail = f" (last error: {error.message})" if error else ""
            raise AssertionError(f"waited {limit:.0f} s for {what}{detail}")
        time.sleep(POLL)


class AccessibilityBus:
    """The desktop's accessibility bus and its registry, started before the
    program so that the program finds them when it starts."""

    def __init__(self):
        self.launcher = subprocess.Popen(
            ["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"],
            stdin=subprocess.DEVNULL)
        try:
            session = Gio.bus_get_sync(Gio.BusType.SESSION, None)
            wait_for("the accessibility bus", lambda: _has_owner(session, "org.a11y.Bus"))
            # Asking the registry for the desktop starts the registry daemon.
            wait_for("the accessibility registry",
                     lambda: pyatspi.Registry.getDesktop(0).childCount >= 0)
        except BaseException:
            self.close()
            raise

    def close(self):
        if self.launcher.poll() is None:
            self.launcher.terminate()
            try:
                self.launcher.wait(timeout=LIMIT)
            except subprocess.TimeoutExpired:
                self.launcher.kill()
                self.launcher.wait()


def _has_owner(bus, name):
    reply = bus.call_sync("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                          "NameHasOwner", GLib.Variant("(s)", (name,)), None,
                          Gio.DBusCallFlags.NONE, -1, None)
    return reply.unpack()[0]


# ---- reading ----------------------------------------------------------------

def applications():
    """Every application on the accessibility bus now."""
    return [app for app in pyatspi.Registry.getDesktop(0) if app is not None]


def showing(acc):
    return acc.getState().contains(pyatspi.STATE_SHOWING)


def sensitive(acc):
    """False for a dimmed control."""
    return acc.getState().contains(pyatspi.STATE_SENSITIVE)


def checked(acc):
    return acc.getState().contains(pyatspi.STATE_CHECKED)


def focused(acc):
    return acc.getState().contains(pyatspi.STATE_FOCUSED)


def text(acc):
    return acc.queryText().getText(0, -1)


# Views of many items: never searched inside (the file dialog's views also
# complain on the program's output when their empty cells are asked for).
_ITEM_VIEWS = {"list", "tree", "table", "tree table"}


def find(root, role, name=None):
    """The first descendant of root in the given role (and with the given
    accessible name), or None."""
    for child in root:
        if child is None:
            continue
        kind = child.getRoleName()
        if kind == role and (name is None or child.name == name):
            return child
        if kind in _ITEM_VIEWS:
            continue
        found = find(child, role, name)
        if found is not None:
            return found
    return None


def labelled(root, caption):
    """The control whose caption label reads `caption`: for controls that
    announce their value instead of their caption, such as a selector."""
    label = find(root, "label", caption)
    if label is None:
        return None
    for relation in label.getRelationSet():
        if relation.getRelationType() == pyatspi.RELATION_LABEL_FOR:
            return relation.getTarget(0)
    return None


# ---- operating --------------------------------------------------------------

def act(acc, action):
    """Performs a named action (Press, Toggle) once the control takes it."""
    wait_for(f"'{acc.name}' to be operable", lambda: sensitive(acc))
    actions = acc.queryAction()
    names = [actions.getName(i) for i in range(actions.nActions)]
    if action not in names:
        raise AssertionError(f"'{acc.name}' offers {names}, not {action}")
    actions.doAction(names.index(action))


def press(acc):
    act(acc, "Press")


def enter_text(acc, value):
    """Puts text into a field as assistive technology types it."""
    acc.queryEditableText().setTextContents(value)
    wait_for(f"'{acc.name}' to hold {value!r}", lambda: text(acc) == value)


def type_keys(acc, value, enter=True):
    """Types value on the keyboard into the field, replacing what it held,
    and ends it with Enter unless told not to."""
    acc.queryComponent().grabFocus()
    wait_for(f"the keyboard focus in '{acc.name}'", lambda: focused(acc))
    acc.queryEditableText().setTextContents("")
    pyatspi.Registry.generateKeyboardEvent(0, value, pyatspi.KEY_STRING)
    wait_for(f"'{acc.name}' to show {value!r}", lambda: text(acc) == value)
    if enter:
        pyatspi.Registry.generateKeyboardEvent(0xFF0D, None, pyatspi.KEY_SYM)  # Return


class Application:
    """The accessible application of one program process."""

    def __init__(self, process):
        self.process = process
        self.root = wait_for(f"process {process.pid} on the accessibility bus", self._find)

    def _find(self):
        self._check_alive()
        for app in pyatspi.Registry.getDesktop(0):
            if app is not None and app.get_process_id() == self.process.pid:
                return app
        return None

    def _check_alive(self):
        if self.process.poll() is not None:
            raise AssertionError(f"the program ended with status {self.process.returncode}")

    def windows(self, role=None, name=None):
        """The top-level windows that are showing now."""
        self._check_alive()
        self.root.clear_cache()
        return [w for w in self.root
                if w is not None and showing(w)
                and (role is None or w.getRoleName() == role)
                and (name is None or w.name == name)]

    def window(self, role, name):
        """Waits for a showing window and returns it."""
        return wait_for(f"the {role} '{name}'", lambda: next(iter(self.windows(role, name)), None))

    def window_gone(self, role, name):
        wait_for(f"the {role} '{name}' to close", lambda: not self.windows(role, name))

    def control(self, window, role, name):
        """Waits for a control in a window and returns it."""
        def probe():
            self._check_alive()
            window.clear_cache()
            return find(window, role, name)
        return wait_for(f"{role} '{name}' in '{window.name}'", probe)

    def until(self, what, probe):
        """Waits for a state of the program, failing early if it ends."""
        def checked_probe():
            self._check_alive()
            self.root.clear_cache()
            return probe()
        return wait_for(what, checked_probe)
