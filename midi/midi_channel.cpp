#include "midi/midi_channel.h"

std::int32_t midiDevice = 0;
std::int32_t instrument = 10;
MidiOutHandle midiOut;
MidiMessage midiMessage;

void openMidiChannel() {
    midiOutOpen(midiOut, midiDevice);
    midiMessage.bytes = {midi::kProgramChange, static_cast<std::uint8_t>(instrument),
                         midi::kVelocity, 0};
    midiOutShortMsg(midiOut.get(), midiMessage.word());
}

void sendNote(std::int32_t note) {
    midiMessage.bytes[0] = midi::kNoteOn;
    midiMessage.bytes[1] = static_cast<std::uint8_t>(note);
    midiOutShortMsg(midiOut.get(), midiMessage.word());
}
