#pragma once

#include "midi/midi_message.h"
#include "platform/midi_out.h"

#include <cstdint>

// The program's one connection to a sound device, open from start-up to the end.
extern std::int32_t midiDevice;
extern std::int32_t instrument; // General MIDI program from 0: 10 is the Music Box
extern MidiOutHandle& midiOut;
extern MidiMessage midiMessage;

// Opens device midiDevice and selects the instrument, with velocity 100 left in the
// message for every later note. A device that cannot be opened leaves the program silent.
void openMidiChannel();

// Strikes `note` on channel 1 with the velocity left in the message.
void sendNote(std::int32_t note);
