"""Stalls of the machine, as real-time canary threads see them (wake_canary: one thread on
each processor wakes every millisecond and reports each wake-up more than 3 ms late), and
the dropouts in recorded sound that they excuse.

A dropout in a busy sweep is either a fault of the sound path (ours or the server's) or the
machine stopping every real-time thread for longer than the server's period, as a virtual
machine whose processor the host takes away does. So a dropout passes only where a canary
was woken more than one period late within a few periods of it; any other fails."""

import os
import subprocess
import tempfile

from waits import stop, until

CANARY = os.environ.get("WAKE_CANARY", "build/bench/wake_canary")
# How far from a dropout a stall may end and still excuse it, in server periods: the server
# plays what it holds (a few periods) before it runs dry, and where a dropout lies in a
# recording is known to the recorder's own latency (20 ms, about four periods).
NEAR = 8
# The servers' period here: PipeWire's quantum and what PulseAudio asks of a stream at a time,
# 256 frames at 44.1 kHz.
PERIOD = 256 / 44100


class Stall:
    def __init__(self, cpu, end, late):
        self.cpu, self.end, self.late = cpu, end, late

    @property
    def start(self):
        return self.end - self.late

    def __repr__(self):
        return "%.1f ms on processor %d at %.3f s" % (self.late * 1000, self.cpu, self.end)


class Canary:
    """wake_canary running until stop(), which returns the stalls it saw. Needs the right to
    real-time scheduling (root); without it there are no canaries and no dropout is excused.
    """

    def __init__(self):
        self.log = tempfile.NamedTemporaryFile(prefix="wake-canary-", mode="w+")
        self.process = subprocess.Popen([CANARY], stdout=self.log, stderr=subprocess.PIPE)
        until(lambda: self.started(), 10, "wake_canary watching",
              lambda: "it wrote %r, exit status %s" % (self.read(), self.process.poll()))

    def read(self):
        with open(self.log.name) as log:
            return log.read()

    def started(self):
        return "watching" in self.read() or self.process.poll() is not None

    def stop(self):
        """The stalls seen since the start, as [Stall]; none if the canaries never ran."""
        _, errors = stop(self.process)
        lines = self.read().splitlines()
        self.log.close()
        if "watching" not in lines:
            print("no canary ran: %s" % (errors or b"").decode(errors="replace").strip())
            return []
        return [Stall(int(cpu), float(end), float(late) / 1000)
                for cpu, end, late in (line.split() for line in lines if line != "watching")]


def excuses(dropouts, stalls, period):
    """[(dropout, stall)]: each dropout (start, length), in seconds on the monotonic clock,
    with the longest stall of more than one `period` that ended within NEAR periods of it,
    or None where there was none."""
    near = NEAR * period
    judged = []
    for start, length in dropouts:
        candidates = [stall for stall in stalls if stall.late > period and
                      start - near <= stall.end and stall.start <= start + length + near]
        judged.append(((start, length), max(candidates, key=lambda s: s.late, default=None)))
    return judged


def describe(judged):
    """One line per dropout with what excuses it."""
    return ["dropout of %.1f ms at %.3f s: %s" % (
        length * 1000, start, "excused by a stall of %r" % stall if stall else "NO STALL")
        for (start, length), stall in judged]
