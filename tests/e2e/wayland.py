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

CLIENT_AREA = (1174, 761)


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
                   "--use-pixman", "--width=1600", "--height=1000", "--idle-time=0",
                   "--no-config", "--debug", "--log=" + log]
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
        self.process.terminate()
        self.process.wait(10)

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

    def placed(self):
        # The scene graph is printed on subscription; the debug client then waits for more.
        graph = subprocess.run(["timeout", "2", "weston-debug", "scene-graph"], env=self.env,
                               capture_output=True, text=True).stdout
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
                       capture_output=True)
        (name,) = os.listdir(folder)
        return Image.load(os.path.join(folder, name))


def read(path):
    try:
        with open(path, errors="replace") as file:
            return file.read()
    except FileNotFoundError:
        return ""
