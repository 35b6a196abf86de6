"""Real time for the thread that renders the sound, as a desktop's user gets it rather than as
root: by the real-time priority limit the session grants (RLIMIT_RTPRIO), or else from rtkit
over the system bus, and where neither grants it, the sound plays all the same and nothing is
said. The program runs as an ordinary user (nobody) with the limit set by prlimit; the system
bus is one of the test's own, where a stand-in answers as rtkit answers (rtkit_stand_in.py).

Needs root: to run the program as another user and, in the stand-in, to set another process's
thread's scheduling."""

import os
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

from desktop import realtime_threads
from harness import PROGRAM, RUN, Desktop, close_within, end
from waits import read_line, stop

NOBODY = 65534
PRIORITY = 4  # what the program asks for, below the sound server's own threads
BUS_CONFIG = """<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>system</type>
  <listen>unix:path=%s</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/>
    <allow own="*"/>
    <allow send_destination="*"/>
    <allow receive_sender="*"/>
  </policy>
</busconfig>
"""


@unittest.skipUnless(os.geteuid() == 0, "needs root")
class RealtimeTest(unittest.TestCase):
    def setUp(self):
        self.desktop = Desktop(audio=True).__enter__()
        self.addCleanup(self.desktop.__exit__, None, None, None)
        # The user reaches the X server and the audio server's socket as on a desktop.
        for folder, _, _ in os.walk(self.desktop.folder):
            os.chmod(folder, 0o755)
        self.home = tempfile.mkdtemp(dir=self.desktop.folder)
        os.chown(self.home, NOBODY, NOBODY)
        os.chmod(self.home, 0o700)
        self.bus = "unix:path=%s/no-system-bus" % self.desktop.folder
        # A copy of the program, which the user can reach wherever the build lies.
        self.program = os.path.join(self.desktop.folder, "ramp-sonifier")
        shutil.copy(PROGRAM, self.program)

    def start_rtkit(self):
        """A system bus with the rtkit stand-in on it; returns the stand-in."""
        config = os.path.join(self.desktop.folder, "system-bus.conf")
        with open(config, "w") as out:
            out.write(BUS_CONFIG % os.path.join(self.desktop.folder, "system-bus"))
        read, write = os.pipe()
        bus = subprocess.Popen(["dbus-daemon", "--config-file=" + config, "--nofork",
                                "--print-address=%d" % write], pass_fds=[write],
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write)
        self.desktop.processes.append(bus)
        with os.fdopen(read, "rb") as pipe:
            self.bus = read_line(pipe, 20, "the system bus's address")
        rtkit = subprocess.Popen([sys.executable, "rtkit_stand_in.py", self.bus],
                                 stdout=subprocess.PIPE, text=True)
        self.desktop.processes.append(rtkit)
        self.assertEqual(read_line(rtkit.stdout, 20, "the rtkit stand-in ready"), "ready")
        return rtkit

    def play(self, rtprio):
        """Runs the program as nobody with `rtprio` as its real-time priority limit, clicks Run
        and, while the sweep plays, reads which of its threads run in real time and whether
        the stream plays; closes it and returns the program, those threads and that."""
        program = self.desktop.start_program(
            env={"HOME": self.home, "XDG_RUNTIME_DIR": self.home,
                 "DBUS_SYSTEM_BUS_ADDRESS": self.bus},
            wrapper=["prlimit", "--rtprio=%d:%d" % (rtprio, rtprio), "setpriv",
                     "--reuid=%d" % NOBODY, "--regid=%d" % NOBODY, "--clear-groups",
                     "sh", "-c", 'exec "$1"', "-", self.program])
        self.addCleanup(end, program)
        window = self.desktop.wait_window()
        self.desktop.click(*RUN)
        time.sleep(2.0)
        threads, corked = realtime_threads(program.pid), self.desktop.corked()
        errors = close_within(self, self.desktop, window, program)
        self.assertEqual([line for line in errors if line.startswith("ramp-sonifier")], [])
        return program, threads, corked

    def test_a_user_allowed_real_time_priorities_sets_it_itself(self):
        if subprocess.run(["prlimit", "--rtprio=10:10", "true"], capture_output=True,
                          timeout=10).returncode:
            self.skipTest("this machine cannot raise the limit (no CAP_SYS_RESOURCE)")
        _, threads, corked = self.play(rtprio=10)
        self.assertEqual([priority for _, priority in threads], [PRIORITY])
        self.assertEqual(corked, [False])

    def test_a_user_without_them_asks_rtkit(self):
        rtkit = self.start_rtkit()
        program, threads, corked = self.play(rtprio=0)
        self.assertEqual([priority for _, priority in threads], [PRIORITY])
        self.assertEqual(corked, [False])
        self.assertRegex(stop(rtkit)[0], r"^granted %d \d+ %d\n$" % (program.pid, PRIORITY))

    def test_where_nothing_grants_it_the_sound_plays_all_the_same(self):
        _, threads, corked = self.play(rtprio=0)
        self.assertEqual(threads, [])
        self.assertEqual(corked, [False])


if __name__ == "__main__":
    unittest.main()
