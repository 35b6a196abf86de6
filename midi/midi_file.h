#pragma once

#include "sweep/sweep_record.h"

#include <string>

// How long a sweep rings after its last note, in seconds: its rendered sound falls below what
// 16 bits can hold 4.0 to 4.5 s after it, whatever the whole.
constexpr double kRingOutSeconds = 4.5;

// The sweep as a Standard MIDI File (format 0): the program change that selects the Music Box,
// then each note-on as device 0 received it, at the moment it was sent, counted from the sweep's
// start; the track ends once the last note has rung out. Time runs in half milliseconds: a
// sixteenth note at 250 beats a minute is the sweep's 60 ms.
std::string standardMidiFile(const SweepRecord& sweep);
