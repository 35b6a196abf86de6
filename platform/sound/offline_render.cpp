#include "platform/sound/offline_render.h"

#include "platform/sound/general_midi_synth.h"

#include <algorithm>
#include <cmath>

namespace {

// Quieter than half of 16 bits' smallest step rounds to silence.
constexpr float kSilent = 0.5f / 32768;
// Once the last message is struck, the sound only dies away; it has died once it has stayed
// silent this long (the synthesizer's reverb included).
constexpr double kSilentFor = 0.5;
constexpr int kChunk = 16 * GeneralMidiSynth::kBlock;

} // namespace

std::optional<RenderedSound> renderOffline(const std::vector<TimedMessage>& messages,
                                           double longestRingOut) {
    const auto synth = GeneralMidiSynth::open();
    if (!synth)
        return std::nullopt;
    RenderedSound sound;
    sound.sampleRate = synth->sampleRate();
    const auto frameOf = [&](double seconds) {
        return static_cast<std::int64_t>(std::llround(seconds * sound.sampleRate));
    };
    for (const TimedMessage& message : messages) {
        if (message.seconds <= 0)
            synth->shortMessage(message.word);
        else
            synth->shortMessageAt(message.word, frameOf(message.seconds));
    }
    const double lastMoment = messages.empty() ? 0 : messages.back().seconds;
    const std::int64_t lastMessage = GeneralMidiSynth::kBlock + frameOf(lastMoment);
    const std::int64_t end = frameOf(lastMoment + longestRingOut);
    const std::int64_t silentFrames = frameOf(kSilentFor);
    sound.samples.reserve(static_cast<size_t>(2 * end));
    std::int64_t heard = 0; // the frame after the last one that 16 bits would hold
    while (synth->frame() < end) {
        const std::int64_t from = synth->frame();
        const int frames = static_cast<int>(std::min<std::int64_t>(kChunk, end - from));
        sound.samples.resize(2 * (from + frames));
        float* out = sound.samples.data() + 2 * from;
        synth->render(out, out + 1, 2, frames);
        for (int i = 2 * frames - 1; i >= 0; --i) {
            if (std::fabs(out[i]) >= kSilent) {
                heard = from + i / 2 + 1;
                break;
            }
        }
        if (synth->frame() > lastMessage &&
            (!synth->sounding() || synth->frame() - std::max(heard, lastMessage) >= silentFrames))
            break;
    }
    sound.samples.resize(2 * std::max(heard, std::min(lastMessage, synth->frame())));
    return sound;
}
