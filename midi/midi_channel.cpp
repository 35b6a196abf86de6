#include "midi/midi_channel.h"

std::int32_t midiDevice = 0;
std::int32_t instrument = 10;
// Never closed: the device stays open until the process ends and goes with it. Closing it at
// exit would wait for its audio thread, which a stalled sound server can block for ever.
MidiOutHandle& midiOut = *new MidiOutHandle;
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
