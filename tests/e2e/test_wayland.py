"""The program on a Wayland desktop, Debian's default: under Weston, through XWayland as the
package installs it and natively with Qt's Wayland plugin. The compositor places the window
itself, wherever it likes; Weston's headless back end has no input devices, so Run is pressed
through the accessibility bus, and the native window, which only a click on its own close
button can close there, is closed on Weston's X11 back end."""

import subprocess

from harness import LAST_X, LAST_Y, DesktopTestCase, end
from plot import WINDOW, circle_mismatches
from wayland import OUTPUT, Weston
from waits import finish


class Shifted:
    """A screenshot seen as if the window stood where it was designed to."""

    def __init__(self, image, left, top):
        self.image, self.dx, self.dy = image, left - WINDOW[0], top - WINDOW[1]

    def pixel(self, x, y):
        return self.image.pixel(x + self.dx, y + self.dy)


class WaylandTest(DesktopTestCase):
    # Larger than Weston's screen, so that the pointer can leave Weston's X11 window.
    desktop_options = {"width": OUTPUT[0] + 100, "height": OUTPUT[1] + 100}

    def sweep(self, weston, program):
        """Presses Run through the accessibility bus and checks the sweep on Weston's screen."""
        left, top = weston.window()
        controls = self.a11y.application(program)
        run = controls.control("Run").queryAction()
        run.doAction([run.getName(i) for i in range(run.nActions)].index("Press"))
        controls.wait_read_outs((LAST_X, LAST_Y))
        wrong, checked = circle_mismatches(Shifted(weston.screenshot(), left, top), 500)
        self.assertEqual(wrong, [])
        self.assertGreater(checked, 100)

    def exits(self, program):
        try:
            errors = finish(program, 5, "the program ending once its window closed")[1]
        except AssertionError as failure:
            raise AssertionError("%s; the screen: %s" % (
                failure, self.desktop.keep_screenshot("window-still-open"))) from None
        self.assertEqual(program.returncode, 0, errors)

    def test_through_xwayland(self):
        with Weston(self.desktop, xwayland=True) as weston:
            program = self.desktop.start_program(weston.program_env("xcb"))
            self.sweep(weston, program)
            window = subprocess.run(
                ["xdotool", "search", "--onlyvisible", "--name", "^Sonification"],
                env=dict(self.desktop.env, DISPLAY=weston.x_display), capture_output=True,
                text=True, check=True).stdout.split()
            self.assertEqual(len(window), 1)
            self.desktop.close(window[0], weston.x_display)
            self.exits(program)

    def test_natively(self):
        with Weston(self.desktop) as weston:
            program = self.desktop.start_program(weston.program_env("wayland"),
                                                 unset=["DISPLAY"])
            self.sweep(weston, program)
            end(program)

    def test_native_window_closes_with_its_close_button(self):
        with Weston(self.desktop, backend="x11") as weston:
            program = self.desktop.start_program(weston.program_env("wayland"),
                                                 unset=["DISPLAY"])
            left, top = weston.window()
            # Qt draws the close button at the right end of its own title bar, above the
            # client area.
            weston.click(left + WINDOW[2] - 12, top - 14)
            self.exits(program)
