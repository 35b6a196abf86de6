"""Finds the notes in recorded sound. The synthesizer is deterministic and starts notes on
64-frame blocks, so what a run of notes sounds like can be rendered offline (render_notes)
sample for sample: each note is found in what is left of the recording once the notes
before it are taken away, by matching the attacks of all the candidate notes. Where the best
match is not clear, or is the note before struck again, the few best are each rendered after
the notes before them, and the one that leaves least of the recording unexplained is taken."""

import atexit
import os
import select
import subprocess
import time

import numpy as np

from waits import stop

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
CLEAR = 0.95  # a match above this needs no second look, but for a note struck again
RIVALS, NEAR = 3, 0.25  # how many other matches, and how much weaker, are given one
# A sweep's notes come about 60 ms apart (the timer's 50 ms and a step's work); a busy
# machine may send one later.
SWEEP = {"gap": (0.045, 0.100), "late": 0.160}


# A render of a whole sweep takes well under a second; one that takes this long has hung.
RENDER_SECONDS = 60


_renderer = None  # one render_notes serves all renders: loading the soundfont is most of one


def render(strikes, until):
    """Left channel of the notes [(frame, note)] rendered up to frame `until`."""
    global _renderer
    if _renderer is None:
        _renderer = subprocess.Popen([os.environ["RENDER_NOTES"]], stdin=subprocess.PIPE,
                                     stdout=subprocess.PIPE)
        atexit.register(stop, _renderer)
    lines = ["%d %d\n" % strike for strike in strikes] + ["%d\n\n" % until]
    _renderer.stdin.write("".join(lines).encode())
    _renderer.stdin.flush()
    size = 4 * max([until, 0] + [frame for frame, _ in strikes])  # 16-bit stereo
    out = _read(_renderer.stdout, size, time.monotonic() + RENDER_SECONDS)
    if len(out) != size:
        raise RuntimeError("render_notes gave %d bytes of %d within %d s (exit status %s)"
                           % (len(out), size, RENDER_SECONDS, _renderer.poll()))
    return np.frombuffer(out, dtype="<i2").reshape(-1, 2)[:, 0].astype(float) / 32768


def _read(pipe, size, deadline):
    """Up to `size` bytes from `pipe`, as many as come before the deadline or its end."""
    chunks, got = [], 0
    while got < size:
        remaining = deadline - time.monotonic()
        if remaining <= 0 or not select.select([pipe], [], [], remaining)[0]:
            break
        chunk = os.read(pipe.fileno(), min(size - got, 1 << 20))
        if not chunk:
            break
        chunks.append(chunk)
        got += len(chunk)
    return b"".join(chunks)


def attacks():
    """The start of each candidate note struck alone."""
    return {note: render([(LEAD, note)], LEAD + ATTACK)[LEAD:]
            for note in range(LOWEST, HIGHEST + 1)}


def _ranked_matches(segment, candidates, count):
    """[(score, note, offset)]: the `count` best places in the segment where a candidate
    attack matches, by normalised correlation, best first; each the peak of its note's
    correlation there."""
    size = 1 << (len(segment) + ATTACK).bit_length()
    spectrum = np.fft.rfft(segment, size)
    energy = np.cumsum(np.concatenate(([0.0], segment ** 2)))
    local = np.sqrt(energy[ATTACK:] - energy[:-ATTACK]) + 1e-12
    ranked = []
    for note, attack in candidates.items():
        corr = np.fft.irfft(spectrum * np.conj(np.fft.rfft(attack, size)), size)
        scores = corr[:len(local)] / (local * np.linalg.norm(attack))
        peaks = np.flatnonzero((scores[1:-1] >= scores[:-2]) & (scores[1:-1] >= scores[2:])) + 1
        ranked += [(float(scores[peak]), note, int(peak))
                   for peak in peaks[np.argsort(scores[peaks])[-count:]]]
    return sorted(ranked, reverse=True)[:count]


def _match_in(audio, found, window, candidates):
    """(score, note, onset): the candidate that best matches in the window, once the notes
    already found are taken away."""
    segment = audio[window[0]:window[1] + ATTACK]
    recent = [(frame, note) for frame, note, _ in found if frame > window[0] - HISTORY]

    def on_block(offset):  # the synthesizer starts notes on its blocks, counted from the last
        onset = window[0] + offset
        return found[-1][0] + BLOCK * round((onset - found[-1][0]) / BLOCK) if found else onset

    if not recent:
        score, note, offset = _ranked_matches(segment, candidates, 1)[0]
        return score, note, on_block(offset)
    # Placed so that the latest note, the loudest, falls on a block exactly; the others are
    # rounded to blocks, which is exact while the output's block grid has not slipped.
    base = recent[-1][0] - LEAD - BLOCK * ((recent[-1][0] - recent[0][0]) // BLOCK + 1)

    def predicted(extra=()):
        strikes = [(BLOCK * round((frame - base) / BLOCK), note)
                   for frame, note in recent + list(extra)]
        return render(strikes, window[1] + ATTACK - base)[window[0] - base:]

    ranked = _ranked_matches(segment - predicted(), candidates, RIVALS)
    score, note, offset = ranked[0]
    if score >= CLEAR and note != recent[-1][1]:
        return score, note, on_block(offset)
    # A note struck again over its own voice adds more than its attack, and may match best a
    # little off its onset, even well, or lose to another note. The best a block either side
    # and each near rival are rendered with the notes before them: the one that leaves least
    # of the recording unexplained is the note.
    rivals = {(on_block(offset) + shift, note): score for shift in (-BLOCK, BLOCK)}
    for score, note, offset in ranked:
        if score > ranked[0][0] - NEAR:
            rivals[(on_block(offset), note)] = score
    unexplained = {rival: np.linalg.norm(segment - predicted([rival])) for rival in rivals}
    onset, note = min(unexplained, key=unexplained.get)
    return rivals[(onset, note)], note, onset


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
