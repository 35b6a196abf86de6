"""Debian 12's desktop sound stack, PipeWire with WirePlumber and its PulseAudio service, in a
fresh Debian root of its own (installing PipeWire's ALSA plugin would redirect the whole
machine's sound), with the program's package installed. A session there starts the servers,
a null sink to record and an X server, then runs a script of its caller's.

Needs root (debootstrap, chroot, namespaces) and the Debian mirror the host's apt uses."""

import glob
import os
import shutil
import subprocess
import sys
from contextlib import contextmanager

from desktop import KEEP_AWAKE, TimedSound

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..",
                                "packaging"))
import test_package  # noqa: E402  (the fresh Debian root, shared with the package's test)

PACKAGES = ["pipewire", "pipewire-pulse", "pipewire-alsa", "pipewire-bin", "wireplumber",
            "libspa-0.2-modules", "dbus", "pulseaudio-utils", "xvfb", "xdotool", "tmux",
            "procps", "stress-ng"]
OUT = "/srv/out"  # where a session leaves what it saw, in the root

# PipeWire as on a desktop (WirePlumber without logind, which a root without systemd lacks),
# with the graph at the program's own rate, as a desktop set to 44.1 kHz runs it: the
# recording is then the program's sound unresampled, to be matched sample for sample. The
# cores are kept awake while it runs, as the PulseAudio tests keep them (see desktop.py).
SERVERS = r"""
set -u
export HOME=/root XDG_RUNTIME_DIR=/run/user/0 LANG=C.UTF-8
mkdir -p $XDG_RUNTIME_DIR $HOME/.config/wireplumber/bluetooth.lua.d
chmod 700 $XDG_RUNTIME_DIR
echo 'bluez_monitor.properties["with-logind"] = false' \
    > $HOME/.config/wireplumber/bluetooth.lua.d/51-no-logind.lua
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
KEEP_AWAKE --temp-path /tmp &
""".replace("OUT", OUT).replace("KEEP_AWAKE", " ".join(KEEP_AWAKE))

# What a session runs to record the null sink, as a desktop's sound server runs: in real time.
RECORD = ("chrt -f 20 parec -d out.monitor --format=s16le --rate=44100 --channels=2 "
          "--latency-msec=20")


def make(path, debs):
    """A fresh Debian root at `path` with PipeWire and the package found in `debs`, in place of
    whatever was there."""
    deb = test_package.find_deb(debs)
    codename, mirror, archives = test_package.debian_archives()
    root = test_package.DebianRoot(path).__enter__()
    try:
        root.make(codename, mirror, archives)
        os.makedirs(out_path(root))
        root.install(deb, PACKAGES)
    except BaseException:
        root.remove()
        raise
    return root


@contextmanager
def pipewire_root(path, debs, extra=()):
    """A fresh Debian root at `path` with PipeWire and the package found in `debs`, and the
    files in `extra` copied to its /usr/local/bin; yields the root, removed after. Where
    PIPEWIRE_ROOT_MADE is set, the root stands at `path` already, made apart (the CTest
    fixture makes it while other tests run) and removed apart."""
    if os.environ.get("PIPEWIRE_ROOT_MADE"):
        root = test_package.DebianRoot(path)
        if not os.path.isdir(out_path(root)):
            raise AssertionError("no PipeWire root at %s: its fixture made none" % path)
    else:
        root = make(path, debs)
    try:
        for name in extra:
            shutil.copy(name, os.path.join(root.path, "usr/local/bin"))
        yield root
    finally:
        if not os.environ.get("PIPEWIRE_ROOT_MADE"):
            root.remove()


def built_package(build):
    """The folder of the package made in the build folder `build`, made first where it is
    not there yet (as the benchmarks, run after a build alone, find it)."""
    debs = os.path.join(build, "packaging", "deb")
    if not glob.glob(os.path.join(debs, "*.deb")):
        subprocess.run(["ctest", "--test-dir", build, "-R", "^packaging.deb$"], check=True,
                       stdout=subprocess.DEVNULL)
    return debs


@contextmanager
def timed_recordings(root, count):
    """`count` recordings made in a session as RECORD > OUT/recordingN.fifo (N from 1), each
    read from outside the root as it comes (TimedSound), so that when it was played is known
    on this machine's monotonic clock; yields them."""
    out = out_path(root)
    sounds = []
    for n in range(1, count + 1):
        fifo = os.path.join(out, "recording%d.fifo" % n)
        os.mkfifo(fifo)
        sounds.append(TimedSound(lambda fifo=fifo: open(fifo, "rb")))
    try:
        yield sounds
    finally:
        for n in range(1, count + 1):  # a reader still waiting for its recorder is let go
            try:
                os.close(os.open(os.path.join(out, "recording%d.fifo" % n),
                                 os.O_WRONLY | os.O_NONBLOCK))
            except OSError:
                pass


def out_path(root):
    """Where a session's OUT is, seen from outside the root."""
    return os.path.join(root.path, OUT.lstrip("/"))


def in_session(root, script, timeout):
    """`script` run as root in the root, after SERVERS, in mount and PID namespaces of its
    own with /proc, /dev, /sys and fresh /run, /tmp and /dev/shm mounted; everything it
    started ends with it."""
    with open(os.path.join(root.path, "srv/session.sh"), "w") as out:
        out.write(SERVERS + script)
    mounts = ("mount -t proc proc R/proc && mount --rbind /dev R/dev && "
              "mount --rbind /sys R/sys && mount -t tmpfs tmpfs R/dev/shm && "
              "mount -t tmpfs tmpfs R/run && mount -t tmpfs tmpfs R/tmp && "
              "exec chroot R bash /srv/session.sh").replace("R", root.path)
    test_package.run(root.isolated(["bash", "-c", mounts]), timeout, env=root.env)


if __name__ == "__main__":
    # The CTest fixture: `make ROOT DEB_DIR` before the PipeWire tests, `remove ROOT` after.
    import argparse
    parser = argparse.ArgumentParser()
    parser.add_argument("action", choices=["make", "remove"])
    parser.add_argument("root")
    parser.add_argument("debs", nargs="?")
    args = parser.parse_args()
    try:
        if args.action == "make":
            make(args.root, args.debs)
        else:
            test_package.DebianRoot(args.root).remove()
    except test_package.Failure as failure:
        sys.exit("FAIL: %s" % failure)
