"""A screen reader on the private desktop: Orca speaking through a speech-dispatcher of our own,
whose log keeps every message it is asked to speak. Its audio goes to ALSA's null device, so it
needs no sound server."""

import html
import os
import re
import subprocess
import time

SPEECHD_CONFIG = """LogLevel 5
AudioOutputMethod "alsa"
AudioALSADevice "null"
AddModule "dummy" "sd_dummy" ""
DefaultModule dummy
"""
MESSAGE = re.compile(r"Queueing message \|(.*?)\| with priority", re.S)


class ScreenReader:
    """Orca on `desktop`, which must have its accessibility bus. Started without --replace,
    which would end other screen readers by name anywhere on the machine."""

    def __init__(self, desktop):
        self.desktop = desktop
        folder = os.path.join(desktop.folder, "screen-reader")
        config, logs = os.path.join(folder, "speechd"), os.path.join(folder, "logs")
        os.makedirs(config)
        os.makedirs(logs)
        with open(os.path.join(config, "speechd.conf"), "w") as file:
            file.write(SPEECHD_CONFIG)
        self.log = os.path.join(logs, "speech-dispatcher.log")
        socket = os.path.join(folder, "speechd.sock")
        self.start(["speech-dispatcher", "--run-single", "--timeout", "0",
                    "--communication-method", "unix_socket", "--socket-path", socket,
                    "--config-dir", config, "--log-dir", logs, "--log-level", "5"], desktop.env)
        deadline = time.monotonic() + 10
        while not os.path.exists(socket):
            assert time.monotonic() < deadline, "speech-dispatcher did not start"
            time.sleep(0.1)
        self.orca_env = dict(desktop.env, SPEECHD_ADDRESS="unix_socket:" + socket, HOME=folder,
                             XDG_CONFIG_HOME=os.path.join(folder, "config"),
                             XDG_DATA_HOME=os.path.join(folder, "data"),
                             XDG_CACHE_HOME=os.path.join(folder, "cache"))
        self.preferences = os.path.join(folder, "orca")
        self.orca = None
        self.start_orca()

    def start(self, command, env):
        process = subprocess.Popen(command, env=env, stdout=subprocess.DEVNULL,
                                   stderr=subprocess.DEVNULL)
        self.desktop.processes.append(process)
        return process

    def start_orca(self):
        started = self.said().count("Screen reader on.")
        self.orca = self.start(["orca", "--user-prefs", self.preferences], self.orca_env)
        self.wait_for(lambda said: said.count("Screen reader on.") > started, 30,
                      "Orca did not start")

    def stop_orca(self):
        self.orca.terminate()
        self.orca.wait(10)

    def said(self):
        """Every message spoken so far, as plain text."""
        try:
            with open(self.log, errors="replace") as file:
                log = file.read()
        except FileNotFoundError:
            return []
        return [html.unescape(re.sub(r"<[^>]*>", "", message)).strip()
                for message in MESSAGE.findall(log)]

    def wait_for(self, done, timeout, failure):
        """Waits until `done(messages)` holds; returns the messages."""
        deadline = time.monotonic() + timeout
        while True:
            said = self.said()
            if done(said):
                return said
            if time.monotonic() > deadline:
                raise AssertionError("%s; said: %s" % (failure, said[-20:]))
            time.sleep(0.1)
