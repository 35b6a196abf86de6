"""A private desktop for tests of the real program: an X server (Xvfb), optionally an audio
server (PulseAudio with a null sink whose monitor can be recorded), and the program itself,
driven with real input events and seen through screenshots."""

import os
import re
import shutil
import subprocess
import tempfile
import threading
import time

from waits import communicate_bounded, read_line, stop, tail, until

PROGRAM = os.environ.get("RAMP_SONIFIER", "build/ramp-sonifier")
# Real-time scheduling for the audio server and the recorder, which root may give itself (a
# desktop's sound server gets it from rtkit).
REALTIME_PRIORITY = 20
REALTIME = ["chrt", "-f", str(REALTIME_PRIORITY)] if os.geteuid() == 0 else []
# This machine's idle cores wake late: a thread woken on a core that had halted, even at the
# highest real-time priority, waited up to 27 ms here (1.4 ms while the cores were kept
# awake), which no audio buffer of 20 ms rides out. While sound is recorded, the cores are
# kept awake by work that runs only when nothing else wants them (SCHED_IDLE), as a desktop
# machine's cores wake in microseconds.
KEEP_AWAKE = ["chrt", "--idle", "0", "stress-ng", "--cpu", "0", "--quiet"]
TITLE = "Sonification and Visualization using midiRamp( ) and colorRamp( ) functions."
# Where a failing test leaves what shows its cause (screenshots, recordings), outliving the
# desktop's own folder.
ARTIFACTS = os.environ.get("E2E_ARTIFACTS",
                           os.path.join(tempfile.gettempdir(), "ramp-sonifier-e2e-artifacts"))


class Image:
    """An RGB picture read from PPM bytes."""

    def __init__(self, ppm):
        fields, position = [], 0
        while len(fields) < 4:
            while ppm[position:position + 1].isspace():
                position += 1
            if ppm[position:position + 1] == b"#":
                position = ppm.index(b"\n", position)
                continue
            end = position
            while not ppm[end:end + 1].isspace():
                end += 1
            fields.append(ppm[position:end])
            position = end
        assert fields[0] == b"P6" and fields[3] == b"255", fields
        self.width, self.height = int(fields[1]), int(fields[2])
        self.pixels = ppm[position + 1:]

    @classmethod
    def load(cls, path):
        return cls(subprocess.run(["convert", path, "-depth", "8", "ppm:-"], check=True,
                                  capture_output=True, timeout=30).stdout)

    def pixel(self, x, y):
        i = 3 * (y * self.width + x)
        return tuple(self.pixels[i:i + 3])


# The fonts the window's layout takes, from the file folder of Debian's fonts-liberation, and
# nothing else: a desktop that sees only these draws the same text whatever else the machine
# has installed (Liberation 2, which fontconfig prefers where it is there, draws some glyphs
# otherwise).
LAYOUT_FONTS = "/usr/share/fonts/truetype/liberation"
FONTS_CONF = """<?xml version="1.0"?>
<!DOCTYPE fontconfig SYSTEM "urn:fontconfig:fonts.dtd">
<fontconfig>
  <dir>%s</dir>
  <cachedir>%s</cachedir>
</fontconfig>
"""


class Desktop:
    """Xvfb on a free display, with PulseAudio if `audio`; stops everything on exit. With
    `layout_fonts_only`, the programs it starts see no fonts but LAYOUT_FONTS, for tests that
    hold text to its pixels."""

    def __init__(self, audio=False, accessibility=False, width=1600, height=1000,
                 layout_fonts_only=False):
        self.audio = audio
        self.accessibility = accessibility
        self.layout_fonts_only = layout_fonts_only
        self.size = (width, height)
        self.processes = []
        self.folder = tempfile.mkdtemp(prefix="ramp-desktop-")
        self.env = dict(os.environ)
        for name in ("QT_QPA_PLATFORM", "WAYLAND_DISPLAY", "PULSE_SERVER"):
            self.env.pop(name, None)

    def __enter__(self):
        try:
            self.start()
        except BaseException:
            self.__exit__()
            raise
        return self

    def start(self):
        read, write = os.pipe()
        xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write), "-screen", "0",
             "%dx%dx24" % self.size, "-nolisten", "tcp", "-noreset"],
            pass_fds=[write], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write)
        self.processes.append(xvfb)
        with os.fdopen(read, "rb") as pipe:
            display = read_line(pipe, 20, "Xvfb's display number").strip()
        self.env["DISPLAY"] = ":" + display
        self.env["XDG_RUNTIME_DIR"] = self.folder
        if self.layout_fonts_only:
            conf = os.path.join(self.folder, "fonts.conf")
            with open(conf, "w") as out:
                out.write(FONTS_CONF % (LAYOUT_FONTS, os.path.join(self.folder, "font-cache")))
            self.env["FONTCONFIG_FILE"] = conf
        if self.audio:
            self.start_audio()
        if self.accessibility:
            self.start_accessibility()

    def __exit__(self, *error):
        for process in reversed(self.processes):
            stop(process)
        shutil.rmtree(self.folder, ignore_errors=True)

    def start_audio(self):
        """A PulseAudio server of our own with a null sink "out", reached through the ALSA
        default device as on a desktop."""
        pulse = os.path.join(self.folder, "pulse")
        os.makedirs(pulse)
        env = dict(self.env, HOME=pulse, PULSE_RUNTIME_PATH=pulse, XDG_RUNTIME_DIR=pulse)
        server = subprocess.Popen(
            ["pulseaudio", "--daemonize=no", "--system=false", "-n", "--exit-idle-time=-1",
             "--disallow-exit=yes", "--realtime=yes", "--high-priority=yes",
             "--use-pid-file=no", "--log-target=stderr",
             "--load=module-null-sink sink_name=out norewinds=1",
             "--load=module-native-protocol-unix socket=%s/native auth-anonymous=1" % pulse],
            env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.processes.append(server)
        self.env["PULSE_SERVER"] = "unix:%s/native" % pulse
        until(lambda: self.answers("pactl", "info"), 10, "PulseAudio answering pactl",
              lambda: "exit status %s" % server.poll())

    def start_accessibility(self):
        """A session bus with the accessibility bus on it, switched on as a screen reader
        switches it on, so that programs started afterwards expose their controls."""
        read, write = os.pipe()
        # In the desktop's environment, so that a service it starts on demand keeps to the
        # desktop's display and folder: one started in the test's own (no DISPLAY, no
        # XDG_RUNTIME_DIR) would put its socket in ~/.cache, where the desktops of tests run
        # side by side would take it from one another.
        bus = subprocess.Popen(["dbus-daemon", "--session", "--nofork",
                                "--print-address=%d" % write], pass_fds=[write], env=self.env,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write)
        self.processes.append(bus)
        with os.fdopen(read, "rb") as pipe:
            self.env["DBUS_SESSION_BUS_ADDRESS"] = read_line(pipe, 20, "the session bus's address")
        launcher = subprocess.Popen(
            ["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"], env=self.env,
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.processes.append(launcher)
        # Asked before the launcher holds its name, the bus would start a second launcher.
        until(lambda: "boolean true" in self.reply(
            "dbus-send", "--session", "--print-reply", "--dest=org.freedesktop.DBus",
            "/org/freedesktop/DBus", "org.freedesktop.DBus.NameHasOwner",
            "string:org.a11y.Bus"), 10, "the accessibility bus's launcher on the session bus",
            lambda: "its exit status %s" % launcher.poll())
        until(lambda: self.answers(
            "dbus-send", "--session", "--print-reply", "--dest=org.a11y.Bus", "/org/a11y/bus",
            "org.freedesktop.DBus.Properties.Set", "string:org.a11y.Status",
            "string:IsEnabled", "variant:boolean:true"), 10,
            "the accessibility bus switched on", lambda: "its launcher's exit status %s"
            % launcher.poll())

    def answers(self, *command):
        """Whether `command` succeeds within a few seconds."""
        try:
            return subprocess.run(command, env=self.env, capture_output=True,
                                  timeout=5).returncode == 0
        except subprocess.TimeoutExpired:
            return False

    def reply(self, *command):
        """What `command` prints within a few seconds; nothing if it fails or takes longer."""
        try:
            done = subprocess.run(command, env=self.env, capture_output=True, text=True,
                                  timeout=5)
        except subprocess.TimeoutExpired:
            return ""
        return done.stdout if done.returncode == 0 else ""

    def stop_audio(self):
        """The audio server goes away, as when a desktop's sound server crashes."""
        for process in self.processes:
            if process.args[0] == "pulseaudio":
                stop(process, signal_first=False)

    def record(self):
        """Starts recording what the null sink plays; stop() returns the left channel at
        44.1 kHz as floats."""
        return Recording(self)

    def run(self, *command, timeout=30, **kwargs):
        """The output of `command` on this desktop; it must succeed within `timeout`."""
        return subprocess.run(command, env=self.env, check=True, capture_output=True,
                              text=True, timeout=timeout, **kwargs).stdout

    def corked(self):
        """Whether each of the audio server's streams is paused."""
        listing = self.run("pactl", "list", "sink-inputs")
        return [state == "yes" for state in re.findall(r"Corked: (\w+)", listing)]

    def start_program(self, extra_env=None):
        env = dict(self.env, **(extra_env or {}))
        program = subprocess.Popen([PROGRAM], env=env, stdout=subprocess.PIPE,
                                   stderr=subprocess.PIPE, text=True)
        self.processes.append(program)
        return program

    def wait_window(self, timeout=20, settle=0.5, program=None):
        """The main window's X id, once it is shown and (unless `settle` is 0) painted: its
        pixels show more than one colour and stand still for `settle` seconds. If it is not
        shown in time, the failure says what the screen and `program` (the process that was
        to show it) show instead."""
        try:
            window = self.run("xdotool", "search", "--sync", "--onlyvisible", "--name", "^" +
                              TITLE.replace("(", "\\(").replace(")", "\\)") + "$",
                              timeout=timeout).split()[0]
        except subprocess.TimeoutExpired:
            seen = "the screen: %s" % self.keep_screenshot("no-window")
            if program is not None:
                errors = stop(program)[1] if program.poll() is None else \
                    communicate_bounded(program)[1]
                seen += "; the program (exit status %s) wrote: %s" % (program.returncode,
                                                                      tail(errors))
            raise AssertionError("no window of the program within %d s; %s"
                                 % (timeout, seen)) from None
        if settle:
            self.wait_painted(window, settle)
        return window

    def wait_painted(self, window, settle, seconds=20):
        """Waits until the window's pixels show more than one colour and stand still for
        `settle` seconds: painted, with nothing left to draw."""
        from Xlib import X, display
        screen = display.Display(self.env["DISPLAY"])
        target = screen.create_resource_object("window", int(window))

        def pixels():
            size = target.get_geometry()
            return target.get_image(0, 0, size.width, size.height, X.ZPixmap, 0xFFFFFFFF).data

        last = [pixels()]

        def painted():
            time.sleep(settle)
            now = pixels()
            steady = now == last[0] and len(set(now[::4096])) > 1
            last[0] = now
            return steady

        try:
            until(painted, seconds, "the window painted and standing still",
                  lambda: "its pixels still change or show one colour; the screen: %s"
                  % self.keep_screenshot("unpainted"), interval=0)
        finally:
            screen.close()

    def keep_screenshot(self, name):
        """The screen now, kept where it outlives the desktop (ARTIFACTS) for a failure
        message to point to; returns its path."""
        os.makedirs(ARTIFACTS, exist_ok=True)
        path = os.path.join(ARTIFACTS, "%s-%s.png" % (name, time.strftime("%H%M%S")))
        try:
            self.screenshot(path)
        except (subprocess.SubprocessError, OSError) as error:
            return "no screenshot (%s)" % error
        return path

    def geometry(self, window):
        info = self.run("xwininfo", "-id", window)
        value = {line.split(":")[0].strip(): line.split(":")[1].strip()
                 for line in info.splitlines() if ":" in line}
        return (int(value["Absolute upper-left X"]), int(value["Absolute upper-left Y"]),
                int(value["Width"]), int(value["Height"]))

    def screenshot(self, path=None):
        ppm = subprocess.run(["import", "-window", "root", "-depth", "8", "ppm:-"], env=self.env,
                             check=True, capture_output=True, timeout=30).stdout
        if path:
            subprocess.run(["convert", "ppm:-", path], input=ppm, check=True, timeout=30)
        return Image(ppm)

    def click(self, x, y):
        self.run("xdotool", "mousemove", str(x), str(y), "click", "1")

    def close(self, window, x_display=None):
        """Asks the window to close, as a window manager does for the user's close button;
        on this desktop's X server unless `x_display` names another."""
        from Xlib import X, display
        from Xlib.protocol import event
        screen = display.Display(x_display or self.env["DISPLAY"])
        target = screen.create_resource_object("window", int(window))
        protocols = screen.intern_atom("WM_PROTOCOLS")
        message = event.ClientMessage(
            window=target, client_type=protocols,
            data=(32, [screen.intern_atom("WM_DELETE_WINDOW"), X.CurrentTime, 0, 0, 0]))
        target.send_event(message, event_mask=X.NoEventMask)
        screen.sync()  # a round trip: the server has sent the message on before we go
        screen.close()

    def key(self, *keys):
        self.run("xdotool", "key", "--delay", "30", *keys)

    def type(self, text):
        self.run("xdotool", "type", "--delay", "40", text)


def realtime_threads(pid):
    """[(name, priority)] of the process's threads that run under a real-time policy."""
    threads = []
    for task in os.listdir("/proc/%d/task" % pid):
        with open("/proc/%d/task/%s/stat" % (pid, task)) as stat:
            fields = stat.read().rsplit(")", 1)[1].split()
        if int(fields[38]) in (os.SCHED_FIFO, os.SCHED_RR):  # the policy and priority fields
            with open("/proc/%d/task/%s/comm" % (pid, task)) as comm:
                threads.append((comm.read().strip(), int(fields[37])))
    return threads


class TimedSound:
    """Sound read from a stream of 16-bit stereo frames at 44.1 kHz as it comes, each read
    stamped on the monotonic clock, so that when a frame was played is known too: no frame
    arrives before it was played, and the earliest arrival against its frame count dates
    the first frame (`started`)."""

    RATE = 44100
    FRAME_BYTES = 4

    def __init__(self, open_stream):
        """Reads from what `open_stream()` returns, on a thread of its own."""
        self.chunks = []
        self.started = float("inf")
        self.reader = threading.Thread(target=self._read, args=(open_stream,), daemon=True)
        self.reader.start()

    def _read(self, open_stream):
        # Kept up to date in real time where allowed, as the server is: a reader that falls
        # behind on a busy machine loses sound, which would read as the program's dropout.
        if REALTIME:
            os.sched_setscheduler(0, os.SCHED_FIFO, os.sched_param(REALTIME_PRIORITY))
        received = 0
        with open_stream() as stream:
            while True:
                data = stream.read1(1 << 16)
                if not data:
                    return
                arrived = time.monotonic()
                self.chunks.append(data)
                received += len(data)
                frames = received // self.FRAME_BYTES
                self.started = min(self.started, arrived - frames / self.RATE)

    def left(self):
        """The left channel as floats, once the stream has ended."""
        self.reader.join(10)
        assert not self.reader.is_alive(), "the recording's stream did not end"
        import numpy
        data = b"".join(self.chunks)
        data = data[:len(data) // self.FRAME_BYTES * self.FRAME_BYTES]
        stereo = numpy.frombuffer(data, dtype="<i2").reshape(-1, 2)
        return stereo[:, 0].astype(float) / 32768


class Recording(TimedSound):
    """What the null sink plays, read from its monitor as it comes, while the cores are kept
    awake."""

    def __init__(self, desktop):
        self.process = subprocess.Popen(
            REALTIME + ["parec", "-d", "out.monitor", "--format=s16le",
                        "--rate=%d" % self.RATE, "--channels=2", "--latency-msec=20"],
            env=desktop.env, stdout=subprocess.PIPE)
        self.awake = subprocess.Popen(KEEP_AWAKE + ["--temp-path", desktop.folder])
        desktop.processes += [self.process, self.awake]  # ended with the desktop at the latest
        self.opened = time.monotonic()
        super().__init__(lambda: self.process.stdout)
        time.sleep(0.5)

    def elapsed(self):
        """Seconds since recording started, roughly where the recording has got to."""
        return time.monotonic() - self.opened

    def stop(self):
        """The left channel as floats."""
        stop(self.process)
        stop(self.awake)
        return self.left()
