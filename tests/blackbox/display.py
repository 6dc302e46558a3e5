"""The virtual X display: screenshots, and what a window manager does for
the operator: give a window the keyboard when it is clicked, ask it to close
when its close button is clicked.

The display runs no window manager, so these requests (input focus, a
WM_DELETE_WINDOW client message) are made here through Xlib, which the
program's toolkit has already brought onto the machine.
"""
import ctypes
import subprocess

_Display = ctypes.c_void_p
_Window = ctypes.c_ulong
_Atom = ctypes.c_ulong


class _ClientMessage(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", _Display), ("window", _Window), ("message_type", _Atom),
                ("format", ctypes.c_int), ("data", ctypes.c_long * 5)]


class _Event(ctypes.Union):
    _fields_ = [("client", _ClientMessage), ("pad", ctypes.c_long * 24)]


_CLIENT_MESSAGE = 33
_CURRENT_TIME = 0
_REVERT_TO_PARENT = 2


def _xlib():
    x = ctypes.CDLL("libX11.so.6")
    x.XOpenDisplay.restype = _Display
    x.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x.XDefaultRootWindow.restype = _Window
    x.XDefaultRootWindow.argtypes = [_Display]
    x.XInternAtom.restype = _Atom
    x.XInternAtom.argtypes = [_Display, ctypes.c_char_p, ctypes.c_int]
    x.XQueryTree.argtypes = [_Display, _Window, ctypes.POINTER(_Window), ctypes.POINTER(_Window),
                             ctypes.POINTER(ctypes.POINTER(_Window)), ctypes.POINTER(ctypes.c_uint)]
    x.XGetWindowProperty.argtypes = [
        _Display, _Window, _Atom, ctypes.c_long, ctypes.c_long, ctypes.c_int, _Atom,
        ctypes.POINTER(_Atom), ctypes.POINTER(ctypes.c_int), ctypes.POINTER(ctypes.c_ulong),
        ctypes.POINTER(ctypes.c_ulong), ctypes.POINTER(ctypes.c_void_p)]
    x.XSendEvent.argtypes = [_Display, _Window, ctypes.c_int, ctypes.c_long, ctypes.POINTER(_Event)]
    x.XRaiseWindow.argtypes = [_Display, _Window]
    x.XSetInputFocus.argtypes = [_Display, _Window, ctypes.c_int, ctypes.c_ulong]
    x.XFree.argtypes = [ctypes.c_void_p]
    x.XFlush.argtypes = [_Display]
    x.XCloseDisplay.argtypes = [_Display]
    return x


def _title(x, display, window):
    """The window's _NET_WM_NAME (UTF-8), or None."""
    kind, fmt = _Atom(), ctypes.c_int()
    count, after = ctypes.c_ulong(), ctypes.c_ulong()
    data = ctypes.c_void_p()
    name_atom = x.XInternAtom(display, b"_NET_WM_NAME", 0)
    any_type = 0
    if x.XGetWindowProperty(display, window, name_atom, 0, 1024, 0, any_type, ctypes.byref(kind),
                            ctypes.byref(fmt), ctypes.byref(count), ctypes.byref(after),
                            ctypes.byref(data)) != 0 or not data.value:
        return None
    try:
        return ctypes.string_at(data.value, count.value).decode("utf-8", "replace")
    finally:
        x.XFree(data)


class _Connection:
    """An Xlib connection to the display, closed on leaving."""

    def __enter__(self):
        self.x = _xlib()
        self.display = self.x.XOpenDisplay(None)
        if not self.display:
            raise AssertionError("cannot open the X display")
        return self

    def __exit__(self, *exc):
        self.x.XFlush(self.display)
        self.x.XCloseDisplay(self.display)

    def atom(self, name):
        return self.x.XInternAtom(self.display, name, 0)

    def windows(self, title):
        """The top-level windows with this title; fails when there is none."""
        x, display = self.x, self.display
        children, n = ctypes.POINTER(_Window)(), ctypes.c_uint()
        x.XQueryTree(display, x.XDefaultRootWindow(display), ctypes.byref(_Window()),
                     ctypes.byref(_Window()), ctypes.byref(children), ctypes.byref(n))
        try:
            windows = [children[i] for i in range(n.value)]
        finally:
            if children:
                x.XFree(children)
        found = [w for w in windows if _title(x, display, w) == title]
        if not found:
            raise AssertionError(f"no window titled '{title}' on the display")
        return found


def request_close(title):
    """Asks the top-level window with this title to close."""
    with _Connection() as c:
        event = _Event()
        event.client.type = _CLIENT_MESSAGE
        event.client.format = 32
        event.client.message_type = c.atom(b"WM_PROTOCOLS")
        event.client.data[0] = c.atom(b"WM_DELETE_WINDOW")
        event.client.data[1] = _CURRENT_TIME
        for window in c.windows(title):
            event.client.window = window
            c.x.XSendEvent(c.display, window, 0, 0, ctypes.byref(event))


def activate(title):
    """Gives the top-level window with this title the keyboard, as a window
    manager does when the operator clicks into it."""
    with _Connection() as c:
        for window in c.windows(title):
            c.x.XRaiseWindow(c.display, window)
            c.x.XSetInputFocus(c.display, window, _REVERT_TO_PARENT, _CURRENT_TIME)


def screenshot(path):
    """The whole display as a PNG file."""
    subprocess.run(["import", "-window", "root", str(path)], check=True,
                   stdin=subprocess.DEVNULL, timeout=60)
