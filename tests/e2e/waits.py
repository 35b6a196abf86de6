"""Waits with deadlines, for tests of programs that may hang: each gives up in time and says
what it waited for and what it saw instead. A pipe is read to its end only once the process
writing it has ended, so that a test that has already failed never hangs on its output.

Each suite also arms a watchdog (arm_watchdog): should a wait without a deadline slip in
after all, every thread's stack is printed a little before CTest's own time-out ends the
suite, so that the hang shows where it is."""

import faulthandler
import os
import select
import subprocess
import sys
import time

# How long a process is given to end once it has been asked to.
ENDING_SECONDS = 10


def tail(text, size=2000):
    """The end of a process's output, for a failure message."""
    if isinstance(text, bytes):
        text = text.decode(errors="replace")
    text = (text or "").strip()
    return ("..." + text[-size:]) if len(text) > size else text or "(nothing)"


def read_line(pipe, seconds, what):
    """The first line written to `pipe` (a pipe's file object, read for this line alone)
    within `seconds`; fails saying `what` it waited for and what came instead."""
    deadline = time.monotonic() + seconds
    data = b""
    while b"\n" not in data:
        remaining = deadline - time.monotonic()
        if remaining <= 0 or not select.select([pipe], [], [], remaining)[0]:
            raise AssertionError("%s: no line within %.0f s; read %r" % (what, seconds, data))
        chunk = os.read(pipe.fileno(), 4096)
        if not chunk:
            raise AssertionError("%s: the pipe closed; read %r" % (what, data))
        data += chunk
    return data.split(b"\n", 1)[0].decode()


def finish(process, seconds, what):
    """(stdout, stderr) of `process` once it has ended by itself within `seconds`. If it has
    not, it is killed and the test fails with `what` and the end of its stderr."""
    try:
        return process.communicate(timeout=seconds)
    except subprocess.TimeoutExpired:
        process.kill()
        _, errors = communicate_bounded(process)
        raise AssertionError("%s: still running after %.0f s; its stderr: %s"
                             % (what, seconds, tail(errors))) from None


def communicate_bounded(process):
    """(stdout, stderr) of a process that has been told to end: whatever it wrote, read
    within ENDING_SECONDS (a child it left holding the pipe cannot keep the test waiting)."""
    try:
        return process.communicate(timeout=ENDING_SECONDS)
    except subprocess.TimeoutExpired:
        process.kill()
        try:
            process.wait(ENDING_SECONDS)
        except subprocess.TimeoutExpired:
            pass
        for pipe in (process.stdout, process.stderr):
            if pipe:
                pipe.close()
        return None, None


def stop(process, signal_first=True):
    """Ends `process` if it still runs (TERM, then KILL if TERM is not enough), waits for it
    within bounds and lets go of its pipes; (stdout, stderr) where they were piped."""
    if process.poll() is None:
        if signal_first:
            process.terminate()
            try:
                process.wait(ENDING_SECONDS / 2)
            except subprocess.TimeoutExpired:
                pass
        if process.poll() is None:
            process.kill()
    if process.stdout or process.stderr or process.stdin:
        return communicate_bounded(process)
    try:
        process.wait(ENDING_SECONDS)
    except subprocess.TimeoutExpired:
        raise AssertionError("%s did not end %d s after SIGKILL" % (process.args, ENDING_SECONDS))
    return None, None


def until(condition, seconds, what, seen=lambda: None, interval=0.1):
    """Polls `condition()` until it gives something true, which is returned; fails after
    `seconds` with `what` it waited for and what `seen()` says there is instead."""
    deadline = time.monotonic() + seconds
    while True:
        result = condition()
        if result:
            return result
        if time.monotonic() > deadline:
            raise AssertionError("%s: not within %.0f s; instead: %s" % (what, seconds, seen()))
        time.sleep(interval)


def arm_watchdog():
    """Prints every thread's stack and ends the process shortly before CTest's time-out
    (WATCHDOG_SECONDS, given by the suite's CTest entry) would end it without a word."""
    seconds = float(os.environ.get("WATCHDOG_SECONDS", "0"))
    if seconds > 0:
        faulthandler.dump_traceback_later(seconds, exit=True, file=sys.stderr)
