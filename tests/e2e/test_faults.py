"""The real program where its environment fails it: no soundfont, no audio server nor sound
card, no server but a plain ALSA device, the audio server going away mid-sweep, no display
or no platform plugin, a read-only or full home, and a locale that writes decimals with a
comma. Each test sets up its fault and takes it away.

The home directory and the sound card are changed in a mount namespace of the program's own
(unshare, as root), so that nothing outside it sees the change and nothing needs undoing."""

import os
import re
import subprocess
import tempfile
import time
import unittest

import numpy as np

from harness import (EDIT, LAST_X, LAST_Y, PROGRAM, RUN, SWEEP_SECONDS, DesktopTestCase,
                     close_within, end)
from plot import circle_mismatches

NO_SOUNDFONT = ("ramp-sonifier: no sound: no General MIDI soundfont found "
                "(install fluid-soundfont-gm)")
NO_OUTPUT = "ramp-sonifier: no sound: no audio output could be opened"
HOME_VARIABLES = ("XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME")


def in_own_mounts(script):
    """A wrapper that runs `script` in a mount namespace of its own, then the program there."""
    return ["unshare", "--mount", "--propagation", "private", "sh", "-ec",
            script + '\nexec "$0"']


def unwritable(folder):
    """Shell lines that fail unless nothing can be written in `folder`."""
    return ('if ( : > "%s/probe" ) 2>/dev/null || mkdir "%s/probe-dir" 2>/dev/null; then\n'
            '  echo "the fault is not in place: %s is writable" >&2; exit 97\nfi' % ((folder,) * 3))


READ_ONLY_HOME = 'mount -t tmpfs -o ro,size=1m tmpfs "$HOME"\n' + unwritable("$HOME")
# Full of data and of files: writing fails whether it needs blocks or inodes.
FULL_HOME = ('mount -t tmpfs -o size=64k,nr_inodes=16 tmpfs "$HOME"\n'
             '{ cat /dev/zero > "$HOME/filler"; } 2>/dev/null || true\n'
             'i=0; while touch "$HOME/f$i" 2>/dev/null; do i=$((i+1)); done\n'
             + unwritable("$HOME"))
NO_SOUND_CARD = '[ ! -e /dev/snd ] || mount -t tmpfs -o ro,size=4k tmpfs /dev/snd'


class FaultsTest(DesktopTestCase):

    def folder(self):
        return tempfile.mkdtemp(dir=self.desktop.folder)

    def audio_server(self):
        self.desktop.start_audio()
        self.addCleanup(self.desktop.env.pop, "PULSE_SERVER", None)
        self.addCleanup(self.desktop.stop_audio)

    def start(self, **how):
        program = self.desktop.start_program(**how)
        self.addCleanup(end, program)
        window = self.desktop.wait_window(program=program)
        return program, window, self.a11y.application(program)

    def check_sweep(self, controls, read_outs=(LAST_X, LAST_Y), whole=500):
        """Clicks Run and checks that the sweep completes and draws its band."""
        self.desktop.click(*RUN)
        time.sleep(1)
        controls.wait_read_outs(read_outs)
        wrong, checked = circle_mismatches(self.desktop.screenshot(), whole)
        self.assertEqual(wrong, [])
        self.assertGreater(checked, 100)

    def check_runs(self, own_lines, sound, other_lines=0, audio=True, **how):
        """Starts the program as `how` says, sweeps, closes: it must exit 0 having said
        `own_lines` on stderr and at most `other_lines` lines of its libraries, with sound
        or silently."""
        if audio:
            self.audio_server()
            recording = self.desktop.record()
            self.addCleanup(recording.process.kill)
        program, window, controls = self.start(**how)
        self.check_sweep(controls)
        errors = close_within(self, self.desktop, window, program)
        own = [line for line in errors if line.startswith("ramp-sonifier")]
        self.assertEqual(own, own_lines, errors)
        self.assertLessEqual(len(errors) - len(own), other_lines, errors)
        if audio:
            peak = np.abs(recording.stop()).max()
            if sound:
                self.assertGreater(peak, 0.01, "no sound")
            else:
                self.assertLess(peak, 1e-3, "sound")
        return errors

    def test_no_soundfont(self):
        empty = self.folder()
        self.check_runs([NO_SOUNDFONT], sound=False,
                        env={"XDG_DATA_HOME": empty, "XDG_DATA_DIRS": empty})

    def test_no_audio_server_and_no_sound_card(self):
        # No server running, none to be started on demand, none left from a test before.
        client_conf = os.path.join(self.folder(), "client.conf")
        with open(client_conf, "w") as conf:
            conf.write("autospawn = no\n")
        runtime = self.folder()
        self.check_runs([NO_OUTPUT], sound=False, audio=False, unset=["PULSE_SERVER"],
                        env={"PULSE_CLIENTCONFIG": client_conf, "XDG_RUNTIME_DIR": runtime},
                        wrapper=in_own_mounts(NO_SOUND_CARD))

    def test_plain_alsa_where_there_is_no_server(self):
        # No server to reach: the sound goes to ALSA's default device, here one that writes
        # what it plays to a file (it is not paced in real time, so only what is played is
        # checked, not when).
        home = self.folder()
        played = os.path.join(home, "played.raw")
        with open(os.path.join(home, ".asoundrc"), "w") as config:
            config.write('pcm.!default { type file slave.pcm "null" file "%s" format "raw" }\n'
                         % played)
        client_conf = os.path.join(home, "client.conf")
        with open(client_conf, "w") as conf:
            conf.write("autospawn = no\n")
        self.check_runs([], sound=False, audio=False, unset=["PULSE_SERVER"],
                        env={"HOME": home, "PULSE_CLIENTCONFIG": client_conf,
                             "XDG_RUNTIME_DIR": self.folder()})
        samples = np.fromfile(played, dtype="<i2") / 32768
        self.assertGreater(np.abs(samples).max(), 0.01, "nothing played on ALSA's device")

    def test_read_only_home(self):
        # The audio library may say, once per connection, that it cannot keep its cookie.
        self.check_runs([], sound=True, other_lines=2, env={"HOME": self.folder()},
                        unset=HOME_VARIABLES, wrapper=in_own_mounts(READ_ONLY_HOME))

    def test_full_home(self):
        self.check_runs([], sound=True, other_lines=2, env={"HOME": self.folder()},
                        unset=HOME_VARIABLES, wrapper=in_own_mounts(FULL_HOME))

    def test_audio_server_going_away_mid_sweep(self):
        self.audio_server()
        program, window, controls = self.start()
        self.desktop.click(*RUN)
        time.sleep(2.5)
        self.desktop.stop_audio()
        gone = time.monotonic()
        controls.wait_read_outs((LAST_X, LAST_Y), timeout=SWEEP_SECONDS)
        self.assertLess(time.monotonic() - gone, SWEEP_SECONDS - 2.5 + 1.5,
                        "the sweep slowed down")
        wrong, checked = circle_mismatches(self.desktop.screenshot(), 500)
        self.assertEqual(wrong, [])
        errors = close_within(self, self.desktop, window, program)
        self.assertLessEqual(len(errors), 3, errors)

    def test_window_cannot_open(self):
        # A display number with neither a socket nor an abstract socket: nothing listens.
        with open("/proc/net/unix") as sockets:
            taken = set(re.findall(r"/tmp/\.X11-unix/X(\d+)", sockets.read()))
        free = next(n for n in range(90, 1000)
                    if str(n) not in taken and not os.path.exists("/tmp/.X11-unix/X%d" % n))
        env = {name: value for name, value in os.environ.items()
               if name not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}
        # A display that is there does not make every failure the display's: a platform
        # plugin that cannot load is named as Qt names it.
        for fault, reason in [({}, "no display (DISPLAY is not set)"),
                              ({"DISPLAY": ":%d" % free}, "the display could not be reached"),
                              ({"DISPLAY": self.desktop.env["DISPLAY"],
                                "QT_QPA_PLATFORM": "nosuchplugin"},
                               'Could not find the Qt platform plugin "nosuchplugin" in ""')]:
            with self.subTest(fault=fault):
                folder = self.folder()
                run = subprocess.run([PROGRAM], cwd=folder, capture_output=True, text=True,
                                     timeout=20, env=dict(env, **fault))
                self.assertGreater(run.returncode, 0, "exit %d (a negative one is a signal); "
                                   "stderr: %s" % (run.returncode, run.stderr))
                self.assertEqual(run.stderr.splitlines(),
                                 ["ramp-sonifier: cannot open a window: " + reason])
                self.assertEqual([f for f in os.listdir(folder) if f.startswith("core")], [])

    def test_comma_locale(self):
        locales = self.folder()
        made = subprocess.run(["localedef", "-i", "de_DE", "-f", "UTF-8",
                               os.path.join(locales, "de_DE.UTF-8")], capture_output=True,
                              text=True, timeout=120)
        self.assertEqual(made.returncode, 0, "localedef cannot make de_DE.UTF-8 (the locales "
                         "package brings its sources): " + made.stderr)
        self.audio_server()
        recording = self.desktop.record()
        self.addCleanup(recording.process.kill)
        program, window, controls = self.start(env={"LOCPATH": locales,
                                                    "LC_ALL": "de_DE.UTF-8"})
        self.desktop.click(*EDIT)
        self.desktop.key("ctrl+a")
        self.desktop.type("250")
        self.assertEqual((controls.value(), controls.text("whole value")), (250, "250"))
        self.check_sweep(controls, ("632,080888748169", "0,137542724609375"), whole=250)
        errors = close_within(self, self.desktop, window, program)
        self.assertEqual(errors, [])
        self.assertGreater(np.abs(recording.stop()).max(), 0.01, "no sound")

if __name__ == "__main__":
    unittest.main()
