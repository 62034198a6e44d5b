"""A private Xvfb server and real keyboard input to its windows (XTEST
through ctypes), for the Python tests that open the library's windows."""

import ctypes
import ctypes.util
import os
import shutil
import subprocess
import time

START_TIMEOUT_S = 30
POLL_S = 0.02
XK_ESCAPE = 0xFF1B
REVERT_TO_POINTER_ROOT = 1
IS_VIEWABLE = 2
RETYPE_AFTER_S = 1.0


class Xvfb:
    """Xvfb on a display number it picks itself (-displayfd)."""

    def __init__(self, width=1280, height=1024):
        read_end, write_end = os.pipe()
        self.process = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "%dx%dx24" % (width, height), "-nolisten", "tcp"],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        with os.fdopen(read_end) as pipe:
            number = pipe.readline().strip()
        if not number:
            self.stop()
            raise RuntimeError("Xvfb did not start")
        self.display = ":" + number

    def stop(self):
        self.process.terminate()
        self.process.wait(timeout=START_TIMEOUT_S)


def available():
    return (shutil.which("Xvfb") is not None and ctypes.util.find_library("X11") is not None
            and ctypes.util.find_library("Xtst") is not None)


class _WindowAttributes(ctypes.Structure):
    # XWindowAttributes up to map_state; the rest is room.
    _fields_ = [("x", ctypes.c_int), ("y", ctypes.c_int), ("width", ctypes.c_int), ("height", ctypes.c_int),
                ("border_width", ctypes.c_int), ("depth", ctypes.c_int), ("visual", ctypes.c_void_p),
                ("root", ctypes.c_ulong), ("class_", ctypes.c_int), ("bit_gravity", ctypes.c_int),
                ("win_gravity", ctypes.c_int), ("backing_store", ctypes.c_int), ("backing_planes", ctypes.c_ulong),
                ("backing_pixel", ctypes.c_ulong), ("save_under", ctypes.c_int), ("colormap", ctypes.c_ulong),
                ("map_installed", ctypes.c_int), ("map_state", ctypes.c_int), ("rest", ctypes.c_char * 128)]


class Keyboard:
    """Finds top-level windows by title and types into them."""

    def __init__(self, display):
        self.x = ctypes.CDLL(ctypes.util.find_library("X11"))
        self.xtst = ctypes.CDLL(ctypes.util.find_library("Xtst"))
        self.x.XOpenDisplay.restype = ctypes.c_void_p
        self.x.XDefaultRootWindow.restype = ctypes.c_ulong
        self.x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        self.x.XQueryTree.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.POINTER(ctypes.c_ulong),
                                      ctypes.POINTER(ctypes.c_ulong), ctypes.POINTER(ctypes.POINTER(ctypes.c_ulong)),
                                      ctypes.POINTER(ctypes.c_uint)]
        self.x.XFetchName.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.POINTER(ctypes.c_char_p)]
        self.x.XGetWindowAttributes.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.POINTER(_WindowAttributes)]
        self.x.XSetInputFocus.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_ulong]
        self.x.XKeysymToKeycode.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
        self.x.XKeysymToKeycode.restype = ctypes.c_ubyte
        self.x.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
        self.x.XFree.argtypes = [ctypes.c_void_p]
        self.x.XCloseDisplay.argtypes = [ctypes.c_void_p]
        self.xtst.XTestFakeKeyEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int, ctypes.c_ulong]
        # X errors about windows that vanish meanwhile are not the test's concern.
        self._ignore = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.c_void_p)(lambda d, e: 0)
        self.x.XSetErrorHandler(self._ignore)
        self.display = self.x.XOpenDisplay(display.encode())
        if not self.display:
            raise RuntimeError("cannot open " + display)

    def close(self):
        self.x.XCloseDisplay(self.display)

    def _search(self, under, prefix):
        root, parent = ctypes.c_ulong(), ctypes.c_ulong()
        children = ctypes.POINTER(ctypes.c_ulong)()
        count = ctypes.c_uint()
        if not self.x.XQueryTree(self.display, under, ctypes.byref(root), ctypes.byref(parent),
                                 ctypes.byref(children), ctypes.byref(count)):
            return 0
        windows = [children[i] for i in range(count.value)]
        if children:
            self.x.XFree(children)
        for window in windows:
            attributes = _WindowAttributes()
            if not self.x.XGetWindowAttributes(self.display, window, ctypes.byref(attributes)):
                continue
            if attributes.map_state != IS_VIEWABLE:
                continue
            name = ctypes.c_char_p()
            if self.x.XFetchName(self.display, window, ctypes.byref(name)) and name.value is not None:
                title = name.value.decode("utf-8", "replace")
                self.x.XFree(name)
                if title.startswith(prefix):
                    return window
            found = self._search(window, prefix)
            if found:
                return found
        return 0

    def wait_for(self, prefix, timeout_s):
        """A mapped window whose title starts with prefix, or 0 after timeout_s."""
        end = time.monotonic() + timeout_s
        while True:
            window = self._search(self.x.XDefaultRootWindow(self.display), prefix)
            if window or time.monotonic() >= end:
                return window
            time.sleep(POLL_S)

    def press(self, window, keysym):
        self.x.XSetInputFocus(self.display, window, REVERT_TO_POINTER_ROOT, 0)
        code = self.x.XKeysymToKeycode(self.display, keysym)
        self.xtst.XTestFakeKeyEvent(self.display, code, 1, 0)
        self.xtst.XTestFakeKeyEvent(self.display, code, 0, 0)
        self.x.XSync(self.display, 0)

    def viewable(self, window):
        attributes = _WindowAttributes()
        return bool(self.x.XGetWindowAttributes(self.display, window, ctypes.byref(attributes))) and \
            attributes.map_state == IS_VIEWABLE

    def close_with_escape(self, window, timeout_s):
        """Escape into window until it has gone (a key typed while the toolkit
        still sets the window up can be lost). Only this window gets keys: the
        next one may already be open under the same title."""
        end = time.monotonic() + timeout_s
        while time.monotonic() < end:
            if not self.viewable(window):
                return True
            self.press(window, XK_ESCAPE)
            retype = time.monotonic() + RETYPE_AFTER_S
            while time.monotonic() < retype and self.viewable(window):
                time.sleep(POLL_S)
        return not self.viewable(window)
