#include "platform/sound/synth_device.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <vector>

namespace {

constexpr std::uint32_t kMusicBox = 0x00640AC0;
constexpr int kChunk = 256;

std::uint32_t noteOn(int note) {
    return 0x00640090 | std::uint32_t(note) << 8;
}

// An output the test plays itself, by rendering its source chunk after chunk.
class FakeOutput final : public AudioOutput {
public:
    explicit FakeOutput(std::atomic<int>& wakes) : wakes_(wakes) {}
    void wake() override { ++wakes_; }
    int latencyFrames() const override { return 2 * kChunk; }

private:
    std::atomic<int>& wakes_;
};

struct Played {
    bool sounding; // what render() said
    bool heard;    // anything not silent
};

Played renderChunk(AudioSource& source) {
    std::vector<float> samples(2 * kChunk);
    const bool sounding = source.render(samples.data(), samples.data() + 1, 2, kChunk);
    return {sounding, std::any_of(samples.begin(), samples.end(), [](float s) { return s != 0; })};
}

} // namespace

// The output runs only while something sounds: a message finding it asleep wakes it once, a
// running one is left alone, and once the notes have died away it goes back to sleep.
TEST(SynthDevice, SleepsWhenSilentAndTheNextMessageWakesIt) {
    std::atomic<int> wakes{0};
    AudioSource* source = nullptr;
    auto device = SynthDevice::open([&](AudioSource& played, int) {
        source = &played;
        return std::make_unique<FakeOutput>(wakes);
    });
    device->shortMessage(kMusicBox); // while it opens: it waits, and wakes the output after
    const SynthDevice::Health health = device->waitUntilOpened();
    ASSERT_TRUE(health.soundfontLoaded) << "no General MIDI soundfont: install fluid-soundfont-gm";
    ASSERT_TRUE(health.outputOpen);
    EXPECT_EQ(wakes, 1);
    EXPECT_FALSE(renderChunk(*source).sounding) << "an instrument's selection sounds nothing";

    device->shortMessage(noteOn(60));
    device->shortMessage(noteOn(64));
    EXPECT_EQ(wakes, 2) << "one wake for the run, from its first message";
    bool heard = false;
    Played played{true, false};
    for (int chunk = 0; played.sounding && chunk < 15 * 44100 / kChunk; ++chunk) {
        played = renderChunk(*source);
        heard = heard || played.heard;
    }
    EXPECT_TRUE(heard);
    EXPECT_FALSE(played.sounding) << "the notes never died away";
    EXPECT_EQ(device->waitUntilOpened().lateMessages, 0);

    device->shortMessage(noteOn(67));
    EXPECT_EQ(wakes, 3);
}

// Without an output the device is silent, and messages are neither kept nor played.
TEST(SynthDevice, WithoutAnOutputMessagesGoNowhere) {
    auto device = SynthDevice::open([](AudioSource&, int) { return nullptr; });
    const SynthDevice::Health health = device->waitUntilOpened();
    EXPECT_FALSE(health.outputOpen);
    for (int note = 0; note < 10000; ++note)
        device->shortMessage(noteOn(note % 128));
}
