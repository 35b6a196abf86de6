#pragma once

#include <cstdint>
#include <optional>
#include <vector>

// A message for the synthesizer at a moment, in seconds from the start.
struct TimedMessage {
    double seconds;
    std::uint32_t word;
};

// Sound rendered away from any output: stereo, interleaved left then right.
struct RenderedSound {
    int sampleRate = 0;
    std::vector<float> samples;

    std::int64_t frames() const { return static_cast<std::int64_t>(samples.size() / 2); }
};

// Renders the messages, in rising order of time, through the General MIDI synthesizer that
// device 0 plays on, each at the start of the synthesizer's 64-frame block that holds its
// moment, from silence until the sound has died away: until nothing sounds that 16 bits can
// hold, and at most `longestRingOut` seconds after the last message. Offline, nothing waits
// for an output: the sound is as the messages' times say, with no buffer and no latency.
// Empty when there is no soundfont.
std::optional<RenderedSound> renderOffline(const std::vector<TimedMessage>& messages,
                                           double longestRingOut);
