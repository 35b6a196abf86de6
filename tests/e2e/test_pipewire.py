"""The installed program on Debian 12's desktop sound stack: PipeWire with WirePlumber and its
PulseAudio service, in a fresh Debian root of its own (see pipewire_root.py). A sweep is played
while ordinary work keeps both cores busy, recorded from a null sink and judged as the
PulseAudio sweeps are, once: every note right, and every dropout excused by a stall of the
machine (see stalls.py); the graph's period is read while the program plays.
PIPEWIRE_SWEEPS=20 plays and judges twenty.

Needs root (debootstrap, chroot, namespaces) and the Debian mirror the host's apt uses."""

import os
import sys
import unittest

import numpy as np

import reference
import sound
import stalls
from desktop import ARTIFACTS
from pipewire_root import OUT, RECORD, in_session, out_path, pipewire_root, timed_recordings
from plot import RUN_BUTTON, WINDOW

ROOT = os.environ.get("PIPEWIRE_ROOT", "/tmp/ramp-sonifier-pipewire-root")
DEBS = os.environ.get("DEB_DIR", "build/packaging/deb")
SWEEP_SECONDS = 126 * 0.060
SWEEPS = int(os.environ.get("PIPEWIRE_SWEEPS", "1"))  # more to measure dropouts
# How long after its sweep's due end the program is ended: the load slows the window's thread,
# which paces the steps, and a sweep cut short would be judged on notes never struck.
SLACK = 4.0

# Sweep after sweep: the program, a Run click, both cores busy meanwhile, and in the first
# sweep PipeWire's own view of the graph while it plays.
SWEEPS_SCRIPT = r"""
for sweep in $(seq SWEEPS); do
    RECORD > OUT/recording$sweep.fifo &
    recorder=$!
    sleep 0.5
    ramp-sonifier > /dev/null 2> OUT/stderr$sweep.txt &
    program=$!
    xdotool search --sync --onlyvisible --name Sonification > /dev/null
    stress-ng --cpu 2 --quiet --temp-path /tmp &
    load=$!
    xdotool mousemove RUN_X RUN_Y click 1
    if [ $sweep = 1 ]; then
        sleep 3
        tmux new-session -d -s graph -x 200 -y 20 pw-top
        sleep 2
        tmux capture-pane -p -t graph > OUT/graph.txt
        tmux kill-server
        sleep REST
    else
        sleep SETTLE
    fi
    kill $load
    wait $load
    kill $program
    wait $program
    sleep 0.5
    kill $recorder
    wait $recorder
done
""".replace("OUT", OUT).replace("RECORD", RECORD).replace(
    "RUN_X", str(WINDOW[0] + RUN_BUTTON[0])).replace(
    "RUN_Y", str(WINDOW[1] + RUN_BUTTON[1])).replace(
    "SETTLE", "%.1f" % (SWEEP_SECONDS + SLACK)).replace(
    "REST", "%.1f" % (SWEEP_SECONDS + SLACK - 5)).replace("SWEEPS", str(SWEEPS))


class PipeWireTest(unittest.TestCase):
    def test_sweep_on_pipewire_on_a_busy_machine(self):
        with pipewire_root(ROOT, DEBS) as root:
            canary = stalls.Canary()
            self.addCleanup(canary.process.kill)
            with timed_recordings(root, SWEEPS) as recordings:
                in_session(root, SWEEPS_SCRIPT, 120 + 20 * SWEEPS)
            seen = canary.stop()

            def read(name):
                with open(os.path.join(out_path(root), name)) as text:
                    return text.read()
            graph = read("graph.txt")
            sweeps = [(read("stderr%d.txt" % sweep), recording.left(), recording.started)
                      for sweep, recording in enumerate(recordings, 1)]

        # pw-top's rows: state, id, quantum, rate, ..., name; the program's stream is one.
        rows = [line.split() for line in graph.splitlines()]
        ours = [row for row in rows if row[:1] == ["R"] and "Ramp Sonifier" in " ".join(row)]
        self.assertTrue(ours, "the program's stream is not running in the graph:\n" + graph)
        quanta = [int(row[2]) for row in rows if row[:1] == ["R"]]
        self.assertGreaterEqual(min(quanta), 256, "the graph's period:\n" + graph)

        attacks = sound.attacks()
        expected = reference.notes(500)
        for sweep, (stderr, audio, started) in enumerate(sweeps, 1):
            with self.subTest(sweep=sweep):
                self.assertEqual(stderr, "", "the program said something")
                found = sound.find_notes(audio, 126, attacks, **sound.SWEEP)
                gaps = [(started + start, length)
                        for start, length in sound.dropouts(audio, found[0][0], found[-1][0])]
                judged = stalls.excuses(gaps, seen, stalls.PERIOD)
                unexcused = [gap for gap, stall in judged if stall is None]
                intervals = np.diff([onset for onset, _, _ in found]) / sound.RATE
                print("sweep %d: onset intervals %.2f ms apart, standard deviation %.2f ms, "
                      "%d dropouts" % (sweep, np.median(intervals) * 1000,
                                       intervals.std() * 1000, len(gaps)), file=sys.stderr)
                for line in stalls.describe(judged):
                    print("  " + line, file=sys.stderr)
                if [note for _, note, _ in found] != expected or unexcused:
                    os.makedirs(ARTIFACTS, exist_ok=True)
                    kept = os.path.join(ARTIFACTS, "pipewire-sweep%d.npz" % sweep)
                    np.savez(kept, audio=audio, started=started)
                    print("sweep %d's recording kept in %s" % (sweep, kept), file=sys.stderr)
                self.assertEqual(unexcused, [], "dropouts with no stall of the machine to excuse "
                                 "them; stalls seen: %s" % seen)
                self.assertEqual([note for _, note, _ in found], expected, "found: %s" % found)
                # The sends themselves jitter on the busy machine (see the PulseAudio test):
                # the sound against the send times is measured in bench/run.
                self.assertTrue(0.0595 <= np.median(intervals) <= 0.063,
                                "onsets not 60 ms apart: %s" % intervals)


if __name__ == "__main__":
    unittest.main()
