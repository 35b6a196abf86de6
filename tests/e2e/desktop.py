"""A private desktop for tests of the real program: an X server (Xvfb), optionally an audio
server (PulseAudio with a null sink whose monitor can be recorded), and the program itself,
driven with real input events and seen through screenshots."""

import os
import re
import shutil
import signal
import subprocess
import tempfile
import threading
import time

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
                                  capture_output=True).stdout)

    def pixel(self, x, y):
        i = 3 * (y * self.width + x)
        return tuple(self.pixels[i:i + 3])


class Desktop:
    """Xvfb on a free display, with PulseAudio if `audio`; stops everything on exit."""

    def __init__(self, audio=False, accessibility=False, width=1600, height=1000):
        self.audio = audio
        self.accessibility = accessibility
        self.size = (width, height)
        self.processes = []
        self.folder = tempfile.mkdtemp(prefix="ramp-desktop-")
        self.env = dict(os.environ)
        for name in ("QT_QPA_PLATFORM", "WAYLAND_DISPLAY", "PULSE_SERVER"):
            self.env.pop(name, None)

    def __enter__(self):
        read, write = os.pipe()
        xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write), "-screen", "0",
             "%dx%dx24" % self.size, "-nolisten", "tcp", "-noreset"],
            pass_fds=[write], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write)
        self.processes.append(xvfb)
        with os.fdopen(read) as pipe:
            display = pipe.readline().strip()
        assert display, "Xvfb did not start"
        self.env["DISPLAY"] = ":" + display
        self.env["XDG_RUNTIME_DIR"] = self.folder
        if self.audio:
            self.start_audio()
        if self.accessibility:
            self.start_accessibility()
        return self

    def __exit__(self, *error):
        for process in reversed(self.processes):
            if process.poll() is None:
                process.send_signal(signal.SIGTERM)
                try:
                    process.wait(5)
                except subprocess.TimeoutExpired:
                    process.kill()
                    process.wait()
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
        for _ in range(100):
            if subprocess.run(["pactl", "info"], env=self.env,
                              capture_output=True).returncode == 0:
                return
            time.sleep(0.1)
        raise AssertionError("PulseAudio did not start")

    def start_accessibility(self):
        """A session bus with the accessibility bus on it, switched on as a screen reader
        switches it on, so that programs started afterwards expose their controls."""
        read, write = os.pipe()
        bus = subprocess.Popen(["dbus-daemon", "--session", "--nofork",
                                "--print-address=%d" % write], pass_fds=[write],
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write)
        self.processes.append(bus)
        with os.fdopen(read) as pipe:
            self.env["DBUS_SESSION_BUS_ADDRESS"] = pipe.readline().strip()
        self.processes.append(subprocess.Popen(
            ["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"], env=self.env,
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
        for _ in range(100):
            if subprocess.run(
                    ["dbus-send", "--session", "--print-reply", "--dest=org.a11y.Bus",
                     "/org/a11y/bus", "org.freedesktop.DBus.Properties.Set",
                     "string:org.a11y.Status", "string:IsEnabled", "variant:boolean:true"],
                    env=self.env, capture_output=True).returncode == 0:
                return
            time.sleep(0.1)
        raise AssertionError("the accessibility bus did not start")

    def stop_audio(self):
        """The audio server goes away, as when a desktop's sound server crashes."""
        for process in self.processes:
            if process.args[0] == "pulseaudio":
                process.kill()
                process.wait()

    def record(self):
        """Starts recording what the null sink plays; stop() returns the left channel at
        44.1 kHz as floats."""
        return Recording(self)

    def run(self, *command, **kwargs):
        return subprocess.run(command, env=self.env, check=True, capture_output=True,
                              text=True, **kwargs).stdout

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

    def wait_window(self, timeout=20, settle=0.5):
        """The main window's X id, once it is shown, and `settle` seconds later painted."""
        window = self.run("xdotool", "search", "--sync", "--onlyvisible", "--name", "^" +
                          TITLE.replace("(", "\\(").replace(")", "\\)") + "$",
                          timeout=timeout).split()[0]
        time.sleep(settle)
        return window

    def geometry(self, window):
        info = self.run("xwininfo", "-id", window)
        value = {line.split(":")[0].strip(): line.split(":")[1].strip()
                 for line in info.splitlines() if ":" in line}
        return (int(value["Absolute upper-left X"]), int(value["Absolute upper-left Y"]),
                int(value["Width"]), int(value["Height"]))

    def screenshot(self, path=None):
        ppm = subprocess.run(["import", "-window", "root", "-depth", "8", "ppm:-"], env=self.env,
                             check=True, capture_output=True).stdout
        if path:
            subprocess.run(["convert", "ppm:-", path], input=ppm, check=True)
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
        self.reader.join()
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
        self.process.terminate()
        self.process.wait()
        self.awake.terminate()
        self.awake.wait()
        return self.left()
