"""The running program as a screen-reader user meets it: its controls read through the
desktop accessibility bus (AT-SPI), operated by keyboard and through accessible actions."""

import os
import subprocess
import time
import unittest

from desktop import Desktop
from waits import until

SWEEP_SECONDS = 126 * 0.060
CONTROLS = {  # accessible name: role
    "Plot": "chart",
    "Keyboard scale of midiRamp": "image",
    "Colour scale of colorRamp": "image",
    "x read-out": "text",
    "y read-out": "text",
    "whole controls": "panel",
    "whole": "slider",
    "whole value": "text",
    "Run": "push button",
}
LAST_X = "632.080888748169"
TAB_ORDER = ["x read-out", "y read-out", "whole", "whole value", "Run", "Plot"]


class AccessibilityTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.desktop = Desktop(accessibility=True).__enter__()
        # The client joins the desktop's buses, as a screen reader started there would.
        for name in ("DISPLAY", "DBUS_SESSION_BUS_ADDRESS"):
            os.environ[name] = cls.desktop.env[name]
        global pyatspi
        import pyatspi
        cls.program = cls.desktop.start_program()
        cls.window = cls.desktop.wait_window()
        cls.app = cls.find_application()
        cls.controls = {}

    @classmethod
    def tearDownClass(cls):
        cls.desktop.__exit__(None, None, None)

    @staticmethod
    def find_application():
        return until(lambda: next((app for app in pyatspi.Registry.getDesktop(0)
                                   if app is not None and app.name == "ramp-sonifier"), None),
                     10, "the program on the accessibility bus")

    def nodes(self):
        found, pending = [], [self.app]
        while pending:
            node = pending.pop()
            found.append(node)
            pending.extend(child for child in node if child is not None)
        return found

    def control(self, name):
        # Looked up once: while a sweep runs the program answers only between its steps,
        # so walking the whole tree for every query would take seconds.
        if name not in self.controls:
            matches = [node for node in self.nodes() if node.name == name]
            self.assertTrue(matches, name)
            self.controls[name] = matches[0]
        return self.controls[name]

    def text(self, name):
        text = self.control(name).queryText()
        return text.getText(0, text.characterCount)

    def focused(self):
        return [name for name in TAB_ORDER
                if self.control(name).getState().contains(pyatspi.STATE_FOCUSED)]

    def test_1_every_control_is_named_and_described(self):
        for name, role in CONTROLS.items():
            node = self.control(name)
            self.assertEqual(node.getRoleName(), role, name)
            self.assertTrue(node.description, name)
        self.assertTrue(self.control("Plot").getState().contains(pyatspi.STATE_FOCUSABLE))
        self.assertIn("Right and Left arrows", self.control("Plot").description)
        images = [node for node in self.nodes() if node.getRoleName() == "image"]
        self.assertEqual(len(images), 4)
        self.assertIn("35", self.control("Keyboard scale of midiRamp").description)
        self.assertEqual(self.control("whole").queryValue().currentValue, 500)
        self.assertEqual(self.text("whole value"), "500")
        self.assertEqual((self.text("x read-out"), self.text("y read-out")), ("0", "0"))

    def test_2_keyboard_alone_reaches_and_sets_every_control(self):
        # As a window manager does for a new window; no mouse from here on.
        self.desktop.run("xdotool", "windowfocus", "--sync", self.window)
        self.wait_focus("x read-out")
        for name in TAB_ORDER[1:] + TAB_ORDER[:1]:
            self.desktop.key("Tab")
            self.wait_focus(name)
        self.desktop.key("Tab", "Tab")  # to the slider
        self.desktop.key("Right", "Prior")
        self.assertEqual(self.control("whole").queryValue().currentValue, 601)
        self.assertEqual(self.text("whole value"), "601")
        self.desktop.key("Tab", "ctrl+a")
        self.desktop.type("500")
        self.assertEqual(self.control("whole").queryValue().currentValue, 500)

        self.desktop.key("Tab")
        self.wait_focus("Run")
        self.desktop.key("space")
        until(lambda: self.text("x read-out") != "0", 5, "Space starting a sweep",
              lambda: "x read-out %r" % self.text("x read-out"))
        self.wait_for_sweep_end()
        self.desktop.key("Return")
        until(lambda: self.text("x read-out") != LAST_X, 5, "Enter starting the sweep again",
              lambda: "x read-out %r" % self.text("x read-out"))
        self.wait_for_sweep_end()

    def wait_focus(self, name):
        until(lambda: self.focused() == [name], 5, "the focus on %s" % name,
              lambda: "focused: %s" % self.focused())

    def wait_for_sweep_end(self):
        until(lambda: self.text("x read-out") == LAST_X, 2 * SWEEP_SECONDS, "the sweep's end",
              lambda: "x read-out %r" % self.text("x read-out"), interval=0.2)

    def test_3_run_through_the_accessible_action_and_read_the_results(self):
        run = self.control("Run").queryAction()
        names = [run.getName(i) for i in range(run.nActions)]
        run.doAction(names.index("Press"))
        until(lambda: self.text("x read-out") != LAST_X, 5, "the Press action starting a sweep",
              lambda: "x read-out %r" % self.text("x read-out"))
        self.wait_for_sweep_end()
        self.assertEqual(self.text("x read-out"), LAST_X)
        self.assertEqual(self.text("y read-out"), "0.137542724609375")

    def test_4_emptying_whole_answers_at_once_and_the_error_box_follows(self):
        # The emptied box is no number: an error box says so, once the request has had its
        # reply, and a screen reader waits for nothing.
        whole = self.control("whole value")
        started = time.monotonic()
        whole.queryEditableText().deleteText(0, whole.queryText().characterCount)
        answered = time.monotonic() - started
        self.assertLess(answered, 2.0, "the request waited for the error box")
        boxes = until(self.error_boxes, 5, "an error box after the box was emptied",
                      lambda: "no window named ramp-sonifier")
        self.assertEqual(len(boxes), 1, boxes)
        self.desktop.run("xdotool", "windowfocus", "--sync", boxes[0], "key", "Return")
        until(lambda: not self.error_boxes(), 5, "the error box gone after Return",
              lambda: "boxes %s" % self.error_boxes())
        self.assertEqual(self.control("whole").queryValue().currentValue, 500)
        whole.queryEditableText().insertText(0, "250", 3)
        self.assertEqual(self.control("whole").queryValue().currentValue, 250)

    def error_boxes(self):
        found = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^ramp-sonifier$"],
                               env=self.desktop.env, capture_output=True, text=True, timeout=10)
        return found.stdout.split()


if __name__ == "__main__":
    unittest.main()
