"""The program's command line, read before any window opens: --help and --version answer
without a display, anything else of its own is refused with the usage and exit status 2, and
Qt's own options reach Qt."""

import os
import re
import subprocess
import unittest

import desktop
from harness import close_within, end

PROGRAM = desktop.PROGRAM
USAGE = "Usage: %s [options]" % PROGRAM
CHANGELOG = os.path.join(os.path.dirname(__file__), "..", "..", "CHANGELOG")
NO_DISPLAY = "ramp-sonifier: cannot open a window: no display (DISPLAY is not set)"


def version():
    """The version of the changelog's newest entry, which the package carries too."""
    with open(CHANGELOG) as changelog:
        return re.match(r"ramp-sonifier \(([^)]+)\)", changelog.readline()).group(1)


def without_display(env=os.environ):
    return {name: value for name, value in env.items()
            if name not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}


def run(*arguments):
    return subprocess.run([PROGRAM, *arguments], capture_output=True, text=True, timeout=20,
                          env=without_display())


class CommandLineTest(unittest.TestCase):

    def test_help(self):
        for arguments in (["--help"], ["-h"], ["-help"], ["-style", "fusion", "--help"]):
            with self.subTest(arguments=arguments):
                result = run(*arguments)
                self.assertEqual((result.returncode, result.stderr), (0, ""))
                lines = result.stdout.splitlines()
                self.assertEqual(lines[0], USAGE)
                options = [line.split()[:2] for line in lines if line.startswith("  -")]
                self.assertEqual(options, [["-h,", "--help"], ["-v,", "--version"],
                                           ["--export", "<file>"], ["--whole", "<n>"]])

    def test_version(self):
        for arguments in (["--version"], ["-v"], ["-platform", "xcb", "--version"]):
            with self.subTest(arguments=arguments):
                result = run(*arguments)
                self.assertEqual((result.returncode, result.stderr), (0, ""))
                self.assertEqual(result.stdout.splitlines()[0], "ramp-sonifier " + version())

    def test_usage_errors(self):
        # Without a display: a program that tried to open its window would say it cannot.
        for arguments, error in [
                (["--no-such-option"], "Unknown option 'no-such-option'."),
                (["-x"], "Unknown option 'x'."),
                (["--version=2"], "Unexpected value after '--version'."),
                (["-platform"], "Missing value after '-platform'."),
                (["lesson.txt"], "Unexpected argument 'lesson.txt'."),
                (["--", "--help"], "Unexpected argument '--help'.")]:
            with self.subTest(arguments=arguments):
                result = run(*arguments)
                self.assertEqual((result.returncode, result.stdout), (2, ""), result.stderr)
                lines = result.stderr.splitlines()
                self.assertEqual(lines[:2], ["ramp-sonifier: " + error, USAGE])
                self.assertIn("  -h, --help", "\n".join(lines))

    def test_qt_options_reach_qt_without_a_display(self):
        # Accepted, so the program goes on to open its window and finds no display; or the
        # platform Qt was told to use is not there.
        for arguments, line in [
                (["-style", "fusion"], NO_DISPLAY),
                (["-style=fusion", "-reverse"], NO_DISPLAY),
                (["-qwindowtitle", "Lesson", "-stylesheet", "/dev/null"], NO_DISPLAY),
                (["-platform", "nosuchplugin"], "ramp-sonifier: cannot open a window: Could "
                                                'not find the Qt platform plugin "nosuchplugin" '
                                                'in ""')]:
            with self.subTest(arguments=arguments):
                result = run(*arguments)
                self.assertEqual((result.returncode, result.stderr.splitlines()), (1, [line]))

    def test_qt_options_that_qt_does_not_take(self):
        # Qt takes some of its options only with their value after a space: in any other form
        # it leaves them, and they would be ignored. Refused once the display is reached, before
        # any window.
        with desktop.Desktop() as screen:
            for argument in ["-display=:999", "-qwindowtitle=Lesson", "-platform=xcb"]:
                with self.subTest(argument=argument):
                    result = subprocess.run([PROGRAM, argument], capture_output=True, text=True,
                                            timeout=20, env=screen.env)
                    self.assertEqual((result.returncode, result.stdout), (2, ""), result.stderr)
                    lines = result.stderr.splitlines()
                    self.assertEqual(lines[:2], [
                        "ramp-sonifier: Unexpected argument '%s': Qt did not take it."
                        % argument, USAGE])
                    # A window opened would have opened device 0, which says it has no sound.
                    self.assertEqual([line for line in lines if line.startswith("ramp-")],
                                     lines[:1])

    def test_qt_options_open_the_window(self):
        # The display named on the command line only, with a style and a right-to-left layout.
        with desktop.Desktop(audio=True) as screen:
            program = subprocess.Popen(
                [PROGRAM, "-display", screen.env["DISPLAY"], "-style", "fusion", "-reverse"],
                env=without_display(screen.env), stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                text=True)
            self.addCleanup(end, program)
            window = screen.wait_window(program=program)
            self.assertEqual(close_within(self, screen, window, program), [])


if __name__ == "__main__":
    unittest.main()
