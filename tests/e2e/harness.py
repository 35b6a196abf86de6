"""What the hostile-use and fault tests add to the private desktop: audio servers that can come
and go, the program started under a changed environment, its controls read through the
accessibility bus, the error message box, the X clipboard, and windows that cover the
program's."""

import os
import select
import subprocess
import threading
import time
import unittest

import desktop
from plot import WINDOW
from waits import finish, stop, until

PROGRAM = desktop.PROGRAM
LAST_X, LAST_Y = "632.080888748169", "0.137542724609375"
SWEEP_SECONDS = 126 * 0.060
ERROR_TITLE = "ramp-sonifier"
INT32_MAX = 2 ** 31 - 1

# The group box's controls on the screen: the window stands where it was designed, unmoved by
# any window manager.
GROUP = (WINDOW[0] + 806, WINDOW[1] + 628)
RUN = (GROUP[0] + 32 + 112, GROUP[1] + 75 + 16)
EDIT = (GROUP[0] + 216 + 20, GROUP[1] + 27 + 12)


def handle(value):
    """Where the slider's handle stands for `value`: its centre moves over 160 pixels from 1
    to 1000."""
    return GROUP[0] + 42 + round((value - 1) * 160 / 999), GROUP[1] + 42


class Desktop(desktop.Desktop):
    """The private desktop, whose audio server can be started again after it went away, and
    which starts the program under a changed environment."""

    def __init__(self, **kwargs):
        super().__init__(**kwargs)
        self.audio_servers = 0

    def start_audio(self):
        # Each server in a fresh folder: a stale socket of an earlier one is never found.
        self.audio_servers += 1
        folder = self.folder
        self.folder = os.path.join(folder, "audio-%d" % self.audio_servers)
        os.makedirs(self.folder)
        try:
            super().start_audio()
        finally:
            self.folder = folder

    def start_program(self, env=None, unset=(), wrapper=()):
        """The program with `env` added, the variables in `unset` removed, started through
        `wrapper` (a command that ends by executing its last argument, the program)."""
        environment = dict(self.env, **(env or {}))
        for name in unset:
            environment.pop(name, None)
        program = subprocess.Popen([*wrapper, PROGRAM], env=environment, cwd=self.folder,
                                   stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        self.processes.append(program)
        return program

    def error_boxes(self):
        """The X ids of the error message boxes on the screen."""
        found = subprocess.run(["xdotool", "search", "--onlyvisible", "--name",
                                "^%s$" % ERROR_TITLE], env=self.env, capture_output=True,
                               text=True, timeout=30)
        return found.stdout.split()

    def dismiss(self, box, key):
        """Dismisses an error box with `key` typed into it, as a user does."""
        subprocess.run(["xdotool", "windowfocus", "--sync", box], env=self.env,
                       capture_output=True, timeout=5)
        subprocess.run(["xdotool", "key", key], env=self.env, capture_output=True, timeout=10)
        until(lambda: box not in self.error_boxes(), 3, "the error box gone after %s" % key,
              lambda: "it stays", interval=0.05)


def close_within(test, desktop_, window, program, seconds=2.0):
    """Closes the window as the window manager does and checks that the program ends within
    `seconds` with exit code 0; returns its stderr lines."""
    desktop_.close(window)
    errors = finish(program, seconds, "the program ending once its window closed")[1]
    test.assertEqual(program.returncode, 0, errors)
    return errors.splitlines()


def end(program):
    """Ends the program if it still runs, and lets go of its pipes."""
    stop(program, signal_first=False)


class Accessibility:
    """The program's controls read through the accessibility bus. Only one bus can be joined
    per test process: the first desktop's."""

    joined = None

    def __init__(self, desktop_):
        bus = desktop_.env["DBUS_SESSION_BUS_ADDRESS"]
        if Accessibility.joined not in (None, bus):
            raise AssertionError("this process has joined another desktop's accessibility bus "
                                 "already: run each suite in a process of its own")
        Accessibility.joined = bus
        for name in ("DISPLAY", "DBUS_SESSION_BUS_ADDRESS"):
            os.environ[name] = desktop_.env[name]
        import pyatspi
        self.pyatspi = pyatspi

    def application(self, program, timeout=10):
        """The program's controls, once it is on the bus."""
        def found():
            for app in self.pyatspi.Registry.getDesktop(0):
                try:
                    if app is not None and app.get_process_id() == program.pid:
                        return Controls(app)
                except Exception:
                    pass  # an application that has just gone away
            return None

        return until(found, timeout, "the program (pid %d) on the accessibility bus"
                     % program.pid, lambda: "exit status %s" % program.poll())



class DesktopTestCase(unittest.TestCase):
    """Tests sharing one desktop, with the accessibility bus, for the whole class."""

    desktop_options = {}

    @classmethod
    def setUpClass(cls):
        cls.desktop = Desktop(accessibility=True, **cls.desktop_options).__enter__()
        try:
            cls.a11y = Accessibility(cls.desktop)
        except BaseException:
            cls.desktop.__exit__(None, None, None)
            raise

    @classmethod
    def tearDownClass(cls):
        cls.desktop.__exit__(None, None, None)

class Controls:
    def __init__(self, app):
        self.app = app
        self.found = {}

    def control(self, name):
        # Looked up once: during a sweep the program answers only between its steps.
        if name not in self.found:
            pending = [self.app]
            while pending and name not in self.found:
                node = pending.pop()
                if node.name == name:
                    self.found[name] = node
                pending.extend(child for child in node if child is not None)
            if name not in self.found:
                raise AssertionError("no control named %r" % name)
        return self.found[name]

    def text(self, name):
        text = self.control(name).queryText()
        return text.getText(0, text.characterCount)

    def value(self, name="whole"):
        return round(self.control(name).queryValue().currentValue)

    def read_outs(self):
        return self.text("x read-out"), self.text("y read-out")

    def wait_sweep_past(self, x):
        """Waits for the running sweep's x read-out to pass `x`."""
        def past():
            text = self.read_outs()[0]
            return text != LAST_X and float(text.replace(",", ".")) > x
        until(past, 10, "the sweep past x = %d" % x, self.read_outs)

    def wait_read_outs(self, expected, timeout=SWEEP_SECONDS + 5):
        """Waits for the read-outs to show `expected`; returns every x read seen meanwhile."""
        seen = []
        deadline = time.monotonic() + timeout
        while True:
            now = self.read_outs()
            if not seen or seen[-1] != now[0]:
                seen.append(now[0])
            if now == expected:
                return seen
            if time.monotonic() > deadline:
                raise AssertionError("the read-outs show %s, not %s; x seen: %s"
                                     % (now, expected, seen[-10:]))
            time.sleep(0.1)


class Clipboard:
    """Owns the X CLIPBOARD with a text, as an editor does after Copy; answers requests for it
    from a thread of its own until closed."""

    TEXT_TARGETS = ("UTF8_STRING", "STRING", "TEXT", "text/plain;charset=utf-8", "text/plain")

    def __init__(self, display_name):
        from Xlib import X, display
        self.X = X
        self.display = display.Display(display_name)
        self.window = self.display.screen().root.create_window(0, 0, 1, 1, 0,
                                                                 X.CopyFromParent)
        self.atoms = {name: self.display.intern_atom(name)
                      for name in ("CLIPBOARD", "TARGETS") + self.TEXT_TARGETS}
        self.text = b""
        self.lock = threading.Lock()
        self.running = True
        self.thread = threading.Thread(target=self.serve, daemon=True)
        self.thread.start()

    def set(self, text):
        with self.lock:
            self.text = text.encode()
            self.window.set_selection_owner(self.atoms["CLIPBOARD"], self.X.CurrentTime)
            self.display.sync()
            assert self.display.get_selection_owner(self.atoms["CLIPBOARD"]) == self.window

    def serve(self):
        from Xlib import Xatom
        from Xlib.protocol import event
        text_atoms = {self.atoms[name] for name in self.TEXT_TARGETS}
        while self.running:
            select.select([self.display.fileno()], [], [], 0.05)
            with self.lock:
                while self.running and self.display.pending_events():
                    request = self.display.next_event()
                    if request.type != self.X.SelectionRequest:
                        continue
                    target = request.property or request.target
                    if request.target == self.atoms["TARGETS"]:
                        request.requestor.change_property(
                            target, Xatom.ATOM, 32,
                            [self.atoms["TARGETS"], *sorted(text_atoms)])
                    elif request.target in text_atoms:
                        kind = (self.atoms["UTF8_STRING"]
                                if request.target == self.atoms["TEXT"] else request.target)
                        request.requestor.change_property(target, kind, 8, self.text)
                    else:
                        target = self.X.NONE
                    request.requestor.send_event(event.SelectionNotify(
                        time=request.time, requestor=request.requestor,
                        selection=request.selection, target=request.target,
                        property=target), event_mask=0)
                    self.display.flush()

    def close(self):
        self.running = False
        self.thread.join(5)  # it looks at `running` every 50 ms
        assert not self.thread.is_alive(), "the clipboard's owner did not stop"
        self.display.close()


class Cover:
    """Another program's window mapped over part of the screen, and taken away again."""

    def __init__(self, display_name):
        from Xlib import X, display
        self.X = X
        self.display = display.Display(display_name)
        self.window = None

    def show(self, x, y, width, height, rgb):
        screen = self.display.screen()
        red, green, blue = rgb
        self.window = screen.root.create_window(
            x, y, width, height, 0, screen.root_depth, self.X.InputOutput,
            self.X.CopyFromParent, background_pixel=red << 16 | green << 8 | blue,
            override_redirect=True)
        self.window.map()
        self.display.sync()

    def hide(self):
        if self.window is not None:
            self.window.destroy()
            self.display.sync()
            self.window = None

    def close(self):
        self.hide()
        self.display.close()
