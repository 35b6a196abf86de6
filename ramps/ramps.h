#pragma once

#include "ramps/colour.h"

#include <cstdint>

// The note last chosen by midiRamp, kept program-wide.
extern std::int32_t note;

// Maps part onto a seven-segment spectrum, black through blue, cyan, green, yellow, red and
// magenta towards white; whole is the span of one pass, 0 counts as 1.
Colour colorRamp(std::int32_t part, std::int32_t whole);

// Maps part onto the MIDI notes 35 to 81 and stores the result in `note`.
std::int32_t midiRamp(std::int32_t part, std::int32_t whole);
