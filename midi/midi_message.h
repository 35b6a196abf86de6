#pragma once

#include <array>
#include <cstdint>

namespace midi {
constexpr std::uint8_t kProgramChange = 0xC0; // on channel 1, the lowest nibble being 0
constexpr std::uint8_t kNoteOn = 0x90;        // on channel 1
constexpr std::uint8_t kVelocity = 100;
} // namespace midi

// A short MIDI message as four bytes: status, two data bytes and a zero. The word sent
// holds them in the order of a little-endian 32-bit word, byte 0 lowest.
struct MidiMessage {
    std::array<std::uint8_t, 4> bytes{};

    constexpr std::uint32_t word() const {
        return bytes[0] | bytes[1] << 8 | bytes[2] << 16 | std::uint32_t{bytes[3]} << 24;
    }
};
