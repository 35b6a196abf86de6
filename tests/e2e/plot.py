"""What the plot must show after a sweep, worked out from the reference sweep, and what it
shows on the screen."""

import numpy as np

import reference
from waits import until

WINDOW = (411, 120, 1174, 761)
PLOT = (342, 64)
RUN_BUTTON = (806 + 32 + 112, 628 + 75 + 16)
WHOLE_EDIT = (806 + 216 + 20, 628 + 27 + 12)
RED, GREY = (255, 0, 0), (128, 128, 128)
PLOT_SIZE = (660, 500)


def at(image, x, y):
    """A pixel of the window's client area."""
    return image.pixel(WINDOW[0] + x, WINDOW[1] + y)


def plot_pixel(image, x, y):
    return at(image, PLOT[0] + x, PLOT[1] + y)


def circle_mismatches(image, whole, origin=None, scale=1):
    """Steps whose circle, where no later circle covers it, is not filled with the colour
    colorRamp gives it; and how many steps could be checked. The plot's corner stands at
    `origin` on the screen (where the window opens as designed, unless given), each of its
    pixels `scale` device pixels wide."""
    if origin is None:
        origin = (WINDOW[0] + PLOT[0], WINDOW[1] + PLOT[1])

    def shown(x, y):
        return image.pixel(origin[0] + int((x + 0.5) * scale),
                           origin[1] + int((y + 0.5) * scale))

    steps = reference.sweep(whole)
    wrong, checked = [], 0
    for k, step in enumerate(steps):
        # Just inside the circle's left edge, at its middle: the next circles stand 5 pixels
        # further right, so this point stays uncovered unless the path turns.
        x, y = step["left"] + 3, step["top"] + 10
        if not (4 <= x < 656 and 4 <= y < 496) or any(
                (x - s["left"] - 10) ** 2 + (y - s["top"] - 10) ** 2 <= 11 ** 2
                for s in steps[k + 1:]):
            continue
        checked += 1
        if shown(x, y) != step["fill"]:
            wrong.append((k + 1, shown(x, y), step["fill"]))
    return wrong, checked


def pixels(image):
    """An Image (desktop.py) as an array of rows of (r, g, b)."""
    return np.frombuffer(image.pixels, dtype=np.uint8)[:image.width * image.height * 3] \
        .reshape(image.height, image.width, 3)


def plot_of(screen):
    """The plot's pixels on a screenshot."""
    left, top = WINDOW[0] + PLOT[0], WINDOW[1] + PLOT[1]
    return pixels(screen)[top:top + PLOT_SIZE[1], left:left + PLOT_SIZE[0]]


def settled_plot(desktop):
    """The plot on the screen once two screenshots in a row agree: the last step drawn."""
    shots = [plot_of(desktop.screenshot())]

    def settled():
        shots.append(plot_of(desktop.screenshot()))
        return np.array_equal(shots[-1], shots[-2])

    until(settled, 5, "the plot to stand still",
          lambda: "%d pixels changed" % np.count_nonzero(shots[-1] != shots[-2]))
    return shots[-1]
