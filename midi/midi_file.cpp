#include "midi/midi_file.h"

#include "midi/midi_channel.h"
#include "midi/midi_message.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {

constexpr int kTicksPerQuarter = 480;
constexpr std::uint32_t kMicrosecondsPerQuarter = 240'000; // 250 beats a minute
constexpr double kSecondsPerTick = kMicrosecondsPerQuarter / 1e6 / kTicksPerQuarter;

namespace meta {
constexpr std::uint8_t kEvent = 0xFF;
constexpr std::uint8_t kTrackName = 0x03;
constexpr std::uint8_t kTempo = 0x51;
constexpr std::uint8_t kEndOfTrack = 0x2F;
} // namespace meta

void appendBigEndian(std::string& out, std::uint32_t value, int bytes) {
    for (int shift = 8 * (bytes - 1); shift >= 0; shift -= 8)
        out += static_cast<char>(value >> shift & 0xFF);
}

// A variable-length quantity: seven bits a byte, the most significant first, each but the
// last with its top bit set.
void appendVariableLength(std::string& out, std::uint32_t value) {
    std::string reversed(1, static_cast<char>(value & 0x7F));
    while (value >>= 7)
        reversed += static_cast<char>(0x80 | (value & 0x7F));
    out.append(reversed.rbegin(), reversed.rend());
}

class Track {
public:
    // An event at `seconds` from the start, its delta time counted from the one before.
    void at(double seconds, const std::string& event) {
        const auto tick =
            static_cast<std::uint32_t>(std::lround(std::max(seconds, 0.0) / kSecondsPerTick));
        appendVariableLength(bytes_, tick > tick_ ? tick - tick_ : 0);
        tick_ = std::max(tick, tick_);
        bytes_ += event;
    }
    void message(double seconds, const MidiMessage& message, int length) {
        at(seconds, std::string(message.bytes.begin(), message.bytes.begin() + length));
    }
    void metaEvent(double seconds, std::uint8_t type, const std::string& data) {
        std::string event{static_cast<char>(meta::kEvent), static_cast<char>(type)};
        appendVariableLength(event, static_cast<std::uint32_t>(data.size()));
        at(seconds, event + data);
    }
    const std::string& bytes() const { return bytes_; }

private:
    std::string bytes_;
    std::uint32_t tick_ = 0;
};

} // namespace

std::string standardMidiFile(const SweepRecord& sweep) {
    Track track;
    track.metaEvent(0, meta::kTrackName, sweepTitle(sweep));
    std::string tempo;
    appendBigEndian(tempo, kMicrosecondsPerQuarter, 3);
    track.metaEvent(0, meta::kTempo, tempo);
    MidiMessage message;
    message.bytes = {midi::kProgramChange, static_cast<std::uint8_t>(instrument), 0, 0};
    track.message(0, message, 2);
    message.bytes = {midi::kNoteOn, 0, midi::kVelocity, 0};
    for (size_t i = 0; i < sweep.steps.size(); ++i) {
        // The data byte's top bit is not the note's: the synthesizer plays the low seven.
        message.bytes[1] = static_cast<std::uint8_t>(sweep.steps[i].note & 0x7F);
        track.message(sweep.noteTimes[i], message, 3);
    }
    const double last = sweep.noteTimes.empty() ? 0 : sweep.noteTimes.back();
    track.metaEvent(last + kRingOutSeconds, meta::kEndOfTrack, {});

    std::string file = "MThd";
    appendBigEndian(file, 6, 4);
    appendBigEndian(file, 0, 2); // format 0: one track
    appendBigEndian(file, 1, 2);
    appendBigEndian(file, kTicksPerQuarter, 2);
    file += "MTrk";
    appendBigEndian(file, static_cast<std::uint32_t>(track.bytes().size()), 4);
    return file + track.bytes();
}
