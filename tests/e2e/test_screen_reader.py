"""The window as a screen-reader user hears it: Orca, driven by the keyboard alone, speaks the
window as a frame and every edit box's value whole, before and after a sweep."""

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
            heard = []
            for name in ["x read-out", "y read-out"]:
                heard.append(self.value(reader, name, lambda: desktop.key("Tab")))
            self.assertEqual(heard, [LAST_X, LAST_Y])
        end(program)

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
