#pragma once

#include <chrono>
#include <cmath>
#include <cstdint>

// Where on the synthesizer's sample clock a message is played: a run of messages keeps the
// intervals at which they were sent, each one the same fixed latency after its sending, so
// that the sound keeps the sender's rhythm however large the output's buffer is.
struct NoteClock {
    using Clock = std::chrono::steady_clock;

    Clock::time_point runStart; // when the run's first message was sent
    std::int64_t runStartFrame; // the sample clock when the output began the run
    std::int64_t latencyFrames; // how far ahead of the output's first frame a run begins
    int sampleRate;

    std::int64_t frameFor(Clock::time_point sent) const {
        const double seconds = std::chrono::duration<double>(sent - runStart).count();
        return runStartFrame + latencyFrames + std::llround(seconds * sampleRate);
    }
};
