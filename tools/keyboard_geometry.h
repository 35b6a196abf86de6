#pragma once

// Layout of the keyboard legend, shared by its generator and the test that reads it back.
// Positions are in pixels of the 1x picture, y growing downwards; the 2x picture scales them.

#include <array>

namespace keyboard {

constexpr int kWidth = 240;
constexpr int kHeight = 584;

// The complete keys: the notes midiRamp can play.
constexpr int kFirstNote = 35;
constexpr int kLastNote = 81;

// Not the plot's scale: an octave tall enough for a readable letter on every white key.
constexpr double kOctave = 116.0;
constexpr double kWhiteKey = kOctave / 7;
// A black key's extent along the keyboard, in white keys.
constexpr double kBlackKey = 0.58;

// Where the bottom edge of the lowest complete key lies.
constexpr double kKeysBottom = 546.0;
// Where the cut-off keys beyond each end are torn, in white keys past that end.
constexpr double kTornAbove = 0.8;
constexpr double kTornBelow = 0.5;
// How far the ragged torn edge strays from those positions, in pixels.
constexpr double kTornDepth = 2.5;

// Columns, from the left.
constexpr int kNumbersRight = 46;
constexpr int kTickLeft = 50;
constexpr int kTickRight = 60;
constexpr int kKeysLeft = 64;
constexpr int kBlackRight = 134;
constexpr int kKeysRight = 176;
constexpr int kLetterCentre = kKeysRight - 9;
constexpr int kFrequencyCentre = 209;

// Grey levels.
constexpr int kBackground = 0xEF;
constexpr int kWhite = 0xFF;
constexpr int kShade = 0xD4;
constexpr int kInk = 0x00;
constexpr int kLine = 0x40;

// The key the shade marks: middle C.
constexpr int kShadedNote = 60;

struct Span {
    double low;
    double high;
};

struct Place {
    bool black;
    // In white keys from the octave's C: a white key's bottom edge, a black key's middle.
    double at;
};

// As on a real piano, C# and D# lean apart, and so do F# and A#; the white parts showing
// between them differ in height.
constexpr std::array<Place, 12> kPlaces = {{
    {false, 0.0},
    {true, 0.85},
    {false, 1.0},
    {true, 2.15},
    {false, 2.0},
    {false, 3.0},
    {true, 3.8},
    {false, 4.0},
    {true, 5.0},
    {false, 5.0},
    {true, 6.2},
    {false, 6.0},
}};

constexpr bool isBlack(int note) {
    return kPlaces[note % 12].black;
}

// The key's extent along the keyboard, in white keys from note 0.
constexpr Span keySpan(int note) {
    const Place p = kPlaces[note % 12];
    const double at = 7.0 * (note / 12) + p.at;
    return p.black ? Span{at - kBlackKey / 2, at + kBlackKey / 2} : Span{at, at + 1};
}

// The part of the key that shows at the left end, where the black keys lie over the white.
constexpr Span leftSpan(int note) {
    Span s = keySpan(note);
    if (!isBlack(note)) {
        if (isBlack(note - 1))
            s.low = keySpan(note - 1).high;
        if (isBlack(note + 1))
            s.high = keySpan(note + 1).low;
    }
    return s;
}

// The y of a position along the keyboard, given in white keys from note 0.
constexpr double yAt(double along) {
    return kKeysBottom - (along - keySpan(kFirstNote).low) * kWhiteKey;
}

constexpr double keyMiddleY(int note) {
    const Span s = keySpan(note);
    return yAt((s.low + s.high) / 2);
}

constexpr double tickY(int note) {
    const Span s = leftSpan(note);
    return yAt((s.low + s.high) / 2);
}

// The y of the line below a white key.
constexpr double boundaryY(int note) {
    return yAt(keySpan(note).low);
}

// The line below a white key crosses the whole keyboard where no black key lies over it.
constexpr bool boundaryIsFullWidth(int note) {
    return !isBlack(note) && !isBlack(note - 1);
}

constexpr double tornTopY() {
    return yAt(keySpan(kLastNote).high + kTornAbove);
}
constexpr double tornBottomY() {
    return yAt(keySpan(kFirstNote).low - kTornBelow);
}

// A pixel edge of the picture drawn at the given scale (positions are positive).
constexpr int toPixel(double y, int scale) {
    return static_cast<int>(y * scale + 0.5);
}

struct Rows {
    int first;
    int end;
};

// The pixel rows of a one-pixel line centred on y, as thick as the scale.
constexpr Rows lineRows(double y, int scale) {
    const int first = toPixel(y - 0.5, scale);
    return {first, first + scale};
}

// The pixel rows of an area between two positions along the keyboard.
constexpr Rows areaRows(Span s, int scale) {
    return {toPixel(yAt(s.high), scale), toPixel(yAt(s.low), scale)};
}

} // namespace keyboard
