"""The mapping and the sweep worked out afresh, in plain Python, to check the program
from outside."""

import math
import struct


def _float32(value):
    return struct.unpack("f", struct.pack("f", value))[0]


def _wrap32(value):
    value &= 0xFFFFFFFF
    return value - (1 << 32) if value & 0x80000000 else value


def _divide(a, b):
    """Integer division truncating toward zero."""
    quotient = abs(a) // abs(b)
    return quotient if (a < 0) == (b < 0) else -quotient


def _wrap_part(part, whole):
    whole = whole or 1
    return part - whole * _divide(part, whole), whole


def color_ramp(part, whole):
    """The colour as an (r, g, b) triple."""
    part, whole = _wrap_part(part, whole)
    v = _wrap32(_divide(_wrap32(part * 1792), whole))
    segments = [
        (256, lambda v: (0, 0, v)),
        (512, lambda v: (0, v - 256, 255)),
        (768, lambda v: (0, 255, 255 - (v - 512))),
        (1024, lambda v: (v - 768, 255, 0)),
        (1280, lambda v: (255, 255 - (v - 1024), 0)),
        (1536, lambda v: (255, 0, v - 1280)),
    ]
    for bound, colour in segments:
        if v < bound:
            return tuple(c & 0xFF for c in colour(v))
    return tuple(c & 0xFF for c in (255, v - 1536, 255))


def midi_ramp(part, whole):
    part, whole = _wrap_part(part, whole)
    return _wrap32(_divide(_wrap32(part * 47), whole) + 35)


def sweep(whole=500):
    """The 126 steps: each circle's box, colours and note, and the two read-out values."""
    steps = []
    angle = _float32(math.pi / 2)
    while angle <= 7.853981633974483:
        y = _float32(math.sin(angle) * 250 + 250)
        x = 100 * angle - 150
        user_y = 500 - y
        steps.append({
            "left": int(x), "top": int(y),
            "pen": color_ramp(int(y), whole), "fill": color_ramp(int(user_y), whole),
            "note": midi_ramp(int(user_y), whole), "x": x, "y": user_y,
        })
        angle = _float32(angle + 0.05)
    return steps


def notes(whole=500):
    """The notes a sweep strikes, in order."""
    return [step["note"] for step in sweep(whole)]
