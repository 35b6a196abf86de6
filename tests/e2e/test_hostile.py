"""The real program used roughly while it sweeps: Run clicked over and over, the slider
dragged and keyed, the whole box typed into, pasted into and emptied, the window covered and
uncovered; and the window closed at random moments of a sweep.

The events are random but seeded: the seed is printed, HOSTILE_SEED repeats a run and
HOSTILE_EVENTS sets how many events there are."""

import os
import random
import time
import unittest

import numpy as np

import sound
from harness import (EDIT, GROUP, INT32_MAX, LAST_X, LAST_Y, RUN, SWEEP_SECONDS,
                     Clipboard, Cover, DesktopTestCase, close_within, end, handle)
from plot import WINDOW, circle_mismatches

SEED = int(os.environ.get("HOSTILE_SEED", "1961"))
EVENTS = int(os.environ.get("HOSTILE_EVENTS", "30"))
# Pasted texts: numbers in and out of the slider's range and past 32 bits, and texts with
# something other than digits, which the box refuses whole.
PASTES = ["250", "0042", "7", "1000", "5000", "0", "2147483647", "2147483648",
          "99999999999", "12a", "-5", "3.5", " 8", "+4", "abc", "٣"]
SLIDER_KEYS = ["Left", "Right", "Up", "Down", "Prior", "Next", "Home", "End"]
COVER_RGB = (13, 37, 99)  # a colour the window never shows


def digits(text):
    return text != "" and all(c in "0123456789" for c in text)


def valid(text):
    return digits(text) and int(text) <= INT32_MAX


class HostileUseTest(DesktopTestCase):
    desktop_options = {"audio": True}

    @classmethod
    def setUpClass(cls):
        print("\nHOSTILE_SEED=%d HOSTILE_EVENTS=%d" % (SEED, EVENTS), flush=True)
        super().setUpClass()

    def setUp(self):
        self.random = random.Random("%d %s" % (SEED, self.id()))
        self.clipboard = Clipboard(self.desktop.env["DISPLAY"])
        self.addCleanup(self.clipboard.close)
        self.cover = Cover(self.desktop.env["DISPLAY"])
        self.addCleanup(self.cover.close)

    def start(self):
        program = self.desktop.start_program()
        self.addCleanup(end, program)
        window = self.desktop.wait_window()
        return program, window, self.a11y.application(program)

    def xdotool(self, *arguments):
        self.desktop.run("xdotool", *map(str, arguments))

    # The events. Each returns a note of what it did, for the failure messages.

    def run_click(self):
        self.xdotool("mousemove", *RUN, "click", "1")
        return "Run"

    def run_burst(self):
        count, delay = self.random.randint(3, 15), self.random.randint(10, 40)
        self.xdotool("mousemove", *RUN, "click", "--repeat", count, "--delay", delay, "1")
        self.burst = count
        return "Run x%d, %d ms apart" % (count, delay)

    def drag(self):
        # From the handle where the slider stands, in a few moves, to anywhere along the
        # slider and a little past its ends.
        start = handle(self.controls.value())
        target = self.random.randint(GROUP[0] + 20, GROUP[0] + 230)
        self.xdotool("mousemove", *start, "mousedown", "1")
        for x in np.linspace(start[0], target, self.random.randint(2, 6))[1:]:
            self.xdotool("mousemove", int(x), start[1] + self.random.randint(-8, 8))
            time.sleep(0.03)
        self.xdotool("mouseup", "1")
        return "drag %d -> %d" % (start[0], target)

    def focus_edit(self):
        self.xdotool("windowfocus", "--sync", self.window)
        self.xdotool("mousemove", *EDIT, "click", "1")

    def slider_keys(self):
        self.focus_edit()
        keys = self.random.choices(SLIDER_KEYS, k=self.random.randint(1, 5))
        self.desktop.key("shift+Tab", *keys)
        return "slider keys %s" % keys

    def type_digits(self):
        self.focus_edit()
        start = self.random.choice(["ctrl+a", "End", "Home"])
        length = self.random.choice([1, 2, 3, 3, 4, 11])
        typed = "".join(self.random.choice("0123456789") for _ in range(length))
        self.desktop.key(start)
        self.desktop.type(typed)
        return "type %s then %s" % (start, typed)

    def delete(self):
        self.focus_edit()
        keys = self.random.choice([["ctrl+a", "BackSpace"], ["ctrl+a", "Delete"],
                                   ["End"] + ["BackSpace"] * self.random.randint(1, 4),
                                   ["Home"] + ["Delete"] * self.random.randint(1, 4)])
        self.desktop.key(*keys)
        return "delete %s" % keys

    def paste(self):
        text = self.random.choice(PASTES)
        self.clipboard.set(text)
        before = self.controls.text("whole value")
        self.focus_edit()
        keys = self.random.choice([["ctrl+a", "ctrl+v"], ["End", "ctrl+v"]])
        self.desktop.key(*keys)
        if not digits(text):
            time.sleep(0.15)
            self.assertEqual(self.controls.text("whole value"), before,
                             "pasting %r must be refused" % text)
        return "paste %r with %s" % (text, keys)

    def copy_and_paste(self):
        # The program's own Copy puts the box's text on the clipboard; pasted at its end, the
        # number repeats.
        self.focus_edit()
        self.desktop.key("ctrl+a", "ctrl+c", "End", "ctrl+v")
        return "copy, paste at the end"

    def toggle_cover(self):
        if self.cover.window is None:
            width, height = self.random.randint(50, 600), self.random.randint(50, 400)
            # Anywhere over the window above the group box, whose controls stay reachable.
            x = self.random.randint(WINDOW[0] - 100, WINDOW[0] + WINDOW[2] - 50)
            y = self.random.randint(WINDOW[1] - 50, GROUP[1] - 10 - height)
            self.cover.show(x, y, width, height, COVER_RGB)
            self.covered = (x, y, width, height)
            return "cover %s" % (self.covered,)
        self.cover.hide()
        time.sleep(0.3)
        shot = self.desktop.screenshot()
        x, y, width, height = self.covered
        left, top = max(x, WINDOW[0]), max(y, WINDOW[1])
        right = min(x + width, WINDOW[0] + WINDOW[2])
        stale = sum(shot.pixel(px, py) == COVER_RGB
                    for px in range(left, right, 3) for py in range(top, y + height, 3))
        self.assertEqual(stale, 0, "the window does not repaint what was covered")
        return "uncover"

    def pause(self):
        seconds = self.random.uniform(0, 1.2)
        time.sleep(seconds)
        return "pause %.1f s" % seconds

    ACTIONS = [(run_click, 3), (run_burst, 2), (drag, 3), (slider_keys, 2), (type_digits, 3),
              (delete, 2), (paste, 3), (copy_and_paste, 1), (toggle_cover, 2), (pause, 1)]

    def settle(self, history):
        """Dismisses the error boxes the last event raised, then checks that the box and the
        slider agree: a number in the box stands, clamped, in the slider; a change that left
        the box empty or past 32 bits has raised an error box."""
        time.sleep(0.15)
        text = self.controls.text("whole value")
        boxes = self.desktop.error_boxes()
        if not valid(text) and text != self.last_text and not boxes:
            deadline = time.monotonic() + 3
            while not boxes and time.monotonic() < deadline:
                time.sleep(0.1)
                boxes = self.desktop.error_boxes()
            self.assertTrue(boxes, "no error box for %r after %s" % (text, history[-3:]))
        if boxes:
            self.assertFalse(valid(text), "an error box for %r after %s" % (text, history[-3:]))
        for box in boxes:
            self.desktop.dismiss(box, self.random.choice(["Return", "Escape", "space"]))
            history.append("dismissed an error box")
        self.last_text = text
        slider = self.controls.value()
        if valid(text):
            self.assertEqual(min(max(int(text), 1), 1000), slider,
                             "box %r, slider %d after %s" % (text, slider, history[-3:]))
        self.assertIsNone(self.program.poll(), "the program ended after %s" % history[-3:])

    def test_1_random_use_during_sweeps(self):
        self.program, self.window, self.controls = self.start()
        self.last_text = self.controls.text("whole value")
        history = []
        events, weights = zip(*self.ACTIONS)
        for _ in range(EVENTS):
            history.append(self.random.choices(events, weights)[0](self))
            self.settle(history)
        if self.cover.window is not None:
            history.append(self.toggle_cover())

        # The last Run: a burst, then nothing but watching. One sweep completes from the
        # start, the interrupted ones end without drawing again, so that x only grows.
        history.append(self.run_burst())
        # Each sweep step takes in one click, which starts the sweep again.
        time.sleep(0.5 + 0.1 * self.burst)
        seen = self.controls.wait_read_outs((LAST_X, LAST_Y))
        xs = [float(x) for x in seen]
        self.assertEqual(xs, sorted(set(xs)), "x after the last Run: %s" % seen)
        time.sleep(1.0)
        self.assertEqual(self.controls.read_outs(), (LAST_X, LAST_Y),
                         "an interrupted sweep went on drawing")
        # Whatever the box shows, whole is the slider's: the band has its colours.
        value = self.controls.value()
        wrong, checked = circle_mismatches(self.desktop.screenshot(), value)
        self.assertEqual(wrong, [], "whole %d; events: %s" % (value, history))
        self.assertGreater(checked, 100)

        # A slider key rewrites the box with the slider's number; a clean sweep's colours
        # show that whole follows.
        self.focus_edit()
        self.desktop.key("shift+Tab", "Left" if value > 1 else "Right")
        time.sleep(0.2)
        value = self.controls.value()
        self.assertEqual(self.controls.text("whole value"), str(value), history)
        self.run_click()
        time.sleep(SWEEP_SECONDS + 1.0)
        self.assertEqual(self.controls.read_outs(), (LAST_X, LAST_Y))
        wrong, checked = circle_mismatches(self.desktop.screenshot(), value)
        self.assertEqual(wrong, [], "whole %d; events: %s" % (value, history))
        self.assertGreater(checked, 100)
        self.assertEqual(close_within(self, self.desktop, self.window, self.program), [])

    def test_2_closing_at_random_moments_of_a_sweep(self):
        # Seconds after the Run click, and how many clicks: several make nested sweeps.
        moments = [(self.random.uniform(0.2, SWEEP_SECONDS - 0.3), clicks)
                   for clicks in (1, 1, self.random.randint(3, 12))]
        for seconds, clicks in moments:
            with self.subTest(seconds=round(seconds, 2), clicks=clicks):
                program, window, _ = self.start()
                recording = self.desktop.record()
                self.addCleanup(recording.process.kill)
                self.xdotool("mousemove", *RUN, "click", "--repeat", clicks, "--delay", 20, "1")
                time.sleep(seconds)
                closed = recording.elapsed()
                errors = close_within(self, self.desktop, window, program)
                time.sleep(0.6)
                audio = recording.stop()
                self.assertEqual(errors, [])
                before = audio[:int(closed * sound.RATE)]
                after = audio[int((closed + 0.3) * sound.RATE):]
                self.assertGreater(np.abs(before).max(), 0.01, "no sound before the close")
                self.assertLess(np.abs(after).max(), 1e-3, "sound after the close")

    def test_3_clicking_on_and_on_during_a_sweep(self):
        # Every click during a sweep starts the sweep again; what that costs must not add up
        # click after click. With the stack limited to 512 KiB, what over 2 minutes of
        # clicking would fill of the usual 8 MiB is filled within seconds.
        program = self.desktop.start_program(wrapper=["sh", "-c", 'ulimit -s 512; exec "$0"'])
        self.addCleanup(end, program)
        window = self.desktop.wait_window()
        controls = self.a11y.application(program)
        self.xdotool("mousemove", *RUN, "click", "--repeat", 200, "--delay", 50, "1")
        self.assertIsNone(program.poll(), "the program died while Run was clicked on and on: "
                          "exit %s" % program.poll())
        controls.wait_read_outs((LAST_X, LAST_Y))
        self.assertEqual(close_within(self, self.desktop, window, program), [])


if __name__ == "__main__":
    unittest.main()
