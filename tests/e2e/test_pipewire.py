"""The installed program on Debian 12's desktop sound stack: PipeWire with WirePlumber and its
PulseAudio service, in a fresh Debian root of its own (installing PipeWire's ALSA plugin
would redirect the whole machine's sound). A sweep is played while ordinary work keeps both
cores busy, recorded from a null sink and judged as the PulseAudio sweeps are, once; the
graph's period is read while the program plays. PIPEWIRE_SWEEPS=20 plays and judges twenty.

Needs root (debootstrap, chroot, namespaces) and the Debian mirror the host's apt uses."""

import os
import sys
import unittest

import numpy as np

import reference
import sound
from desktop import KEEP_AWAKE
from plot import RUN_BUTTON, WINDOW

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..",
                                "packaging"))
import test_package  # noqa: E402  (the fresh Debian root, shared with the package's test)

ROOT = os.environ.get("PIPEWIRE_ROOT", "/tmp/ramp-sonifier-pipewire-root")
DEBS = os.environ.get("DEB_DIR", "build/packaging/deb")
PACKAGES = ["pipewire", "pipewire-pulse", "pipewire-alsa", "pipewire-bin", "wireplumber",
            "libspa-0.2-modules", "dbus", "pulseaudio-utils", "xvfb", "xdotool", "tmux",
            "procps", "stress-ng"]
SWEEP_SECONDS = 126 * 0.060
SWEEPS = int(os.environ.get("PIPEWIRE_SWEEPS", "1"))  # more to measure dropouts
OUT = "/srv/out"  # where the session leaves what it saw, in the root

# The session, run as root inside the root: PipeWire as on a desktop (WirePlumber without
# logind, which a root without systemd lacks), a null sink to record, the program, a Run
# click, both cores busy meanwhile, and PipeWire's own view of the graph while it plays.
SESSION = r"""
set -u
export HOME=/root XDG_RUNTIME_DIR=/run/user/0 LANG=C.UTF-8
mkdir -p $XDG_RUNTIME_DIR $HOME/.config/wireplumber/bluetooth.lua.d
chmod 700 $XDG_RUNTIME_DIR
echo 'bluez_monitor.properties["with-logind"] = false' \
    > $HOME/.config/wireplumber/bluetooth.lua.d/51-no-logind.lua
# The graph at the program's own rate, as a desktop set to 44.1 kHz runs it: the recording
# is then the program's sound unresampled, to be matched sample for sample.
mkdir -p $HOME/.config/pipewire/pipewire.conf.d
echo 'context.properties = { default.clock.rate = 44100 }' \
    > $HOME/.config/pipewire/pipewire.conf.d/44100.conf
export DBUS_SESSION_BUS_ADDRESS=unix:path=$XDG_RUNTIME_DIR/bus
dbus-daemon --session --address=$DBUS_SESSION_BUS_ADDRESS --nofork --nopidfile 2>/dev/null &
sleep 0.3
pipewire 2>/dev/null &
sleep 0.3
wireplumber 2>/dev/null &
pipewire-pulse 2>/dev/null &
for i in $(seq 100); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
pactl load-module module-null-sink sink_name=out rate=44100 channels=2 >/dev/null
for i in $(seq 100); do pactl set-default-sink out 2>/dev/null && break; sleep 0.1; done
Xvfb -displayfd 3 -screen 0 1600x1000x24 -nolisten tcp 3>OUT/display 2>/dev/null &
for i in $(seq 100); do [ -s OUT/display ] && break; sleep 0.1; done
export DISPLAY=:$(cat OUT/display)
# The cores kept awake while sound is recorded, as the PulseAudio tests keep them.
KEEP_AWAKE --temp-path /tmp &
awake=$!
for sweep in $(seq SWEEPS); do
    chrt -f 20 parec -d out.monitor --format=s16le --rate=44100 --channels=2 \
        --latency-msec=20 > OUT/recording$sweep.raw &
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
kill $awake
wait $awake
""".replace("OUT", OUT).replace("KEEP_AWAKE", " ".join(KEEP_AWAKE)).replace(
    "RUN_X", str(WINDOW[0] + RUN_BUTTON[0])).replace(
    "RUN_Y", str(WINDOW[1] + RUN_BUTTON[1])).replace(
    "SETTLE", "%.1f" % (SWEEP_SECONDS + 1.5)).replace(
    "REST", "%.1f" % (SWEEP_SECONDS - 3.5)).replace("SWEEPS", str(SWEEPS))


def in_session(root, script):
    """`script` run as root in the root, in mount and PID namespaces of its own with /proc,
    /dev, /sys and fresh /run, /tmp and /dev/shm mounted."""
    with open(os.path.join(root.path, "srv/session.sh"), "w") as out:
        out.write(script)
    mounts = ("mount -t proc proc R/proc && mount --rbind /dev R/dev && "
              "mount --rbind /sys R/sys && mount -t tmpfs tmpfs R/dev/shm && "
              "mount -t tmpfs tmpfs R/run && mount -t tmpfs tmpfs R/tmp && "
              "exec chroot R bash /srv/session.sh").replace("R", root.path)
    test_package.run(root.isolated(["bash", "-c", mounts]), 120 + 20 * SWEEPS, env=root.env)


class PipeWireTest(unittest.TestCase):
    def test_sweep_on_pipewire_on_a_busy_machine(self):
        deb = test_package.find_deb(DEBS)
        codename, mirror, archives = test_package.debian_archives()
        with test_package.DebianRoot(ROOT) as root:
            root.make(codename, mirror, archives)
            os.makedirs(os.path.join(root.path, OUT.lstrip("/")))
            root.install(deb, PACKAGES)

            in_session(root, SESSION)
            out = os.path.join(root.path, OUT.lstrip("/"))
            read = lambda name: open(os.path.join(out, name)).read()
            graph = read("graph.txt")
            sweeps = [(read("stderr%d.txt" % sweep),
                       np.fromfile(os.path.join(out, "recording%d.raw" % sweep), dtype="<i2"))
                      for sweep in range(1, SWEEPS + 1)]

        # pw-top's rows: state, id, quantum, rate, ..., name; the program's stream is one.
        rows = [line.split() for line in graph.splitlines()]
        ours = [row for row in rows if row[:1] == ["R"] and "Ramp Sonifier" in " ".join(row)]
        self.assertTrue(ours, "the program's stream is not running in the graph:\n" + graph)
        quanta = [int(row[2]) for row in rows if row[:1] == ["R"]]
        self.assertGreaterEqual(min(quanta), 256, "the graph's period:\n" + graph)

        attacks = sound.attacks()
        expected = [step["note"] for step in reference.sweep(500)]
        for sweep, (stderr, stereo) in enumerate(sweeps, 1):
            with self.subTest(sweep=sweep):
                self.assertEqual(stderr, "", "the program said something")
                audio = stereo[:len(stereo) // 2 * 2].reshape(-1, 2)[:, 0] / 32768
                found = sound.find_notes(audio, 126, attacks, **sound.SWEEP)
                self.assertEqual([note for _, note, _ in found], expected, "found: %s" % found)
                gaps = sound.dropouts(audio, found[0][0], found[-1][0])
                intervals = np.diff([onset for onset, _, _ in found]) / sound.RATE
                print("sweep %d: onset intervals %.2f ms apart, standard deviation %.2f ms, "
                      "dropouts %s" % (sweep, np.median(intervals) * 1000,
                                       intervals.std() * 1000, gaps), file=sys.stderr)
                self.assertEqual(gaps, [], "the sound ran dry")
                # The sends themselves jitter on the busy machine (see the PulseAudio test):
                # the sound against the send times is measured in bench/run.
                self.assertTrue(0.0595 <= np.median(intervals) <= 0.063,
                                "onsets not 60 ms apart: %s" % intervals)


if __name__ == "__main__":
    unittest.main()
