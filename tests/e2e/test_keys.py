"""The sweep explored from the keyboard in the real window, keys sent as a user sends them:
Tab to the plot, then Right through every step leaves the notes and the plot of a Run; End,
Home and the moves past either end; Enter running a sweep; and Esc ending a running sweep
after its step. What device 0 receives is read from the window's program with device 0
replaced by a recorder (recorded_program), which writes each word it is sent, note for note
and with the moment it was sent."""

import os
import subprocess
import time
import unittest

import numpy as np

import reference
from desktop import Image
from harness import LAST_X, LAST_Y, RUN, DesktopTestCase
from plot import GREY, PLOT, WINDOW, pixels, plot_of, plot_pixel, settled_plot
from test_export import export
from waits import until

RECORDED_PROGRAM = os.environ.get("RECORDED_PROGRAM", "build/tests/recorded_program")
FIRST_X, FIRST_Y = "7.07963705062866", "0"
NOTE_ON, PROGRAM_CHANGE = 0x90, 0x00640AC0
ON_PLOT = (WINDOW[0] + PLOT[0] + 500, WINDOW[1] + PLOT[1] + 300)
STEP_SECONDS = 0.060


def note_word(note):
    """The word device 0 receives for `note`: a note-on on channel 1, velocity 100."""
    return 0x00640090 | note << 8


class KeysTest(DesktopTestCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        try:
            cls.words_file = os.path.join(cls.desktop.folder, "midi-words")
            cls.program = subprocess.Popen(
                [RECORDED_PROGRAM], env=dict(cls.desktop.env, MIDI_WORDS=cls.words_file),
                stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
            cls.desktop.processes.append(cls.program)
            cls.window = cls.desktop.wait_window(program=cls.program)
            cls.controls = cls.a11y.application(cls.program)
            cls.desktop.run("xdotool", "windowfocus", "--sync", cls.window)
        except BaseException:
            super().tearDownClass()
            raise

    def words(self):
        """[(seconds, word)] device 0 has been sent so far, each line written whole."""
        with open(self.words_file) as file:
            lines = file.read().split("\n")[:-1]
        return [(float(seconds), int(word, 16))
                for seconds, word in (line.split() for line in lines)]

    def notes_since(self, count):
        """The note-on words among those after the first `count`."""
        return [word for _, word in self.words()[count:] if word & 0xF0 == NOTE_ON]

    def focused(self):
        return self.controls.control("Plot").getState().contains(
            self.a11y.pyatspi.STATE_FOCUSED)

    def said(self):
        """What the plot says of where it stands: its point's name, if it has one."""
        plot = self.controls.control("Plot")
        return plot[0].name if plot.childCount == 1 and plot[0] is not None else None

    def press(self, key, read_outs=None, said=None):
        """Types `key` and waits for the read-outs and what the plot says to show it."""
        self.desktop.key(key)
        if said:
            until(lambda: self.said() == said, 5, "the plot saying %r after %s" % (said, key),
                  lambda: "it says %r" % self.said())
        if read_outs:
            self.controls.wait_read_outs(read_outs, timeout=5)

    def test_1_right_through_every_step_is_a_run_and_no_key_goes_past_an_end(self):
        self.assertEqual([word for _, word in self.words()], [PROGRAM_CHANGE])
        tabs = 0
        while not self.focused():
            self.assertLess(tabs, 10, "Tab never reached the plot")
            self.desktop.key("Tab")
            tabs += 1
        self.assertEqual(tabs, 5, "the plot comes after the x and y read-outs, the slider, the "
                         "whole box and Run")
        # A ring round the plot, just outside it, shows the focus; the plot stays blank.
        screen = self.desktop.screenshot()
        shown = plot_of(screen)
        self.assertTrue((shown == shown[0, 0]).all(), "the focused plot is blank")
        background = tuple(shown[0, 0])
        for x, y in [(-1, 250), (660, 250), (330, -1), (330, 500)]:
            outward = (np.sign(x) if x in (-1, 660) else 0, np.sign(y) if y in (-1, 500) else 0)
            ring = [plot_pixel(screen, x + d * outward[0], y + d * outward[1]) for d in range(4)]
            self.assertEqual(ring[0], background, "the gap at %d,%d" % (x, y))
            self.assertEqual(ring[1], ring[2], "the ring at %d,%d" % (x, y))
            self.assertNotEqual(ring[1], background, "the ring at %d,%d" % (x, y))
            self.assertEqual(ring[3], background, "outside the ring at %d,%d" % (x, y))

        count = len(self.words())
        self.desktop.run("xdotool", "key", "--delay", "20", *["Right"] * 126, timeout=60)
        self.controls.wait_read_outs((LAST_X, LAST_Y), timeout=10)
        stepped = self.notes_since(count)
        self.assertEqual(stepped, [note_word(note) for note in reference.notes(500)])
        stepped_plot = settled_plot(self.desktop)

        # Each key at either end; the moves past them take no step. Home and End redraw a
        # circle the plot shows already.
        count = len(self.words())
        last, first = "step 126 of 126, x 632.1, y 0.14, note 35", "step 1 of 126, x 7.1, y 0, note 35"
        for key, read_outs, said in [("End", (LAST_X, LAST_Y), last),
                                     ("Home", (FIRST_X, FIRST_Y), first),
                                     ("Left", (FIRST_X, FIRST_Y), "first step"),
                                     ("End", (LAST_X, LAST_Y), last),
                                     ("Right", (LAST_X, LAST_Y), "last step")]:
            with self.subTest(key=key):
                self.press(key, read_outs, said)
        self.assertEqual(self.notes_since(count), [note_word(35)] * 3)
        self.assertTrue(np.array_equal(settled_plot(self.desktop), stepped_plot))

        # Enter runs a sweep, as Run does: the same notes, the same plot, and the plot the
        # command line makes.
        count = len(self.words())
        self.desktop.key("Return")
        self.controls.wait_sweep_past(100)
        self.controls.wait_read_outs((LAST_X, LAST_Y))
        self.assertEqual(self.notes_since(count), stepped)
        run_plot = settled_plot(self.desktop)
        self.assertEqual(np.count_nonzero((run_plot != stepped_plot).any(axis=2)), 0)
        exported = os.path.join(self.desktop.folder, "sweep.png")
        self.assertEqual(export("--export", exported, "--whole", "500").returncode, 0)
        self.assertTrue(np.array_equal(pixels(Image.load(exported)), stepped_plot))

    def test_2_esc_ends_a_running_sweep_after_its_step_and_the_keys_go_on_from_there(self):
        self.desktop.click(*RUN)
        self.controls.wait_sweep_past(150)
        count = len(self.words())
        sent = time.monotonic()
        self.desktop.key("Escape")
        time.sleep(0.3)
        stopped = self.controls.read_outs()
        ended = self.words()
        time.sleep(1.0)
        self.assertEqual(self.controls.read_outs(), stopped, "the sweep went on")
        self.assertEqual(self.words(), ended, "device 0 had more")
        # The step under way as the key came, and the one whose events it joined, if it came
        # during that step's pause.
        after = [seconds - sent for seconds, _ in ended[count:] if seconds > sent]
        self.assertLessEqual(len(after), 2, "notes after Esc, seconds after it: %s" % after)
        self.assertLess(max(after, default=0), 2 * STEP_SECONDS + 0.05,
                        "notes after Esc, seconds after it: %s" % after)

        # The circles drawn stay: each step's up to where it stopped, and none beyond.
        x = float(stopped[0].replace(",", "."))
        steps = reference.sweep(500)
        taken = [k for k, step in enumerate(steps) if abs(step["x"] - x) < 1e-6]
        self.assertEqual(len(taken), 1, "the x read-out %s is a step's" % stopped[0])
        taken = taken[0]
        screen = self.desktop.screenshot()
        for k in (taken - 10, taken):
            step = steps[k]
            self.assertEqual(plot_pixel(screen, step["left"] + 3, step["top"] + 10),
                             step["fill"], "step %d's circle" % (k + 1))
        beyond = steps[taken + 6]
        self.assertEqual(plot_pixel(screen, beyond["left"] + 10, beyond["top"] + 10), GREY,
                         "step %d not drawn" % (taken + 7))

        # A click gives the plot the focus, and Right takes the next step.
        self.desktop.click(*ON_PLOT)
        until(self.focused, 5, "the plot focused by a click", lambda: "not focused")
        count = len(self.words())
        nxt = steps[taken + 1]
        self.desktop.key("Right")
        until(lambda: self.controls.read_outs()[0] != stopped[0], 5, "Right taking a step",
              self.controls.read_outs)
        self.assertAlmostEqual(float(self.controls.read_outs()[0].replace(",", ".")), nxt["x"],
                               places=6)
        self.assertEqual(self.notes_since(count), [note_word(nxt["note"])])


if __name__ == "__main__":
    unittest.main()
