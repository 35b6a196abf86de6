#pragma once

#include <cstdint>
#include <functional>
#include <memory>

// A MIDI output device: it takes short messages, each packed in one 32-bit word
// (status byte lowest, then the two data bytes).
class MidiOutput {
public:
    virtual ~MidiOutput() = default;
    virtual void shortMessage(std::uint32_t word) = 0;
};

using MidiOutHandle = std::unique_ptr<MidiOutput>;

// Result codes of the two MIDI calls.
enum class MidiResult { ok, badDevice, noSound };

// Opens output device `device` into `handle`; on failure the handle stays empty.
MidiResult midiOutOpen(MidiOutHandle& handle, std::int32_t device);

// Sends one short message; on an empty handle nothing happens.
MidiResult midiOutShortMsg(MidiOutput* handle, std::uint32_t message);

// How midiOutOpen makes a device from its number: device 0 is the built-in synthesizer.
// Tests install a recording device here; returns the factory it replaces.
using MidiOutputFactory = std::function<MidiOutHandle(std::int32_t device)>;
MidiOutputFactory setMidiOutputFactory(MidiOutputFactory factory);
