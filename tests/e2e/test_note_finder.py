"""The note finder (sound.py) on sound the program made: the first second of a sweep played
on PipeWire while both cores were busy, its left channel as recorded. There a note struck
again over its own voice matched best about 9 ms before its onset, and from the next note on
every note the finder gave was wrong, though the sound was right. And the renders it stands
on, which one renderer serves one after another."""

import os
import unittest

import numpy as np

import reference
import sound

RECORDING = os.path.join(os.path.dirname(os.path.abspath(__file__)), "recordings",
                         "busy-pipewire-sweep-start.npy")
NOTES = 13  # the notes that sound in it


class NoteFinderTest(unittest.TestCase):
    def test_a_note_struck_again_over_its_voice(self):
        audio = np.load(RECORDING) / 32768
        found = sound.find_notes(audio, NOTES, sound.attacks(), **sound.SWEEP)
        self.assertEqual([note for _, note, _ in found], reference.notes(500)[:NOTES])
        # The notes rendered where they were found are the recording, all but its noise.
        first, last = found[0][0], found[-1][0] + sound.ATTACK
        strikes = [(sound.LEAD + onset - first, note) for onset, note, _ in found]
        rendered = sound.render(strikes, sound.LEAD + last - first)[sound.LEAD:]
        recorded = audio[first:last]
        self.assertLess(np.linalg.norm(recorded - rendered) / np.linalg.norm(recorded), 0.05)


class RenderTest(unittest.TestCase):
    def test_each_render_starts_afresh(self):
        # One renderer serves them all: nothing of a render may sound in the next.
        notes = [(sound.LEAD + 2646 * i, 60 + i % 3) for i in range(20)]
        first = sound.render(notes, sound.RATE * 2)
        sound.render([(sound.LEAD, 81)], sound.RATE)
        self.assertTrue(np.array_equal(sound.render(notes, sound.RATE * 2), first))
        self.assertEqual(len(sound.render([(sound.LEAD, 60)], 0)), sound.LEAD)


if __name__ == "__main__":
    unittest.main()
