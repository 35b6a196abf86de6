"""Weston, the reference Wayland compositor, on the private desktop: on its headless back end
(no screen and no input devices; XWayland for X programs) or on its X11 back end inside the
desktop's Xvfb, whose pointer it then uses. It says where it placed each window through its
debug protocol and takes screenshots."""

import os
import re
import subprocess
import tempfile
import time

from desktop import Image, TITLE
from waits import stop, until

CLIENT_AREA = (1174, 761)
# Weston's screen; on the X11 back end, a window at the X screen's top-left corner.
OUTPUT = (1600, 1000)
CURSOR = re.compile(r"role wl_pointer-cursor.*?\n\s*position: \((-?\d+), (-?\d+)\)")


class Weston:
    """Weston, stopped at the end of a with-block."""

    def __init__(self, desktop, backend="headless", xwayland=False):
        """Starts Weston for `desktop` (a harness.Desktop); the program's environment for it
        comes from program_env()."""
        self.desktop = desktop
        # A socket name is found in XDG_RUNTIME_DIR, the desktop's folder.
        self.name = "wayland-%s" % backend
        self.socket = os.path.join(desktop.env["XDG_RUNTIME_DIR"], self.name)
        self.env = dict(desktop.env, WAYLAND_DISPLAY=self.name)
        log = os.path.join(desktop.folder, "weston-%s.log" % backend)
        command = ["weston", "--backend=%s-backend.so" % backend, "--socket=" + self.name,
                   "--use-pixman", "--width=%d" % OUTPUT[0], "--height=%d" % OUTPUT[1],
                   "--idle-time=0", "--no-config", "--debug", "--log=" + log]
        if xwayland:
            command.append("--xwayland")
        self.process = subprocess.Popen(command, env=desktop.env, stdout=subprocess.DEVNULL,
                                        stderr=subprocess.DEVNULL)
        desktop.processes.append(self.process)
        self.x_display = None
        deadline = time.monotonic() + 20
        while not (os.path.exists(self.socket) and self.ready(log, xwayland)):
            assert self.process.poll() is None, "Weston ended: " + read(log)
            assert time.monotonic() < deadline, "Weston did not start: " + read(log)
            time.sleep(0.1)

    def __enter__(self):
        return self

    def __exit__(self, *error):
        stop(self.process)

    def ready(self, log, xwayland):
        if not xwayland:
            return True
        found = re.search(r"xserver listening on display (:\d+)", read(log))
        self.x_display = found and found.group(1)
        return self.x_display is not None

    def program_env(self, platform):
        """The environment of a Wayland session for the program on Qt's `platform`: "wayland"
        natively, "xcb" through XWayland."""
        env = {"WAYLAND_DISPLAY": self.name, "XDG_SESSION_TYPE": "wayland",
               "QT_QPA_PLATFORM": platform}
        if platform == "wayland" and "ASAN_OPTIONS" in os.environ:
            # Mesa's EGL, which Qt's Wayland plugin sets up, keeps one block for good and has
            # no frame pointers: only the slow unwinder sees Mesa in that block's stack, where
            # the leak checker's suppressions (tools/sanitizer/lsan.supp) can name it.
            env["ASAN_OPTIONS"] = os.environ["ASAN_OPTIONS"] + ":fast_unwind_on_malloc=0"
        if platform == "xcb":
            env["DISPLAY"] = self.x_display
        return env

    def window(self, timeout=20):
        """Where the compositor shows the program's main window: the left and top of its
        client area, once Weston draws it."""
        deadline = time.monotonic() + timeout
        while True:
            found = self.placed()
            if found:
                return found
            assert time.monotonic() < deadline, "no window of the program in Weston's scene"
            time.sleep(0.2)

    def scene_graph(self):
        # Printed on subscription; the debug client then waits for more.
        return subprocess.run(["timeout", "2", "weston-debug", "scene-graph"], env=self.env,
                              capture_output=True, text=True, timeout=10).stdout

    def cursor(self):
        """The top-left corner of the pointer's cursor on Weston's screen, or None."""
        found = CURSOR.search(self.scene_graph())
        return found and (int(found.group(1)), int(found.group(2)))

    def click(self, x, y):
        """Clicks at (x, y) of Weston's screen as a user does, on the X11 back end. Weston
        follows the X pointer by its motion relative to where it last saw it, which it does
        not know until the pointer has entered its window: a click made straight away landed
        at the screen's top-left corner. So the pointer leaves Weston's window (the X screen
        is larger) and enters it again at (x, y), which tells Weston where it is, and the
        button goes down once Weston's cursor is seen there (its hot spot lies within it)."""
        width, height = self.desktop.size
        assert width > OUTPUT[0] and height > OUTPUT[1], "no X screen outside Weston's window"
        self.desktop.run("xdotool", "mousemove", str(width - 1), str(height - 1))
        self.desktop.run("xdotool", "mousemove", str(x), str(y))

        def there():
            cursor = self.cursor()
            return cursor and 0 <= x - cursor[0] < 32 and 0 <= y - cursor[1] < 32

        until(there, 5, "Weston's pointer at (%d, %d)" % (x, y),
              lambda: "its cursor's corner at %s" % (self.cursor(),))
        self.desktop.run("xdotool", "click", "1")

    def placed(self):
        graph = self.scene_graph()
        for view in graph.split("\tView ")[1:]:
            opaque = re.search(r"\[opaque: \((\d+), (\d+)\) -> \((\d+), (\d+)\)\]", view)
            if "top-level window '%s'" % TITLE not in view or not opaque:
                continue
            # The client area stands in the middle of the opaque part, which takes in the
            # border of Weston's own frame round an X window.
            left, top, right, bottom = map(int, opaque.groups())
            width, height = CLIENT_AREA
            if 0 <= right - left - width <= 4 and 0 <= bottom - top - height <= 4:
                return (left + right - width) // 2, (top + bottom - height) // 2
        return None

    def screenshot(self):
        folder = tempfile.mkdtemp(dir=self.desktop.folder)
        subprocess.run(["weston-screenshooter"], env=self.env, cwd=folder, check=True,
                       capture_output=True, timeout=30)
        (name,) = os.listdir(folder)
        return Image.load(os.path.join(folder, name))


def read(path):
    try:
        with open(path, errors="replace") as file:
            return file.read()
    except FileNotFoundError:
        return ""
