"""The real program with a real audio server: what a sweep sounds like, heard from outside.

The recording is analysed by matching each note's attack, rendered offline through the same
synthesizer, in what remains once the notes before it are taken away (see sound.py). The
tolerance is tight: every one of the 126 notes must be the exact note midiRamp gives, and
the onsets, which the synthesizer places on 64-frame (1.45 ms) blocks, must lie 60 ms apart
give or take 3 blocks, with a spread of at most 2 ms."""

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

    def check_sweep(self, audio, whole):
        found = sound.find_notes(audio, 126, self.attacks)
        self.assertEqual(len(found), 126)
        self.assertEqual(sound.dropouts(audio, found[0][0], found[-1][0]), [],
                         "the sound output ran dry (underruns)")
        self.assertEqual([note for _, note, _ in found],
                         [step["note"] for step in reference.sweep(whole)],
                         "found (onset frame, note, match): %s" % found)
        intervals = np.diff([onset for onset, _, _ in found]) / sound.RATE
        self.assertLess(np.abs(intervals - 0.060).max(), 3 * sound.BLOCK / sound.RATE + 0.002,
                        intervals)
        self.assertLess(intervals.std(), 0.002)

    def test_sweep_strikes_the_notes_of_midiRamp_60_ms_apart(self):
        audio, _, _ = self.run_program()
        self.check_sweep(audio, 500)

    def test_typing_250_changes_the_notes_and_colours(self):
        audio, screenshot, _ = self.run_program(typed="250")
        self.check_sweep(audio, 250)
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
