"""Finds the notes in recorded sound. The synthesizer is deterministic and starts notes on
64-frame blocks, so what a run of notes sounds like can be rendered offline (render_notes)
sample for sample: each note is found in what is left of the recording once the notes
before it are taken away, by matching the attacks of all the candidate notes."""

import os
import subprocess

import numpy as np

RATE = 44100
BLOCK = 64
LOWEST, HIGHEST = 35, 81
ATTACK = int(0.040 * RATE)  # how much of each note's start is matched
LEAD = 70 * BLOCK  # where rendered sound starts, so that notes fall on blocks
# How far back the notes before are rendered: a whole sweep's. Long gone quiet, a note still
# holds its voice, and the same note struck again sounds different for it; leaving out the
# notes of more than 1.5 s before lost the finder its place where the sweep repeats a note.
HISTORY = int(10 * RATE)
GOOD = 0.6  # a match below this is doubtful
# A sweep's notes come about 60 ms apart (the timer's 50 ms and a step's work); a busy
# machine may send one later.
SWEEP = {"gap": (0.045, 0.100), "late": 0.160}


def render(strikes, until):
    """Left channel of the notes [(frame, note)] rendered up to frame `until`."""
    lines = ["%d %d\n" % strike for strike in strikes] + ["%d\n" % until]
    out = subprocess.run([os.environ["RENDER_NOTES"]], input="".join(lines).encode(),
                         capture_output=True, check=True).stdout
    return np.frombuffer(out, dtype="<i2").reshape(-1, 2)[:, 0].astype(float) / 32768


def attacks():
    """The start of each candidate note struck alone."""
    return {note: render([(LEAD, note)], LEAD + ATTACK)[LEAD:]
            for note in range(LOWEST, HIGHEST + 1)}


def _best_match(segment, candidates):
    """(score, note, offset): the candidate attack that best matches somewhere in the
    segment, by normalised correlation."""
    size = 1 << (len(segment) + ATTACK).bit_length()
    spectrum = np.fft.rfft(segment, size)
    energy = np.cumsum(np.concatenate(([0.0], segment ** 2)))
    local = np.sqrt(energy[ATTACK:] - energy[:-ATTACK]) + 1e-12
    best = (-1.0, 0, 0)
    for note, attack in candidates.items():
        corr = np.fft.irfft(spectrum * np.conj(np.fft.rfft(attack, size)), size)
        scores = corr[:len(local)] / (local * np.linalg.norm(attack))
        offset = int(np.argmax(scores))
        if scores[offset] > best[0]:
            best = (float(scores[offset]), note, offset)
    return best


def _match_in(audio, found, window, candidates):
    """(score, note, onset): the candidate that best matches in the window, once the notes
    already found are taken away."""
    segment = audio[window[0]:window[1] + ATTACK].copy()
    recent = [(frame, note) for frame, note, _ in found if frame > window[0] - HISTORY]
    if recent:
        # Placed so that the latest note, the loudest, falls on a block exactly; the
        # others are rounded to blocks, which is exact while the output's block grid
        # has not slipped.
        base = recent[-1][0] - LEAD - BLOCK * ((recent[-1][0] - recent[0][0]) // BLOCK + 1)
        strikes = [(frame - base, note) for frame, note in recent]
        strikes = [(BLOCK * round(frame / BLOCK), note) for frame, note in strikes]
        predicted = render(strikes, window[1] + ATTACK - base)
        segment -= predicted[window[0] - base:]
    score, note, offset = _best_match(segment, candidates)
    onset = window[0] + offset
    if found:  # the synthesizer starts notes on its blocks, counted from the last note
        onset = found[-1][0] + BLOCK * round((onset - found[-1][0]) / BLOCK)
    return score, note, onset


def find_notes(audio, count, candidates, gap=(0.030, 0.150), late=None, intervals=None):
    """[(onset frame, note, score)] for `count` notes struck one after another, each `gap`
    seconds after the one before; the first where the sound starts. Where nothing matches
    well there, a note is also looked for up to `late` seconds after the one before: a busy
    machine may send one late. Where the `intervals` between the notes' sendings are known,
    each is looked for only within a few blocks of where they put it, and nowhere later."""
    if intervals is not None:
        late = None
    start = int(np.argmax(np.abs(audio) > 0.01 * np.abs(audio).max()))
    window = (max(0, start - BLOCK * 8), start + BLOCK * 8)
    found = []
    while len(found) < count and window[1] + ATTACK <= len(audio):
        match = _match_in(audio, found, window, candidates)
        if late and found and match[0] < GOOD:
            later = (window[1], found[-1][0] + int(late * RATE))
            if later[1] + ATTACK <= len(audio):
                match = max(match, _match_in(audio, found, later, candidates))
        score, note, onset = match
        found.append((onset, note, score))
        if intervals is not None and len(found) < count:
            due = onset + int(round(intervals[len(found) - 1] * RATE))
            window = (due - 4 * BLOCK, due + 4 * BLOCK)
        else:
            window = (onset + int(gap[0] * RATE), onset + int(gap[1] * RATE))
    return found


def dropouts(audio, first, last, shortest=0.001):
    """Stretches of digital silence between two frames, in seconds from the start: while
    notes ring, the only silence is an output that ran dry. The first note's own quiet start
    does not count."""
    first += int(np.argmax(audio[first:last] != 0))
    silent = np.concatenate(([0], (audio[first:last] == 0).astype(int), [0]))
    edges = np.diff(silent)
    starts, ends = np.where(edges == 1)[0], np.where(edges == -1)[0]
    return [((first + s) / RATE, (e - s) / RATE) for s, e in zip(starts, ends)
            if e - s >= shortest * RATE]
