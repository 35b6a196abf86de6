"""The window as a screen-reader user hears it: Orca, driven by the keyboard alone, speaks the
window as a frame and every edit box's value whole, before and after a sweep; Tab from Run
reaches the plot, which Orca names, and each step the arrow keys take is spoken."""

import re
import unittest

from desktop import TITLE, Desktop
from harness import LAST_X, LAST_Y, Accessibility, end
from plot import RUN_BUTTON, WINDOW
from screen_reader import ScreenReader


class ScreenReaderTest(unittest.TestCase):
    def test_the_window_and_every_value_are_spoken_whole(self):
        with Desktop(accessibility=True) as desktop:
            program = desktop.start_program()
            window = desktop.wait_window()
            reader = ScreenReader(desktop)
            # The window's focus goes to its first control, announced with the frame.
            heard = [self.value(reader, "x read-out",
                                lambda: desktop.run("xdotool", "windowfocus", "--sync", window))]
            self.assertIn(TITLE + " frame.", reader.said(), "no frame announced")
            heard.append(self.value(reader, "y read-out", lambda: desktop.key("Tab")))
            # Past the slider.
            heard.append(self.value(reader, "whole value", lambda: desktop.key("Tab", "Tab")))
            self.assertEqual(heard, ["0", "0", "500"])

            # A sweep's 252 read-out changes keep Orca busy for seconds after it ends, so
            # that it misses the next focus change: it sleeps through the sweep.
            reader.stop_orca()
            desktop.click(WINDOW[0] + RUN_BUTTON[0], WINDOW[1] + RUN_BUTTON[1])
            Accessibility(desktop).application(program).wait_read_outs((LAST_X, LAST_Y))
            reader.start_orca()
            # From Run, past the plot.
            heard = [self.value(reader, "x read-out", lambda: desktop.key("Tab", "Tab")),
                     self.value(reader, "y read-out", lambda: desktop.key("Tab"))]
            self.assertEqual(heard, [LAST_X, LAST_Y])
        end(program)

    def test_tab_from_run_reaches_the_plot_and_each_step_is_spoken(self):
        with Desktop(accessibility=True) as desktop:
            program = desktop.start_program()
            window = desktop.wait_window()
            reader = ScreenReader(desktop)
            desktop.run("xdotool", "windowfocus", "--sync", window)
            reader.wait_for(lambda said: TITLE + " frame." in said, 10, "no frame announced")
            self.spoken_after(reader, "Run push button.", lambda: desktop.key(*["Tab"] * 4))
            self.spoken_after(reader, "Plot chart.", lambda: desktop.key("Tab"))
            steps = ["step 1 of 126, x 7.1, y 0, note 35.",
                     "step 2 of 126, x 12.1, y 0.31, note 35.",
                     "step 3 of 126, x 17.1, y 1.25, note 35."]
            heard = len(reader.said())
            for step in steps:
                self.spoken_after(reader, step, lambda: desktop.key("Right"))
            said = reader.said()[heard:]
            self.assertEqual([message for message in said if message.startswith("step ")], steps)
        end(program)

    @staticmethod
    def spoken_after(reader, message, act):
        """Does `act()` and waits for Orca to speak `message` afterwards."""
        before = len(reader.said())
        act()
        reader.wait_for(lambda said: message in said[before:], 10, "%r not spoken" % message)

    @staticmethod
    def value(reader, name, focus):
        """The value Orca speaks when `focus()` gives an edit box named `name` the focus: the
        message after its name and role, "<value>." or "<value> selected." when it is
        selected. Announcements are counted before the focus moves, as Orca may speak at
        once."""
        announced = name + " text."
        before = reader.said().count(announced)
        focus()

        def spoken(said):
            return said.count(announced) > before and said[-1] != announced

        said = reader.wait_for(spoken, 10, "%s not announced" % name)
        message = said[len(said) - said[::-1].index(announced)]
        match = re.fullmatch(r"(.*?)( selected)?\.", message, re.S)
        return match.group(1) if match else message


if __name__ == "__main__":
    unittest.main()
