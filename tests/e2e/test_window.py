"""The real window under Xvfb: where it opens, what it shows, and what a Run leaves on it."""

import os
import time
import unittest

import numpy as np

from desktop import Desktop, Image
from harness import end
from plot import GREY, PLOT, RED, RUN_BUTTON, WINDOW, at, circle_mismatches, pixels, plot_pixel
from waits import until

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.join(HERE, "..", "..")
PICTURES = os.path.join(SOURCE, "ui", "pictures")
SILVER = (192, 192, 192)
LABELS = {  # left, top, width, height of the labels and read-outs that show text
    "Label1": (616, 578, 121, 22), "Label2": (271, 288, 44, 44),
    "Label3": (322, 578, 44, 22), "Label4": (293, 56, 33, 22),
    "Label5": (968, 578, 33, 22), "Label6": (64, 591, 121, 22),
    "Label7": (1024, 591, 132, 22), "Label8": (32, 628, 550, 18),
    "Label10": (60, 649, 416, 16), "Label11": (32, 693, 600, 16),
    "Label12": (32, 715, 736, 16), "Label9": (32, 737, 736, 16),
    "Label13": (60, 671, 456, 16), "EditX": (400, 580, 45, 22), "EditY": (269, 536, 45, 22),
}


def is_dark(pixel):
    return sum(pixel) < 3 * 100


def contrast(a, b):
    """WCAG 2's contrast ratio of two colours."""
    def luminance(rgb):
        linear = [c / 255 / 12.92 if c / 255 <= 0.04045 else ((c / 255 + 0.055) / 1.055) ** 2.4
                  for c in rgb]
        return 0.2126 * linear[0] + 0.7152 * linear[1] + 0.0722 * linear[2]
    high, low = sorted((luminance(a), luminance(b)), reverse=True)
    return (high + 0.05) / (low + 0.05)


def mismatches(screen, picture, left, top):
    """How many pixels of `picture` differ from the screen's with its top-left at (left, top)."""
    return sum(screen.pixel(left + x, top + y) != picture.pixel(x, y)
               for y in range(picture.height) for x in range(picture.width))


class WindowTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        # Held to its pixels: with the layout's fonts alone, whatever else is installed.
        cls.desktop = Desktop(layout_fonts_only=True).__enter__()
        cls.program = cls.desktop.start_program()
        cls.window = cls.desktop.wait_window()
        cls.before = cls.desktop.screenshot()

    @classmethod
    def tearDownClass(cls):
        cls.desktop.__exit__(None, None, None)

    def test_opens_where_designed_at_its_size(self):
        self.assertEqual(self.desktop.geometry(self.window), WINDOW)

    def test_pictures_show_pixel_for_pixel(self):
        keyboard = Image.load(os.path.join(PICTURES, "keyboard.png"))
        strip = Image.load(os.path.join(PICTURES, "strip.png"))
        for picture, left, top in [(keyboard, 15, 8), (strip, 1064, 64), (strip, 1077, 64),
                                   (strip, 1090, 64)]:
            self.assertEqual(
                mismatches(self.before, picture, WINDOW[0] + left, WINDOW[1] + top), 0,
                (left, top))

    def test_before_any_key_the_window_is_as_designed_pixel_for_pixel(self):
        # As kept in window_at_start.png, which `tools/screenshot --at-start` makes anew where
        # the window's look is meant to change.
        kept = pixels(Image.load(os.path.join(HERE, "window_at_start.png")))
        left, top, width, height = WINDOW
        shown = pixels(self.before)[top:top + height, left:left + width]
        self.assertEqual(kept.shape, shown.shape)
        wrong = np.argwhere((kept != shown).any(axis=2))
        if len(wrong):
            self.fail("%d pixels differ, from (x, y) %s to %s; the screen: %s" % (
                len(wrong), tuple(wrong.min(axis=0)[::-1]), tuple(wrong.max(axis=0)[::-1]),
                self.desktop.keep_screenshot("window-at-start")))

    def test_texts_are_in_place_and_the_plot_is_blank(self):
        for name, (left, top, width, height) in LABELS.items():
            dark = sum(is_dark(at(self.before, left + x, top + y))
                       for x in range(width) for y in range(height))
            self.assertGreater(dark, 10, name)
        background = at(self.before, 2, 2)
        plot = {plot_pixel(self.before, x, y)
                for x in range(0, 660, 4) for y in range(0, 500, 4)}
        self.assertEqual(plot, {background})
        self.assertEqual(at(self.before, 806 + 10, 628 + 118), SILVER)

    def test_run_draws_the_band_of_circles(self):
        # A Run click on the button inside the group box; the sweep takes about 7.6 s.
        self.desktop.click(WINDOW[0] + RUN_BUTTON[0], WINDOW[1] + RUN_BUTTON[1])
        seen = []

        def drawn():
            seen[:] = [self.desktop.screenshot()]
            return circle_mismatches(seen[0], 500)[0] == []

        until(drawn, 30, "the whole band of circles", lambda: "steps not drawn as they should "
              "be: %s" % circle_mismatches(seen[0], 500)[0][:5], interval=0.5)
        after = seen[0]
        for x, y in [(1, 250), (658, 250), (100, 1), (330, 498)]:
            self.assertEqual(plot_pixel(after, x, y), RED, "the red frame at %d,%d" % (x, y))
        self.assertEqual(plot_pixel(after, 330, 300), GREY)
        wrong, checked = circle_mismatches(after, 500)
        self.assertEqual(wrong, [])
        self.assertGreater(checked, 100)


class SmallScreenTest(unittest.TestCase):
    """On a school laptop's screen, and on one scaled as such laptops are, the whole window lies
    on the screen; where it cannot show all its layout, the layout scrolls, and Run is clicked
    where it is shown."""

    # Screen width and height in device pixels, and the scale the desktop is set to.
    SCREENS = [(1366, 768, 1), (1920, 1080, 1.5)]

    def test_run_is_reached_on_small_and_scaled_screens(self):
        for width, height, scale in self.SCREENS:
            with self.subTest(screen="%dx%d at %d %%" % (width, height, 100 * scale)), \
                    Desktop(width=width, height=height) as desktop:
                program = desktop.start_program({"QT_SCALE_FACTOR": str(scale)})
                self.addCleanup(end, program)
                window = desktop.wait_window(program=program)
                left, top, shown_width, shown_height = desktop.geometry(window)
                self.assertGreaterEqual(min(left, top), 0)
                self.assertLessEqual((left + shown_width, top + shown_height), (width, height))
                # As far down as the layout goes, with the wheel over the plot: its last
                # pixels stand at the window's bottom edge.
                self.assertGreaterEqual(shown_width / scale, WINDOW[2], "scrolls across")
                scrolled = max(0, WINDOW[3] - round(shown_height / scale))
                desktop.run("xdotool", "mousemove", str(left + int(600 * scale)),
                            str(top + int(300 * scale)), "click", "--repeat", "3", "5")
                desktop.wait_painted(window, 0.3)
                desktop.click(left + int(RUN_BUTTON[0] * scale),
                              top + int((RUN_BUTTON[1] - scrolled) * scale))
                origin = (left + int(PLOT[0] * scale), top + int((PLOT[1] - scrolled) * scale))
                seen = []

                def drawn():
                    seen[:] = [desktop.screenshot()]
                    return circle_mismatches(seen[0], 500, origin, scale)[0] == []

                until(drawn, 30, "the whole band of circles", lambda: "steps not drawn as they "
                      "should be: %s; the screen: %s" % (
                          circle_mismatches(seen[0], 500, origin, scale)[0][:5],
                          desktop.keep_screenshot("small-screen")), interval=0.5)
                for x, y in [(1, 250), (658, 250), (100, 1)]:
                    self.assertEqual(seen[0].pixel(origin[0] + int((x + 0.5) * scale),
                                                   origin[1] + int((y + 0.5) * scale)), RED,
                                     "the red frame at %d,%d, drawn by a sweep" % (x, y))
                self.assertGreater(circle_mismatches(seen[0], 500, origin, scale)[1], 100)


class HighDpiTest(unittest.TestCase):
    """At two device pixels per pixel the window shows the pictures' @2x files."""

    def test_pictures_show_their_detailed_files_pixel_for_pixel(self):
        with Desktop(width=3200, height=1800) as desktop:
            program = desktop.start_program({"QT_SCALE_FACTOR": "2"})
            left, top, width, height = desktop.geometry(desktop.wait_window())
            self.assertEqual((width, height), (2 * WINDOW[2], 2 * WINDOW[3]))
            screen = desktop.screenshot()
        end(program)
        keyboard = Image.load(os.path.join(PICTURES, "keyboard@2x.png"))
        strip = Image.load(os.path.join(PICTURES, "strip@2x.png"))
        for picture, x, y in [(keyboard, 15, 8), (strip, 1064, 64), (strip, 1077, 64),
                              (strip, 1090, 64)]:
            self.assertEqual(mismatches(screen, picture, left + 2 * x, top + 2 * y), 0, (x, y))


class DarkThemeTest(unittest.TestCase):
    """Under GTK's dark Adwaita theme the window takes the theme's colours, and what stands on
    the group box's own silver keeps dark ink."""

    def test_texts_keep_their_contrast(self):
        with Desktop() as desktop:
            program = desktop.start_program({"QT_QPA_PLATFORMTHEME": "gtk3",
                                             "GTK_THEME": "Adwaita:dark"})
            desktop.wait_window()
            screen = desktop.screenshot()
        end(program)
        background = at(screen, 2, 2)
        self.assertLess(sum(background), 3 * 100, "the theme is dark")

        def ink_contrast(left, top, width, height, behind):
            return max(contrast(at(screen, left + x, top + y), behind)
                       for x in range(width) for y in range(height))

        for name, (left, top, width, height) in LABELS.items():
            if name.startswith("Label"):
                self.assertGreaterEqual(ink_contrast(left, top, width, height, background), 4.5,
                                        name)
        # The caption's upper half, above the frame's top line; the ticks under the slider.
        self.assertGreaterEqual(ink_contrast(806, 628, 297, 6, SILVER), 4.5, "caption")
        self.assertGreaterEqual(ink_contrast(806 + 35, 628 + 24 + 27, 175, 18, SILVER), 4.5,
                                "tick marks")


if __name__ == "__main__":
    unittest.main()
