"""The Debian package, as a user gets it.

  deb        makes the package with CPack and checks its control fields and contents
  lintian    runs Debian's package checker on it, pedantic and with info tags, and checks the
             packaged program's hardening
  installed  installs it with apt into a fresh root of this Debian release (debootstrap
             from the host's Debian mirror) and starts the installed program under Xvfb

Needs root (debootstrap and chroot) and reaches the Debian mirror the host's apt uses.
Everything made is removed on the way out, failure or not: the root lives under --root,
every command in it runs in its own mount and PID namespaces, so no mount outlives the test
and killing a namespace's first process ends every process started in it.
"""

import argparse
import glob
import os
import re
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import time

PACKAGE = "ramp-sonifier"
APP_ID = "org.rampsonifier.RampSonifier"
INSTALLED_FILES = [
    "/usr/bin/ramp-sonifier",
    "/usr/share/applications/%s.desktop" % APP_ID,
    "/usr/share/metainfo/%s.metainfo.xml" % APP_ID,
    "/usr/share/icons/hicolor/scalable/apps/%s.svg" % APP_ID,
] + ["/usr/share/icons/hicolor/%dx%d/apps/%s.png" % (n, n, APP_ID)
     for n in (16, 32, 48, 64, 128, 256)]
# What Debian asks of every package beside its own files.
DOCUMENTS = ["/usr/share/doc/%s/copyright" % PACKAGE, "/usr/share/doc/%s/changelog.gz" % PACKAGE,
             "/usr/share/man/man1/%s.1.gz" % PACKAGE]
# Loaded at run time, so no shared-library scan finds them: the xcb platform plugin, the
# General MIDI soundfont and the fonts the layout names.
RUNTIME_DEPENDS = {"qt6-qpa-plugins", "fluid-soundfont-gm", "fonts-liberation",
                   "libqt6widgets6", "libqt6gui6", "libqt6core6", "libfluidsynth3"}
BUILD_ONLY = re.compile(r"-dev$|^(cmake|g\+\+|gcc|make|pkg-config|qt6-base-dev-tools)$")
TITLE_WORD = "Sonification"


class Failure(Exception):
    pass


def run(command, timeout, **kwargs):
    """Runs a command, raising Failure with its output when it fails or takes too long."""
    try:
        result = subprocess.run(command, capture_output=True, text=True, timeout=timeout,
                                **kwargs)
    except subprocess.TimeoutExpired:
        raise Failure("%s: no answer in %d s" % (" ".join(command), timeout))
    if result.returncode != 0:
        raise Failure("%s: exit %d\n%s%s" % (" ".join(command), result.returncode,
                                             result.stdout[-3000:], result.stderr[-3000:]))
    return result.stdout


def control_field(deb, name):
    return run(["dpkg-deb", "--field", deb, name], 30).strip()


def package_names(relation):
    """The package names in a Depends-style field: 'a (>= 1), b | c' gives a, b, c."""
    return {re.sub(r"[\s(:].*", "", alternative.strip())
            for item in relation.split(",") if item.strip()
            for alternative in item.split("|")}


def find_deb(out):
    debs = glob.glob(os.path.join(out, "%s_*.deb" % PACKAGE))
    if len(debs) != 1:
        raise Failure("expected one %s_*.deb in %s, found %s" % (PACKAGE, out, debs or "none"))
    return debs[0]


def test_deb(args):
    for old in glob.glob(os.path.join(args.out, "*.deb")):
        os.remove(old)
    run([args.cpack, "-G", "DEB", "--config", args.config, "-B", args.out], 240)
    deb = find_deb(args.out)
    problems = []
    if control_field(deb, "Package") != PACKAGE:
        problems.append("Package is %r" % control_field(deb, "Package"))
    depends = package_names(control_field(deb, "Depends"))
    missing = RUNTIME_DEPENDS - depends
    if missing:
        problems.append("Depends lacks %s" % ", ".join(sorted(missing)))
    build_only = sorted(name for name in depends if BUILD_ONLY.search(name))
    if build_only:
        problems.append("Depends names build-only packages: %s" % ", ".join(build_only))
    for field in ("Maintainer", "Section", "Description"):
        if not control_field(deb, field):
            problems.append("no %s" % field)
    contents = {line.split()[-1].lstrip(".")
                for line in run(["dpkg-deb", "--contents", deb], 30).splitlines()}
    problems += ["not in the package: %s" % path for path in INSTALLED_FILES + DOCUMENTS
                 if path not in contents]
    if DOCUMENTS[1] in contents:
        with tempfile.TemporaryDirectory() as tree:
            run(["dpkg-deb", "--extract", deb, tree], 60)
            newest = run(["dpkg-parsechangelog", "-S", "Version", "-l",
                          os.path.join(tree, DOCUMENTS[1].lstrip("/"))], 30).strip()
        if newest != control_field(deb, "Version"):
            problems.append("the changelog's newest version is %s, the package's %s"
                            % (newest, control_field(deb, "Version")))
    if problems:
        raise Failure("%s:\n  %s" % (os.path.basename(deb), "\n  ".join(problems)))
    print("%s: %d bytes\nDepends: %s" % (os.path.basename(deb), os.path.getsize(deb),
                                         control_field(deb, "Depends")))


def test_lintian(args):
    deb = find_deb(args.out)
    # Pedantic, and info tags shown: the package is to give none at all.
    result = subprocess.run(["lintian", "--pedantic", "--display-info", "--tag-display-limit",
                             "0", deb], capture_output=True, text=True, timeout=600)
    tags = [line for line in result.stdout.splitlines() if re.match(r"[A-Z]: ", line)]
    if tags or result.returncode != 0:
        raise Failure("lintian (exit %d):\n%s%s" % (result.returncode, result.stdout,
                                                    result.stderr))
    print("lintian --pedantic --display-info: no tags")
    with tempfile.TemporaryDirectory() as tree:
        run(["dpkg-deb", "--extract", deb, tree], 60)
        # Debian 12's C start-up files carry no control-flow protection marker, so the linker
        # marks no program built here as protected, though the program's own code is built
        # with -fcf-protection; the other checks must pass.
        print(run(["hardening-check", "--nocfprotection",
                   os.path.join(tree, INSTALLED_FILES[0].lstrip("/"))], 60), end="")


def debian_archives():
    """(URI, suite) of each Debian archive of this release that the host's apt reads,
    updates and security included: the package was built against their libraries."""
    with open("/etc/os-release") as release:
        codename = re.search(r"^VERSION_CODENAME=(\S+)", release.read(), re.M).group(1)
    archives, candidate = [], None
    for line in run(["apt-cache", "policy"], 60).splitlines():
        # " 500 http://deb.debian.org/debian bookworm/main amd64 Packages"
        # "     release v=12.11,o=Debian,a=stable,n=bookworm,l=Debian,c=main,b=amd64"
        fields = line.split()
        if len(fields) >= 4 and fields[0].isdigit() and "://" in fields[1]:
            candidate = (fields[1], fields[2].split("/")[0])
        elif fields[:1] == ["release"] and "o=Debian," in line and candidate:
            if re.search(r"\bn=%s\b" % re.escape(codename), line) and candidate not in archives:
                archives.append(candidate)
            candidate = None
    main = [uri for uri, suite in archives if suite == codename]
    if not main:
        raise Failure("the host's apt reads no Debian %s archive (apt-cache policy)" % codename)
    return codename, main[0], archives


# Retries reach the mirror again after a dropped download, not a test again.
APT = ["apt-get", "-q", "-o", "Acquire::Retries=3"]


class DebianRoot:
    """A minimal Debian root at `path`, removed again on exit."""

    def __init__(self, path):
        self.path = path
        self.env = {"PATH": "/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin",
                    "HOME": "/root", "LC_ALL": "C.UTF-8", "DEBIAN_FRONTEND": "noninteractive"}

    def isolated(self, command):
        """`command` in new mount and PID namespaces: its mounts vanish with it, and when it
        ends (or this wrapper is killed) so does every process it started."""
        return ["unshare", "--mount", "--propagation", "private", "--pid", "--fork",
                "--kill-child"] + command

    def inside(self, command):
        return self.isolated(["chroot", self.path] + command)

    def run(self, command, timeout):
        return run(self.inside(command), timeout, env=self.env)

    def make(self, codename, mirror, archives):
        """debootstrap of `codename` from `mirror`, reading `archives` (debian_archives())
        as the host does, with no service of what is installed started in the root."""
        run(self.isolated(["debootstrap", "--variant=minbase", codename, self.path, mirror]),
            1200, env=self.env)
        with open(os.path.join(self.path, "etc/apt/sources.list"), "w") as sources:
            sources.writelines("deb %s %s main\n" % archive for archive in archives)
        policy = os.path.join(self.path, "usr/sbin/policy-rc.d")
        with open(policy, "w") as script:
            script.write("#!/bin/sh\nexit 101\n")
        os.chmod(policy, 0o755)

    def install(self, deb, packages=()):
        """The package file `deb` and `packages` installed with apt, without Recommends (what
        Depends names must be enough to run); apt's output."""
        shutil.copy(deb, os.path.join(self.path, "tmp"))
        self.run(APT + ["update"], 600)
        return self.run(APT + ["install", "-y", "--no-install-recommends",
                               "/tmp/" + os.path.basename(deb)] + list(packages), 1800)

    def remove(self):
        if not os.path.lexists(self.path):
            return
        real = os.path.realpath(self.path)
        with open("/proc/self/mountinfo") as mounts:
            inside = [fields[4] for fields in map(str.split, mounts)
                      if fields[4] == real or fields[4].startswith(real + "/")]
        if inside:  # rm -rf would reach into the mounted file systems
            raise Failure("not removing %s: mounted inside it: %s" % (real, inside))
        shutil.rmtree(self.path)

    def __enter__(self):
        self.remove()  # left by a run that was killed
        return self

    def __exit__(self, *error):
        self.remove()


def wait_window(env, timeout):
    """The X id of the first visible window whose title names the program's subject."""
    return run(["xdotool", "search", "--sync", "--onlyvisible", "--name", TITLE_WORD],
               timeout, env=env).split()[0]


def test_installed(args):
    deb = find_deb(args.out)
    codename, mirror, archives = debian_archives()
    started = time.monotonic()
    processes = []
    with DebianRoot(args.root) as root:
        try:
            root.make(codename, mirror, archives)
            print("debootstrap %s from %s: %.0f s" % (codename, mirror,
                                                      time.monotonic() - started))
            step = time.monotonic()
            output = root.install(deb)
            print("apt-get install: %.0f s; %s" % (
                time.monotonic() - step,
                "; ".join(re.findall(r"^Need to get .*$|^\d+ upgraded, .*$", output, re.M))))
            status = root.run(["dpkg-query", "-W", "-f", "${Status}", PACKAGE], 60)
            if status != "install ok installed":
                raise Failure("%s after apt-get install: %r" % (PACKAGE, status))
            absent = [path for path in INSTALLED_FILES
                      if not os.path.isfile(os.path.join(root.path, path.lstrip("/")))]
            if absent:
                raise Failure("installed package lacks %s" % ", ".join(absent))

            read, write = os.pipe()
            xvfb = subprocess.Popen(
                ["Xvfb", "-displayfd", str(write), "-screen", "0", "1600x1000x24",
                 "-nolisten", "tcp", "-noreset"],
                pass_fds=[write], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            processes.append(xvfb)
            os.close(write)
            with os.fdopen(read, "rb") as pipe:
                # Xvfb writes its display number once it listens.
                ready = select.select([pipe], [], [], 30)[0]
                display = pipe.readline().decode().strip() if ready else ""
            if not display:
                raise Failure("Xvfb did not start within 30 s")
            # The program reaches the host's X server through its abstract socket, which
            # the chroot leaves reachable; no file system is shared with the root.
            env = dict(root.env, DISPLAY=":" + display)
            program = subprocess.Popen(root.inside(["/usr/bin/ramp-sonifier"]), env=env,
                                       stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                       text=True)
            processes.append(program)
            try:
                window = wait_window(env, 60)
            except Failure:
                program.kill()
                raise Failure("no window of the installed program within 60 s; it wrote:\n%s"
                              % program.communicate(timeout=30)[1][-3000:])
            # Desktops match the window to its launcher by this class.
            wm_class = run(["xprop", "-id", window, "WM_CLASS"], 30, env=env)
            desktop_file = open(os.path.join(root.path, INSTALLED_FILES[1].lstrip("/"))).read()
            startup_class = re.search(r"^StartupWMClass=(.*)$", desktop_file, re.M).group(1)
            if '"%s"' % startup_class not in wm_class:
                raise Failure("window's %s does not match StartupWMClass=%s"
                              % (wm_class.strip(), startup_class))
            time.sleep(1)
            if program.poll() is not None:
                raise Failure("the installed program ended by itself: %s"
                              % program.communicate(timeout=30)[1][-3000:])
            program.kill()  # the namespace's first process goes, and the program with it
            stderr = program.communicate(timeout=30)[1]
            # The root has no audio output; its soundfont must have been found all the same.
            if "no General MIDI soundfont" in stderr:
                raise Failure("the installed program found no soundfont:\n%s" % stderr)
            print("window %s of the installed program appeared (%s)" % (window,
                                                                       wm_class.strip()))

            root.run(APT + ["purge", "-y", PACKAGE], 300)
            left = [path for path in INSTALLED_FILES
                    if os.path.lexists(os.path.join(root.path, path.lstrip("/")))]
            if left:
                raise Failure("apt-get purge left %s" % ", ".join(left))
        finally:
            for process in reversed(processes):
                if process.poll() is None:
                    process.kill()
                process.wait(30)
    print("package test: %.0f s" % (time.monotonic() - started))


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    commands = parser.add_subparsers(dest="command", required=True)
    deb = commands.add_parser("deb")
    deb.add_argument("--cpack", required=True)
    deb.add_argument("--config", required=True)
    deb.add_argument("--out", required=True, help="folder for the package")
    lintian = commands.add_parser("lintian")
    lintian.add_argument("--out", required=True, help="folder holding the package")
    installed = commands.add_parser("installed")
    installed.add_argument("--out", required=True, help="folder holding the package")
    installed.add_argument("--root", required=True, help="where to make the Debian root")
    args = parser.parse_args()
    if os.geteuid() != 0 and args.command == "installed":
        sys.exit("test_package.py installed: needs root for debootstrap and chroot")
    # A TERM from CTest's time-out still leaves through the clean-up above.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit("test_package.py: terminated"))
    try:
        {"deb": test_deb, "lintian": test_lintian,
         "installed": test_installed}[args.command](args)
    except Failure as failure:
        sys.exit("FAIL: %s" % failure)


if __name__ == "__main__":
    main()
