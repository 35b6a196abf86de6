"""The real program with a real audio server: what a sweep sounds like, heard from outside.

The recording is analysed by matching each note's attack, rendered offline through the same
synthesizer, in what remains once the notes before it are taken away (see sound.py). The
tolerance is tight: every one of the 126 notes must be the exact note midiRamp gives, with no
dropout between them; the onsets, which the synthesizer places on 64-frame (1.45 ms) blocks,
must lie a typical 59.5 to 63 ms apart (the 60 ms pause plus the step's work), with a
standard deviation of at most 2 ms."""

import time
import unittest

import numpy as np

import reference
import sound
from desktop import Desktop
from plot import RUN_BUTTON, WHOLE_EDIT, WINDOW, circle_mismatches

SWEEP_SECONDS = 126 * 0.060


class SoundTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.attacks = sound.attacks()

    def run_program(self, typed=None, close_after=SWEEP_SECONDS + 1.5):
        """Starts the program on a desktop with sound, types `typed` into the whole box,
        clicks Run, closes the window `close_after` seconds later. Returns the recording,
        a screenshot taken just before closing, the program, and when (in the recording)
        the window was closed."""
        with Desktop(audio=True) as desktop:
            recording = desktop.record()
            program = desktop.start_program()
            window = desktop.wait_window()
            click = lambda x, y: desktop.click(WINDOW[0] + x, WINDOW[1] + y)
            if typed:
                click(*WHOLE_EDIT)
                desktop.key("ctrl+a")
                desktop.type(typed)
            click(*RUN_BUTTON)
            time.sleep(close_after)
            screenshot = desktop.screenshot()
            closed = recording.elapsed()
            desktop.close(window)
            try:
                program.wait(5)
            except Exception:
                self.fail("the program did not end within 5 s of its window closing")
            time.sleep(0.5)
            audio = recording.stop()
        self.assertEqual(program.returncode, 0, program.stderr.read())
        return audio, screenshot, closed

    def sweep_problems(self, audio, whole):
        """What is wrong with the recorded sweep, if anything."""
        found = sound.find_notes(audio, 126, self.attacks, gap=(0.045, 0.100))
        if len(found) < 126:
            return "only %d notes found: %s" % (len(found), found)
        dropouts = sound.dropouts(audio, found[0][0], found[-1][0])
        if dropouts:
            return "the sound output ran dry (underruns): %s" % dropouts
        notes = [note for _, note, _ in found]
        expected = [step["note"] for step in reference.sweep(whole)]
        if notes != expected:
            return "notes %s, not %s; found (onset, note, match) %s" % (notes, expected, found)
        intervals = np.diff([onset for onset, _, _ in found]) / sound.RATE
        typical = np.median(intervals)
        if not 0.0595 <= typical <= 0.063 or intervals.std() > 0.002:
            return "onsets not 60 ms apart: %s" % intervals
        return None

    def check_sweep(self, whole, typed=None):
        """Plays a sweep and checks what it sounded like. The analysis follows the notes one
        by one and can lose its place when the machine is busy, so more recordings are
        made before the sweep is judged wrong. Returns the screenshot of the last run."""
        for attempt in range(4):
            audio, screenshot, _ = self.run_program(typed=typed)
            problem = self.sweep_problems(audio, whole)
            if problem is None:
                return screenshot
            print("attempt %d: %s" % (attempt + 1, problem), flush=True)
        self.fail(problem)

    def test_sweep_strikes_the_notes_of_midiRamp_60_ms_apart(self):
        self.check_sweep(500)

    def test_typing_250_changes_the_notes_and_colours(self):
        screenshot = self.check_sweep(250, typed="250")
        wrong, checked = circle_mismatches(screenshot, 250)
        self.assertEqual(wrong, [])
        self.assertGreater(checked, 100)

    def test_closing_mid_sweep_ends_the_program_and_its_sound(self):
        audio, _, closed = self.run_program(close_after=3.0)
        after = audio[int((closed + 0.3) * sound.RATE):]
        self.assertGreater(len(after), sound.RATE // 10)
        self.assertLess(np.abs(after).max(), 1e-3, "sound goes on after the window closed")
        found = sound.find_notes(audio[:int(closed * sound.RATE)], 126, self.attacks)
        self.assertLess(len(found), 126)


if __name__ == "__main__":
    unittest.main()
